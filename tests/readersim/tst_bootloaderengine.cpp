#include "hexlines.h"
#include "image/imageloader.h"
#include "reader-sim/bootloaderengine.h"

#include <QTest>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray replies(BootloaderEngine &engine, const QByteArray &bytes)
{
    QByteArray all;
    for (const BootloaderEngine::Answer &answer : engine.feed(bytes))
        all += answer.reply;
    return all;
}

} // namespace

class TestBootloaderEngine : public QObject {
    Q_OBJECT

private slots:
    void answers_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("output");

        QTest::newRow("wake-up") << hex("EA") << hex("EB");
        QTest::newRow("write") << hex("E30008080A0201040300000000") << hex("E7E4");
        QTest::newRow("incomplete write") << hex("E3000808") << QByteArray();
        QTest::newRow("bad checksum") << hex("E30008080B0201040300000000") << hex("E7E5");
        QTest::newRow("beyond program memory") << hex("E31FFE08000000000000000000") << hex("E8");
        QTest::newRow("configuration word") << hex("E3200702313FF2") << hex("E7E4");
        QTest::newRow("EEPROM") << hex("E3210004FF005500AA") << hex("E7E4");
        QTest::newRow("beyond EEPROM") << hex("E3220002000000") << hex("E8");
        QTest::newRow("program write ending inside a row") << hex("E3000902000000") << hex("E8");
        QTest::newRow("odd byte count") << hex("E3000001000000") << hex("E8");
        QTest::newRow("end") << hex("ED") << hex("E4");
        QTest::newRow("stray bytes are ignored") << hex("0055EA") << hex("EB");
    }
    void answers()
    {
        QFETCH(QByteArray, input);
        BootloaderEngine engine;
        QTEST(replies(engine, input), "output");
    }

    void messagesMayArriveInPieces()
    {
        BootloaderEngine engine;
        const QByteArray message = hex("E30008080A0201040300000000");
        QByteArray all;
        for (const char byte : message)
            all += replies(engine, QByteArray(1, byte));
        QCOMPARE(all, hex("E7E4"));
        QCOMPARE(engine.memory().words().value(8), std::uint16_t(0x0201));
        QCOMPARE(engine.memory().words().value(11), std::uint16_t(0));
    }

    void faultsHitTheNumberedMessage()
    {
        SimulatorFaults faults;
        faults.writeFailed = {1};
        faults.notAccepted = {2};
        faults.silent = {3};
        faults.closeAfter = {4};
        faults.ignoreWakeups = 1;
        faults.strayByte = true;
        BootloaderEngine engine(faults);
        const QByteArray write = hex("E30008080A0201040300000000");

        QCOMPARE(replies(engine, hex("EA")), QByteArray());
        QCOMPARE(replies(engine, hex("EA")), hex("00EB"));
        QCOMPARE(replies(engine, hex("EA")), hex("EB"));
        QCOMPARE(replies(engine, write), hex("E7E5"));
        QCOMPARE(replies(engine, write), hex("E8"));
        QCOMPARE(replies(engine, write), QByteArray());
        const QList<BootloaderEngine::Answer> fourth = engine.feed(write);
        QCOMPARE(fourth.size(), 1);
        QCOMPARE(fourth.at(0).reply, hex("E7E4"));
        QVERIFY(fourth.at(0).close);
        const QList<BootloaderEngine::Answer> end = engine.feed(hex("ED"));
        QVERIFY(end.at(0).completed);
        QCOMPARE(engine.messages(), 5);
    }

    void dumpLoadsAsTheWordsWritten()
    {
        BootloaderEngine engine;
        const QByteArray header = hex("E300060C"); // six words at word 6
        QByteArray data;
        int sum = 0;
        for (int k = 0; k < 6; ++k) {
            data += char(0x30 + k);
            data += char(k);
            sum += 0x30 + 2 * k;
        }
        QCOMPARE(replies(engine, header + char(sum & 0xFF) + data), hex("E7E4"));
        QCOMPARE(replies(engine, hex("E3210004FF005500AA")), hex("E7E4"));

        FirmwareImage image;
        QVERIFY(loadImageFromText(engine.memory().toIntelHex(), image));
        QCOMPARE(image.records.size(), 4);
        // Words 6 and 7 end the first group of eight; 8 to 11 start the next.
        QCOMPARE(image.records.at(0), QByteArrayView(HexLines::words(6, {0x3000, 0x3101})));
        QCOMPARE(image.records.at(1),
                 QByteArrayView(HexLines::words(8, {0x3202, 0x3303, 0x3404, 0x3505})));
        QCOMPARE(image.records.at(2), QByteArrayView(HexLines::words(0x2100, {0x0055, 0x00AA})));
        QVERIFY(image.flags.eepromData);
    }
};

QTEST_GUILESS_MAIN(TestBootloaderEngine)
#include "tst_bootloaderengine.moc"
