// corvant-label-server: prints stickers for the firmware update utility.
// A D-Bus session service; the bus starts it on the first call.
#include "common/loggingrules.h"
#include "common/programinfo.h"
#include "label-server/labelservice.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QGuiApplication>

#include <cstdio>
#include <dbus/dbus.h>

namespace {

// The largest call a label needs is a file name or a value of 4096
// characters.
constexpr long kLargestMessage = 1024 * 1024;

constexpr const char *kUsage
    = "usage: corvant-label-server [--help | --version]\n"
      "\n"
      "The label-printing service of the CORVANT Firmware Update Utility: it serves\n"
      "org.corvant.LabelServer (object /LabelServer) on the D-Bus session bus, which\n"
      "starts it on the first call, and ends with the session. Labels are SVG\n"
      "drawings with {{name}} placeholders, printed to a printer or a PDF file.\n";

} // namespace

int main(int argc, char *argv[])
{
    if (const std::optional<int> answered
        = answerVersionOrHelp(argc, argv, "corvant-label-server", kUsage))
        return *answered;

    // Rendering needs a GUI application, not a display.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    applyDefaultLoggingRules();
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvant-label-server"));
    // Anything but Qt's own options is a mistake, not a request to serve
    // for ever.
    if (app.arguments().size() > 1) {
        std::fprintf(stderr, "corvant-label-server: unknown argument %s\n%s",
                     qPrintable(app.arguments().at(1)), kUsage);
        return 1;
    }

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "corvant-label-server: no D-Bus session bus\n");
        return 1;
    }
    const QString name = QStringLiteral("org.corvant.LabelServer");
    LabelService service;
    if (!bus.registerObject(QStringLiteral("/LabelServer"), &service,
                            QDBusConnection::ExportAllSlots)
        || !bus.registerService(name)) {
        // Qt leaves the reason empty when another process holds the name.
        if (bus.interface()->isServiceRegistered(name)) {
            std::fprintf(stderr, "corvant-label-server: %s is already served on this session bus\n",
                         qPrintable(name));
            return 1;
        }
        const QString reason = bus.lastError().message();
        std::fprintf(stderr, "corvant-label-server: cannot serve %s on the session bus%s%s\n",
                     qPrintable(name), reason.isEmpty() ? "" : ": ", qPrintable(reason));
        return 1;
    }
    // A call larger than any label needs ends the connection, and with it
    // this server, which the bus starts anew for the next call. Left to
    // libdbus's own limits, one message of over 63 MiB stopped the reading
    // for good: the server held its name and answered nobody.
    dbus_connection_set_max_message_size(static_cast<DBusConnection *>(bus.internalPointer()),
                                         kLargestMessage);
    // The session ends: so does the server.
    bus.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), &app,
                SLOT(quit()));
    return app.exec();
}
