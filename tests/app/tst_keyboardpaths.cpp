// The window's keyboard paths as a person takes them: keys, text and clicks
// sent through a real X server under a window manager (xdotool, XTest), each
// checked by its effect: the boxes and dialogs it opened and their answers
// (the window's log), where the focus went, what the reader received.
#include "unattendedrun.h"
#include "xdisplay.h"

#include <QDeadlineTimer>

using namespace UnattendedRun;

namespace {

const QString kExample = QStringLiteral(CORVANT_SOURCE_DIR "/examples/reader_v1.00.hex");
const QString kLabel = QStringLiteral(CORVANT_SOURCE_DIR "/tools/label-server/quilmar.lbl");

// F2 twice, then F4, from the control that keeps the focus (%1).
const char *const kF2F2F4 = "key F2; dialog; key Escape; file (cancelled); focus %1; key F2; "
                            "dialog; key Escape; file (cancelled); focus %1; key F4; downloaded";

struct Path {
    const char *name;
    const char *steps;
    const char *values; // corvant-hextool patch's options over the panel's; null: not checked
    const char *faults; // of the simulated reader
};

const Path kPaths[] = {
    // F2 and F4 from every control that takes the focus, after other keys.
    {"port field, typed", "click editPort; key ctrl+a; type %PORT%; F2F2F4 editPort", "", ""},
    {"grid cell, editor open", "click SG1 0; type 456; key F4; downloaded", "--cf 456", ""},
    {"grid cell, editor closed", "click SG1 1; type 4567; key Return; F2F2F4 SG1", "--df 4567", ""},
    {"grid by Tab, typed at once", "tab SG1; type 123; key F4; downloaded", "--cf 123", ""},
    {"remembered row clicked, typed 50 ms later",
     "click SG1 0; wait 50; type 123; key Return; key F4; downloaded", "--cf 123", ""},
    {"other row clicked, typed 50 ms later",
     "click SG1 5; wait 50; type 77; key Return; key F4; downloaded", "--g 77", ""},
    {"relay time", "click editRelayTime; key ctrl+a; type 9; F2F2F4 editRelayTime", "--relay 9.0",
     ""},
    {"facility code", "click editFacility; key ctrl+a; type 1234; F2F2F4 editFacility",
     "--facility 1234", ""},
    {"file field", "tab editFile; F2F2F4 editFile", "", ""},
    {"browse button", "tab btnBrowse; F2F2F4 btnBrowse", "", ""},
    {"Save plain", "tab btnSave; F2F2F4 btnSave", "", ""},
    {"Save encrypted", "tab btnSaveAES; F2F2F4 btnSaveAES", "", ""},
    {"Print sticker", "tab btnNicePrint; F2F2F4 btnNicePrint", "", ""},
    {"label settings", "tab btnNiceSettings; F2F2F4 btnNiceSettings", "", ""},
    {"customer codes box", "tab chkCCODES; F2F2F4 chkCCODES", "", ""},
    {"EEPROM box", "tab chkEEPROM; F2F2F4 chkEEPROM", "", ""},
    {"Download button", "tab btnDownload; F2F2F4 btnDownload", "", ""},
    {"Exit button", "tab btnExit; F2F2F4 btnExit", "", ""},
    // Typed, off to another program and back: the reload keeps the code.
    {"code in an open editor, another program, back",
     "click SG1 0; type 456; away; back; key F4; downloaded", "--cf 456", ""},
    {"code entered, another program, back",
     "click SG1 1; type 4567; key Return; away; back; key F4; downloaded", "--df 4567", ""},
    // Return and the accelerators; the Tab cycle in visual order, and back.
    {"Return on the focused Download button", "tab btnDownload; key Return; downloaded", "", ""},
    {"Alt+D", "key alt+d; downloaded", "", ""},
    {"Alt+X", "key alt+x; exits 0", nullptr, ""},
    {"Tab cycle", "CYCLE Tab", nullptr, ""},
    {"Shift+Tab cycle", "CYCLE shift+Tab", nullptr, ""},
    // Return and Escape in the boxes and dialogs of the day.
    {"range message: Return, then Escape",
     "click SG1 0; type 1000; key Tab; message code out of range (1 - 999); key Return; answer "
     "Ok; focus SG1; key Tab; message code out of range; key Escape; answer Ok; focus SG1",
     nullptr, ""},
    {"no-codes question: Escape, then Return",
     "tab btnSave; key Return; message No customer codes; key Escape; answer No; focus SG1; tab "
     "btnSave; key Return; message No customer codes; key Return; answer Yes; dialog; key Escape; "
     "file (cancelled)",
     nullptr, ""},
    {"save dialog: Return",
     "click SG1 0; type 12; key Return; tab btnSave; key Return; dialog; key ctrl+a; type "
     "%DIR%/new.hex; key Return; message Saved %DIR%/new.hex; key Return; answer Ok; made new.hex",
     nullptr, ""},
    {"replace question: Return, then Escape",
     "make old.hex; click SG1 0; type 12; key Return; tab btnSave; key Return; dialog; key ctrl+a; "
     "type %DIR%/old.hex; key Return; message old.hex already exists; key Return; answer No; key "
     "Return; message old.hex already exists; key Escape; answer No; key Escape; file (cancelled); "
     "kept old.hex",
     nullptr, ""},
    {"abort question: Escape, then Return",
     "key F4; status Downloading; key alt+c; message Are you sure to abort; key Escape; answer No; "
     "key alt+c; message Are you sure to abort; key Return; answer Yes; message Download "
     "cancelled; key Return; answer Ok",
     nullptr, "--baud 4800"},
    {"abort question left open: withdrawn when the download ends",
     "key F4; status Downloading; key alt+c; message Are you sure to abort; message Download "
     "successfully completed; gone Warning; key Return; answer Ok; answer Closed",
     "", "--baud 9600"},
    {"failure question: Return, then Escape",
     "key F4; message Write failed; key Return; answer Retry; message Write failed; key Escape; "
     "answer Abort; message Download cancelled; key Return; answer Ok",
     nullptr, "--write-failed 3,5"},
    {"variable-name boxes",
     "tab btnNiceSettings; key Return; dialog; key ctrl+a; type %LABEL%; key Return; input; key "
     "Return; answer firmware; input; key Escape; answer (cancelled); key alt+x; exits 0; setting "
     "filename=%LABEL%; setting varname1=firmware; setting varname2=custcode",
     nullptr, ""},
};

const char *const kTabOrder[]
    = {"editPort",     "editFile",  "btnBrowse",   "SG1",          "editRelayTime",
       "editFacility", "btnSave",   "btnSaveAES",  "btnNicePrint", "btnNiceSettings",
       "chkCCODES",    "chkEEPROM", "btnDownload", "btnExit"};

// The steps of a path, the shorthands written out.
QString expand(QString steps)
{
    static const QRegularExpression f2f2f4(QStringLiteral("F2F2F4 (\\w+)"));
    for (QRegularExpressionMatch m = f2f2f4.match(steps); m.hasMatch(); m = f2f2f4.match(steps))
        steps.replace(m.capturedStart(), m.capturedLength(),
                      QString::fromLatin1(kF2F2F4).arg(m.captured(1)));
    if (steps.startsWith(QLatin1String("CYCLE "))) {
        const QString key = steps.mid(6);
        QStringList order;
        for (const char *control : kTabOrder)
            order << QLatin1String(control);
        order << order.first();
        if (key.startsWith(QLatin1String("shift")))
            std::reverse(order.begin(), order.end());
        steps = QStringLiteral("focus ") + order.join(QStringLiteral("; key %1; focus ").arg(key));
    }
    return steps;
}

} // namespace

