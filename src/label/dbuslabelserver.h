#pragma once

#include "label/labelserver.h"

#include <QObject>
#include <QStringList>
#include <QVariantList>

#include <chrono>

class QDBusMessage;

// The label server on the D-Bus session bus (org.corvant.LabelServer). The
// first call binds: to a server already running, else one the bus starts
// (D-Bus activation), else one of the given programs launched here. Any
// failure to bind, or a call the bus cannot deliver, raises LabelServerError.
// The start-up call can bind without blocking (startDesignerAsync), so a
// server that hangs while it starts never holds up the window.
class DBusLabelServer : public QObject, public LabelServer {
    Q_OBJECT

public:
    static constexpr const char *kService = "org.corvant.LabelServer";
    static constexpr const char *kPath = "/LabelServer";
    static constexpr const char *kInterface = "org.corvant.LabelServer";

    // service: the bus name; tests give another one.
    explicit DBusLabelServer(QStringList programs = {},
                             std::chrono::milliseconds startTimeout = std::chrono::seconds(5),
                             QString service = QString::fromLatin1(kService));

    void startDesignerAsync(QObject *context, std::function<void(bool)> done) override;
    std::int32_t StartDesigner() override;
    std::int32_t QuitDesigner() override;
    std::int32_t OpenLabel(const QString &fileName) override;
    std::int32_t SetVariable(const QString &name, const QString &value) override;
    std::int32_t PrintLabel(std::int32_t quantity) override;

private:
    void bind();
    bool launchServer() const;
    QDBusMessage methodCall(const char *method, const QVariantList &arguments = {}) const;
    std::int32_t call(const char *method, const QVariantList &arguments = {});
    void startAsync(QObject *context, std::function<void(bool)> done, bool mayLaunch);
    void awaitService(QObject *context, std::function<void(bool)> next);

    QStringList m_programs;
    std::chrono::milliseconds m_startTimeout;
    QString m_service;
    bool m_bound = false;
};
