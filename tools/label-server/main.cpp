// corvant-label-server: prints stickers for the firmware update utility.
// A D-Bus session service; the bus starts it on the first call.
#include "labelservice.h"
#include "loggingrules.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Rendering needs a GUI application, not a display.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    applyDefaultLoggingRules();
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvant-label-server"));

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "corvant-label-server: no D-Bus session bus\n");
        return 1;
    }
    LabelService service;
    if (!bus.registerObject(QStringLiteral("/LabelServer"), &service, QDBusConnection::ExportAllSlots)
        || !bus.registerService(QStringLiteral("org.corvant.LabelServer"))) {
        std::fprintf(stderr, "corvant-label-server: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    // The session ends: so does the server.
    bus.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"), QStringLiteral("org.freedesktop.DBus.Local"),
                QStringLiteral("Disconnected"), &app, SLOT(quit()));
    return app.exec();
}
