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
#include <QSerialPort>
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

// The report, which must follow the published schema (Debian's validator).
QJsonObject checkedReport(const QByteArray &report)
{
    QProcess validator;
    validator.start(QStringLiteral("/usr/bin/python3"),
                    {QStringLiteral("-c"),
                     QStringLiteral("import json, sys, jsonschema\n"
                                    "schema = json.load(open(sys.argv[1]))\n"
                                    "jsonschema.validators.validator_for(schema)(schema)"
                                    ".validate(json.load(sys.stdin))"),
                     QStringLiteral(CORVANT_SOURCE_DIR "/docs/flash-report.schema.json")});
    validator.write(report);
    validator.closeWriteChannel();
    if (!validator.waitForFinished(kWait) || validator.exitCode() != 0)
        QTest::qFail(validator.readAllStandardError().right(600).constData(), __FILE__, __LINE__);
    return QJsonDocument::fromJson(report).object();
}

// corvant-flash with its settings folder in dir; the reader simulators in
// this process keep answering while it runs.
struct Flash {
    QTemporaryDir dir;
    QProcess process;
    QStringList wrapper; // a program that runs corvant-flash ("prlimit", ...)

    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }

    void start(QStringList arguments, int replyTimeoutMs = 300)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        process.setProcessEnvironment(environment);
        arguments << QStringLiteral("--reply-timeout") << QString::number(replyTimeoutMs / 1000.0);
        if (!wrapper.isEmpty())
            arguments = wrapper.mid(1) + QStringList{QStringLiteral(CORVANT_FLASH)} + arguments;
        process.start(wrapper.isEmpty() ? QStringLiteral(CORVANT_FLASH) : wrapper.front(),
                      arguments);
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
    QJsonObject report() const { return checkedReport(TestFiles::read(path("report.json"))); }
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
    // three writes. The silent one is abandoned after its retries with its
    // failures recorded; the vanishing one connects again and starts over;
    // the others complete, with the bytes of the image. The journal has a
    // line for each step.
    void fiveReadersInParallel()
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
        const int exitCode
            = flash.run({QStringLiteral("-p"), plain.port, QStringLiteral("-p"), refuses.port,
                         QStringLiteral("--port"), silent.port, QStringLiteral("-p"), pty.port,
                         QStringLiteral("-p"), vanishes.port, QStringLiteral("--retries"),
                         QStringLiteral("2"), QStringLiteral("--log"), flash.path("journal"),
                         QStringLiteral("--report"), flash.path("report.json"), kExample});
        QCOMPARE(exitCode, 3);

        const QMap<int, std::uint16_t> expected = sentWords(kExample, false);
        for (const Reader *reader : {&plain, &refuses, &pty, &vanishes})
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
        QCOMPARE(report.value(QLatin1String("firmwareFileSha256")).toString(),
                 QString::fromLatin1(
                     QCryptographicHash::hash(TestFiles::read(kExample), QCryptographicHash::Sha256)
                         .toHex()));
        QCOMPARE(report.value(QLatin1String("exitCode")).toInt(), 3);
        QCOMPARE(report.value(QLatin1String("readers")).toArray().size(), 5);
        const QJsonObject again = readerOf(report, vanishes.port);
        QCOMPARE(again.value(QLatin1String("reconnects")).toInt(), 1);
        QCOMPARE(again.value(QLatin1String("retries")).toInt(), 1);
        QCOMPARE(again.value(QLatin1String("failures"))
                     .toArray()
                     .at(0)
                     .toObject()
                     .value(QLatin1String("kind"))
                     .toString(),
                 QStringLiteral("ConnectionClosed"));

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
        for (const QString &port : {plain.port, refuses.port, pty.port, vanishes.port}) {
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
        QCOMPARE(abandoned.value(QLatin1String("outcome")).toString(), QStringLiteral("Abandoned"));
        QCOMPARE(abandoned.value(QLatin1String("status")).toString(),
                 QStringLiteral("Communication timeout"));
        QCOMPARE(abandoned.value(QLatin1String("retries")).toInt(), 2);
        QCOMPARE(abandoned.value(QLatin1String("recordsAcknowledged")).toInt(), 0);
        // One wake-up, the first write three times, then the end message
        // once: Abort sends it, and its time-out ends the download. Each
        // write's failure names its message and the first word address.
        QCOMPARE(abandoned.value(QLatin1String("messagesSent")).toInt(), 1 + 3 + 1);
        const QJsonArray failures = abandoned.value(QLatin1String("failures")).toArray();
        QCOMPARE(failures.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const QJsonObject failure = failures.at(i).toObject();
            QCOMPARE(failure.value(QLatin1String("message")).toInt(), 2 + i);
            QCOMPARE(failure.value(QLatin1String("wordAddress")).toInt(-1), 0);
            QCOMPARE(failure.value(QLatin1String("retrying")).toBool(), i < 2);
        }
        QCOMPARE(readerOf(report, refuses.port)
                     .value(QLatin1String("failures"))
                     .toArray()
                     .at(0)
                     .toObject()
                     .value(QLatin1String("answer"))
                     .toString(),
                 QStringLiteral("E7 E5"));
        const QDateTime started = QDateTime::fromString(
            abandoned.value(QLatin1String("started")).toString(), Qt::ISODateWithMs);
        const QDateTime ended = QDateTime::fromString(
            abandoned.value(QLatin1String("ended")).toString(), Qt::ISODateWithMs);
        QVERIFY(started.isValid() && started.timeSpec() == Qt::UTC);
        QVERIFY(ended >= started.addMSecs(4 * 300));

        const QByteArray summary = flash.process.readAllStandardOutput();
        QVERIFY(summary.contains(silent.port.toLatin1()));
        QCOMPARE(summary.count("Download successfully completed"), 4);
        QVERIFY(summary.endsWith("\n") && summary.contains("\nTOTAL 4 of 5 readers completed"));
        static const QRegularExpression kStamped(
            QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z \\S+: "));
        for (const QByteArray &line : flash.process.readAllStandardError().trimmed().split('\n'))
            QVERIFY2(kStamped.match(QString::fromUtf8(line)).hasMatch(), line.constData());

        // Each line a JSON object: the run, a start and an end per reader,
        // a failure per failure, the reconnect, the run's end.
        QMap<QString, int> events;
        for (const QByteArray &line : TestFiles::read(flash.path("journal")).trimmed().split('\n'))
            ++events
                [QJsonDocument::fromJson(line).object().value(QLatin1String("event")).toString()];
        QCOMPARE(events,
                 (QMap<QString, int>{{QStringLiteral("run"), 1},
                                     {QStringLiteral("start"), 5},
                                     {QStringLiteral("failure"), 2 + 3 + 1},
                                     {QStringLiteral("reconnect"), 1},
                                     {QStringLiteral("end"), 5},
                                     {QStringLiteral("runEnded"), 1}}));
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
        const QByteArray totals = flash.process.readAllStandardOutput();
        QVERIFY2(totals.startsWith("TOTAL 3 of 3 readers completed, 0 did not;")
                     && totals.count('\n') == 1,
                 totals.constData());
    }

    // The options named are written as the settings panel writes them, and
    // only those; EEPROM data and the code table go when asked for, the
    // table also when a code is named. The report says what was sent (on
    // standard output with --report -, the summary then on standard error).
    void whatIsSent_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("eeprom");
        QTest::addColumn<bool>("table");
        QTest::newRow("a code named")
            << QStringList{QStringLiteral("--gf"), QStringLiteral("12")} << false << true;
        QTest::newRow("--eeprom") << QStringList{QStringLiteral("--eeprom")} << true << false;
        QTest::newRow("--codes") << QStringList{QStringLiteral("--codes")} << false << true;
        QTest::newRow("--all and values")
            << QStringList{QStringLiteral("--all"), QStringLiteral("--gf"),
                           QStringLiteral("12"),    QStringLiteral("--relay"),
                           QStringLiteral("2.5"),   QStringLiteral("--facility=300")}
            << true << true;
    }
    void whatIsSent()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, eeprom);
        QFETCH(bool, table);
        Reader reader = tcpReader();
        Flash flash;
        QCOMPARE(flash.run(arguments << QStringLiteral("-p") << reader.port
                                     << QStringLiteral("--report") << QStringLiteral("-")
                                     << kExample),
                 0);
        const auto sent = [eeprom, table](int first) {
            const bool inTable = first >= 0xF0 && first <= 0xFD;
            const bool inEeprom = first >= 0x2100;
            return !(first >= 0x2000 && first <= 0x20FF) && (eeprom || !inEeprom)
                && (table || !inTable);
        };
        QMap<int, std::uint16_t> expected = fileWords(kExample, sent);
        if (arguments.contains(QStringLiteral("--gf")))
            expected[0xF9] = 0x3400 | 12;
        if (arguments.contains(QStringLiteral("--relay"))) {
            expected[0xAB] = 0x3400 | 25;
            expected[0xA1] = 0x3400 | (300 & 0xFF);
            expected[0xA2] = 0x3400 | (300 >> 8);
        }
        const QMap<int, std::uint16_t> written = reader.server->engine().memory().words();
        compareWords(written, expected);
        QCOMPARE(written.contains(0xF0), table);
        QCOMPARE(written.lastKey() >= 0x2100, eeprom);

        const QJsonObject report = checkedReport(flash.process.readAllStandardOutput());
        QCOMPARE(report.value(QLatin1String("sent")).toObject(),
                 (QJsonObject{{QStringLiteral("program"), true},
                              {QStringLiteral("eeprom"), eeprom},
                              {QStringLiteral("customerCodes"), table}}));
        QVERIFY(flash.process.readAllStandardError().contains("TOTAL 1 of 1 readers completed"));
        if (arguments.contains(QStringLiteral("--relay"))) {
            QCOMPARE(report.value(QLatin1String("options")).toObject(),
                     (QJsonObject{{QStringLiteral("gf"), 12},
                                  {QStringLiteral("relay"), 2.5},
                                  {QStringLiteral("facility"), 300}}));
            return;
        }
        // The lines sent, each with CR LF, as the file has them when no
        // value was written.
        QByteArray lines;
        for (const QByteArray &line : TestFiles::read(kExample).split('\n')) {
            const QByteArray bare = line.trimmed();
            if (bare.mid(7, 2) == "00" && !hexWords(bare, sent).isEmpty())
                lines += bare + "\r\n";
        }
        if (!arguments.contains(QStringLiteral("--gf")))
            QCOMPARE(report.value(QLatin1String("sentSha256")).toString(),
                     QString::fromLatin1(
                         QCryptographicHash::hash(lines, QCryptographicHash::Sha256).toHex()));
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
        // Nowhere to write the record, found before a reader is touched.
        QTest::newRow("report into a missing folder")
            << QStringList{QStringLiteral("--report"), QStringLiteral("/nonexistent/r.json")}
            << example << 1 << QStringLiteral("/nonexistent: No such file or directory");
        QTest::newRow("journal into a missing folder")
            << QStringList{QStringLiteral("--log"), QStringLiteral("/nonexistent/j")} << example
            << 1 << QStringLiteral("/nonexistent: No such file or directory");
        QTest::newRow("report over the firmware")
            << QStringList{QStringLiteral("--report"), QStringLiteral("FIRMWARE")} << example << 1
            << QStringLiteral("--report FIRMWARE is the firmware file");
        QTest::newRow("journal over the firmware")
            << QStringList{QStringLiteral("--log"), QStringLiteral("FIRMWARE")} << example << 1
            << QStringLiteral("--log FIRMWARE is the firmware file");
        QTest::newRow("empty report name") << QStringList{QStringLiteral("--report=")} << example
                                           << 1 << QStringLiteral("--report: an empty file name");
        QTest::newRow("negative search time-out")
            << QStringList{QStringLiteral("--search-timeout"), QStringLiteral("-1")} << example << 1
            << QStringLiteral("--search-timeout -1: seconds from 0 to 86400");
        QTest::newRow("the same reader twice")
            << QStringList{QStringLiteral("-p"), QStringLiteral("127.0.0.1:PORT")} << example << 1
            << QStringLiteral("127.0.0.1:PORT is named twice");
        // 9 readers and the program's own files do not fit into 40.
        QStringList nine{QStringLiteral("prlimit"), QStringLiteral("--nofile=40:40")};
        for (int host = 2; host <= 9; ++host)
            nine << QStringLiteral("-p") << QStringLiteral("127.0.0.%1:PORT").arg(host);
        QTest::newRow("more readers than open files")
            << nine << example << 1 << QStringLiteral("the limit is 40: raise it with ulimit -n");
    }
    void badInputOpensNoPort()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, firmware);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::Any));
        QSignalSpy connections(&listener, &QTcpServer::newConnection);
        Flash flash;
        const QString port = QString::number(listener.serverPort());
        message.replace(QLatin1String("PORT"), port)
            .replace(QLatin1String("FIRMWARE"), flash.path("fw.hex"));
        for (QString &argument : arguments)
            argument.replace(QLatin1String("PORT"), port)
                .replace(QLatin1String("FIRMWARE"), flash.path("fw.hex"));
        if (arguments.startsWith(QStringLiteral("prlimit")))
            flash.wrapper = arguments.mid(0, 2);
        QVERIFY(TestFiles::write(flash.path("fw.hex"), firmware));
        arguments = QStringList{QStringLiteral("-p"), QStringLiteral("127.0.0.1:") + port,
                                QStringLiteral("--report"), flash.path("report.json")}
            + arguments.mid(flash.wrapper.size()) + QStringList{flash.path("fw.hex")};
        QCOMPARE(flash.run(arguments), exitCode);
        QVERIFY2(QString::fromLocal8Bit(flash.process.readAllStandardError()).contains(message),
                 qPrintable(message));
        QTest::qWait(100);
        QCOMPARE(connections.size(), 0);
        QVERIFY(!QFile::exists(flash.path("report.json")));
        QCOMPARE(TestFiles::read(flash.path("fw.hex")), firmware);
    }

    // A firmware name that is no UTF-8 is recoverable from the report:
    // readable with U+FFFD, and its bytes in Base64.
    void firmwareNameThatIsNotUtf8()
    {
        Reader reader = tcpReader();
        Flash flash;
        const QByteArray name = QFile::encodeName(flash.dir.path()) + "/fw-\xE9t\xE9.hex";
        QVERIFY(TestFiles::writeNative(name, TestFiles::read(kExample)));
        flash.wrapper
            = QStringList{QStringLiteral("bash"), QStringLiteral("-c"),
                          QStringLiteral("\"$0\" \"$@\" \"$(printf '%s/fw-\\351t\\351.hex' "
                                         "\"$CORVANT_DIR\")\"")};
        qputenv("CORVANT_DIR", QFile::encodeName(flash.dir.path()));
        QCOMPARE(flash.run({QStringLiteral("-p"), reader.port, QStringLiteral("--report"),
                            flash.path("report.json")}),
                 0);
        const QJsonObject report = flash.report();
        QCOMPARE(QByteArray::fromBase64(
                     report.value(QLatin1String("firmwareBytes")).toString().toLatin1()),
                 name);
        QVERIFY(report.value(QLatin1String("firmware"))
                    .toString()
                    .endsWith(QStringLiteral("/fw-\uFFFDt\uFFFD.hex")));
    }

    // A port that does not open: the window's text and the system's
    // reason, the others go on. A port another program holds is told from
    // a missing permission.
    void portThatDoesNotOpen_data()
    {
        QTest::addColumn<bool>("held");
        QTest::newRow("missing device") << false;
        QTest::newRow("held by another program") << true;
    }
    void portThatDoesNotOpen()
    {
        QFETCH(bool, held);
        Reader reader = tcpReader();
        Reader pty{std::make_unique<SimulatorServer>(SimulatorServer::Options{}), {}};
        QString port = QStringLiteral("/dev/corvant-no-such-device");
        QString reason = port + QStringLiteral(": ");
        QSerialPort holder;
        if (held) {
            port = pty.server->openPty();
            holder.setPortName(port);
            QVERIFY2(holder.open(QIODevice::ReadWrite), qPrintable(holder.errorString()));
            reason = QStringLiteral("%1: in use by another program (pid %2)")
                         .arg(port)
                         .arg(QCoreApplication::applicationPid());
        }
        Flash flash;
        QCOMPARE(flash.run({QStringLiteral("-p"), port, QStringLiteral("-p"), reader.port,
                            QStringLiteral("--report"), flash.path("report.json"), kExample}),
                 3);
        const QJsonObject report = flash.report();
        const QJsonObject failed = readerOf(report, port);
        QCOMPARE(failed.value(QLatin1String("outcome")).toString(), QStringLiteral("NotOpened"));
        QVERIFY2(failed.value(QLatin1String("status"))
                     .toString()
                     .startsWith(QStringLiteral("Error: could not open communication port %1 (%2")
                                     .arg(port, reason)),
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

    // Each row of a readers file reaches its own reader: its values in
    // that reader's memory, an empty cell the command line's value, and the
    // report naming every reader with its values and the lines it was sent.
    void readersFileGivesEachReaderItsValues()
    {
        std::vector<Reader> readers;
        for (int i = 0; i < 3; ++i)
            readers.push_back(tcpReader());
        Flash flash;
        QVERIFY(TestFiles::write(flash.path("readers.csv"),
                                 "name,port,site,gf,relay\r\n"
                                 "door 1,"
                                     + readers[0].port.toLatin1()
                                     + ",east,12,2.5\r\n"
                                       "door 2,"
                                     + readers[1].port.toLatin1()
                                     + ",east,34,\r\n"
                                       "\"gate, west\","
                                     + readers[2].port.toLatin1() + ",west,56,3\r\n"));
        QCOMPARE(flash.run({QStringLiteral("--readers"), flash.path("readers.csv"),
                            QStringLiteral("--relay"), QStringLiteral("2"),
                            QStringLiteral("--facility"), QStringLiteral("300"),
                            QStringLiteral("--report"), flash.path("report.json"), kExample}),
                 0);
        const QJsonObject report = flash.report();
        const QList<std::pair<int, double>> values{{12, 2.5}, {34, 2.0}, {56, 3.0}};
        QSet<QString> sent;
        for (std::size_t i = 0; i < readers.size(); ++i) {
            const auto [gf, relay] = values[qsizetype(i)];
            const QMap<int, std::uint16_t> words = readers[i].server->engine().memory().words();
            QCOMPARE(words.value(0xF9), std::uint16_t(0x3400 | gf));
            QCOMPARE(words.value(0xAB), std::uint16_t(0x3400 | int(relay * 10)));
            QCOMPARE(words.value(0xA1), std::uint16_t(0x3400 | (300 & 0xFF)));
            const QJsonObject reader = readerOf(report, readers[i].port);
            QCOMPARE(reader.value(QLatin1String("values")).toObject(),
                     (QJsonObject{{QStringLiteral("gf"), gf},
                                  {QStringLiteral("relay"), relay},
                                  {QStringLiteral("facility"), 300}}));
            QCOMPARE(reader.value(QLatin1String("site")).toString(),
                     i < 2 ? QStringLiteral("east") : QStringLiteral("west"));
            sent << reader.value(QLatin1String("sentSha256")).toString();
        }
        QCOMPARE(readerOf(report, readers[2].port).value(QLatin1String("name")).toString(),
                 QStringLiteral("gate, west"));
        QCOMPARE(sent.size(), 3); // three images, three different sets of lines
    }

    // Rollouts that stop in time: readers 0.. given faults (S: silent, so
    // abandoned at once with no retries; P: paced at 9,600 bit/s, still
    // running when the other fails), the options, the outcomes.
    void rolloutStops_data()
    {
        QTest::addColumn<QString>("readers");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("outcomes");
        QTest::newRow("a failing canary: nobody else touched")
            << "S..." << QStringList{QStringLiteral("--canary"), QStringLiteral("1")}
            << "Abandoned NotStarted NotStarted NotStarted";
        QTest::newRow("a good canary: the rest go, failures and all")
            << "..S." << QStringList{QStringLiteral("--canary"), QStringLiteral("2")}
            << "Completed Completed Abandoned Completed";
        QTest::newRow("one at a time, no failure allowed: the first one stops it")
            << "SS.."
            << QStringList{QStringLiteral("--jobs"), QStringLiteral("1"),
                           QStringLiteral("--max-failures"), QStringLiteral("0")}
            << "Abandoned NotStarted NotStarted NotStarted";
        QTest::newRow("50% of 4 allows two failures")
            << "SS.."
            << QStringList{QStringLiteral("--jobs"), QStringLiteral("1"),
                           QStringLiteral("--max-failures"), QStringLiteral("50%")}
            << "Abandoned Abandoned Completed Completed";
        QTest::newRow("two at a time: the running one finishes after the stop")
            << "SP.."
            << QStringList{QStringLiteral("--jobs"), QStringLiteral("2"),
                           QStringLiteral("--max-failures"), QStringLiteral("0")}
            << "Abandoned Completed NotStarted NotStarted";
    }
    void rolloutStops()
    {
        QFETCH(QString, readers);
        QFETCH(QStringList, options);
        QFETCH(QString, outcomes);
        std::vector<Reader> rack;
        QStringList arguments = options;
        for (const QChar fault : readers) {
            SimulatorFaults faults;
            for (int message = 1; fault == QLatin1Char('S') && message <= 1000; ++message)
                faults.silent.insert(message);
            rack.push_back(tcpReader(faults, fault == QLatin1Char('P') ? 9600 : 0));
            arguments << QStringLiteral("-p") << rack.back().port;
        }
        Flash flash;
        QCOMPARE(flash.run(arguments << QStringLiteral("--retries") << QStringLiteral("0")
                                     << QStringLiteral("--report") << flash.path("report.json")
                                     << kExample),
                 3);
        const QJsonObject report = flash.report();
        QStringList got;
        QList<QJsonObject> entries;
        for (const Reader &reader : rack) {
            entries << readerOf(report, reader.port);
            got << entries.back().value(QLatin1String("outcome")).toString();
            // A reader never started was never touched.
            if (got.back() == QLatin1String("NotStarted"))
                QVERIFY(reader.server->engine().memory().words().isEmpty());
        }
        QCOMPARE(got.join(QLatin1Char(' ')), outcomes);
        QCOMPARE(report.contains(QLatin1String("stopped")),
                 outcomes.contains(QLatin1String("Not")));
        // --jobs 1: each reader starts once the one before it ended.
        for (qsizetype i = 1; options.contains(QStringLiteral("1")) && i < entries.size(); ++i) {
            const QString started = entries[i].value(QLatin1String("started")).toString();
            if (!started.isEmpty())
                QVERIFY(started >= entries[i - 1].value(QLatin1String("ended")).toString());
        }
    }

    // --rerun: the readers of a report that did not complete, and only
    // those, with the values each was given; another option is refused by
    // name before anything opens.
    void rerunFlashesWhatDidNotComplete()
    {
        Reader good = tcpReader();
        SimulatorFaults quiet;
        for (int message = 1; message <= 1000; ++message)
            quiet.silent.insert(message);
        Reader failing = tcpReader(quiet);
        Flash flash;
        QVERIFY(TestFiles::write(flash.path("readers.csv"),
                                 "port,name,gf\n" + good.port.toLatin1() + ",a,1\n"
                                     + failing.port.toLatin1() + ",b,7\n"));
        QCOMPARE(flash.run({QStringLiteral("--readers"), flash.path("readers.csv"),
                            QStringLiteral("--retries"), QStringLiteral("0"),
                            QStringLiteral("--report"), flash.path("first.json"), kExample}),
                 3);
        // The reader is mended: it answers on the same port now.
        const quint16 port = quint16(failing.port.section(QLatin1Char(':'), 1).toUInt());
        failing.server.reset();
        Reader mended{std::make_unique<SimulatorServer>(SimulatorServer::Options{}), failing.port};
        QCOMPARE(mended.server->listenTcp(port), port);
        const QJsonObject first = checkedReport(TestFiles::read(flash.path("first.json")));

        QCOMPARE(flash.run({QStringLiteral("--rerun"), flash.path("first.json"),
                            QStringLiteral("--relay"), QStringLiteral("3"), kExample}),
                 2);
        QVERIFY(flash.process.readAllStandardError().contains(
            "other options ({} then, {\"relay\":3} now)"));

        QCOMPARE(flash.run({QStringLiteral("--rerun"), flash.path("first.json"),
                            QStringLiteral("--report"), flash.path("report.json"), kExample}),
                 0);
        const QJsonObject report = flash.report();
        const QJsonArray readers = report.value(QLatin1String("readers")).toArray();
        QCOMPARE(readers.size(), 1);
        QCOMPARE(readers[0].toObject().value(QLatin1String("port")).toString(), failing.port);
        QCOMPARE(readers[0].toObject().value(QLatin1String("name")).toString(),
                 QStringLiteral("b"));
        QCOMPARE(mended.server->engine().memory().words().value(0xF9), std::uint16_t(0x3400 | 7));
        QCOMPARE(report.value(QLatin1String("continues")).toObject().value(QLatin1String("runId")),
                 first.value(QLatin1String("runId")));
    }

    // Station mode: each port flashes the next unit after the last, every
    // unit its own entry; --units ends it, and so does Ctrl-C between two
    // units, at once and with no entry for a unit that never came.
    void stationModeUnitAfterUnit()
    {
        Reader first = tcpReader();
        Reader second = tcpReader();
        QSignalSpy completed(first.server.get(), &SimulatorServer::completed);
        Flash flash;
        QCOMPARE(
            flash.run({QStringLiteral("--loop"), QStringLiteral("--units"), QStringLiteral("2"),
                       QStringLiteral("-p"), first.port, QStringLiteral("-p"), second.port,
                       QStringLiteral("--report"), flash.path("report.json"), kExample}),
            0);
        QCOMPARE(completed.size(), 2);
        QStringList units;
        for (const QJsonValue &reader : flash.report().value(QLatin1String("readers")).toArray())
            units << QStringLiteral("%1/%2 %3")
                         .arg(reader[QLatin1String("port")] == first.port ? 1 : 2)
                         .arg(reader[QLatin1String("unit")].toInt())
                         .arg(reader[QLatin1String("outcome")].toString());
        QCOMPARE(units,
                 (QStringList{QStringLiteral("1/1 Completed"), QStringLiteral("1/2 Completed"),
                              QStringLiteral("2/1 Completed"), QStringLiteral("2/2 Completed")}));

        flash.start({QStringLiteral("--loop"), QStringLiteral("-p"), first.port,
                     QStringLiteral("--report"), flash.path("report.json"), kExample});
        QTRY_VERIFY_WITH_TIMEOUT(completed.size() >= 3, kWait);
        QVERIFY(signalProgram(flash.process, SIGINT));
        QCOMPARE(flash.finish(), 128 + SIGINT);
        const QJsonObject report = flash.report();
        QCOMPARE(report.value(QLatin1String("interrupted")).toString(), QStringLiteral("signal"));
        const QJsonArray entries = report.value(QLatin1String("readers")).toArray();
        QCOMPARE(entries.size(), completed.size() - 2); // the units this run completed
        for (const QJsonValue &reader : entries)
            QCOMPARE(reader[QLatin1String("outcome")].toString(), QStringLiteral("Completed"));

        // A unit given up on is followed by the next one, with the whole
        // retry budget again, and Ctrl-C after it still ends cleanly.
        SimulatorFaults refusing;
        refusing.writeFailed = {3}; // the first unit's third message only
        Reader once = tcpReader(refusing);
        QSignalSpy done(once.server.get(), &SimulatorServer::completed);
        flash.start({QStringLiteral("--loop"), QStringLiteral("--retries"), QStringLiteral("0"),
                     QStringLiteral("-p"), once.port, QStringLiteral("--report"),
                     flash.path("report.json"), kExample});
        QTRY_VERIFY_WITH_TIMEOUT(done.size() >= 2, kWait);
        QVERIFY(signalProgram(flash.process, SIGINT));
        QCOMPARE(flash.finish(), 128 + SIGINT);
        QStringList outcomes;
        for (const QJsonValue &reader : flash.report().value(QLatin1String("readers")).toArray())
            outcomes << reader[QLatin1String("outcome")].toString();
        QVERIFY2(outcomes.size() >= 2 && outcomes.front() == QLatin1String("Abandoned")
                     && outcomes.count(QStringLiteral("Completed")) == outcomes.size() - 1,
                 qPrintable(outcomes.join(QLatin1Char(' '))));
    }

    void noPortIsAUsageError()
    {
        Flash flash;
        QCOMPARE(flash.run({kExample}), 1);
        QVERIFY(flash.process.readAllStandardError().contains("no port given"));
    }

    // More readers than the terminal has rows: one line of totals and the
    // slowest readers, so that no frame scrolls the terminal and leaves
    // stale lines behind.
    void compactViewOnASmallTerminal()
    {
        constexpr int kReaders = 30; // the terminal has 24 rows
        std::vector<Reader> readers;
        QStringList arguments;
        for (int i = 0; i < kReaders; ++i) {
            readers.push_back(tcpReader({}, i == 0 ? 19200 : 0)); // one slow: several frames
            arguments << QStringLiteral("-p") << readers.back().port;
        }
        Terminal terminal(100);
        QVERIFY(terminal.ready());
        Flash flash;
        flash.process.setStandardErrorFile(terminal.slavePath);
        flash.start(arguments << kExample);
        QCOMPARE(flash.finish(), 0);
        terminal.drain();

        static const QRegularExpression kBack(QStringLiteral("\x1b\\[(\\d+)A"));
        static const QRegularExpression kTotals(
            QStringLiteral("^\\d+/30 done, \\d+ running, 0 failed, 0 waiting; \\d+ records/s, "
                           "(\\d\\d:\\d\\d|--:--) left$"));
        const QStringList frames = QString::fromUtf8(terminal.written).split(kBack);
        QVERIFY2(frames.size() >= 2, terminal.written.constData());
        QStringList lines;
        for (const QString &frame : frames) {
            lines = frame.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            if (lines.endsWith(QStringLiteral("\x1b[J")))
                lines.removeLast();
            QVERIFY2(!lines.isEmpty() && lines.size() <= 9, qPrintable(frame));
            QVERIFY2(kTotals.match(lines.front().mid(4)).hasMatch(), qPrintable(lines.front()));
        }
        QVERIFY2(lines.front().startsWith(QStringLiteral("\r\x1b[K30/30 done, 0 running")),
                 qPrintable(lines.front()));
    }

    // A reader that never answers the wake-up ends the run after the
    // search time-out.
    void searchEndsInTime()
    {
        SimulatorFaults faults;
        faults.ignoreWakeups = 1000;
        Reader reader = tcpReader(faults);
        Flash flash;
        QCOMPARE(flash.run({QStringLiteral("-p"), reader.port, QStringLiteral("--search-timeout"),
                            QStringLiteral("1"), QStringLiteral("--report"),
                            flash.path("report.json"), kExample}),
                 3);
        const QJsonObject result = readerOf(flash.report(), reader.port);
        QCOMPARE(result.value(QLatin1String("outcome")).toString(),
                 QStringLiteral("SearchTimedOut"));
        QCOMPARE(result.value(QLatin1String("status")).toString(),
                 QStringLiteral("No answer from the bootloader within 1 s"));
        QVERIFY(result.value(QLatin1String("durationSeconds")).toDouble() < 5);
    }

    // Ended by a signal (SIGHUP when the terminal or SSH session closes),
    // or by the same signal twice at once as `timeout` and a terminal send
    // it (to the program, then to its group): every download is cancelled
    // as the Cancel button does, the reader gets the end message, the
    // report is written, the exit code tells the signal.
    void signalCancelsEveryDownload_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("second"); // sent right after the first; 0: none
        QTest::newRow("SIGTERM") << int(SIGTERM) << 0;
        QTest::newRow("SIGINT") << int(SIGINT) << 0;
        QTest::newRow("SIGHUP") << int(SIGHUP) << 0;
        QTest::newRow("SIGTERM twice at once") << int(SIGTERM) << int(SIGTERM);
        QTest::newRow("SIGTERM and SIGHUP of a closed session") << int(SIGTERM) << int(SIGHUP);
    }
    void signalCancelsEveryDownload()
    {
        QFETCH(int, signal);
        QFETCH(int, second);
        Reader reader = tcpReader({}, 9600); // about 3 s for the example
        QSignalSpy completed(reader.server.get(), &SimulatorServer::completed);
        Flash flash;
        flash.start({QStringLiteral("-p"), reader.port, QStringLiteral("--report"),
                     flash.path("report.json"), kExample},
                    10000);
        QTRY_VERIFY_WITH_TIMEOUT(reader.server->engine().memory().words().size() > 16, kWait);
        QVERIFY(signalProgram(flash.process, signal));
        if (second != 0)
            QVERIFY(signalProgram(flash.process, second));
        // Two signals pending at once arrive lowest number first.
        const int exitCode = flash.finish();
        QVERIFY2(exitCode == 128 + signal || (second != 0 && exitCode == 128 + second),
                 qPrintable(QString::number(exitCode)));
        const QJsonObject report = flash.report();
        QCOMPARE(report.value(QLatin1String("interrupted")).toString(), QStringLiteral("signal"));
        QCOMPARE(report.value(QLatin1String("exitCode")).toInt(), exitCode);
        const QJsonObject result = readerOf(report, reader.port);
        QCOMPARE(result.value(QLatin1String("outcome")).toString(), QStringLiteral("Cancelled"));
        QCOMPARE(result.value(QLatin1String("status")).toString(),
                 QStringLiteral("Download cancelled"));
        QVERIFY(result.value(QLatin1String("recordsAcknowledged")).toInt() > 0);
        QCOMPARE(completed.size(), 1); // the end message reached the reader
        QVERIFY(flash.process.readAllStandardError().contains(": ending each download"));
    }

    // A standard output closed early (`corvant-flash ... | head`) costs
    // neither the download nor the report; one that cannot take what is
    // written (> /dev/full) is said so and fails the run, as does a report
    // meant for it that never got there.
    void standardOutputThatFails_data()
    {
        QTest::addColumn<bool>("full"); // /dev/full, else a pipe closed early
        QTest::addColumn<bool>("reportToStdout");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("closed pipe") << false << false << 0 << QString();
        QTest::newRow("report into a closed pipe")
            << false << true << 3
            << QStringLiteral("cannot write the report to standard output: Broken pipe");
        QTest::newRow("full device")
            << true << false << 3
            << QStringLiteral("corvant-flash: standard output: No space left on device");
    }
    void standardOutputThatFails()
    {
        QFETCH(bool, full);
        QFETCH(bool, reportToStdout);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        Reader reader = tcpReader({}, 19200); // the pipe closes before the end
        Flash flash;
        if (full)
            flash.process.setStandardOutputFile(QStringLiteral("/dev/full"));
        else
            flash.wrapper
                = QStringList{QStringLiteral("bash"), QStringLiteral("-c"),
                              QStringLiteral("\"$0\" \"$@\" | true; exit ${PIPESTATUS[0]}")};
        QCOMPARE(
            flash.run({QStringLiteral("-p"), reader.port, QStringLiteral("--report"),
                       reportToStdout ? QStringLiteral("-") : flash.path("report.json"), kExample}),
            exitCode);
        QVERIFY(!reader.server->engine().memory().words().isEmpty());
        QVERIFY(flash.process.readAllStandardError().contains(message.toLocal8Bit()));
        if (!reportToStdout)
            QCOMPARE(
                readerOf(flash.report(), reader.port).value(QLatin1String("outcome")).toString(),
                QStringLiteral("Completed"));
    }

    // A second, different signal ends the program at once, even while the
    // first one's cancel still waits for a reader that no longer answers;
    // its number gives the exit code, and the report says what was still
    // running.
    void secondSignalEndsAtOnce()
    {
        SimulatorFaults quiet;
        for (int message = 1; message <= 1000; ++message)
            quiet.silent.insert(message);
        Reader reader = tcpReader(quiet);
        Flash flash;
        // A reply time-out far beyond the wait below: only the second
        // signal can end the program within it.
        flash.start({QStringLiteral("-p"), reader.port, QStringLiteral("--report"),
                     flash.path("report.json"), kExample},
                    10 * kWait);
        QTRY_VERIFY_WITH_TIMEOUT(reader.server->engine().messages() >= 1, kWait);
        QVERIFY(signalProgram(flash.process, SIGTERM));
        QTest::qWait(200);
        QVERIFY(signalProgram(flash.process, SIGINT)); // the cancel still waits for the reader
        QCOMPARE(flash.finish(), 128 + SIGINT);
        QVERIFY(flash.process.readAllStandardOutput().isEmpty()); // no summary: ended at once
        const QJsonObject report = flash.report();
        QCOMPARE(report.value(QLatin1String("interrupted")).toString(), QStringLiteral("forced"));
        QCOMPARE(report.value(QLatin1String("signal")).toString(), QStringLiteral("SIGTERM"));
        QCOMPARE(readerOf(report, reader.port).value(QLatin1String("outcome")).toString(),
                 QStringLiteral("Running"));
    }
};

QTEST_GUILESS_MAIN(TestFlash)
#include "tst_flash.moc"
