// The logging window: its lines, its place beside the main window, its
// batches, and its memory under a flooding peer.
#include "app/tformlogging.h"
#include "app/tformmain.h"
#include "fakelink.h"
#include "floodingpeer.h"
#include "scripteddialogs.h"
#include "testfiles.h"
#include "testwindow.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>

namespace {

// What the window may hold under a flood, in KiB (the sanitizers' shadow
// memory and quarantine more than double it).
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 kFloodBound = 1200 * 1024;
#else
constexpr qint64 kFloodBound = 400 * 1024;
#endif

} // namespace

class TestFormLogging : public QObject {
    Q_OBJECT

private slots:
    void loggingWindow()
    {
        Window w;
        w.open({});
        TFormLogging &log = *w.form->logging();
        for (int i = 1; i <= 2001; ++i)
            log.addLogLine(QStringLiteral("tx: %1").arg(i), kTransmitColour);
        QTextDocument *document = log.viewer()->document();
        QCOMPARE(document->blockCount(), 2000);
        QCOMPARE(document->firstBlock().text(), QStringLiteral("tx: 2"));
        QCOMPARE(document->lastBlock().text(), QStringLiteral("tx: 2001"));
        QCOMPARE(log.viewer()->verticalScrollBar()->value(),
                 log.viewer()->verticalScrollBar()->maximum());

        log.addLogLine(QStringLiteral("rx: E7") + QChar(0) + QStringLiteral("E4\r\n\r\n"),
                       kReceiveColour);
        const QTextBlock last = log.viewer()->document()->lastBlock();
        QCOMPARE(last.text(), QStringLiteral("rx: E7 E4"));
        QCOMPARE(last.begin().fragment().charFormat().foreground().color(), QColor(0, 128, 0));
        QCOMPARE(document->firstBlock().begin().fragment().charFormat().foreground().color(),
                 QColor(128, 128, 0));
    }

    void logoDoubleClickTogglesTheLogBesideTheWindow()
    {
        Window w;
        w.open({});
        TFormMain &f = *w.form;
        f.show();
        f.move(40, 30);
        QTest::mouseDClick(f.Image1, Qt::LeftButton);
        TFormLogging &log = *f.logging();
        QTRY_VERIFY(log.isVisible());
        QCOMPARE(log.frameGeometry().x(), f.frameGeometry().x() + f.frameGeometry().width());
        QCOMPARE(log.frameGeometry().y(), f.frameGeometry().y());
        QCOMPARE(log.height(), f.height());
        QTest::mouseDClick(f.Image1, Qt::LeftButton);
        QVERIFY(!log.isVisible());

        f.move(200, 100);
        QTest::mouseDClick(f.Image1, Qt::LeftButton);
        QTRY_COMPARE(log.frameGeometry().x(), f.frameGeometry().x() + f.frameGeometry().width());
        QCOMPARE(log.frameGeometry().y(), f.frameGeometry().y());
    }

    // Under a flood every batch is still a log line, but the window's
    // memory stays flat once the log holds its 2000 lines.
    void floodingPeerKeepsTheWindowFlat()
    {
        FloodingPeer peer;
        QVERIFY(peer.port() != 0);
        Window w;
        QVERIFY(TestFiles::write(w.path("fw.hex"), firmware(false, true, true, false)));
        w.open({w.path("fw.hex"), QStringLiteral("port=127.0.0.1:%1").arg(peer.port())});
        w.form->btnDownloadClick();
        QTextDocument *log = w.form->logging()->viewer()->document();
        // Full: 2000 lines, the oldest of them a whole batch of the flood.
        const int wholeBatch = int(3 + 3 * kLinkReadBufferSize);
        QTRY_VERIFY_WITH_TIMEOUT(log->blockCount() == TFormLogging::kMaximumLines
                                     && log->firstBlock().text().size() == wholeBatch,
                                 30000);
        // The document's storage settles once its slack is used up; then it
        // rises and falls as whole batches replace the lines and the
        // document compacts its text, so the peaks of two periods of 3 s
        // are compared.
        const auto peakOver = [](int milliseconds) {
            qint64 peak = 0;
            for (int waited = 0; waited < milliseconds; waited += 100) {
                QTest::qWait(100);
                peak = std::max(peak, residentKiB());
            }
            return peak;
        };
        QTest::qWait(2000);
        const qint64 before = peakOver(3000);
        const qint64 grown = peakOver(3000) - before;
        QVERIFY2(grown < 16 * 1024,
                 qPrintable(QStringLiteral("peak grew by %1 KiB in 3 s").arg(grown)));
        // Flat, and at a size a technician's PC does not notice (batches of
        // 4096 bytes made it settle near 1 GB).
        QVERIFY2(before < kFloodBound, qPrintable(QStringLiteral("holds %1 KiB").arg(before)));
        QCOMPARE(log->lastBlock().text().size(), wholeBatch);
        w.form->session().cancel();
        QTRY_VERIFY(!w.form->session().download().holdsLink());
    }

