// The download against the reader simulator: in-process over loopback TCP,
// and the simulator program over a pseudo-terminal.
#include "download/downloadengine.h"
#include "download/policyquestions.h"
#include "download/portlink.h"
#include "downloadrig.h"
#include "floodingpeer.h"
#include "hexlines.h"
#include "image/imageloader.h"
#include "reader-sim/simulatorserver.h"
#include "scripteddialogs.h"
#include "testfiles.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using Answer = Dialogs::Answer;

namespace {

constexpr DownloadTiming kFast{std::chrono::milliseconds(100), std::chrono::milliseconds(20),
                               std::chrono::milliseconds(400)};
constexpr int kWait = 20000;

using HexLines::kThreeLines;

struct Rig : DownloadRig<PortLink> {
    explicit Rig(const QString &port, const QByteArray &text = kThreeLines,
                 SerialPorts::Overrides overrides = {})
        : DownloadRig(port, text, kFast, std::move(overrides))
    {
    }
    int run() { return DownloadRig::run(kWait); }
};

struct Simulator {
    SimulatorServer server;
    quint16 port;
    explicit Simulator(SimulatorServer::Options options = {})
        : server(options)
        , port(server.listenTcp(0))
    {
    }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(port); }
};

} // namespace

class TestDownloadSim : public QObject {
    Q_OBJECT

private slots:
    // A peer that sends far more than any reader answers: what the
    // protocol cannot use is dropped, and memory stays flat.
    void floodingPeerKeepsMemoryFlat()
    {
        FloodingPeer peer(30); // ends when the test does
        QVERIFY(peer.port() != 0);
        Rig rig(QStringLiteral("127.0.0.1:%1").arg(peer.port()));
        rig.host.keepLog = false;
        rig.start();
        QTRY_VERIFY_WITH_TIMEOUT(peer.sent() > 8 * 1024 * 1024, 20000); // the flood is on
        // Allocators settle first: the sanitizers' quarantine fills at the
        // rate memory is freed, which takes seconds when little is.
        qint64 before = residentKiB();
        for (int second = 0; second < 15; ++second) {
            QTest::qWait(1000);
            const qint64 now = residentKiB();
            const bool settled = now - before < 4 * 1024;
            before = now;
            if (settled)
                break;
        }
        const qint64 sentBefore = peer.sent();
        QTest::qWait(2000);
        const qint64 grown = residentKiB() - before;
        QVERIFY2(peer.sent() - sentBefore > 1024 * 1024, "the peer went on flooding");
        QVERIFY2(grown < 16 * 1024, qPrintable(QStringLiteral("grew by %1 KiB in 2 s").arg(grown)));
        QVERIFY(rig.download.searching()); // zeros are no answer: the search goes on
        rig.download.cancel();
        QTRY_COMPARE(rig.finished.size(), 1);
    }

    void referenceExampleOverTcp()
    {
        Simulator sim;
        Rig rig(sim.address());
        QCOMPARE(rig.run(), int(DownloadEngine::Completed));
        QCOMPARE(rig.host.log,
                 (QStringList{QStringLiteral("tx: EA"), QStringLiteral("rx: EB"),
                              QStringLiteral("tx: E3 00 08 08 0A 02 01 04 03 00 00 00 00"),
                              QStringLiteral("rx: E7 E4"), QStringLiteral("tx: ED"),
                              QStringLiteral("rx: E4")}));
        QCOMPARE(rig.host.progressPositions, (QList<int>{0, 1, 2}));
        QCOMPARE(rig.host.progressMaximum, 3);
        QCOMPARE(rig.dialogs.texts(),
                 QStringList{QStringLiteral("Download successfully completed")});
        QVERIFY(rig.host.statusTexts.contains(QStringLiteral("Connected")));
    }

    void bigProgramArrivesAsFramed()
    {
        Simulator sim;
        Rig rig(sim.address(), HexLines::program8K());
        QCOMPARE(rig.run(), int(DownloadEngine::Completed));
        QCOMPARE(rig.download.recordsAcknowledged(), 1024);

        const QMap<int, std::uint16_t> &memory = sim.server.engine().memory().words();
        QCOMPARE(memory.size(), 8192);
        for (int word = 0; word < 8192; ++word) {
            if (memory.value(word) != HexLines::programWord(word))
                QFAIL(qPrintable(QStringLiteral("word %1 differs").arg(word)));
        }
    }