class TestKeyboardPaths : public QObject {
    Q_OBJECT

    XDisplay m_display;
    QTemporaryDir m_programs; // the window and the label server side by side
    QProcess m_program; // under dbus-run-session, so the label server is there
    QProcess m_other; // another program to switch to
    QByteArray m_window;
    QByteArray m_partial;
    QStringList m_log; // the window's log so far
    qsizetype m_next = 0; // the first line not yet awaited

    QString xdotool(const QStringList &arguments)
    {
        return QString::fromUtf8(m_display.xdotool(arguments));
    }
    bool send(const QStringList &arguments) { return m_display.send(arguments); }

    void read()
    {
        m_partial += m_program.readAllStandardError();
        for (qsizetype end; (end = m_partial.indexOf('\n')) >= 0; m_partial.remove(0, end + 1)) {
            const QString line = QString::fromUtf8(m_partial.left(end));
            if (line.startsWith(QLatin1String("corvant.window: ")))
                m_log << line.mid(16);
        }
    }

    template<class Condition> bool until(Condition condition, int milliseconds = 20000)
    {
        const QDeadlineTimer deadline(milliseconds);
        for (read(); !condition(); read()) {
            if (deadline.hasExpired())
                return false;
            m_program.waitForReadyRead(30);
        }
        return true;
    }

    // The next log line that matches; its first capture in *captured.
    bool await(const QString &pattern, QString *captured = nullptr)
    {
        const QRegularExpression expression(pattern);
        return until([&] {
            while (m_next < m_log.size()) {
                const QRegularExpressionMatch match = expression.match(m_log.at(m_next++));
                if (match.hasMatch() && captured)
                    *captured = match.captured(1);
                if (match.hasMatch())
                    return true;
            }
            return false;
        });
    }

