// The program on a real X server (Xvfb), with and without a window manager
// (openbox): activation, placement and frames differ there from offscreen.
#include "unattendedrun.h"
#include "xdisplay.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

using namespace UnattendedRun;

namespace {

const QString kExample = QStringLiteral(CORVANT_SOURCE_DIR "/examples/reader_v1.00.hex");
const QString kTitle = QStringLiteral("^CORVANT Firmware Update Utility$");

// left and top as the settings file holds them.
QPoint storedPosition(const QString &settingsPath)
{
    const QByteArray text = TestFiles::read(settingsPath);
    const QRegularExpressionMatch match
        = QRegularExpression(QStringLiteral("left=(-?\\d+)\\r\\ntop=(-?\\d+)\\r\\n"))
              .match(QString::fromLatin1(text));
    return match.hasMatch() ? QPoint(match.captured(1).toInt(), match.captured(2).toInt())
                            : QPoint(-1, -1);
}

// An unattended download of the example to a fresh simulator on the given
// display: the utility's exit code, or -3 when the simulator did not start
// or did not end.
int downloadExample(Run &run, const XDisplay &display)
{
    const QString port = run.startTcpSimulator();
    if (port.isEmpty())
        return -3;
    const int code
        = run.runUtility({QStringLiteral("port=") + port, QStringLiteral("mode=auto"), kExample},
                         display.environment());
    return run.simulator.waitForFinished(kWait) ? code : -3;
}

} // namespace

class TestRealDisplay : public QObject {
    Q_OBJECT

private slots:
    // A production PC running a bare X session: nobody activates the window.
    void unattendedWithoutAWindowManager()
    {
        XDisplay display;
        QVERIFY(display.start(false));
        Run run;
        QCOMPARE(downloadExample(run, display), 1);
        QCOMPARE(run.utility.readAllStandardError(), QByteArray()); // no platform notices either
    }

    // Start after start, the window opens where it was, frame and all: the
    // title bar lies within the stored position, and closing stores it again.
    void positionSurvivesRestartsUnderAWindowManager()
    {
        XDisplay display;
        QVERIFY(display.start(true));
        QTemporaryDir dir;
        const QString settings = dir.filePath(QStringLiteral("corvant-fwupdate.ini"));
        QVERIFY(TestFiles::write(settings, "[formmain]\r\nleft=16\r\ntop=32\r\n"));
        QProcessEnvironment environment = display.environment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        for (int start = 1; start <= 3; ++start) {
            QProcess utility;
            utility.setProcessEnvironment(environment);
            utility.start(QStringLiteral(CORVANT_FWUPDATE), {kExample});
            const QByteArray window = display.xdotool(
                {QStringLiteral("search"), QStringLiteral("--sync"),
                 QStringLiteral("--onlyvisible"), QStringLiteral("--name"), kTitle});
            QVERIFY(!window.isEmpty());
            // The client area sits inside the frame, below its title bar.
            QTRY_VERIFY(display.clientCorner(window).x() > 16
                        && display.clientCorner(window).y() > 32);
            QVERIFY(display.clientCorner(window).y() < 32 + 60);
            // Exit (Alt+X) closes the window and stores its position.
            display.xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                             QString::fromLatin1(window), QStringLiteral("key"),
                             QStringLiteral("--clearmodifiers"), QStringLiteral("alt+x")});
            QVERIFY(utility.waitForFinished(kWait));
            QCOMPARE(utility.exitCode(), 0);
            QCOMPARE(storedPosition(settings), QPoint(16, 32));
        }
    }

    // At scale factor 2 the settings panel's window is taller than a
    // 1280x1024 screen: centred, its title bar still starts on the screen.
    // The title bar's height is taken from a start at a stored top of 0.
    void centredWindowKeepsItsTitleBarOnTheScreen()
    {
        XDisplay display;
        QVERIFY(display.start(true));
        QTemporaryDir dir;
        const QString settings = dir.filePath(QStringLiteral("corvant-fwupdate.ini"));
        QProcessEnvironment environment = display.environment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
        int titleBar = -1;
        for (const QByteArray &stored : {QByteArray("left=0\r\ntop=0\r\n"), QByteArray()}) {
            QVERIFY(TestFiles::write(settings, "[formmain]\r\n" + stored));
            QProcess utility;
            utility.setProcessEnvironment(environment);
            utility.start(QStringLiteral(CORVANT_FWUPDATE), {QStringLiteral("custcode"), kExample});
            const QByteArray window = display.window(kTitle);
            QVERIFY(!window.isEmpty());
            QTest::qWait(500); // the frame comes, the window is placed once more
            const QPoint client = display.clientCorner(window);
            if (titleBar < 0)
                titleBar = client.y();
            else
                QVERIFY2(client.y() >= titleBar && client.x() >= 0,
                         qPrintable(QStringLiteral("client area at %1,%2, title bar %3 high")
                                        .arg(client.x())
                                        .arg(client.y())
                                        .arg(titleBar)));
            utility.terminate();
            QVERIFY(utility.waitForFinished(kWait));
        }
        QVERIFY(titleBar > 0);
    }

    // The logging window opens level with the main window, also after the
    // main window moved.
    void loggingWindowBesideTheMovedMainWindow()
    {
        XDisplay display;
        QVERIFY(display.start(true));
        QTemporaryDir dir;
        QProcess utility;
        QProcessEnvironment environment = display.environment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        utility.setProcessEnvironment(environment);
        utility.start(QStringLiteral(CORVANT_FWUPDATE), {kExample});
        const QByteArray main
            = display.xdotool({QStringLiteral("search"), QStringLiteral("--sync"),
                               QStringLiteral("--onlyvisible"), QStringLiteral("--name"), kTitle});
        QVERIFY(!main.isEmpty());
        const auto toggleLog = [&] {
            // A double-click on the logo.
            display.xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"),
                             QString::fromLatin1(main), QStringLiteral("70"), QStringLiteral("40"),
                             QStringLiteral("click"), QStringLiteral("--repeat"),
                             QStringLiteral("2"), QStringLiteral("--delay"), QStringLiteral("80"),
                             QStringLiteral("1")});
        };
        const auto logWindow = [&] {
            return display.xdotool({QStringLiteral("search"), QStringLiteral("--sync"),
                                    QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                    QStringLiteral("^Logging$")});
        };

        toggleLog();
        QByteArray log = logWindow();
        QVERIFY(!log.isEmpty());
        QTRY_COMPARE(display.clientCorner(log).y(), display.clientCorner(main).y());

        toggleLog(); // hidden
        QTRY_VERIFY(display
                        .xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                  QStringLiteral("--name"), QStringLiteral("^Logging$")})
                        .isEmpty());
        display.xdotool({QStringLiteral("windowmove"), QString::fromLatin1(main),
                         QStringLiteral("200"), QStringLiteral("150")});
        QTRY_VERIFY(display.clientCorner(main).x() > 150);
        toggleLog();
        log = logWindow();
        QVERIFY(!log.isEmpty());
        QTRY_COMPARE(display.clientCorner(log).y(), display.clientCorner(main).y());
        QVERIFY(display.clientCorner(log).x() > display.clientCorner(main).x() + 345);

        utility.terminate();
        QVERIFY(utility.waitForFinished(kWait));
    }
};

QTEST_GUILESS_MAIN(TestRealDisplay)
#include "tst_realdisplay.moc"
