// corvant-flash end to end: the program against simulated readers in this
// process (TCP and a pseudo-terminal), each with its own faults.
#include "fulldisk.h"
#include "hexlines.h"
#include "reader-sim/simulatorserver.h"
#include "testfiles.h"
#include "unattendedrun.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTcpServer>

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using namespace UnattendedRun;

namespace {

const QString kExample = QStringLiteral(CORVANT_SOURCE_DIR "/examples/reader_v1.00.hex");

struct Reader {
    std::unique_ptr<SimulatorServer> server;
    QString port;
};

Reader tcpReader(SimulatorFaults faults = {}, int baud = 0)
{
    SimulatorServer::Options options;
    options.faults = std::move(faults);
    options.baud = baud;
    Reader reader{std::make_unique<SimulatorServer>(options), {}};
    reader.port = QStringLiteral("127.0.0.1:%1").arg(reader.server->listenTcp(0));
    return reader;
}

// corvant-flash with its settings folder in dir; the reader simulators in
// this process keep answering while it runs.
struct Flash {
    QTemporaryDir dir;
    QProcess process;
    int exitCode = -1;

    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }

    void start(const QStringList &arguments, int replyTimeoutMs = 300)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        environment.insert(QStringLiteral("CORVANT_FLASH_TEST_REPLY_TIMEOUT_MS"),
                           QString::number(replyTimeoutMs));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(CORVANT_FLASH), arguments);
    }
    // Waits with the event loop running; the exit code, -1 when it did not end.
    int finish()
    {
        QSignalSpy finished(&process, &QProcess::finished);
        if (process.state() != QProcess::NotRunning && !finished.wait(kWait))
            return -1;
        if (process.exitStatus() != QProcess::NormalExit)
            return -2;
        return process.exitCode();
    }
    int run(const QStringList &arguments)
    {
        start(arguments);
        return finish();
    }
    QJsonObject report() const
    {
        return QJsonDocument::fromJson(TestFiles::read(path("report.json"))).object();
    }
};

QJsonObject readerOf(const QJsonObject &report, const QString &port)
{
    for (const QJsonValue &reader : report.value(QLatin1String("readers")).toArray()) {
        if (reader.toObject().value(QLatin1String("port")).toString() == port)
            return reader.toObject();
    }
    return {};
}

// A pseudo-terminal of a given width for the program's standard error,
// raw (no CR added to line feeds), and everything written to it.
struct Terminal {
    int master = -1;
    int slave = -1;
    QString slavePath;
    QByteArray written;
    std::unique_ptr<QSocketNotifier> notifier;

    explicit Terminal(int columns)
    {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            return;
        slavePath = QString::fromLocal8Bit(ptsname(master));
        // Held open here so the terminal outlives the program's end.
        slave = ::open(ptsname(master), O_RDWR | O_NOCTTY);
        termios raw{};
        winsize size{};
        size.ws_col = static_cast<unsigned short>(columns);
        size.ws_row = 24;
        if (slave < 0 || ::tcgetattr(slave, &raw) != 0 || ::ioctl(master, TIOCSWINSZ, &size) != 0)
            return;
        cfmakeraw(&raw);
        ::tcsetattr(slave, TCSANOW, &raw);
        notifier = std::make_unique<QSocketNotifier>(master, QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] { drain(); });
    }
    ~Terminal()
    {
        notifier.reset();
        if (slave >= 0)
            ::close(slave);
        if (master >= 0)
            ::close(master);
    }
    bool ready() const { return notifier != nullptr; }
    void drain()
    {
        char buffer[4096];
        for (ssize_t got; (got = ::read(master, buffer, sizeof buffer)) > 0;)
            written.append(buffer, got);
    }
};

// Signals the program while it runs; false once it has ended, as its id
// is then 0 and kill() would signal the whole process group, the test too.
bool signalProgram(const QProcess &process, int signal)
{
    const qint64 pid = process.processId();
    return process.state() == QProcess::Running && pid > 0 && ::kill(pid_t(pid), signal) == 0;
}

} // namespace

