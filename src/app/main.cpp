// corvant-fwupdate: the CORVANT Firmware Update Utility.
#include "app/tformmain.h"
#include "app/translations.h"
#include "app/windowlog.h"
#include "common/loggingrules.h"
#include "common/programinfo.h"
#include "common/safefile.h"
#include "common/version.h"
#include "download/serialports.h"
#include "label/dbuslabelserver.h"
#include "session/appinfo.h"
#include "settings/appsettings.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>

#include <cstdio>

namespace {

// corvant-fwupdate --help.
constexpr const char *kUsage
    = "usage: corvant-fwupdate [ port=COMn | port=HOST[:PORT] | port=/dev/DEVICE ]\n"
      "                        [ mode=auto ] [ mode=all ] [ cf=N ] [ df=N ] [ gf=N ]\n"
      "                        [ custcode ]\n"
      "                        [ file=FILE | FILE ]\n"
      "       corvant-fwupdate --help | --version\n"
      "\n"
      "  port=PORT    the reader: COMn (1-255), HOST[:PORT] over TCP (port 10001 by\n"
      "               default) or a serial device path\n"
      "  mode=auto    download as soon as the window is up; a completed download\n"
      "               ends the program\n"
      "  mode=all     also send EEPROM data and the customer code table\n"
      "  cf=N df=N gf=N\n"
      "               customer codes (0-999, 0-9999, 0-255; 0 empties the slot);\n"
      "               they open the settings panel\n"
      "  custcode     open the settings panel (any word holding it)\n"
      "  file=FILE    the firmware file, whatever its name holds; a bare FILE too\n"
      "  /?           show this usage in a box\n"
      "\n"
      "Exit status: 1 after a completed unattended download (mode=auto), 0 otherwise.\n"
      "Settings: $XDG_CONFIG_HOME/corvant-fwupdate.ini (by default ~/.config).\n";

// An error that no handler caught is shown, and the program goes on.
class Application : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception &e) {
            QMessageBox::critical(nullptr, applicationTitle(), QString::fromUtf8(e.what()));
        } catch (...) {
            QMessageBox::critical(nullptr, applicationTitle(),
                                  QCoreApplication::translate("Application", "Unknown error"));
        }
        return false;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    // Answered before any window: a script may ask where there is no display.
    if (const std::optional<int> answered
        = answerVersionOrHelp(argc, argv, "corvant-fwupdate", kUsage))
        return *answered;
    applyDefaultLoggingRules();
    Application app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvant-fwupdate"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CORVANT_VERSION));
    // The system locale's language, where it is shipped; English otherwise.
    // (Not inside qCDebug's statement: that is not run when debug is off.)
    const QStringList translations = installTranslations(app);
    qCDebug(lcWindow).noquote() << "translations" << translations.join(u' ');
    // Docks and Wayland compositors match the window with its menu entry.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
    // The main window's close ends the program, whatever else is open.
    app.setQuitOnLastWindowClosed(false);

    TFormMain::Environment environment;
    environment.programPath = QCoreApplication::applicationFilePath();
    // What Qt left of the command line (it takes its own options), as bytes:
    // a file name that is not UTF-8 still names its file.
    for (int i = 1; i < argc; ++i)
        environment.arguments << SafeFile::nameFromNative(QByteArray(argv[i]));
    environment.settingsPath
        = AppSettings::location(AppSettings::fileName(environment.programPath));
    environment.systemSerialDevices = SerialPorts::systemDevices();
    // The label server: on the session bus, started by the bus, or the one
    // installed next to this program.
    DBusLabelServer labelServer(
        {QCoreApplication::applicationDirPath() + QStringLiteral("/corvant-label-server")});
    environment.labelServer = &labelServer;

    TFormMain form(environment);
    if (form.session().quitAtStart())
        return 0;
    // The theme's icon, or the one built in (its resources are the window's).
    QIcon builtIn;
    for (const char *size : {"64", "256"})
        builtIn.addFile(QStringLiteral(":/icons/%1/corvant-fwupdate.png").arg(QLatin1String(size)));
    QApplication::setWindowIcon(QIcon::fromTheme(QString::fromLatin1(kIconName), builtIn));
    QObject::connect(&form, &TFormMain::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    form.show();
    app.exec();
    return form.session().exitCode();
}
