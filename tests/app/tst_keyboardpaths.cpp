// The window's keyboard paths as a person takes them: keys, text and clicks
// sent through a real X server under a window manager (xdotool, XTest), each
// path checked by its effect: the boxes and dialogs it opened and how they
// were answered (the window's log), where the focus went, and what the
// reader received.
#include "unattendedrun.h"
#include "xdisplay.h"

#include <QDeadlineTimer>

using namespace UnattendedRun;

namespace {

const QString kExample = QStringLiteral(CORVANT_SOURCE_DIR "/examples/reader_v1.00.hex");
const QString kLabel = QStringLiteral(CORVANT_SOURCE_DIR "/tools/label-server/quilmar.lbl");

// F2 twice and F4 once, each from the control named, which keeps the focus.
QString f2f2f4(const QString &control)
{
    const QString browse
        = QStringLiteral("key F2; dialog; key Escape; file (cancelled); focus %1; ").arg(control);
    return browse + browse + QStringLiteral("key F4; downloaded");
}

// The program under test, run on a session bus of its own with the label
// server next to it (so the sticker buttons are there), its window log read
// as it comes.
class Program {
public:
    // settings: the folder of its settings file; programs: of the window
    // and the label server.
    Program(const XDisplay &display, const QString &settings, const QString &programs)
        : m_display(display)
        , m_folder(settings)
        , m_programs(programs)
    {
    }
    ~Program() { stop(); }

    bool start(const QStringList &arguments)
    {
        QProcessEnvironment environment = m_display.environment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_folder);
        environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                           QStringLiteral("corvant.window.debug=true"));
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        m_process.setProcessEnvironment(environment);
        m_process.start(
            QStringLiteral("dbus-run-session"),
            QStringList{QStringLiteral("--"), m_programs + QStringLiteral("/corvant-fwupdate")}
                + arguments);
        m_window = m_display.window(QStringLiteral("^CORVANT Firmware Update Utility$"));
        if (m_window.isEmpty() || await(QStringLiteral("^label printing available$")).isNull())
            return false;
        return activate() && focusIs(QStringLiteral("editPort"));
    }

    bool activate()
    {
        return m_display.send({QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                               QString::fromLatin1(m_window)});
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        const QByteArray pid
            = m_display.xdotool({QStringLiteral("getwindowpid"), QString::fromLatin1(m_window)});
        if (!pid.isEmpty())
            QProcess::execute(QStringLiteral("kill"), {QString::fromLatin1(pid)});
        if (!m_process.waitForFinished(10000))
            m_process.kill();
        m_process.waitForFinished();
    }

    // The next log line that matches, after the last one matched; its first
    // captured text, or a null text when none came in time.
    QString await(const QString &pattern, int milliseconds = 20000)
    {
        const QRegularExpression expression(pattern);
        const QDeadlineTimer deadline(milliseconds);
        for (;;) {
            read();
            while (m_next < m_lines.size()) {
                const QRegularExpressionMatch match = expression.match(m_lines.at(m_next++));
                if (match.hasMatch())
                    return match.captured(1).isNull() ? QStringLiteral("") : match.captured(1);
            }
            if (deadline.hasExpired())
                return {};
            m_process.waitForReadyRead(50);
        }
    }

    // A box or dialog the log named has the X server's input focus: keys
    // sent now reach it, not the window below.
    bool active(const QString &title)
    {
        if (title.isNull())
            return false;
        const QDeadlineTimer deadline(10000);
        while (
            m_display.xdotool({QStringLiteral("getactivewindow"), QStringLiteral("getwindowname")})
            != title.toUtf8()) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(20);
        }
        return true;
    }

    QString focus()
    {
        read();
        for (qsizetype i = m_lines.size() - 1; i >= 0; --i) {
            if (m_lines.at(i).startsWith(QLatin1String("focus ")))
                return m_lines.at(i).mid(6);
        }
        return {};
    }

    bool focusIs(const QString &control)
    {
        const QDeadlineTimer deadline(10000);
        while (focus() != control && !deadline.hasExpired())
            m_process.waitForReadyRead(50);
        return focus() == control;
    }

    // Where a control lies in the window's client area.
    QRect control(const QString &name)
    {
        read();
        const QRegularExpression place(QStringLiteral("^control %1 (\\d+) (\\d+) (\\d+) (\\d+)$")
                                           .arg(QRegularExpression::escape(name)));
        QRect rect;
        for (const QString &line : std::as_const(m_lines)) {
            const QRegularExpressionMatch match = place.match(line);
            if (match.hasMatch())
                rect = QRect(match.captured(1).toInt(), match.captured(2).toInt(),
                             match.captured(3).toInt(), match.captured(4).toInt());
        }
        return rect;
    }

    bool click(QPoint point)
    {
        return m_display.send({QStringLiteral("mousemove"), QStringLiteral("--window"),
                               QString::fromLatin1(m_window), QString::number(point.x()),
                               QString::number(point.y()), QStringLiteral("click"),
                               QStringLiteral("1")});
    }

    bool ended(int exitCode)
    {
        return m_process.waitForFinished(kWait) && m_process.exitCode() == exitCode;
    }

    QString recent()
    {
        read();
        if (m_lines.isEmpty())
            return QString::fromUtf8(m_partial + m_process.readAllStandardOutput());
        return m_lines.mid(std::max<qsizetype>(0, m_lines.size() - 12)).join(QLatin1Char('\n'));
    }