class TestFlash : public QObject {
    Q_OBJECT

private slots:
    // Five readers at once: one plain, one refusing two writes, one silent
    // for good, one on a pseudo-terminal, one whose connection goes after
    // three writes. The silent one is abandoned after its retries, the
    // vanishing one ends as a closed connection; the others complete, with
    // the bytes of the image.
    void fourReadersInParallel()
    {
        Reader plain = tcpReader();
        SimulatorFaults refusing;
        refusing.writeFailed = {1, 2};
        Reader refuses = tcpReader(refusing);
        SimulatorFaults quiet;
        for (int message = 1; message <= 1000; ++message)
            quiet.silent.insert(message);
        Reader silent = tcpReader(quiet);
        SimulatorFaults leaving;
        leaving.closeAfter = {3}; // the peer vanishes mid-download
        Reader vanishes = tcpReader(leaving);
        Reader pty{std::make_unique<SimulatorServer>(SimulatorServer::Options{}), {}};
        pty.port = pty.server->openPty();
        QVERIFY(!pty.port.isEmpty());

        Flash flash;
        const int exitCode = flash.run(
            {QStringLiteral("-p"), plain.port, QStringLiteral("-p"), refuses.port,
             QStringLiteral("--port"), silent.port, QStringLiteral("-p"), pty.port,
             QStringLiteral("-p"), vanishes.port, QStringLiteral("--retries"), QStringLiteral("2"),
             QStringLiteral("--report"), flash.path("report.json"), kExample});
        QCOMPARE(exitCode, 3);

        const QMap<int, std::uint16_t> expected = sentWords(kExample, false);
        for (const Reader *reader : {&plain, &refuses, &pty})
            compareWords(reader->server->engine().memory().words(), expected);

        const QJsonObject report = flash.report();
        // The image as sent, with no option named, is the file's lines
        // each followed by CR LF.
        QByteArray text;
        for (QByteArray line : TestFiles::read(kExample).split('\n')) {
            if (line.endsWith('\r'))
                line.chop(1);
            text += line + "\r\n";
        }
        if (text.endsWith("\r\n\r\n"))
            text.chop(2); // the file's final line break opens no line
        QCOMPARE(report.value(QLatin1String("imageSha256")).toString(),
                 QString::fromLatin1(
                     QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex()));
        QCOMPARE(report.value(QLatin1String("readers")).toArray().size(), 5);
        const QJsonObject gone = readerOf(report, vanishes.port);
        QCOMPARE(gone.value(QLatin1String("outcome")).toString(),
                 QStringLiteral("ConnectionClosed"));
        QCOMPARE(gone.value(QLatin1String("status")).toString(),
                 QStringLiteral("WinSock connection closed"));
        QCOMPARE(gone.value(QLatin1String("recordsAcknowledged")).toInt(), 3);

        // One write message per data record sent (none of the example's
        // records needs more than one), counted from the file itself.
        int records = 0;
        for (const QByteArray &line : TestFiles::read(kExample).split('\n')) {
            if (line.startsWith(':') && line.mid(7, 2) == "00" && !hexWords(line, [](int first) {
                                                                       return sentByDownload(first,
                                                                                             false);
                                                                   }).isEmpty())
                ++records;
        }
        for (const QString &port : {plain.port, refuses.port, pty.port}) {
            const QJsonObject reader = readerOf(report, port);
            QCOMPARE(reader.value(QLatin1String("outcome")).toString(),
                     QStringLiteral("Completed"));
            QCOMPARE(reader.value(QLatin1String("status")).toString(),
                     QStringLiteral("Download successfully completed"));
            QCOMPARE(reader.value(QLatin1String("recordsAcknowledged")).toInt(), records);
        }
        QCOMPARE(readerOf(report, refuses.port).value(QLatin1String("retries")).toInt(), 2);
        QCOMPARE(readerOf(report, plain.port).value(QLatin1String("retries")).toInt(), 0);
        const QJsonObject abandoned = readerOf(report, silent.port);
        QCOMPARE(abandoned.value(QLatin1String("outcome")).toString(), QStringLiteral("Cancelled"));
        QCOMPARE(abandoned.value(QLatin1String("retries")).toInt(), 2);
        QCOMPARE(abandoned.value(QLatin1String("recordsAcknowledged")).toInt(), 0);
        // One wake-up, the first write three times, then the end message
        // once: Abort sends it, and its time-out ends the download.
        QCOMPARE(abandoned.value(QLatin1String("messagesSent")).toInt(), 1 + 3 + 1);
        const QDateTime started = QDateTime::fromString(
            abandoned.value(QLatin1String("started")).toString(), Qt::ISODateWithMs);
        const QDateTime ended = QDateTime::fromString(
            abandoned.value(QLatin1String("ended")).toString(), Qt::ISODateWithMs);
        QVERIFY(started.isValid() && started.timeSpec() == Qt::UTC);
        QVERIFY(ended >= started.addMSecs(4 * 300));

        const QByteArray summary = flash.process.readAllStandardOutput();
        QVERIFY(summary.contains(silent.port.toLatin1()));
        QVERIFY(summary.contains("Download cancelled"));
        QCOMPARE(summary.count("Download successfully completed"), 3);
    }