    void readerQuirks_data()
    {
        QTest::addColumn<bool>("split");
        QTest::addColumn<bool>("stray");
        QTest::addColumn<int>("ignoredWakeups");
        QTest::newRow("replies split into single bytes") << true << false << 0;
        QTest::newRow("stray byte before the wake-up answer") << false << true << 0;
        QTest::newRow("both, after two unanswered wake-ups") << true << true << 2;
    }
    void readerQuirks()
    {
        QFETCH(bool, split);
        QFETCH(bool, stray);
        QFETCH(int, ignoredWakeups);
        SimulatorServer::Options options;
        options.splitReplies = split;
        options.faults.strayByte = stray;
        options.faults.ignoreWakeups = ignoredWakeups;
        Simulator sim(options);
        Rig rig(sim.address());
        QCOMPARE(rig.run(), int(DownloadEngine::Completed));
        QCOMPARE(rig.download.recordsAcknowledged(), 1);
        const int wakeups = int(rig.host.log.count(QStringLiteral("tx: EA")));
        // A stray byte arriving with the answer spoils it and costs a wake-up;
        // split into its own event, it is dropped before the answer comes.
        QCOMPARE(wakeups, ignoredWakeups + (stray && !split ? 2 : 1));
    }

    void negativeReplyAnsweredRetryResendsTheLine()
    {
        SimulatorServer::Options options;
        options.faults.writeFailed = {1};
        Simulator sim(options);
        Rig rig(sim.address());
        rig.dialogs.answers = {Answer::Retry};
        QCOMPARE(rig.run(), int(DownloadEngine::Completed));
        QCOMPARE(rig.dialogs.texts().first(), QStringLiteral("Write failed"));
        QCOMPARE(rig.host.log.count(QStringLiteral("tx: E3 00 08 08 0A 02 01 04 03 00 00 00 00")),
                 2);
        QCOMPARE(sim.server.engine().memory().words().value(8), std::uint16_t(0x0201));
    }

    // Nobody at the front end: failures are retried while retries are left,
    // then the download is abandoned as Abort does, and nothing waits.
    void failurePolicyRetriesThenAbandons_data()
    {
        QTest::addColumn<int>("retries");
        QTest::addColumn<QList<int>>("failing"); // messages the reader refuses
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("retried");
        QTest::newRow("no failure") << 3 << QList<int>{} << int(DownloadEngine::Completed) << 0;
        QTest::newRow("two failures, three retries")
            << 3 << QList<int>{1, 2} << int(DownloadEngine::Completed) << 2;
        QTest::newRow("two failures, two retries")
            << 2 << QList<int>{1, 2} << int(DownloadEngine::Completed) << 2;
        QTest::newRow("three failures, two retries")
            << 2 << QList<int>{1, 2, 3} << int(DownloadEngine::Cancelled) << 2;
        QTest::newRow("no retries") << 0 << QList<int>{1} << int(DownloadEngine::Cancelled) << 0;
    }
    void failurePolicyRetriesThenAbandons()
    {
        QFETCH(int, retries);
        QFETCH(QList<int>, failing);
        QFETCH(int, outcome);
        QFETCH(int, retried);
        SimulatorServer::Options options;
        options.faults.writeFailed = QSet<int>(failing.begin(), failing.end());
        Simulator sim(options);
        PortLink link;
        PolicyQuestions policy(retries);
        DownloadEngine download(link, policy, kFast);
        DownloadRecorder recorder(download);
        QSignalSpy finished(&download, &DownloadEngine::finished);
        DownloadJob job;
        job.portText = sim.address();
        job.lines = RecordList::fromText(kThreeLines);
        job.unattended = true;
        download.start(job);
        QVERIFY(finished.wait(kWait) || !finished.isEmpty());
        QCOMPARE(finished.at(0).at(0).toInt(), outcome);
        QCOMPARE(download.retries(), retried);
        QCOMPARE(policy.failures().size(), failing.size());
        QCOMPARE(recorder.log.count(QStringLiteral("tx: ED")), 1);
        const bool completed = outcome == int(DownloadEngine::Completed);
        QCOMPARE(sim.server.engine().memory().words().contains(8), completed);
        QCOMPARE(download.recordsAcknowledged(), completed ? 1 : 0);
        const QString write = QStringLiteral("tx: E3 00 08 08 0A 02 01 04 03 00 00 00 00");
        QCOMPARE(recorder.log.count(write), failing.size() + (completed ? 1 : 0));
        const auto sent
            = std::count_if(recorder.log.begin(), recorder.log.end(), [](const QString &line) {
                  return line.startsWith(QLatin1String("tx:"));
              });
        QCOMPARE(download.messagesSent(), int(sent));
    }

    void silentEndMessageAnsweredAbortStillCompletes()
    {
        SimulatorServer::Options options;
        options.faults.silent = {2}; // the write is message 1, the end message 2
        Simulator sim(options);
        Rig rig(sim.address());
        rig.dialogs.answers = {Answer::Abort};
        QCOMPARE(rig.run(), int(DownloadEngine::Completed));
        QCOMPARE(rig.dialogs.texts(),
                 (QStringList{QStringLiteral("Communication timeout"),
                              QStringLiteral("Download successfully completed")}));
        QCOMPARE(rig.host.log.count(QStringLiteral("tx: ED")), 2);
    }

