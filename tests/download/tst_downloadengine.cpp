#include "download/downloadengine.h"
#include "downloadrig.h"
#include "fakelink.h"
#include "hexlines.h"
#include "scripteddialogs.h"

#include <QMetaEnum>
#include <QSignalSpy>
#include <QTest>

using Answer = Dialogs::Answer;
using Icon = Dialogs::Icon;

namespace {

const QByteArray kWakeupReply("\xEB", 1);
const QByteArray kAck("\xE7\xE4", 2);
const QByteArray kWriteFailed("\xE7\xE5", 2);
const QByteArray kNotAccepted("\xE8", 1);
const QByteArray kEndReply("\xE4", 1);
const QByteArray kEnd("\xED", 1);
const QByteArray kWakeup("\xEA", 1);
const QByteArray kFirstWrite = QByteArray::fromHex("E30008080A0201040300000000");

// The link, the dialogs and the window around one download.
// The window's timers, but a message after a time-out goes at once: most
// cases here drive the time-outs by hand.
DownloadTiming immediateResend()
{
    DownloadTiming timing;
    timing.quiet = std::chrono::milliseconds(0);
    return timing;
}

struct Rig : DownloadRig<FakeLink> {
    Rig()
        : DownloadRig(QStringLiteral("COM1"), HexLines::kThreeLines, immediateResend())
    {
    }

    QByteArray lastWritten() const { return link.written.value(link.written.size() - 1); }

    // Download pressed and the bootloader found.
    void startTransfer()
    {
        start();
        link.reply(kWakeupReply);
    }
};

} // namespace

class TestDownloadEngine : public QObject {
    Q_OBJECT

private slots:
    void referenceExample()
    {
        Rig rig;
        rig.start();
        QVERIFY(rig.download.holdsLink());
        rig.link.reply(kWakeupReply);
        rig.link.reply(kAck);
        rig.link.reply(kEndReply);

        QCOMPARE(rig.host.log,
                 (QStringList{QStringLiteral("tx: EA"), QStringLiteral("rx: EB"),
                              QStringLiteral("tx: E3 00 08 08 0A 02 01 04 03 00 00 00 00"),
                              QStringLiteral("rx: E7 E4"), QStringLiteral("tx: ED"),
                              QStringLiteral("rx: E4")}));
        QCOMPARE(rig.host.logDirections.at(0), DownloadEngine::Direction::Sent);
        QCOMPARE(rig.host.logDirections.at(1), DownloadEngine::Direction::Received);
        QCOMPARE(rig.host.progressMaximum, 3);
        QCOMPARE(rig.host.progressPositions, (QList<int>{0, 1, 2}));
        QVERIFY(!rig.host.progressVisible);
        QCOMPARE(rig.download.lineIndex(), 3);
        QCOMPARE(rig.download.recordsAcknowledged(), 1);
        QCOMPARE(rig.outcome(), int(DownloadEngine::Completed));
        QCOMPARE(rig.host.status(), QStringLiteral("Download completed"));
        QCOMPARE(rig.dialogs.texts(),
                 QStringList{QStringLiteral("Download successfully completed")});
        QCOMPARE(rig.dialogs.shown.at(0).icon, Icon::Information);
        QVERIFY(!rig.link.isOpen());
        QVERIFY(!rig.download.holdsLink());
    }