    // The simulator program as a rack: --count readers on consecutive TCP
    // ports or on numbered pseudo-terminals, each with its own memory and
    // dump; --once ends it when every reader has completed a download.
    void rackOfSimulatorProgram_data()
    {
        QTest::addColumn<bool>("pty");
        QTest::newRow("TCP") << false;
        QTest::newRow("pseudo-terminals") << true;
    }
    void rackOfSimulatorProgram()
    {
        QFETCH(bool, pty);
        constexpr int kReaders = 3;
        Flash flash;
        QProcess simulator;
        const QString dumps = flash.path("dumps");
        simulator.start(QStringLiteral(CORVANT_READER_SIM),
                        {pty ? QStringLiteral("--pty") : QStringLiteral("--tcp"),
                         pty ? flash.path("reader") : QStringLiteral("0"),
                         QStringLiteral("--count"), QString::number(kReaders),
                         QStringLiteral("--once"), QStringLiteral("--dump"), dumps});
        QStringList arguments;
        QByteArray settings = "; the window's settings\r\n[ports]\r\n";
        QByteArray banner;
        while (banner.count('\n') < kReaders && simulator.waitForReadyRead(kWait))
            banner += simulator.readAllStandardOutput();
        const QList<QByteArray> lines = banner.trimmed().split('\n');
        QCOMPARE(lines.size(), kReaders);
        for (int i = 0; i < kReaders; ++i) {
            if (pty) {
                // Reached as COM11.. through the window's [ports] section.
                const QString link = flash.path("reader") + QString::number(i);
                QVERIFY(lines[i].endsWith(QByteArray("linked as " + link.toLocal8Bit())));
                settings += QStringLiteral("COM%1=%2\r\n").arg(11 + i).arg(link).toLocal8Bit();
                arguments << QStringLiteral("-p") << QStringLiteral("COM%1").arg(11 + i);
            } else {
                const int port = lines[i].mid(lines[i].lastIndexOf(':') + 1).toInt();
                QCOMPARE(port, lines[0].mid(lines[0].lastIndexOf(':') + 1).toInt() + i);
                arguments << QStringLiteral("-p") << QStringLiteral("127.0.0.1:%1").arg(port);
            }
        }
        const QString settingsFile = flash.path("corvant-fwupdate.ini");
        QVERIFY(TestFiles::write(settingsFile, settings));
        QCOMPARE(flash.run(arguments << QStringLiteral("--quiet") << kExample), 0);
        QCOMPARE(TestFiles::read(settingsFile), settings); // read, never written
        QVERIFY(simulator.waitForFinished(kWait));
        QCOMPARE(simulator.exitCode(), 0);
        for (int i = 0; i < kReaders; ++i)
            compareWords(fileWords(QStringLiteral("%1/reader-%2.hex").arg(dumps).arg(i)),
                         sentWords(kExample, false));
        QVERIFY(flash.process.readAllStandardError().isEmpty()); // --quiet
    }

