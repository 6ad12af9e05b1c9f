#include "dbuslabelserver.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QThread>

Q_LOGGING_CATEGORY(lcLabel, "corvant.label")

namespace {

// Printing renders the label first; give it time.
constexpr int kCallTimeoutMs = 60000;

} // namespace

DBusLabelServer::DBusLabelServer(QStringList programs, std::chrono::milliseconds startTimeout)
    : m_programs(std::move(programs))
    , m_startTimeout(startTimeout)
{
}

void DBusLabelServer::bind()
{
    if (m_bound)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        throw LabelServerError(QStringLiteral("no D-Bus session bus"));
    QDBusConnectionInterface *busInterface = bus.interface();
    const QString service = QString::fromLatin1(kService);
    if (!busInterface->isServiceRegistered(service)) {
        const QDBusReply<void> started = busInterface->startService(service);
        if (!started.isValid()) {
            qCDebug(lcLabel) << "no activation:" << started.error().message();
            bool launched = false;
            for (const QString &program : std::as_const(m_programs)) {
                if (QFileInfo(program).isExecutable() && QProcess::startDetached(program, {})) {
                    launched = true;
                    break;
                }
            }
            // The name appears once the launched server has registered it.
            const QDeadlineTimer deadline(m_startTimeout);
            while (launched && !busInterface->isServiceRegistered(service) && !deadline.hasExpired())
                QThread::msleep(20);
            if (!busInterface->isServiceRegistered(service))
                throw LabelServerError(QStringLiteral("the label server cannot be started"));
        }
    }
    m_bound = true;
}

std::int32_t DBusLabelServer::call(const char *method, const QVariantList &arguments)
{
    bind();
    QDBusMessage message = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                                          QString::fromLatin1(kInterface), QString::fromLatin1(method));
    message.setArguments(arguments);
    // Blocking, with no event loop inside: nothing else of the window runs
    // in between.
    const QDBusMessage reply = QDBusConnection::sessionBus().call(message, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        throw LabelServerError(reply.errorMessage().isEmpty() ? QStringLiteral("no reply from the label server")
                                                              : reply.errorMessage());
    return std::int32_t(reply.arguments().constFirst().toInt());
}

std::int32_t DBusLabelServer::StartDesigner()
{
    return call("StartDesigner");
}

std::int32_t DBusLabelServer::QuitDesigner()
{
    return call("QuitDesigner");
}

std::int32_t DBusLabelServer::OpenLabel(const QString &fileName)
{
    return call("OpenLabel", {fileName});
}

std::int32_t DBusLabelServer::SetVariable(const QString &name, const QString &value)
{
    return call("SetVariable", {name, value});
}

std::int32_t DBusLabelServer::PrintLabel(std::int32_t quantity)
{
    return call("PrintLabel", {quantity});
}