private:
    void read()
    {
        m_partial += m_process.readAllStandardError();
        qsizetype end;
        while ((end = m_partial.indexOf('\n')) >= 0) {
            QString line = QString::fromUtf8(m_partial.left(end));
            m_partial.remove(0, end + 1);
            if (line.startsWith(QLatin1String("corvant.window: ")))
                m_lines << line.mid(16);
        }
    }

    const XDisplay &m_display;
    QString m_folder;
    QString m_programs;
    QProcess m_process;
    QByteArray m_window;
    QByteArray m_partial;
    QStringList m_lines;
    qsizetype m_next = 0;
};

} // namespace

class TestKeyboardPaths : public QObject {
    Q_OBJECT

    XDisplay m_display;
    QProcess m_other; // another program to switch to
    QTemporaryDir m_programs; // the window and the label server, side by side
    const QString m_panelDefaults = QStringLiteral(""); // the reader holds the panel's values

private slots:
    void initTestCase()
    {
        QVERIFY(m_display.start(true));
        for (const QString &program :
             {QStringLiteral(CORVANT_FWUPDATE), QStringLiteral(CORVANT_LABEL_SERVER)})
            QVERIFY(QFile::copy(program, m_programs.filePath(QFileInfo(program).fileName())));
    }

    void path_data()
    {
        QTest::addColumn<QString>("steps");
        // corvant-hextool patch's options for what the reader must hold, over
        // the panel's own values; a null text: not checked.
        QTest::addColumn<QString>("values");
        QTest::addColumn<QStringList>("faults"); // of the simulated reader

        const QStringList none;
        // F2 and F4 from every control that takes the focus.
        QTest::newRow("port field, typed")
            << QStringLiteral("click editPort; key ctrl+a; type 127.0.0.1:%PORT%; ")
                + f2f2f4(QStringLiteral("editPort"))
            << m_panelDefaults << none;
        QTest::newRow("grid cell, editor open")
            << QStringLiteral("click SG1 0; type 456; key F4; downloaded") << "--cf 456" << none;
        QTest::newRow("grid cell, editor closed")
            << QStringLiteral("click SG1 1; type 4567; key Return; ")
                + f2f2f4(QStringLiteral("SG1"))
            << "--df 4567" << none;
        QTest::newRow("grid by Tab, typed at once")
            << QStringLiteral("tab SG1; type 123; key F4; downloaded") << "--cf 123" << none;
        QTest::newRow("remembered row clicked, typed 50 ms later")
            << QStringLiteral("click SG1 0; wait 50; type 123; key Return; key F4; downloaded")
            << "--cf 123" << none;
        QTest::newRow("other row clicked, typed 50 ms later")
            << QStringLiteral("click SG1 5; wait 50; type 77; key Return; key F4; downloaded")
            << "--g 77" << none;
        QTest::newRow("relay time") << QStringLiteral("click editRelayTime; key ctrl+a; type 9; ")
                + f2f2f4(QStringLiteral("editRelayTime"))
                                    << "--relay 9.0" << none;
        QTest::newRow("facility code")
            << QStringLiteral("click editFacility; key ctrl+a; type 1234; ")
                + f2f2f4(QStringLiteral("editFacility"))
            << "--facility 1234" << none;
        for (const char *control :
             {"editFile", "btnBrowse", "btnSave", "btnSaveAES", "btnNicePrint", "btnNiceSettings",
              "chkCCODES", "chkEEPROM", "btnDownload", "btnExit"}) {
            const QString name = QLatin1String(control);
            QTest::newRow(control)
                << QStringLiteral("tab %1; ").arg(name) + f2f2f4(name) << m_panelDefaults << none;
        }

        // Typed, then off to another program and back: the activation's
        // reload keeps what was typed.
        QTest::newRow("code typed, editor open, another program, back")
            << QStringLiteral("click SG1 0; type 456; away; back; key F4; downloaded") << "--cf 456"
            << none;
        QTest::newRow("code typed and entered, another program, back")
            << QStringLiteral("click SG1 1; type 4567; key Return; away; back; key F4; downloaded")
            << "--df 4567" << none;

        // Return and the accelerators.
        QTest::newRow("Return on the focused Download button")
            << QStringLiteral("tab btnDownload; key Return; downloaded") << m_panelDefaults << none;
        QTest::newRow("Alt+D") << QStringLiteral("key alt+d; downloaded") << m_panelDefaults
                               << none;
        QTest::newRow("Alt+X") << QStringLiteral("key alt+x; exits 0") << QString() << none;

        // The Tab cycle in visual order, and back.
        const QStringList order{QStringLiteral("editPort"),      QStringLiteral("editFile"),
                                QStringLiteral("btnBrowse"),     QStringLiteral("SG1"),
                                QStringLiteral("editRelayTime"), QStringLiteral("editFacility"),
                                QStringLiteral("btnSave"),       QStringLiteral("btnSaveAES"),
                                QStringLiteral("btnNicePrint"),  QStringLiteral("btnNiceSettings"),
                                QStringLiteral("chkCCODES"),     QStringLiteral("chkEEPROM"),
                                QStringLiteral("btnDownload"),   QStringLiteral("btnExit"),
                                QStringLiteral("editPort")};
        QString forward;
        QString backward;
        for (qsizetype i = 0; i < order.size(); ++i) {
            forward += QStringLiteral("focus %1; key Tab; ").arg(order.at(i));
            backward
                += QStringLiteral("focus %1; key shift+Tab; ").arg(order.at(order.size() - 1 - i));
        }
        QTest::newRow("Tab cycle") << forward << QString() << none;
        QTest::newRow("Shift+Tab cycle") << backward << QString() << none;

        // Return and Escape in the boxes and dialogs of the day.
        for (const char *key : {"Return", "Escape"}) {
            const QString k = QLatin1String(key);
            QTest::newRow(qPrintable(QStringLiteral("range message, ") + k))
                << QStringLiteral("click SG1 0; type 1000; key Tab; message code out of range (1 - "
                                  "999); key %1; answer Ok; focus SG1")
                       .arg(k)
                << QString() << none;
            QTest::newRow(qPrintable(QStringLiteral("replace question, ") + k))
                << QStringLiteral("make old.hex; click SG1 0; type 12; key Return; tab btnSave; "
                                  "key Return; dialog; key ctrl+a; type %DIR%/old.hex; key Return; "
                                  "message old.hex already exists; key %1; answer No; key Escape; "
                                  "file (cancelled); kept old.hex")
                       .arg(k)
                << QString() << none;
        }
        QTest::newRow("no-codes question, Return")
            << QStringLiteral("tab btnSave; key Return; message No customer codes specified; key "
                              "Return; answer Yes; dialog; key Escape; file (cancelled)")
            << QString() << none;
        QTest::newRow("no-codes question, Escape")
            << QStringLiteral("tab btnSave; key Return; message No customer codes specified; key "
                              "Escape; answer No; focus SG1")
            << QString() << none;
        QTest::newRow("save dialog, Return")
            << QStringLiteral("click SG1 0; type 12; key Return; tab btnSave; key Return; dialog; "
                              "key ctrl+a; type %DIR%/new.hex; key Return; file %DIR%/new.hex; "
                              "message Saved %DIR%/new.hex; key Return; answer Ok; made new.hex")
            << QString() << none;
        const QStringList paced{QStringLiteral("--baud"), QStringLiteral("9600")};
        QTest::newRow("abort question, Return")
            << QStringLiteral("key F4; status Downloading; key alt+c; message Are you sure to "
                              "abort; key Return; answer Yes; message Download cancelled; key "
                              "Return; answer Ok")
            << QString() << paced;
        QTest::newRow("abort question, Escape")
            << QStringLiteral("key F4; status Downloading; key alt+c; message Are you sure to "
                              "abort; key Escape; answer No; downloaded")
            << m_panelDefaults << paced;
        QTest::newRow("abort question left open: withdrawn when the download ends")
            << QStringLiteral("key F4; status Downloading; key alt+c; message Are you sure to "
                              "abort; message Download successfully completed; gone Warning; key "
                              "Return; answer Ok; answer Closed")
            << m_panelDefaults << paced;
        const QStringList failing{QStringLiteral("--write-failed"), QStringLiteral("3")};
        QTest::newRow("failure question, Return")
            << QStringLiteral("key F4; message Write failed; key Return; answer Retry; downloaded")
            << m_panelDefaults << failing;
        QTest::newRow("failure question, Escape")
            << QStringLiteral("key F4; message Write failed; key Escape; answer Abort; message "
                              "Download cancelled; key Return; answer Ok")
            << QString() << failing;
        QTest::newRow("variable-name boxes")
            << QStringLiteral("tab btnNiceSettings; key Return; dialog; key ctrl+a; type %LABEL%; "
                              "key Return; file %LABEL%; input; key Return; answer firmware; "
                              "input; key Escape; answer (cancelled); key alt+x; exits 0; setting "
                              "filename=%LABEL%; setting varname1=firmware; setting "
                              "varname2=custcode")
            << QString() << none;
    }

