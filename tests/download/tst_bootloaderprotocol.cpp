#include "download/bootloaderprotocol.h"

#include <QTest>

using Reply = Bootloader::Reply;

Q_DECLARE_METATYPE(Reply)

class TestBootloaderProtocol : public QObject {
    Q_OBJECT

private slots:
    void decodeReply_data()
    {
        QTest::addColumn<int>("sent");
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<Reply>("reply");

        const int wakeup = Bootloader::kWakeup;
        const int write = Bootloader::kWrite;
        const int end = Bootloader::kEnd;
        const auto bytes = [](const char *hex) { return QByteArray::fromHex(hex); };

        QTest::newRow("nothing yet") << write << QByteArray() << Reply::NeedMore;
        QTest::newRow("wake-up answered") << wakeup << bytes("EB") << Reply::WakeupAnswered;
        QTest::newRow("wake-up answered, more after it")
            << wakeup << bytes("EBEB55") << Reply::WakeupAnswered;
        QTest::newRow("wake-up: a stray byte first") << wakeup << bytes("00EB") << Reply::Ignore;
        QTest::newRow("wake-up: a write's acknowledgement")
            << wakeup << bytes("E7E4") << Reply::Ignore;
        QTest::newRow("write: half an answer") << write << bytes("E7") << Reply::NeedMore;
        QTest::newRow("write acknowledged") << write << bytes("E7E4") << Reply::Acknowledged;
        QTest::newRow("write acknowledged, flood after it")
            << write << (bytes("E7E4") + QByteArray(254, '\x55')) << Reply::Acknowledged;
        QTest::newRow("write failed") << write << bytes("E7E5") << Reply::WriteFailed;
        QTest::newRow("write not accepted") << write << bytes("E8") << Reply::NotAccepted;
        QTest::newRow("write not accepted, E4 after it")
            << write << bytes("E8E4") << Reply::NotAccepted;
        QTest::newRow("write: E7 then another byte") << write << bytes("E7E7") << Reply::Ignore;
        QTest::newRow("write: E7 then zero") << write << bytes("E700") << Reply::Ignore;
        QTest::newRow("write: E7 E8") << write << bytes("E7E8") << Reply::Ignore;
        QTest::newRow("write: the end answer alone") << write << bytes("E4") << Reply::Ignore;
        QTest::newRow("write: the wake-up answer") << write << bytes("EB") << Reply::Ignore;
        QTest::newRow("end answered") << end << bytes("E4") << Reply::EndAnswered;
        QTest::newRow("end answered twice") << end << bytes("E4E4") << Reply::EndAnswered;
        QTest::newRow("end: a write's answer") << end << bytes("E7E4") << Reply::Ignore;
        QTest::newRow("end: not accepted") << end << bytes("E8") << Reply::Ignore;
        QTest::newRow("nothing was sent") << 0 << bytes("E7E4") << Reply::Ignore;
        QTest::newRow("an unknown message") << 0x55 << bytes("EB") << Reply::Ignore;
    }
    void decodeReply()
    {
        QFETCH(int, sent);
        QFETCH(QByteArray, received);
        QFETCH(Reply, reply);
        QCOMPARE(Bootloader::decodeReply(std::uint8_t(sent), received), reply);
    }

    // A reply split anywhere decodes as the whole: every proper prefix of a
    // reply asks for more or, once decided, stays decided.
    void splitRepliesDecodeAsWhole()
    {
        const QList<QPair<int, QByteArray>> replies = {
            {Bootloader::kWrite, QByteArray::fromHex("E7E4")},
            {Bootloader::kWrite, QByteArray::fromHex("E7E5")},
            {Bootloader::kWakeup, QByteArray::fromHex("EB")},
            {Bootloader::kEnd, QByteArray::fromHex("E4")},
        };
        for (const auto &[sent, whole] : replies) {
            const Reply expected = Bootloader::decodeReply(std::uint8_t(sent), whole);
            QVERIFY(expected != Reply::NeedMore);
            for (qsizetype size = 0; size < whole.size(); ++size)
                QCOMPARE(Bootloader::decodeReply(std::uint8_t(sent), whole.first(size)),
                         Reply::NeedMore);
        }
    }
};

QTEST_GUILESS_MAIN(TestBootloaderProtocol)
#include "tst_bootloaderprotocol.moc"