    QString focus() const
    {
        for (qsizetype i = m_log.size() - 1; i >= 0; --i) {
            if (m_log.at(i).startsWith(QLatin1String("focus ")))
                return m_log.at(i).mid(6);
        }
        return {};
    }

    // A box or dialog the log named holds the X server's input focus: the
    // keys sent next reach it, not the window below.
    bool opened(const QString &pattern)
    {
        QString title;
        return await(pattern, &title) && until([&] {
                   return xdotool(
                              {QStringLiteral("getactivewindow"), QStringLiteral("getwindowname")})
                       == title;
               });
    }

    QRect control(const QString &name) const
    {
        const QRegularExpression place(
            QStringLiteral("^control %1 (\\d+) (\\d+) (\\d+) (\\d+)$").arg(name));
        QRect rect;
        for (const QString &line : m_log) {
            if (const QRegularExpressionMatch m = place.match(line); m.hasMatch())
                rect = QRect(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                             m.captured(4).toInt());
        }
        return rect;
    }

    bool start(const QString &settings)
    {
        QProcessEnvironment environment = m_display.environment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), settings);
        environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                           QStringLiteral("corvant.window.debug=true"));
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        m_program.setProcessEnvironment(environment);
        m_log.clear();
        m_partial.clear();
        m_next = 0;
        m_program.start(QStringLiteral("dbus-run-session"),
                        {QStringLiteral("--"),
                         m_programs.filePath(QStringLiteral("corvant-fwupdate")),
                         QStringLiteral("custcode"), kExample});
        m_window = m_display.window(QStringLiteral("^CORVANT Firmware Update Utility$"));
        return !m_window.isEmpty() && await(QStringLiteral("^label printing available$"))
            && send({QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                     QString::fromLatin1(m_window)})
            && until([this] { return focus() == QLatin1String("editPort"); });
    }

    void stop()
    {
        if (m_program.state() != QProcess::NotRunning) {
            const QString pid
                = xdotool({QStringLiteral("getwindowpid"), QString::fromLatin1(m_window)});
            QProcess::execute(QStringLiteral("kill"), {pid});
            if (!m_program.waitForFinished(10000))
                m_program.kill();
        }
        m_program.waitForFinished();
    }

    // One step of a path; false when its effect did not come.
    bool take(Run &run, const QString &step)
    {
        const QString verb = step.section(QLatin1Char(' '), 0, 0);
        const QString rest = step.section(QLatin1Char(' '), 1);
        const QString quoted = QRegularExpression::escape(rest);
        if (verb == QLatin1String("key"))
            return send(
                QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("60")}
                + rest.split(QLatin1Char(' ')));
        if (verb == QLatin1String("type"))
            return send(
                {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), rest});
        if (verb == QLatin1String("wait"))
            return QTest::qWait(rest.toInt()), true;
        if (verb == QLatin1String("click")) {
            // A grid row's value cell: rows of 22 pixels inside a 1-pixel frame.
            const QRect c = control(rest.section(QLatin1Char(' '), 0, 0));
            const QString row = rest.section(QLatin1Char(' '), 1);
            const QPoint at = row.isEmpty()
                ? c.center()
                : QPoint(c.x() + c.width() * 2 / 3, c.y() + 12 + row.toInt() * 22);
            return !c.isEmpty()
                && send({QStringLiteral("mousemove"), QStringLiteral("--window"),
                         QString::fromLatin1(m_window), QString::number(at.x()),
                         QString::number(at.y()), QStringLiteral("click"), QStringLiteral("1")});
        }
        if (verb == QLatin1String("tab")) {
            for (int i = 0; i < 25 && focus() != rest; ++i) {
                send({QStringLiteral("key"), QStringLiteral("Tab")});
                until([&, seen = m_log.size()] { return m_log.size() > seen; }, 3000);
            }
            return focus() == rest;
        }
        if (verb == QLatin1String("focus"))
            return until([&] { return focus() == rest; });
        if (verb == QLatin1String("message"))
            return opened(QStringLiteral("^message ([^:]*): .*") + quoted);
        if (verb == QLatin1String("dialog"))
            return opened(QStringLiteral("^file dialog ((?!.* -> ).*)$"));
        if (verb == QLatin1String("input"))
            return opened(QStringLiteral("^input ([^:]*): "));
        if (verb == QLatin1String("answer"))
            return await(QStringLiteral("^answer ") + quoted + QLatin1Char('$'));
        if (verb == QLatin1String("file"))
            return await(QStringLiteral("^file dialog .* -> ") + quoted + QLatin1Char('$'));
        if (verb == QLatin1String("status"))
            return await(QStringLiteral("^status ") + quoted);
        if (verb == QLatin1String("downloaded"))
            return take(run, QStringLiteral("message Download successfully completed"))
                && take(run, QStringLiteral("key Return"))
                && take(run, QStringLiteral("answer Ok"));
        if (verb == QLatin1String("away")) {
            m_other.setProcessEnvironment(m_display.environment());
            m_other.start(QStringLiteral(CORVANT_XMESSAGE), {QStringLiteral("another program")});
            const QByteArray other = m_display.window(QStringLiteral("^xmessage$"));
            return send({QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                         QString::fromLatin1(other)})
                && take(run, QStringLiteral("focus (none)"));
        }
        if (verb == QLatin1String("back")) {
            m_other.kill();
            m_other.waitForFinished();
            return send({QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                         QString::fromLatin1(m_window)})
                && until([this] { return focus() != QLatin1String("(none)"); });
        }
        if (verb == QLatin1String("gone"))
            return until([&] {
                return xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                QStringLiteral("--name"),
                                QLatin1Char('^') + rest + QLatin1Char('$')})
                    .isEmpty();
            });
        if (verb == QLatin1String("exits"))
            return m_program.waitForFinished(kWait) && m_program.exitCode() == rest.toInt();
        const QString file = run.dir.filePath(rest.section(QLatin1Char(' '), 0, 0));
        if (verb == QLatin1String("make"))
            return TestFiles::write(file, "kept\r\n");
        if (verb == QLatin1String("kept"))
            return TestFiles::read(file) == "kept\r\n";
        if (verb == QLatin1String("made"))
            return QFileInfo(file).size() > 1000;
        if (verb == QLatin1String("setting"))
            return TestFiles::read(run.path("corvant-fwupdate.ini"))
                .contains(QByteArray(rest.toUtf8() + "\r\n"));
        qWarning("unknown step %s", qPrintable(step));
        return false;
    }

    // The example as corvant-hextool patches it with the panel's starting
    // values and those of the path.
    static QString expectedImage(Run &run, const QString &values)
    {
        const QString expected = run.path("expected.hex");
        QProcess tool;
        tool.start(QStringLiteral(CORVANT_HEXTOOL),
                   QStringList{QStringLiteral("patch"), kExample, expected}
                       + QStringLiteral("--relay 5.0 --facility 10 --cf 0 --c 0 --df 0 --d 0 --gf "
                                        "0 --g 0 --a 0 --b 0")
                             .split(QLatin1Char(' '))
                       + values.split(QLatin1Char(' '), Qt::SkipEmptyParts));
        tool.waitForFinished(kWait);
        return expected;
    }

