#pragma once

#include "label/labelserver.h"

// A label server that answers every call with success.
class WorkingLabelServer : public LabelServer {
public:
    std::int32_t StartDesigner() override { return 0; }
    std::int32_t QuitDesigner() override { return 0; }
    std::int32_t OpenLabel(const QString &) override { return 0; }
    std::int32_t SetVariable(const QString &, const QString &) override { return 0; }
    std::int32_t PrintLabel(std::int32_t) override { return 0; }
};