    void emptyLogLineDoesNotSwallowTheNext()
    {
        TFormLogging log;
        log.addLogLine(QString(3, QChar(0)), kReceiveColour);
        log.addLogLine(QStringLiteral("tx: EA"), kTransmitColour);
        QCOMPARE(log.viewer()->document()->blockCount(), 2);
        QCOMPARE(log.viewer()->document()->lastBlock().text(), QStringLiteral("tx: EA"));
    }

    // A download's lines, each in its direction's colour, and why a port did
    // not open as a notice in the notice colour.
    void followsADownload_data()
    {
        QTest::addColumn<bool>("portFails");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QList<QColor>>("colours");
        const QColor olive(128, 128, 0);
        const QColor green(0, 128, 0);
        // EA, EB 55, then the end message: the job has no lines.
        QTest::newRow("download") << false
                                  << QStringList{QStringLiteral("tx: EA"),
                                                 QStringLiteral("rx: EB 55"),
                                                 QStringLiteral("tx: ED")}
                                  << QList<QColor>{olive, green, olive};
        QTest::newRow("port does not open") << true << QStringList{QStringLiteral("no such port")}
                                            << QList<QColor>{QColor(192, 0, 0)};
    }
    void followsADownload()
    {
        QFETCH(bool, portFails);
        QFETCH(QStringList, lines);
        QFETCH(QList<QColor>, colours);
        FakeLink link;
        link.failOpen = portFails;
        ScriptedDialogs dialogs;
        DialogQuestions questions(dialogs);
        DownloadEngine download(link, questions);
        TFormLogging log;
        log.follow(download);
        DownloadJob job;
        job.portText = QStringLiteral("COM1");
        download.start(job);
        if (!portFails)
            link.reply(QByteArray("\xEB\x55", 2));
        QTextDocument *document = log.viewer()->document();
        QCOMPARE(document->blockCount(), lines.size());
        for (int i = 0; i < lines.size(); ++i) {
            const QTextBlock block = document->findBlockByNumber(i);
            QCOMPARE(block.text(), lines[i]);
            QCOMPARE(block.begin().fragment().charFormat().foreground().color(), colours[i]);
        }
    }

    // Lines arriving together are laid out as one edit, not one by one;
    // none is lost, and each keeps its colour.
    void linesArriveInBatches()
    {
        TFormLogging log;
        log.show();
        QSignalSpy edits(log.findChild<QPlainTextEdit *>()->document(),
                         &QTextDocument::contentsChanged);
        for (int i = 0; i < 200; ++i)
            log.addLogLine(QStringLiteral("tx: %1").arg(i),
                           i % 2 ? kReceiveColour : kTransmitColour);
        QCOMPARE(edits.size(), 0);
        QTRY_COMPARE(edits.size(), 1);
        QTextDocument *document = log.viewer()->document();
        QCOMPARE(document->blockCount(), 200);
        QCOMPARE(document->findBlockByNumber(199).text(), QStringLiteral("tx: 199"));
        QCOMPARE(
            document->findBlockByNumber(199).begin().fragment().charFormat().foreground().color(),
            QColor(0, 128, 0));
        QCOMPARE(
            document->findBlockByNumber(198).begin().fragment().charFormat().foreground().color(),
            QColor(128, 128, 0));

        // More than the window holds: full batches go at once, the newest
        // 2000 lines stay.
        edits.clear();
        for (int i = 0; i < 3000; ++i)
            log.addLogLine(QStringLiteral("rx: %1").arg(i), kReceiveColour);
        QCOMPARE(edits.size(), 3000 / TFormLogging::kMaximumBatch);
        QTRY_COMPARE(edits.size(), 3000 / TFormLogging::kMaximumBatch + 1);
        QCOMPARE(document->blockCount(), TFormLogging::kMaximumLines);
        QCOMPARE(document->firstBlock().text(), QStringLiteral("rx: 1000"));
        QCOMPARE(document->lastBlock().text(), QStringLiteral("rx: 2999"));
    }
};

QTEST_MAIN(TestFormLogging)
#include "tst_formlogging.moc"