private slots:
    void cleanup() { stop(); } // also after a failed step

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
        QTest::addColumn<QString>("values");
        QTest::addColumn<QString>("faults");
        for (const Path &path : kPaths)
            QTest::newRow(path.name)
                << expand(QLatin1String(path.steps))
                << QString(path.values ? QLatin1String(path.values) : QLatin1String())
                << QString::fromLatin1(path.faults);
    }

    void path()
    {
        QFETCH(QString, steps);
        QFETCH(QString, values);
        QFETCH(QString, faults);

        Run run;
        const QString reader
            = run.startTcpSimulator(faults.split(QLatin1Char(' '), Qt::SkipEmptyParts));
        QVERIFY(!reader.isEmpty());
        const bool typed = steps.contains(QLatin1String("%PORT%"));
        QVERIFY(TestFiles::write(
            run.path("corvant-fwupdate.ini"),
            "[settings]\r\ncomport=" + (typed ? QByteArray("COM1") : reader.toLatin1()) + "\r\n"));
        QVERIFY(start(run.dir.path()));
        for (QString step : steps.split(QLatin1Char(';'))) {
            step = step.trimmed()
                       .replace(QLatin1String("%PORT%"), reader)
                       .replace(QLatin1String("%DIR%"), run.dir.path())
                       .replace(QLatin1String("%LABEL%"), kLabel);
            QVERIFY2(
                step.isEmpty() || take(run, step),
                qPrintable(QStringLiteral("step \"%1\" failed; the window's log ends:\n%2")
                               .arg(step, m_log.mid(m_log.size() - 12).join(QLatin1Char('\n')))));
        }
        stop();
        run.simulator.terminate(); // it writes what it holds
        QVERIFY(run.simulator.waitForFinished(kWait));
        // A download in settings mode sends the program and the customer
        // code table, no configuration words, no EEPROM data.
        const auto sent = [](int firstWord) { return firstWord < 0x2000; };
        if (!values.isNull())
            compareWords(fileWords(run.path("dump.hex"), sent),
                         fileWords(expectedImage(run, values), sent));
    }
};

QTEST_GUILESS_MAIN(TestKeyboardPaths)
#include "tst_keyboardpaths.moc"