    void path()
    {
        QFETCH(QString, steps);
        QFETCH(QString, values);
        QFETCH(QStringList, faults);

        Run run;
        const QString port = QString(run.startTcpSimulator(faults)).mid(10);
        QVERIFY(!port.isEmpty());
        QVERIFY(TestFiles::write(run.path("corvant-fwupdate.ini"),
                                 "[settings]\r\ncomport="
                                     + (steps.contains(QLatin1String("%PORT%"))
                                            ? QByteArray("COM1")
                                            : "127.0.0.1:" + port.toLatin1())
                                     + "\r\n"));
        Program program(m_display, run.dir.path(), m_programs.path());
        QVERIFY2(program.start({QStringLiteral("custcode"), kExample}),
                 qPrintable(program.recent()));

        for (QString step : steps.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            step = step.trimmed();
            if (step.isEmpty())
                continue;
            step = step.replace(QLatin1String("%PORT%"), port)
                       .replace(QLatin1String("%DIR%"), run.dir.path())
                       .replace(QLatin1String("%LABEL%"), kLabel);
            QVERIFY2(take(program, run, step),
                     qPrintable(QStringLiteral("step \"%1\" failed; the window's log ends:\n%2")
                                    .arg(step, program.recent())));
        }
        program.stop();
        run.simulator.terminate(); // writes what it holds
        QVERIFY(run.simulator.waitForFinished(kWait));
        if (values.isNull())
            return;
        compareWords(fileWords(run.path("dump.hex"), sentInSettingsMode),
                     fileWords(expectedImage(run, values), sentInSettingsMode));
    }

private:
    // One step of a path; false when its effect did not come.
    bool take(Program &program, Run &run, const QString &step)
    {
        const QString verb = step.section(QLatin1Char(' '), 0, 0);
        const QString rest = step.section(QLatin1Char(' '), 1);
        const auto xdotool
            = [this](const QStringList &arguments) { return m_display.send(arguments); };
        if (verb == QLatin1String("key"))
            return xdotool(
                QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("60")}
                + rest.split(QLatin1Char(' ')));
        if (verb == QLatin1String("type"))
            return xdotool(
                {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), rest});
        if (verb == QLatin1String("wait")) {
            QTest::qWait(rest.toInt());
            return true;
        }
        if (verb == QLatin1String("click")) {
            const QRect place = program.control(rest.section(QLatin1Char(' '), 0, 0));
            if (place.isEmpty())
                return false;
            if (!rest.contains(QLatin1Char(' ')))
                return program.click(place.center());
            // A value cell of the grid: rows of 22 pixels inside a 1-pixel frame.
            const int row = rest.section(QLatin1Char(' '), 1).toInt();
            return program.click(
                {place.x() + place.width() * 2 / 3, place.y() + 1 + row * 22 + 11});
        }
        if (verb == QLatin1String("tab")) {
            for (int i = 0; i < 25 && program.focus() != rest; ++i) {
                xdotool({QStringLiteral("key"), QStringLiteral("Tab")});
                program.await(QStringLiteral("^focus "), 5000); // or none: a control without a name
            }
            return program.focus() == rest;
        }
        if (verb == QLatin1String("focus"))
            return program.focusIs(rest);
        if (verb == QLatin1String("message"))
            return program.active(program.await(QStringLiteral("^message ([^:]*): .*")
                                                + QRegularExpression::escape(rest)));
        if (verb == QLatin1String("answer"))
            return !program
                        .await(QStringLiteral("^answer ") + QRegularExpression::escape(rest)
                               + QLatin1Char('$'))
                        .isNull();
        if (verb == QLatin1String("downloaded"))
            return take(program, run, QStringLiteral("message Download successfully completed"))
                && take(program, run, QStringLiteral("key Return"))
                && take(program, run, QStringLiteral("answer Ok"));
        if (verb == QLatin1String("status"))
            return !program.await(QStringLiteral("^status ") + QRegularExpression::escape(rest))
                        .isNull();
        if (verb == QLatin1String("dialog"))
            return program.active(program.await(QStringLiteral("^file dialog ((?!.* -> ).*)$")));
        if (verb == QLatin1String("file"))
            return !program
                        .await(QStringLiteral("^file dialog .* -> ")
                               + QRegularExpression::escape(rest) + QLatin1Char('$'))
                        .isNull();
        if (verb == QLatin1String("input"))
            return program.active(program.await(QStringLiteral("^input ([^:]*): ")));
        if (verb == QLatin1String("away")) {
            m_other.setProcessEnvironment(m_display.environment());
            m_other.start(QStringLiteral(CORVANT_XMESSAGE), {QStringLiteral("another program")});
            const QByteArray other = m_display.window(QStringLiteral("^xmessage$"));
            return !other.isEmpty()
                && m_display.send({QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                                   QString::fromLatin1(other)})
                && program.focusIs(QStringLiteral("(none)"));
        }
        if (verb == QLatin1String("back")) {
            m_other.kill();
            m_other.waitForFinished();
            return program.activate()
                && !program.await(QStringLiteral("^focus (?!\\(none\\))")).isNull();
        }
        if (verb == QLatin1String("gone")) {
            const QStringList search{QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                     QStringLiteral("--name"),
                                     QLatin1Char('^') + rest + QLatin1Char('$')};
            const QDeadlineTimer deadline(10000);
            while (!m_display.xdotool(search).isEmpty() && !deadline.hasExpired())
                QTest::qWait(100);
            return m_display.xdotool(search).isEmpty();
        }
        if (verb == QLatin1String("exits"))
            return program.ended(rest.toInt());
        if (verb == QLatin1String("make"))
            return TestFiles::write(run.path(qPrintable(rest)), "kept\r\n");
        if (verb == QLatin1String("kept"))
            return TestFiles::read(run.path(qPrintable(rest))) == "kept\r\n";
        if (verb == QLatin1String("made"))
            return QFileInfo(run.path(qPrintable(rest))).size() > 1000;
        if (verb == QLatin1String("setting"))
            return TestFiles::read(run.path("corvant-fwupdate.ini"))
                .contains(QByteArray(rest.toUtf8() + "\r\n"));
        qWarning("unknown step %s", qPrintable(step));
        return false;
    }

    // The example as corvant-hextool writes it with the options the panel
    // starts with, and those of the row.
    static QString expectedImage(Run &run, const QString &values)
    {
        const QString expected = run.path("expected.hex");
        QStringList arguments{QStringLiteral("patch"),
                              kExample,
                              expected,
                              QStringLiteral("--relay"),
                              QStringLiteral("5.0"),
                              QStringLiteral("--facility"),
                              QStringLiteral("10")};
        for (const char *code : {"--cf", "--c", "--df", "--d", "--gf", "--g", "--a", "--b"})
            arguments << QLatin1String(code) << QStringLiteral("0");
        arguments << values.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QProcess tool;
        tool.start(QStringLiteral(CORVANT_HEXTOOL), arguments);
        tool.waitForFinished(kWait);
        return expected;
    }

    // A download in settings mode: program memory and the customer code
    // table (the panel ticks "Download customer codes"), no configuration
    // words, no EEPROM data.
    static bool sentInSettingsMode(int firstWord) { return firstWord < 0x2000; }
};

QTEST_GUILESS_MAIN(TestKeyboardPaths)
#include "tst_keyboardpaths.moc"
