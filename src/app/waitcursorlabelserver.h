#pragma once

#include "label/labelserver.h"

// The label server's calls block the window until they return (printing
// renders the label first): the mouse shows the busy cursor meanwhile, and
// its normal shape again before any message about the result.
class WaitCursorLabelServer : public LabelServer {
public:
    explicit WaitCursorLabelServer(LabelServer &server)
        : m_server(server)
    {
    }

    void startDesignerAsync(QObject *context, std::function<void(bool)> done) override;
    std::int32_t StartDesigner() override;
    std::int32_t QuitDesigner() override;
    std::int32_t OpenLabel(const QString &fileName) override;
    std::int32_t SetVariable(const QString &name, const QString &value) override;
    std::int32_t PrintLabel(std::int32_t quantity) override;

private:
    LabelServer &m_server;
};