    void cancelDuringTheSearchEndsSilently()
    {
        SimulatorServer::Options options;
        options.faults.ignoreWakeups = 1000;
        Simulator sim(options);
        Rig rig(sim.address());
        rig.start();
        QTRY_VERIFY_WITH_TIMEOUT(rig.host.log.contains(QStringLiteral("tx: EA")), kWait);
        rig.download.cancel();
        QVERIFY(rig.finished.wait(kWait));
        QCOMPARE(rig.finished.at(0).at(0).toInt(), int(DownloadEngine::SearchCancelled));
        QVERIFY(rig.dialogs.shown.isEmpty());
    }

    void connectionRefused()
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close();
        Rig rig(QStringLiteral("127.0.0.1:%1").arg(port));
        QCOMPARE(rig.run(), int(DownloadEngine::SocketFailed));
        QCOMPARE(rig.host.status(), QStringLiteral("WinSock Error: 111 Connection refused"));
        QVERIFY(rig.dialogs.shown.isEmpty());
        QVERIFY(!rig.download.holdsLink());
    }

    // Host names are resolved in the background and in lower case; a name
    // that does not resolve is a port that did not open (its box).
    void hostNames_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("outcome");
        QTest::newRow("name in capitals")
            << QStringLiteral("LOCALHOST") << int(DownloadEngine::Completed);
        QTest::newRow("no such name")
            << QStringLiteral("no-such-reader.invalid") << int(DownloadEngine::NotOpened);
    }
    void hostNames()
    {
        QFETCH(QString, host);
        QFETCH(int, outcome);
        Simulator sim;
        Rig rig(QStringLiteral("%1:%2").arg(host).arg(sim.port));
        QCOMPARE(rig.run(), outcome);
        QCOMPARE(rig.dialogs.texts().value(0).startsWith(QLatin1String("WinSock Error: -")),
                 outcome == DownloadEngine::NotOpened);
        QVERIFY(!rig.link.isOpen());
    }

    // Failures to start the connection, all without a name server.
    void connectionCannotStart_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty port field")
            << QString() << QStringLiteral("WinSock Error: 89 Destination address required");
        QTest::newRow("colon and no port")
            << QStringLiteral("127.0.0.1:")
            << QStringLiteral("WinSock Error: 99 Cannot assign requested address");
        QTest::newRow("unknown service")
            << QStringLiteral("127.0.0.1:no-such-service")
            << QStringLiteral("WinSock Error: -8 Servname not supported for ai_socktype");
    }
    void connectionCannotStart()
    {
        QFETCH(QString, port);
        Rig rig(port);
        rig.start();
        QTEST(rig.dialogs.texts().value(0), "text");
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QVERIFY(!rig.link.isOpen());
        QVERIFY(!rig.download.holdsLink());
        QCOMPARE(rig.host.status(), QString());
    }

    void pacedLikeASerialLine()
    {
        SimulatorServer::Options options;
        options.baud = 57600;
        Simulator sim(options);
        Rig rig(sim.address());
        QCOMPARE(rig.run(), int(DownloadEngine::Completed));
        // EA EB, the 13-byte write and its 2-byte answer, ED E4.
        QCOMPARE(sim.server.bytesExchanged(), 19);
    }

    void readerClosingTheConnection()
    {
        SimulatorServer::Options options;
        options.faults.closeAfter = {1};
        Simulator sim(options);
        Rig rig(sim.address());
        QCOMPARE(rig.run(), int(DownloadEngine::ConnectionClosed));
        QCOMPARE(rig.host.status(), QStringLiteral("WinSock connection closed"));
        QVERIFY(rig.dialogs.shown.isEmpty());
    }

    // The simulator program on a pseudo-terminal, reached as COM5 through a
    // [ports] override: the download, then the dump it writes when done.
    void simulatorProgramOverAPseudoTerminal()
    {
        QTemporaryDir dir;
        const QString linkPath = dir.filePath(QStringLiteral("reader"));
        const QString dump = dir.filePath(QStringLiteral("dump.hex"));
        QProcess sim;
        sim.start(QStringLiteral(CORVANT_READER_SIM),
                  {QStringLiteral("--pty"), linkPath, QStringLiteral("--once"),
                   QStringLiteral("--dump"), dump});
        QVERIFY(sim.waitForReadyRead(kWait));
        QVERIFY(sim.readAllStandardOutput().contains("pseudo-terminal /dev/"));

        Rig rig(QStringLiteral("COM5"), kThreeLines, {{5, linkPath}});
        QCOMPARE(rig.run(), int(DownloadEngine::Completed));
        QCOMPARE(rig.host.log.size(), 6);
        QCOMPARE(rig.host.log.at(2), QStringLiteral("tx: E3 00 08 08 0A 02 01 04 03 00 00 00 00"));

        QVERIFY(sim.waitForFinished(kWait));
        QCOMPARE(sim.exitCode(), 0);
        QCOMPARE(TestFiles::read(dump),
                 HexLines::words(8, {0x0201, 0x0403, 0, 0}) + "\r\n:00000001FF\r\n");
        QVERIFY(!QFile::exists(linkPath));
    }
};

QTEST_GUILESS_MAIN(TestDownloadSim)
#include "tst_downloadsim.moc"
