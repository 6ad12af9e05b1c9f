#include "label/dbuslabelserver.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <memory>

Q_LOGGING_CATEGORY(lcLabel, "corvant.label")

namespace {

// Printing renders the label first; give it time.
constexpr int kCallTimeoutMs = 60000;

// The bus's answers when it has no server to start, or cannot start it.
bool activationFailed(const QString &errorName)
{
    return errorName == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")
        || errorName.startsWith(QLatin1String("org.freedesktop.DBus.Error.Spawn."));
}

} // namespace

DBusLabelServer::DBusLabelServer(QStringList programs, std::chrono::milliseconds startTimeout,
                                 QString service)
    : m_programs(std::move(programs))
    , m_startTimeout(startTimeout)
    , m_service(std::move(service))
{
}

bool DBusLabelServer::launchServer() const
{
    for (const QString &program : m_programs) {
        if (QFileInfo(program).isExecutable() && QProcess::startDetached(program, {}))
            return true;
    }
    return false;
}

void DBusLabelServer::bind()
{
    if (m_bound)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        throw LabelServerError(QStringLiteral("no D-Bus session bus"));
    QDBusConnectionInterface *busInterface = bus.interface();
    if (!busInterface->isServiceRegistered(m_service)) {
        const QDBusReply<void> started = busInterface->startService(m_service);
        if (!started.isValid()) {
            qCDebug(lcLabel) << "no activation:" << started.error().message();
            const bool launched = launchServer();
            // The name appears once the launched server has registered it.
            const QDeadlineTimer deadline(m_startTimeout);
            while (launched && !busInterface->isServiceRegistered(m_service)
                   && !deadline.hasExpired())
                QThread::msleep(20);
            if (!busInterface->isServiceRegistered(m_service))
                throw LabelServerError(QStringLiteral("the label server cannot be started"));
        }
    }
    m_bound = true;
}

QDBusMessage DBusLabelServer::methodCall(const char *method, const QVariantList &arguments) const
{
    QDBusMessage message = QDBusMessage::createMethodCall(m_service, QString::fromLatin1(kPath),
                                                          QString::fromLatin1(kInterface),
                                                          QString::fromLatin1(method));
    message.setArguments(arguments);
    return message;
}

std::int32_t DBusLabelServer::call(const char *method, const QVariantList &arguments)
{
    bind();
    // Blocking, with no event loop inside: nothing else of the window runs
    // in between.
    const QDBusMessage reply = QDBusConnection::sessionBus().call(methodCall(method, arguments),
                                                                  QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        throw LabelServerError(reply.errorMessage().isEmpty()
                                   ? QStringLiteral("no reply from the label server")
                                   : reply.errorMessage());
    return std::int32_t(reply.arguments().constFirst().toInt());
}

void DBusLabelServer::startDesignerAsync(QObject *context, std::function<void(bool)> done)
{
    if (!QDBusConnection::sessionBus().isConnected()) {
        done(false);
        return;
    }
    startAsync(context, std::move(done), true);
}

void DBusLabelServer::startAsync(QObject *context, std::function<void(bool)> done, bool mayLaunch)
{
    // The message itself starts an installed server (the bus holds it until
    // the server runs): no call here waits for that.
    QDBusConnection bus = QDBusConnection::sessionBus();
    auto *watcher = new QDBusPendingCallWatcher(
        bus.asyncCall(methodCall("StartDesigner"), kCallTimeoutMs), context);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, context, done, mayLaunch, watcher] {
                watcher->deleteLater();
                const QDBusMessage reply = watcher->reply();
                if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
                    m_bound = true;
                    done(true);
                    return;
                }
                qCDebug(lcLabel) << "start-up call failed:" << reply.errorName()
                                 << reply.errorMessage();
                if (mayLaunch && activationFailed(reply.errorName()) && launchServer()) {
                    awaitService(context, [this, context, done](bool registered) {
                        if (registered)
                            startAsync(context, done, false);
                        else
                            done(false);
                    });
                    return;
                }
                done(false);
            });
}

void DBusLabelServer::awaitService(QObject *context, std::function<void(bool)> next)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    auto *watcher = new QDBusServiceWatcher(m_service, bus,
                                            QDBusServiceWatcher::WatchForRegistration, context);
    auto *deadline = new QTimer(watcher);
    deadline->setSingleShot(true);
    const auto finished = std::make_shared<bool>(false);
    const auto finish = [watcher, next, finished](bool registered) {
        if (*finished)
            return;
        *finished = true;
        watcher->deleteLater();
        next(registered);
    };
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, [finish] { finish(true); });
    connect(deadline, &QTimer::timeout, this, [finish] { finish(false); });
    deadline->start(m_startTimeout);
    // The name may have come before the watcher.
    if (bus.interface()->isServiceRegistered(m_service))
        QTimer::singleShot(0, watcher, [finish] { finish(true); });
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
