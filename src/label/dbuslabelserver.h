#pragma once

#include "labelserver.h"

#include <QStringList>
#include <QVariantList>

#include <chrono>

// The label server on the D-Bus session bus (org.corvant.LabelServer). The
// first call binds: to a server already running, else one the bus starts
// (D-Bus activation), else one of the given programs launched here. Any
// failure to bind, or a call the bus cannot deliver, raises LabelServerError.
class DBusLabelServer : public LabelServer
{
public:
    static constexpr const char *kService = "org.corvant.LabelServer";
    static constexpr const char *kPath = "/LabelServer";
    static constexpr const char *kInterface = "org.corvant.LabelServer";

    explicit DBusLabelServer(QStringList programs = {},
                             std::chrono::milliseconds startTimeout = std::chrono::seconds(5));

    std::int32_t StartDesigner() override;
    std::int32_t QuitDesigner() override;
    std::int32_t OpenLabel(const QString &fileName) override;
    std::int32_t SetVariable(const QString &name, const QString &value) override;
    std::int32_t PrintLabel(std::int32_t quantity) override;

private:
    void bind();
    std::int32_t call(const char *method, const QVariantList &arguments = {});

    QStringList m_programs;
    std::chrono::milliseconds m_startTimeout;
    bool m_bound = false;
};