    // The options named are written as the settings panel writes them, and
    // only those: the dump is the image with them written.
    void optionsAreWrittenIntoTheImage()
    {
        Reader reader = tcpReader();
        Flash flash;
        QCOMPARE(flash.run({QStringLiteral("-p"), reader.port, QStringLiteral("--all"),
                            QStringLiteral("--gf"), QStringLiteral("12"), QStringLiteral("--relay"),
                            QStringLiteral("2.5"), QStringLiteral("--facility=300"),
                            QStringLiteral("--report"), flash.path("report.json"), kExample}),
                 0);
        QMap<int, std::uint16_t> expected = sentWords(kExample, true);
        expected[0xF9] = 0x3400 | 12;
        expected[0xAB] = 0x3400 | 25;
        expected[0xA1] = 0x3400 | (300 & 0xFF);
        expected[0xA2] = 0x3400 | (300 >> 8);
        compareWords(reader.server->engine().memory().words(), expected);
        const QJsonObject options = flash.report().value(QLatin1String("options")).toObject();
        QCOMPARE(options,
                 (QJsonObject{{QStringLiteral("gf"), 12},
                              {QStringLiteral("relay"), 2.5},
                              {QStringLiteral("facility"), 300}}));
    }

    void badInputOpensNoPort_data()
    {
        QTest::addColumn<QStringList>("arguments"); // PORT and FIRMWARE are filled in
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QByteArray example = TestFiles::read(kExample);
        const QByteArray noSlots = HexLines::words(0, {1, 2, 3, 4}) + "\r\n:00000001FF\r\n";
        QTest::newRow("invalid firmware") << QStringList{} << QByteArray(":0400000001\r\n") << 2
                                          << QStringLiteral("not a usable firmware file");
        QTest::newRow("code out of range")
            << QStringList{QStringLiteral("--cf"), QStringLiteral("1000")} << example << 2
            << QStringLiteral("--cf 1000: code out of range (0 - 999)");
        QTest::newRow("not a number")
            << QStringList{QStringLiteral("--relay"), QStringLiteral("nan")} << example << 2
            << QStringLiteral("--relay nan: not a number");
        QTest::newRow("slot missing")
            << QStringList{QStringLiteral("--relay"), QStringLiteral("2.5")} << noSlots << 2
            << QStringLiteral("no option word (34xx) at word address 0x00AB");
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--frobnicate")} << example
                                        << 1 << QStringLiteral("unknown option --frobnicate");
        QTest::newRow("usage error after a bad value")
            << QStringList{QStringLiteral("--cf"), QStringLiteral("1000"),
                           QStringLiteral("--frobnicate")}
            << example << 1 << QStringLiteral("unknown option --frobnicate");
        QTest::newRow("bad retries")
            << QStringList{QStringLiteral("--retries"), QStringLiteral("-1")} << example << 1
            << QStringLiteral("--retries -1");
    }
    void badInputOpensNoPort()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, firmware);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        QSignalSpy connections(&listener, &QTcpServer::newConnection);
        Flash flash;
        QVERIFY(TestFiles::write(flash.path("fw.hex"), firmware));
        arguments << QStringLiteral("-p")
                  << QStringLiteral("127.0.0.1:%1").arg(listener.serverPort())
                  << QStringLiteral("--report") << flash.path("report.json")
                  << flash.path("fw.hex");
        QCOMPARE(flash.run(arguments), exitCode);
        QVERIFY2(QString::fromLocal8Bit(flash.process.readAllStandardError()).contains(message),
                 qPrintable(message));
        QTest::qWait(100);
        QCOMPARE(connections.size(), 0);
        QVERIFY(!QFile::exists(flash.path("report.json")));
    }

    // A port that does not open: the window's text and the system's reason,
    // the others go on.
    void portThatDoesNotOpen()
    {
        Reader reader = tcpReader();
        Flash flash;
        const QString missing = QStringLiteral("/dev/corvant-no-such-device");
        QCOMPARE(flash.run({QStringLiteral("-p"), missing, QStringLiteral("-p"), reader.port,
                            QStringLiteral("--report"), flash.path("report.json"), kExample}),
                 3);
        const QJsonObject report = flash.report();
        const QJsonObject failed = readerOf(report, missing);
        QCOMPARE(failed.value(QLatin1String("outcome")).toString(), QStringLiteral("NotOpened"));
        QVERIFY2(failed.value(QLatin1String("status"))
                     .toString()
                     .startsWith(QStringLiteral("Error: could not open communication port %1 (%1: ")
                                     .arg(missing)),
                 qPrintable(failed.value(QLatin1String("status")).toString()));
        QCOMPARE(readerOf(report, reader.port).value(QLatin1String("outcome")).toString(),
                 QStringLiteral("Completed"));
    }

    // A report onto a full disk: the run says so and fails, and the report
    // there before stays as it was.
    void reportOntoAFullDisk()
    {
        FULL_DISK_OR_SKIP(disk);
        const QString reportFile = disk.path(QStringLiteral("report.json"));
        QVERIFY(TestFiles::write(reportFile, "{\"earlier\": true}\n"));
        QVERIFY(disk.fill());
        Reader reader = tcpReader();
        Flash flash;
        QCOMPARE(flash.run({QStringLiteral("-p"), reader.port, QStringLiteral("--report"),
                            reportFile, kExample}),
                 3);
        QVERIFY(flash.process.readAllStandardError().contains("No space left on device"));
        QCOMPARE(TestFiles::read(reportFile), QByteArray("{\"earlier\": true}\n"));
        QCOMPARE(QDir(disk.folder()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{QStringLiteral(".filler"), QStringLiteral("report.json")}));
    }

    // On a terminal each reader has one line, redrawn in place: every
    // frame goes back over exactly the lines it drew, no line is wider than
    // the terminal (it would wrap and the redraw would go back too few
    // lines), the bar only grows, and the last frame shows every reader done.
    void terminalLinesRedrawnInPlace_data()
    {
        QTest::addColumn<int>("columns");
        QTest::newRow("wide terminal") << 120;
        QTest::newRow("40 columns") << 40;
    }
    void terminalLinesRedrawnInPlace()
    {
        QFETCH(int, columns);
        Reader fast = tcpReader();
        Reader slow = tcpReader({}, 19200); // over a second: several frames
        Terminal terminal(columns);
        QVERIFY(terminal.ready());
        Flash flash;
        flash.process.setStandardErrorFile(terminal.slavePath);
        flash.start({QStringLiteral("-p"), fast.port, QStringLiteral("-p"), slow.port, kExample});
        QCOMPARE(flash.finish(), 0);
        terminal.drain();

        const QByteArray back = "\x1b[2A";
        QList<QByteArray> drawn;
        qsizetype from = 0;
        for (qsizetype at; (at = terminal.written.indexOf(back, from)) >= 0;
             from = at + back.size())
            drawn << terminal.written.mid(from, at - from);
        drawn << terminal.written.mid(from);
        QVERIFY2(drawn.size() >= 2, terminal.written.constData());

        static const QRegularExpression kLine(QStringLiteral("^\r\x1b\\[K([^\x1b\r\n]*)\n"));
        static const QRegularExpression kPercent(QStringLiteral(" (\\d+)% "));
        int slowPercent = 0;
        bool slowInBetween = false;
        QStringList last;
        for (const QByteArray &frame : drawn) {
            QString rest = QString::fromUtf8(frame);
            QStringList lines;
            for (QRegularExpressionMatch match; (match = kLine.match(rest)).hasMatch();) {
                lines << match.captured(1);
                rest.remove(0, match.capturedLength());
            }
            QVERIFY2(rest.isEmpty() && lines.size() == 2, frame.constData());
            for (const QString &line : lines)
                QVERIFY2(line.size() <= columns - 1, qPrintable(line));
            QVERIFY(lines.at(0).startsWith(fast.port) && lines.at(1).startsWith(slow.port));
            const QRegularExpressionMatch percent = kPercent.match(lines.at(1));
            if (percent.hasMatch()) {
                QVERIFY(percent.captured(1).toInt() >= slowPercent);
                slowPercent = percent.captured(1).toInt();
                slowInBetween = slowInBetween || (slowPercent > 0 && slowPercent < 100);
            }
            last = lines;
        }
        if (columns >= 100) {
            QVERIFY(slowInBetween);
            for (const QString &line : last)
                QVERIFY2(line.contains(QLatin1String(" 100% "))
                             && line.endsWith(QLatin1String(", done")),
                         qPrintable(line));
        }
        // The summary goes to standard output, never among the redrawn lines.
        QVERIFY(!terminal.written.contains("OUTCOME"));
        QCOMPARE(flash.process.readAllStandardOutput().count("Download successfully completed"), 2);
    }

    void noPortIsAUsageError()
    {
        Flash flash;
        QCOMPARE(flash.run({kExample}), 1);
        QVERIFY(flash.process.readAllStandardError().contains("no port given"));
    }

    // SIGINT and SIGTERM cancel as the Cancel button does: the reader gets
    // the end message, the report is written, the exit code tells the signal.
    void signalCancelsEveryDownload_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void signalCancelsEveryDownload()
    {
        QFETCH(int, signal);
        Reader reader = tcpReader({}, 9600); // about 3 s for the example
        QSignalSpy completed(reader.server.get(), &SimulatorServer::completed);
        Flash flash;
        flash.start({QStringLiteral("-p"), reader.port, QStringLiteral("--report"),
                     flash.path("report.json"), kExample},
                    10000);
        QTRY_VERIFY_WITH_TIMEOUT(reader.server->engine().memory().words().size() > 16, kWait);
        QVERIFY(signalProgram(flash.process, signal));
        QCOMPARE(flash.finish(), 128 + signal);
        const QJsonObject result = readerOf(flash.report(), reader.port);
        QCOMPARE(result.value(QLatin1String("outcome")).toString(), QStringLiteral("Cancelled"));
        QCOMPARE(result.value(QLatin1String("status")).toString(),
                 QStringLiteral("Download cancelled"));
        QVERIFY(result.value(QLatin1String("recordsAcknowledged")).toInt() > 0);
        QCOMPARE(completed.size(), 1); // the end message reached the reader
    }

    // A second signal ends the program at once, even while the first one's
    // cancel still waits for a reader that no longer answers; its number
    // gives the exit code.
    void secondSignalEndsAtOnce()
    {
        SimulatorFaults quiet;
        for (int message = 1; message <= 1000; ++message)
            quiet.silent.insert(message);
        Reader reader = tcpReader(quiet);
        Flash flash;
        // A reply time-out far beyond the wait below: only the second
        // signal can end the program within it.
        flash.start({QStringLiteral("-p"), reader.port, kExample}, 10 * kWait);
        QTRY_VERIFY_WITH_TIMEOUT(reader.server->engine().messages() >= 1, kWait);
        QVERIFY(signalProgram(flash.process, SIGTERM));
        QTest::qWait(200);
        QVERIFY(signalProgram(flash.process, SIGINT)); // the cancel still waits for the reader
        QCOMPARE(flash.finish(), 128 + SIGINT);
        QVERIFY(flash.process.readAllStandardOutput().isEmpty()); // no summary: ended at once
    }
};

QTEST_GUILESS_MAIN(TestFlash)
#include "tst_flash.moc"