    // Every path through a download, as the phases it passes.
    void phaseTable_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("phases");
        const QString serial = QStringLiteral("COM1");
        const QString tcp = QStringLiteral("127.0.0.1:4001");
        const QString done = QStringLiteral("Finishing Closing Idle");
        QTest::newRow("serial, completed")
            << serial << QStringLiteral("EB ack E4")
            << QStringLiteral("Opening Searching Transferring ") + done;
        QTest::newRow("TCP, completed")
            << tcp << QStringLiteral("connected EB ack E4")
            << QStringLiteral("Opening Connecting Searching Transferring ") + done;
        QTest::newRow("failure, Abort") << serial << QStringLiteral("EB abort E8 E4")
                                        << QStringLiteral("Opening Searching Transferring ") + done;
        QTest::newRow("failure, Retry") << serial << QStringLiteral("EB retry E8 ack E4")
                                        << QStringLiteral("Opening Searching Transferring ") + done;
        QTest::newRow("search cancelled") << serial << QStringLiteral("cancel wake-up-time")
                                          << QStringLiteral("Opening Searching Closing Idle");
        QTest::newRow("port does not open")
            << serial << QStringLiteral("fail-open") << QStringLiteral("Opening Idle");
        QTest::newRow("connection fails inside open")
            << tcp << QStringLiteral("fail-inside-open") << QStringLiteral("Opening Closing Idle");
        QTest::newRow("connection refused") << tcp << QStringLiteral("refused")
                                            << QStringLiteral("Opening Connecting Closing Idle");
        QTest::newRow("closed during the transfer")
            << tcp << QStringLiteral("connected EB closed")
            << QStringLiteral("Opening Connecting Searching Transferring Closing Idle");
        QTest::newRow("end message unanswered, Abort")
            << serial << QStringLiteral("EB ack abort time-out time-out")
            << QStringLiteral("Opening Searching Transferring ") + done;
    }
    void phaseTable()
    {
        QFETCH(QString, port);
        QFETCH(QString, script);
        QFETCH(QString, phases);
        Rig rig;
        rig.job.portText = port;
        const QMetaEnum names = QMetaEnum::fromType<DownloadEngine::Phase>();
        bool started = false;
        for (const QString &step : script.split(QLatin1Char(' '))) {
            if (!started && step != QLatin1String("fail-open")
                && step != QLatin1String("fail-inside-open")) {
                rig.start();
                started = true;
            }
            if (step == QLatin1String("fail-open")) {
                rig.link.failOpen = true;
            } else if (step == QLatin1String("fail-inside-open")) {
                rig.link.failAfterOpening = true;
            } else if (step == QLatin1String("connected")) {
                emit rig.link.connected();
            } else if (step == QLatin1String("refused") || step == QLatin1String("closed")) {
                rig.link.opened = false;
                if (step == QLatin1String("refused"))
                    emit rig.link.socketError(111);
                else
                    emit rig.link.disconnected();
            } else if (step == QLatin1String("retry") || step == QLatin1String("abort")) {
                rig.dialogs.answers
                    << (step == QLatin1String("retry") ? Answer::Retry : Answer::Abort);
            } else if (step == QLatin1String("cancel")) {
                rig.download.cancel();
            } else if (step == QLatin1String("wake-up-time")) {
                rig.download.onWakeupTimer();
            } else if (step == QLatin1String("time-out")) {
                rig.download.onReplyTimeout();
            } else if (step == QLatin1String("ack")) {
                rig.link.reply(kAck);
            } else {
                rig.link.reply(QByteArray::fromHex(step.toLatin1()));
            }
        }
        if (!started)
            rig.start();
        QStringList passed;
        for (const DownloadEngine::Phase phase : rig.host.phases)
            passed << QString::fromLatin1(names.valueToKey(int(phase)));
        QCOMPARE(passed.join(QLatin1Char(' ')), phases);
        QCOMPARE(rig.finished.size(), 1); // every download ends through finished(), once
        QVERIFY(!rig.download.isBusy());
        QVERIFY(!rig.link.isOpen());
    }

    void noLineToSend()
    {
        Rig rig;
        rig.job.lines = RecordList::fromText(":024200000102B9\r\n:00000001FF\r\n");
        rig.startTransfer();
        QCOMPARE(rig.lastWritten(), kEnd);
        rig.link.reply(kEndReply);
        QCOMPARE(rig.outcome(), int(DownloadEngine::Completed));
        QCOMPARE(rig.dialogs.texts(),
                 QStringList{
                     QStringLiteral("Warning: download completed, but no records have been sent")});
        QCOMPARE(rig.dialogs.shown.at(0).icon, Icon::Warning);
    }

    void repliesInPiecesAndWithExtraBytes()
    {
        Rig rig;
        rig.startTransfer();
        rig.link.reply(QByteArray("\xE7", 1));
        QCOMPARE(rig.lastWritten(), kFirstWrite);
        rig.link.reply(QByteArray("\xE4", 1));
        QCOMPARE(rig.lastWritten(), kEnd);

        Rig extra;
        extra.startTransfer();
        extra.link.reply(QByteArray("\xE7\xE4\x55\xE4", 4));
        QCOMPARE(extra.lastWritten(), kEnd); // the further bytes were dropped...
        QCOMPARE(extra.finished.size(), 0); // ...and did not answer the end message
    }

    void searchIgnoresAnEventNotStartingWithTheAnswer()
    {
        Rig rig;
        rig.start();
        rig.link.reply(QByteArray("\x00\xEB", 2));
        QCOMPARE(rig.link.written, QList<QByteArray>{kWakeup});
        rig.download.onWakeupTimer();
        QCOMPARE(rig.link.written, (QList<QByteArray>{kWakeup, kWakeup}));
        rig.link.reply(kWakeupReply);
        QCOMPARE(rig.lastWritten(), kFirstWrite);
    }

    void searchAnimation()
    {
        Rig rig;
        QStringList expected;
        for (const int steps : {1, 2, 3, 4, 5, 4, 3, 2, 1, 0, 1}) {
            rig.download.onAnimationTimer();
            expected << QStringLiteral("Searching for bootloader ")
                    + QString(2 * steps, QLatin1Char(' ')) + QStringLiteral("...");
        }
        QCOMPARE(rig.host.statusTexts, expected);
    }

    void failuresAskAbortOrRetry_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("text");
        QTest::newRow("write failed") << kWriteFailed << QStringLiteral("Write failed");
        QTest::newRow("not accepted")
            << kNotAccepted << QStringLiteral("Write failed (data not accepted)");
        QTest::newRow("time-out") << QByteArray() << QStringLiteral("Communication timeout");
    }
    void failuresAskAbortOrRetry()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, text);

        Rig rig;
        rig.dialogs.answers = {Answer::Retry, Answer::Abort};
        rig.startTransfer();
        const auto fail = [&] {
            if (reply.isEmpty())
                rig.download.onReplyTimeout();
            else
                rig.link.reply(reply);
        };
        fail();
        QCOMPARE(rig.dialogs.texts(), QStringList{text});
        QCOMPARE(rig.dialogs.shown.at(0).buttons, Dialogs::Buttons::AbortRetry);
        QCOMPARE(rig.lastWritten(), kFirstWrite); // Retry: the same line again
        QCOMPARE(rig.link.written.count(kFirstWrite), 2);

        fail();
        QCOMPARE(rig.lastWritten(), kEnd); // Abort: the end message
        QCOMPARE(rig.host.status(), QStringLiteral("Cancelling..."));
        rig.link.reply(kEndReply);
        QCOMPARE(rig.outcome(), int(DownloadEngine::Cancelled));
        QCOMPARE(rig.host.status(), QStringLiteral("Download cancelled"));
        QCOMPARE(rig.dialogs.texts().last(), QStringLiteral("Download cancelled"));
    }

    void abortedEndMessageStillCompletes()
    {
        Rig rig;
        rig.startTransfer();
        rig.link.reply(kAck);
        QCOMPARE(rig.lastWritten(), kEnd);
        rig.dialogs.answers = {Answer::Abort};
        rig.download.onReplyTimeout();
        QCOMPARE(rig.link.written.count(kEnd), 2);
        rig.link.reply(kEndReply);
        QCOMPARE(rig.outcome(), int(DownloadEngine::Completed));
    }

    void failureWhileCancelRequestedEndsWithoutAQuestion()
    {
        Rig rig;
        rig.dialogs.answers = {Answer::Abort};
        rig.startTransfer();
        rig.download.onReplyTimeout(); // Abort: end message
        rig.download.onReplyTimeout(); // and no answer to it
        QCOMPARE(rig.outcome(), int(DownloadEngine::Cancelled));
        QCOMPARE(rig.dialogs.texts(),
                 (QStringList{QStringLiteral("Communication timeout"),
                              QStringLiteral("Download cancelled")}));
        QCOMPARE(rig.host.status(), QStringLiteral("Cancelling..."));
    }

    void cancelDuringTheSearchIsSilent()
    {
        Rig rig;
        rig.start();
        rig.download.cancel();
        QVERIFY(rig.dialogs.shown.isEmpty());
        QCOMPARE(rig.host.status(), QStringLiteral("Cancelling..."));
        rig.download.onWakeupTimer();
        QCOMPARE(rig.outcome(), int(DownloadEngine::SearchCancelled));
        QCOMPARE(rig.host.status(), QString());
        QVERIFY(rig.dialogs.shown.isEmpty());
        QVERIFY(!rig.link.isOpen());
    }

    void answerBeforeTheNextWakeupDropsTheCancel()
    {
        Rig rig;
        rig.start();
        rig.download.cancel();
        rig.link.reply(kWakeupReply);
        QVERIFY(!rig.download.cancelRequested());
        QCOMPARE(rig.lastWritten(), kFirstWrite);
    }

    void cancelDuringTheTransfer_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::newRow("Yes") << Answer::Yes;
        QTest::newRow("No") << Answer::No;
    }
    void cancelDuringTheTransfer()
    {
        QFETCH(Answer, answer);
        Rig rig;
        rig.job.lines = RecordList::fromText(":0400100001020304E2\r\n:0400200001020304D2\r\n");
        rig.startTransfer();
        rig.dialogs.answers = {answer};
        rig.download.cancel();
        QCOMPARE(rig.dialogs.texts(),
                 QStringList{QStringLiteral("Are you sure to abort the download?")});
        QCOMPARE(rig.dialogs.shown.at(0).buttons, Dialogs::Buttons::YesNo);
        rig.link.reply(kAck);
        if (answer == Answer::No) {
            QCOMPARE(rig.lastWritten(), QByteArray::fromHex("E30010080A0201040300000000"));
            return;
        }
        QCOMPARE(rig.lastWritten(), kEnd);
        rig.link.reply(kEndReply);
        QCOMPARE(rig.outcome(), int(DownloadEngine::Cancelled));
    }

    void completedUnattended()
    {
        Rig rig;
        rig.job.unattended = true;
        rig.startTransfer();
        rig.link.reply(kAck);
        rig.link.reply(kEndReply);
        QCOMPARE(rig.outcome(), int(DownloadEngine::Completed));
        QVERIFY(rig.dialogs.shown.isEmpty());
        QCOMPARE(rig.host.status(), QStringLiteral("Download successfully completed"));
        QVERIFY(!rig.link.isOpen());
    }

    void cancelledUnattendedStaysOpen()
    {
        Rig rig;
        rig.job.unattended = true;
        rig.dialogs.answers = {Answer::Abort};
        rig.startTransfer();
        rig.link.reply(kWriteFailed);
        rig.link.reply(kEndReply);
        QCOMPARE(rig.outcome(), int(DownloadEngine::Cancelled));
        QCOMPARE(
            rig.dialogs.texts(),
            (QStringList{QStringLiteral("Write failed"), QStringLiteral("Download cancelled")}));
    }

    void timersFollowThePhases()
    {
        Rig rig;
        rig.start();
        QVERIFY(rig.download.searching());
        QVERIFY(!rig.download.awaitingReply());
        rig.link.reply(kWakeupReply);
        QVERIFY(!rig.download.animating());
        QVERIFY(rig.download.awaitingReply());
        rig.link.reply(kAck);
        QVERIFY(rig.download.awaitingReply()); // now for the end message
        rig.link.reply(kEndReply);
        QVERIFY(!rig.download.awaitingReply());
        QVERIFY(!rig.download.animating());

        Rig cancelled;
        cancelled.start();
        cancelled.download.cancel();
        QVERIFY2(!cancelled.download.animating(), "the animation freezes");
    }

    // A coarse timer may fire 5 % early: a reply time-out must not.
    void everyTimerIsPrecise()
    {
        Rig rig;
        const QList<QTimer *> timers = rig.download.findChildren<QTimer *>();
        QCOMPARE(timers.size(), 5); // wake-up, animation, reply, search limit, quiet
        for (const QTimer *timer : timers)
            QCOMPARE(timer->timerType(), Qt::PreciseTimer);
    }

    void unexpectedRepliesAreDropped_data()
    {
        QTest::addColumn<bool>("toTheEnd");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("E7 then another byte") << false << QByteArray("\xE7\x55", 2);
        QTest::newRow("a wrong first byte") << false << QByteArray("\x55", 1);
        QTest::newRow("a wrong answer to the end message") << true << QByteArray("\x55", 1);
    }
    void unexpectedRepliesAreDropped()
    {
        QFETCH(bool, toTheEnd);
        QFETCH(QByteArray, reply);
        Rig rig;
        rig.startTransfer();
        if (toTheEnd)
            rig.link.reply(kAck);
        const qsizetype sent = rig.link.written.size();
        rig.link.reply(reply);
        QCOMPARE(rig.link.written.size(), sent);
        QVERIFY(rig.dialogs.shown.isEmpty());
        QVERIFY(rig.download.awaitingReply());
        rig.download.onReplyTimeout();
        QCOMPARE(rig.dialogs.texts(), QStringList{QStringLiteral("Communication timeout")});
    }

    void failureQuestionClosedCountsAsAbort()
    {
        Rig rig;
        rig.dialogs.answers = {Answer::Closed};
        rig.startTransfer();
        rig.link.reply(kWriteFailed);
        QCOMPARE(rig.lastWritten(), kEnd);
        QVERIFY(rig.download.cancelRequested());
    }

    void cancelConfirmedAfterTheDownloadEnded()
    {
        Rig rig;
        rig.startTransfer();
        rig.dialogs.answers = {Answer::Yes, Answer::Ok};
        rig.dialogs.whileOpen = [&] {
            rig.link.reply(kAck);
            rig.link.reply(kEndReply);
        };
        rig.download.cancel();
        QCOMPARE(rig.outcome(), int(DownloadEngine::Completed));
        QCOMPARE(rig.host.status(), QStringLiteral("Download completed"));
        QCOMPARE(rig.dialogs.closedMessages, 1); // the question went with its download
    }

    void linkEventsWhileTheClosingBoxIsOpen()
    {
        Rig rig;
        rig.job.portText = QStringLiteral("127.0.0.1:4001");
        rig.start();
        emit rig.link.connected();
        rig.link.reply(kWakeupReply);
        rig.link.reply(kAck);
        rig.dialogs.whileOpen = [&] {
            rig.link.reply(kEndReply); // a second answer
            rig.link.opened = false;
            emit rig.link.disconnected();
        };
        rig.link.reply(kEndReply);
        QCOMPARE(rig.finished.size(), 1);
        QCOMPARE(rig.outcome(), int(DownloadEngine::Completed));
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.dialogs.closedMessages, 0); // no question was open
        QCOMPARE(rig.host.status(), QStringLiteral("Download completed"));
    }

    void connectionFailingInsideOpen()
    {
        Rig rig;
        rig.job.portText = QStringLiteral("10.0.0.1:4001");
        rig.link.failAfterOpening = true;
        rig.start();
        QCOMPARE(rig.outcome(), int(DownloadEngine::SocketFailed));
        QVERIFY2(!rig.download.holdsLink(), "the window must not stay busy");
        QCOMPARE(rig.download.phase(), DownloadEngine::Phase::Idle);
        QVERIFY(rig.link.written.isEmpty());
    }

    void secondPressWhileStartingIsIgnored()
    {
        Rig rig;
        // Whoever paints while the link opens lets a second press in.
        QObject::connect(&rig.download, &DownloadEngine::phaseChanged, &rig.download,
                         [&](DownloadEngine::Phase phase) {
                             if (phase == DownloadEngine::Phase::Opening)
                                 rig.start();
                         });
        rig.start();
        QCOMPARE(rig.link.openCalls, 1);
        QCOMPARE(rig.link.written, QList<QByteArray>{kWakeup});
    }

    void bytesHeldBackDuringTheQuestionAreDropped()
    {
        Rig rig;
        rig.startTransfer();
        rig.dialogs.answers = {Answer::Retry};
        // The link announces nothing while its own handler runs the box.
        rig.dialogs.whileOpen = [&] { rig.link.waiting += QByteArray("\xE7", 1); };
        rig.link.reply(kWriteFailed);
        QCOMPARE(rig.link.waiting, QByteArray());
        rig.link.reply(kAck);
        QCOMPARE(rig.lastWritten(), kEnd);
    }

    void openFailures_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("text");
        QTest::newRow("serial") << QStringLiteral("COM7")
                                << QStringLiteral("Error: could not open communication port COM7");
        QTest::newRow("tcp") << QStringLiteral("gate7:4001")
                             << QStringLiteral("WinSock Error: 111 Connection refused");
    }
    void openFailures()
    {
        QFETCH(QString, port);
        QFETCH(QString, text);
        Rig rig;
        rig.job.portText = port;
        rig.link.failOpen = true;
        rig.start();
        QCOMPARE(rig.dialogs.texts(), QStringList{text});
        QCOMPARE(rig.dialogs.shown.at(0).icon, Icon::Error);
        QCOMPARE(rig.host.status(), QString());
        QVERIFY(!rig.download.holdsLink());
        QCOMPARE(rig.download.phase(), DownloadEngine::Phase::Idle);
        QVERIFY(rig.link.written.isEmpty());
        // A serial port's own reason goes to the log, not into the box.
        QCOMPARE(rig.host.notices,
                 port.startsWith(QLatin1String("COM")) ? QStringList{QStringLiteral("no such port")}
                                                       : QStringList{});
    }

    void downloadWhileOpenDoesNothing()
    {
        Rig rig;
        rig.start();
        rig.start();
        QCOMPARE(rig.link.openCalls, 1);
        QCOMPARE(rig.link.written.size(), 1);
    }

    void failedWriteCancelsSilently()
    {
        Rig rig;
        rig.link.failWrites = true;
        rig.start();
        QVERIFY(rig.download.writeFailed());
        QVERIFY(!rig.download.cancelRequested()); // nobody asked for it
        rig.download.onWakeupTimer();
        QCOMPARE(rig.outcome(), int(DownloadEngine::SearchCancelled));
        QVERIFY(rig.dialogs.shown.isEmpty());
    }

    void tcpEvents()
    {
        Rig rig;
        rig.job.portText = QStringLiteral("127.0.0.1:4001");
        rig.start();
        QVERIFY(rig.link.written.isEmpty()); // the wake-up waits for the connection
        QCOMPARE(rig.host.status(), QStringLiteral("Connecting..."));
        emit rig.link.connected();
        QCOMPARE(rig.host.statusTexts.last(), QStringLiteral("Connected"));
        QCOMPARE(rig.link.written, QList<QByteArray>{kWakeup});
        rig.link.reply(kWakeupReply);
        rig.link.opened = false;
        emit rig.link.disconnected();
        QCOMPARE(rig.outcome(), int(DownloadEngine::ConnectionClosed));
        QCOMPARE(rig.host.status(), QStringLiteral("WinSock connection closed"));
        QVERIFY(rig.dialogs.shown.isEmpty());

        Rig failing;
        failing.job.portText = QStringLiteral("127.0.0.1:4001");
        failing.start();
        failing.link.opened = false;
        emit failing.link.socketError(111);
        QCOMPARE(failing.outcome(), int(DownloadEngine::SocketFailed));
        QCOMPARE(failing.host.status(), QStringLiteral("WinSock Error: 111 Connection refused"));
        QVERIFY(failing.dialogs.shown.isEmpty());
    }

    void cancelWhileConnectingIsDroppedOnConnect()
    {
        Rig rig;
        rig.job.portText = QStringLiteral("127.0.0.1:4001");
        rig.start();
        rig.dialogs.answers = {Answer::Yes};
        rig.download.cancel();
        QVERIFY(rig.download.cancelRequested());
        emit rig.link.connected();
        QVERIFY(!rig.download.cancelRequested());
    }

    // A reply that answers no message sent (late after its time-out, or
    // doubled) must never be taken for the next message's: a late one is
    // waited out before the message goes again; one that still slips in
    // puts the replies one behind, which the end message's answer shows,
    // and the download is not completed. A reader that answers just inside
    // the time-out sees the same bytes as ever.
    void repliesOutOfStep_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("at"); // the write that meets the fault
        QTest::addColumn<int>("outcome");
        const int completed = DownloadEngine::Completed;
        const int outOfStep = DownloadEngine::OutOfStep;
        for (const int at : {0, 2, 3}) {
            QTest::addRow("in time, write %d", at) << QStringLiteral("in time") << at << completed;
            QTest::addRow("late, write %d", at) << QStringLiteral("late") << at << completed;
            QTest::addRow("later than the quiet wait, write %d", at)
                << QStringLiteral("very late") << at << outOfStep;
            QTest::addRow("doubled in one batch, write %d", at)
                << QStringLiteral("doubled") << at << outOfStep;
            QTest::addRow("doubled after the next write, write %d", at)
                << QStringLiteral("doubled later") << at << outOfStep;
        }
    }
    void repliesOutOfStep()
    {
        QFETCH(QString, fault);
        QFETCH(int, at);
        QFETCH(int, outcome);
        FakeLink link;
        ScriptedDialogs dialogs;
        dialogs.answers = {Answer::Retry};
        DialogQuestions questions{dialogs};
        DownloadTiming timing;
        timing.reply = std::chrono::milliseconds(1500);
        timing.quiet = std::chrono::milliseconds(50);
        DownloadEngine download{link, questions, timing};
        QSignalSpy finished{&download, &DownloadEngine::finished};
        DownloadJob job;
        job.portText = QStringLiteral("COM1");
        for (int line = 0; line < 4; ++line)
            job.lines.append(HexLines::words(0x10 * (line + 1), {1, 2, 3, 4}));
        download.start(job);
        link.reply(kWakeupReply);
        // The reader: one reply per message, or, once behind, the reply
        // to the message before (the same bytes) and its last one owed.
        bool behind = false;
        for (int write = 0, steps = 0; finished.isEmpty() && steps < 40; ++steps) {
            const qsizetype sent = link.written.size();
            if (link.written.last() == kEnd) {
                link.reply(behind ? kAck + kEndReply : kEndReply);
                continue;
            }
            if (write++ != at) {
                link.reply(kAck);
            } else if (fault == QLatin1String("in time")) {
                QTest::qWait(900); // well inside the time-out, also on a loaded machine
                link.reply(kAck);
            } else if (fault == QLatin1String("doubled")) {
                link.reply(kAck + kAck);
            } else if (fault == QLatin1String("doubled later")) {
                link.reply(kAck);
                link.reply(kAck);
                behind = true;
            } else {
                download.onReplyTimeout(); // as its timer would
                if (fault == QLatin1String("late"))
                    link.reply(kAck);
                QTRY_COMPARE(link.written.size(), sent + 1); // sent again once quiet
                link.reply(kAck);
                behind = fault == QLatin1String("very late");
            }
        }
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), outcome);
        const bool retried
            = fault.startsWith(QLatin1String("late")) || fault == QLatin1String("very late");
        QCOMPARE(link.written.count(kEnd), 1);
        if (outcome == DownloadEngine::Completed)
            QCOMPARE(link.written.size(), 1 + 4 + (retried ? 1 : 0) + 1);
        QCOMPARE(dialogs.texts().last(),
                 outcome == DownloadEngine::Completed
                     ? QStringLiteral("Download successfully completed")
                     : QStringLiteral("Replies out of step with the messages sent"));
    }

    // The search limit (a headless front end's) ends a connection that does
    // not come and a search nobody answers, never a transfer; no box.
    void searchLimit_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<QString>("status"); // empty: the download goes on
        QTest::newRow("connecting") << QStringLiteral("127.0.0.1:4001") << false
                                    << QStringLiteral("No connection to 127.0.0.1 within 1 s");
        QTest::newRow("searching") << QStringLiteral("COM1") << false
                                   << QStringLiteral("No answer from the bootloader within 1 s");
        QTest::newRow("transferring") << QStringLiteral("COM1") << true << QString();
    }
    void searchLimit()
    {
        QFETCH(QString, port);
        QFETCH(bool, answered);
        QFETCH(QString, status);
        FakeLink link;
        ScriptedDialogs dialogs;
        DialogQuestions questions{dialogs};
        DownloadTiming timing;
        timing.searchLimit = std::chrono::milliseconds(50);
        DownloadEngine download{link, questions, timing};
        DownloadRecorder host{download};
        QSignalSpy finished{&download, &DownloadEngine::finished};
        DownloadJob job;
        job.portText = port;
        job.lines = RecordList::fromText(HexLines::kThreeLines);
        download.start(job);
        if (answered)
            link.reply(kWakeupReply);
        if (status.isEmpty()) {
            QTest::qWait(200);
            QVERIFY(finished.isEmpty() && download.awaitingReply());
            return;
        }
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), int(DownloadEngine::SearchTimedOut));
        QCOMPARE(host.status(), status);
        QVERIFY(dialogs.shown.isEmpty() && !link.isOpen());
    }

    // Abandoning holds through what makes Cancel forget itself: a
    // connection made afterwards, an answer to the search. No question.
    void abandonHoldsThroughConnectAndAnswer_data()
    {
        QTest::addColumn<QString>("when");
        QTest::addColumn<int>("outcome");
        QTest::newRow("while connecting")
            << QStringLiteral("connecting") << int(DownloadEngine::SearchCancelled);
        QTest::newRow("answer during the search")
            << QStringLiteral("searching") << int(DownloadEngine::Cancelled);
        QTest::newRow("during the transfer")
            << QStringLiteral("transferring") << int(DownloadEngine::Cancelled);
    }
    void abandonHoldsThroughConnectAndAnswer()
    {
        QFETCH(QString, when);
        QFETCH(int, outcome);
        Rig rig;
        rig.job.portText = QStringLiteral("127.0.0.1:4001");
        rig.job.lines = RecordList::fromText(":0400100001020304E2\r\n:0400200001020304D2\r\n");
        rig.start();
        if (when == QLatin1String("connecting"))
            rig.download.abandon();
        emit rig.link.connected();
        if (when == QLatin1String("searching"))
            rig.download.abandon();
        if (when == QLatin1String("connecting")) {
            rig.download.onWakeupTimer();
        } else {
            rig.link.reply(kWakeupReply);
            if (when == QLatin1String("transferring")) {
                rig.download.abandon();
                rig.link.reply(kAck);
            }
            QCOMPARE(rig.lastWritten(), kEnd);
            rig.link.reply(kEndReply);
        }
        QCOMPARE(rig.outcome(), outcome);
        QVERIFY(rig.dialogs.texts().filter(QStringLiteral("Are you sure")).isEmpty());
        QVERIFY(rig.host.statusTexts.contains(QStringLiteral("Cancelling...")));
        QVERIFY(!rig.link.isOpen());
    }

    // Nothing reaches the reader while a failure question is open, and the
    // answer sends exactly one message.
    void oneMessageOutstandingWhileAFailureIsAsked()
    {
        Rig rig;
        rig.startTransfer();
        rig.dialogs.answers = {Answer::Retry};
        rig.dialogs.whileOpen = [&] {
            rig.link.reply(kAck); // a late acknowledgement
            rig.download.onReplyTimeout(); // and a second failure
            QCOMPARE(rig.link.written.size(), 2); // EA and the first write only
        };
        rig.link.reply(kWriteFailed);
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.link.written, (QList<QByteArray>{kWakeup, kFirstWrite, kFirstWrite}));
        QCOMPARE(rig.download.lineIndex(), 0);
        rig.link.reply(kAck);
        QCOMPARE(rig.download.lineIndex(), 3);
        QCOMPARE(rig.lastWritten(), kEnd);
    }

    void connectionLostWhileAFailureIsAsked()
    {
        Rig rig;
        rig.job.portText = QStringLiteral("127.0.0.1:4001");
        rig.start();
        emit rig.link.connected();
        rig.link.reply(kWakeupReply);
        rig.dialogs.answers = {Answer::Retry};
        rig.dialogs.whileOpen = [&] {
            rig.link.opened = false;
            emit rig.link.disconnected();
        };
        const qsizetype before = rig.link.written.size();
        rig.link.reply(kWriteFailed);
        QCOMPARE(rig.outcome(), int(DownloadEngine::ConnectionClosed));
        QCOMPARE(rig.link.written.size(), before); // the answer sent nothing
        QCOMPARE(rig.dialogs.closedMessages, 1);
    }

    void floodOfBytesIsBounded()
    {
        Rig rig;
        rig.startTransfer();
        QByteArray flood = kAck + QByteArray(1000, '\x55');
        rig.link.reply(flood);
        QCOMPARE(rig.lastWritten(), kEnd);
        QCOMPARE(rig.host.log.at(3).size(), 3 + 3 * 1002);
    }

    void staleReplyBytesDoNotSpoilTheNextAnswer()
    {
        Rig rig;
        rig.startTransfer();
        rig.link.reply(QByteArray("\xE7", 1)); // half a reply, then silence
        rig.dialogs.answers = {Answer::Retry};
        rig.download.onReplyTimeout();
        rig.link.reply(kAck); // the answer to the retry
        QCOMPARE(rig.lastWritten(), kEnd);
    }

    void lineSplitInSeveralMessages()
    {
        Rig rig;
        QList<std::uint16_t> words;
        for (int i = 0; i < 127; ++i)
            words << std::uint16_t(i);
        rig.job.lines = RecordList::fromText(HexLines::words(0x100, words));
        rig.startTransfer();
        QCOMPARE(rig.lastWritten().mid(0, 4), QByteArray::fromHex("E30100F8"));
        rig.link.reply(kAck);
        QCOMPARE(rig.download.lineIndex(), 0);
        QCOMPARE(rig.lastWritten().mid(0, 4), QByteArray::fromHex("E3017C08"));
        rig.link.reply(kAck);
        QCOMPARE(rig.download.lineIndex(), 1);
        QCOMPARE(rig.download.recordsAcknowledged(), 2);
        QCOMPARE(rig.lastWritten(), kEnd);
    }
};

QTEST_GUILESS_MAIN(TestDownloadEngine)
#include "tst_downloadengine.moc"
