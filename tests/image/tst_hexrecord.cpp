#include "image/hexrecord.h"

#include <QTest>

using HexRecord::Test;

Q_DECLARE_METATYPE(HexRecord::Test)

class TestHexRecord : public QObject {
    Q_OBJECT

private slots:
    void fieldReadings_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("type");

        QTest::newRow("upper case") << QByteArray(":10ABCD00") << 0x10 << 0xABCD << 0x00;
        QTest::newRow("lower case") << QByteArray(":0aabcd04") << 0x0A << 0xABCD << 0x04;
        QTest::newRow("bad count") << QByteArray(":G0000000") << -1 << 0x0000 << 0x00;
        QTest::newRow("bad address") << QByteArray(":0000x000") << 0x00 << -1 << 0x00;
        QTest::newRow("sign is no digit") << QByteArray(":-1000000") << -1 << 0x0000 << 0x00;
        QTest::newRow("short line") << QByteArray(":01") << 0x01 << -1 << -1;
    }
    void fieldReadings()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, count);
        QFETCH(int, address);
        QFETCH(int, type);
        QCOMPARE(HexRecord::byteField(line, HexRecord::kCountPos), count);
        QCOMPARE(HexRecord::wordField(line, HexRecord::kAddressPos), address);
        QCOMPARE(HexRecord::byteField(line, HexRecord::kTypePos), type);
    }

    void recordTests_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<Test>("failed");

        // Accepted records.
        QTest::newRow("data record") << QByteArray(":0400000000000000FC") << Test::None;
        QTest::newRow("lower-case digits") << QByteArray(":020142000a347d") << Test::None;
        QTest::newRow("end of file") << QByteArray(":00000001FF") << Test::None;
        QTest::newRow("extended linear") << QByteArray(":020000040001F9") << Test::None;
        QTest::newRow("extended segment") << QByteArray(":020000021000EC") << Test::None;
        QTest::newRow("odd count outside data") << QByteArray(":0100000100FE") << Test::None;
        QTest::newRow("empty data record") << QByteArray(":0000000000") << Test::None;
        QTest::newRow("another instruction at 0xA1") << QByteArray(":020142000A357C") << Test::None;

        // Length: 2N+11 characters exactly.
        QTest::newRow("trailing blank") << QByteArray(":0400000000000000FC ") << Test::Length;
        QTest::newRow("one digit short") << QByteArray(":0400000000000000F") << Test::Length;
        QTest::newRow("bad count asks for 9 characters")
            << QByteArray(":0G0000000000000000") << Test::Length;

        // Address, type, checksum in that order.
        QTest::newRow("bad address") << QByteArray(":04000G0000000000FC") << Test::Address;
        QTest::newRow("type 03") << QByteArray(":0400000300000000F9") << Test::Type;
        QTest::newRow("type 05") << QByteArray(":0400000500000000F7") << Test::Type;
        QTest::newRow("type 06") << QByteArray(":0400000600000000F6") << Test::Type;
        QTest::newRow("bad type") << QByteArray(":040000G000000000FC") << Test::Type;
        QTest::newRow("checksum off by one") << QByteArray(":0400000000000000FD") << Test::Checksum;
        QTest::newRow("bad checksum field") << QByteArray(":0400000000000000ZZ") << Test::Checksum;

        // A bad pair counts 0xFF in the sum and can balance it by chance;
        // such records must still be refused.
        QTest::newRow("bad count balanced") << QByteArray(":ZZ000001") << Test::HexDigits;
        QTest::newRow("bad data byte balanced") << QByteArray(":01000000ZZ00") << Test::HexDigits;
        QTest::newRow("bad checksum balanced") << QByteArray(":0100000000ZZ") << Test::HexDigits;

        // A data record's last odd byte would belong to no word.
        QTest::newRow("odd data count") << QByteArray(":03000000010203F7") << Test::OddDataLength;
    }
    void recordTests()
    {
        QFETCH(QByteArray, line);
        QFETCH(Test, failed);
        QCOMPARE(HexRecord::check(line).failed, failed);
    }

    void checksumIsTwosComplementOfTheByteSum()
    {
        QCOMPARE(HexRecord::computeChecksum(":020142000A347D", 2), 0x7D);
        QCOMPARE(HexRecord::computeChecksum(":00000001FF", 0), 0xFF);
        // Overflowing the byte: 0xFF + 0xFF + 0x02 = 0x200.
        QCOMPARE(HexRecord::computeChecksum(":02FFFF00", 0), 0x00);
    }

    void contentFlags_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("eeprom");
        QTest::addColumn<bool>("customer");
        QTest::addColumn<bool>("relay");
        QTest::addColumn<bool>("facility");

        QTest::newRow("facility slot 0xA1")
            << QByteArray(":020142000A347D") << false << false << false << true;
        QTest::newRow("0xA1 holds another instruction")
            << QByteArray(":020142000A357C") << false << false << false << false;
        QTest::newRow("0xA2 alone is not tested")
            << QByteArray(":020144000A347B") << false << false << false << false;
        QTest::newRow("relay slot 0xAB")
            << QByteArray(":02015600323441") << false << false << true << false;
        QTest::newRow("table start 0xF0")
            << QByteArray(":0201E0000034E9") << false << true << false << false;
        QTest::newRow("table end 0xFD")
            << QByteArray(":0201FA000034CF") << false << true << false << false;
        QTest::newRow("0xEF is before the table")
            << QByteArray(":0201DE000034EB") << false << false << false << false;
        QTest::newRow("0xFE is after the table")
            << QByteArray(":0201FC000034CD") << false << false << false << false;
        QTest::newRow("EEPROM word 0x2100")
            << QByteArray(":024200000102B9") << true << false << false << false;
        QTest::newRow("last word reaches 0x2100")
            << QByteArray(":0441FE0001020304B3") << true << false << false << false;
        QTest::newRow("config word 0x20FF")
            << QByteArray(":0241FE000102BC") << false << false << false << false;
        QTest::newRow("odd byte address rounds down")
            << QByteArray(":020143000A347C") << false << false << false << true;
        QTest::newRow("second word of a record")
            << QByteArray(":04014000FFFF0A347F") << false << false << false << true;
        QTest::newRow("any record type")
            << QByteArray(":020142040A3479") << false << false << false << true;
        QTest::newRow("odd last byte is no word")
            << QByteArray(":030156003234122E") << false << false << true << false;
        QTest::newRow("one byte holds no word")
            << QByteArray(":010142003488") << false << false << false << false;
        QTest::newRow("several slots in one record")
            << QByteArray(":10014000FFFF0A340034FFFFFFFFFFFFFFFFFFFF49") << false << false << false
            << true;
    }
    void contentFlags()
    {
        QFETCH(QByteArray, line);
        ContentFlags flags;
        HexRecord::addContentFlags(line, flags);
        QTEST(flags.eepromData, "eeprom");
        QTEST(flags.customerCodeTable, "customer");
        QTEST(flags.relayTimeSlot, "relay");
        QTEST(flags.facilityCodeSlot, "facility");
    }

    void flagsOnlyAccumulate()
    {
        ContentFlags flags;
        HexRecord::addContentFlags(":020142000A347D", flags);
        HexRecord::addContentFlags(":024200000102B9", flags);
        HexRecord::addContentFlags(":020142000A357C", flags);
        QVERIFY(flags.facilityCodeSlot);
        QVERIFY(flags.eepromData);
    }
};

QTEST_GUILESS_MAIN(TestHexRecord)
#include "tst_hexrecord.moc"
