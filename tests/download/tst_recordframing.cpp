#include "download/recordframing.h"
#include "hexlines.h"

#include <QTest>

using RecordFraming::Options;
using Messages = QList<QByteArray>;

Q_DECLARE_METATYPE(RecordFraming::Options)

namespace {

QByteArray bytes(const char *hex)
{
    return QByteArray::fromHex(hex);
}

const Options kDefault{};
const Options kEeprom{.sendEeprom = true};
const Options kCodesUnchecked{.sendCodeTable = false};
const Options kCodesChecked{.sendCodeTable = true};

} // namespace

class TestRecordFraming : public QObject {
    Q_OBJECT

private slots:
    void frameLine_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<Options>("options");
        QTest::addColumn<Messages>("messages");

        // The reference examples.
        QTest::newRow("padded to four words") << QByteArray(":0400100001020304E2") << kDefault
                                              << Messages{bytes("E3000808"
                                                                "0A"
                                                                "02010403"
                                                                "00000000")};
        QTest::newRow("four words, no padding")
            << QByteArray(":080000008A0100308316FF3F66") << kDefault
            << Messages{bytes("E300000892018A300016833FFF")};
        QTest::newRow("EEPROM unchecked")
            << QByteArray(":044200005500AA00BB") << kDefault << Messages{};
        QTest::newRow("EEPROM checked, never padded")
            << QByteArray(":044200005500AA00BB") << kEeprom
            << Messages{bytes("E3210004FF005500AA")};
        QTest::newRow("configuration word")
            << QByteArray(":02400E00F23F7F") << kEeprom << Messages{};
        QTest::newRow("end of file") << QByteArray(":00000001FF") << kDefault << Messages{};

        QTest::newRow("lower-case digits") << QByteArray(":0400100001020304e2") << kDefault
                                           << Messages{bytes("E30008080A0201040300000000")};
        QTest::newRow("empty record on a multiple of 4") << QByteArray(":0000080000") << kDefault
                                                         << Messages{bytes("E3000400"
                                                                           "00")};
        QTest::newRow("empty record at word 5: three zero words")
            << QByteArray(":00000A0000") << kDefault
            << Messages{bytes("E3000506"
                              "00"
                              "000000000000")};
        QTest::newRow("extended linear address")
            << QByteArray(":020000040001F9") << kDefault << Messages{};
        QTest::newRow("bad type is not sent")
            << QByteArray(":0400100G01020304E2") << kDefault << Messages{};
        QTest::newRow("too short") << QByteArray(":000000") << kDefault << Messages{};
        QTest::newRow("comment") << QByteArray("; :0400100001020304E2") << kDefault << Messages{};
        QTest::newRow("odd last byte belongs to no word")
            << QByteArray(":0300100001020304") << kDefault
            << Messages{bytes("E3000808030201000000000000")};

        // Fields that are not hexadecimal read as 0.
        QTest::newRow("bad address reads 0") << QByteArray(":04001G0001020304E2") << kDefault
                                             << Messages{bytes("E30000080A0201040300000000")};
        QTest::newRow("bad count reads 0")
            << QByteArray(":0G00100001020304E2") << kDefault << Messages{bytes("E300080000")};
        QTest::newRow("bad data byte reads 0") << QByteArray(":040010000102030GE2") << kDefault
                                               << Messages{bytes("E3000808060201000300000000")};

        // Region boundaries.
        QTest::newRow("last program word, no padding needed")
            << HexLines::words(0x1FFF, {0x1234}) << kDefault << Messages{bytes("E31FFF02461234")};
        QTest::newRow("padding up to 0x2000") << HexLines::words(0x1FFE, {0x1234}) << kDefault
                                              << Messages{bytes("E31FFE044612340000")};
        QTest::newRow("first configuration word")
            << HexLines::words(0x2000, {0x1234}) << kEeprom << Messages{};
        QTest::newRow("last configuration word")
            << HexLines::words(0x20FF, {0x1234}) << kEeprom << Messages{};
        QTest::newRow("word before the table") << HexLines::words(0xEF, {0x3400}) << kCodesUnchecked
                                               << Messages{bytes("E300EF02343400")};
        QTest::newRow("first table word")
            << HexLines::words(0xF0, {0x3400}) << kCodesUnchecked << Messages{};

        // The customer code table, by the line's first word address only.
        const QByteArray atF8 = HexLines::words(0xF8, {0x3401, 0x3402, 0x3403, 0x3404});
        const QByteArray atEE
            = HexLines::words(0xEE, {0x3401, 0x3402, 0x3403, 0x3404, 0x3405, 0x3406});
        QTest::newRow("table line, box shown, unchecked") << atF8 << kCodesUnchecked << Messages{};
        QTest::newRow("table line, box shown, checked")
            << atF8 << kCodesChecked << Messages{bytes("E300F808DA3401340234033404")};
        QTest::newRow("table line, box hidden")
            << atF8 << kDefault << Messages{bytes("E300F808DA3401340234033404")};
        QTest::newRow("line reaching into the table from 0xEE")
            << atEE << kCodesUnchecked << Messages{bytes("E300EE0C4D340134023403340434053406")};
        QTest::newRow("table end 0xFD")
            << HexLines::words(0xFD, {0x3400}) << kCodesUnchecked << Messages{};
        QTest::newRow("after the table 0xFE")
            << HexLines::words(0xFE, {0x3400, 0x3400}) << kCodesUnchecked
            << Messages{bytes("E300FE04"
                              "68"
                              "34003400")};
        QTest::newRow("EEPROM line is sent when checked, hidden box or not")
            << HexLines::words(0x2100, {0x0011}) << Options{.sendEeprom = true}
            << Messages{bytes("E3210002110011")};
    }
    void frameLine()
    {
        QFETCH(QByteArray, line);
        QFETCH(Options, options);
        QTEST(RecordFraming::frameLine(line, options), "messages");
    }

    void longLinesAreSplitInWholeFourWordGroups_data()
    {
        QTest::addColumn<int>("firstWord");
        QTest::addColumn<int>("words");
        QTest::addColumn<QList<int>>("starts");
        QTest::addColumn<QList<int>>("counts"); // words per message, padding included

        QTest::newRow("127 words at 0x100")
            << 0x100 << 127 << QList<int>{0x100, 0x17C} << QList<int>{124, 4};
        QTest::newRow("127 words at 0x101")
            << 0x101 << 127 << QList<int>{0x101, 0x17C} << QList<int>{123, 4};
        QTest::newRow("123 words fit one message")
            << 0x100 << 123 << QList<int>{0x100} << QList<int>{124};
        QTest::newRow("EEPROM, 127 words, unpadded")
            << 0x2100 << 127 << QList<int>{0x2100, 0x217C} << QList<int>{124, 3};
    }
    void longLinesAreSplitInWholeFourWordGroups()
    {
        QFETCH(int, firstWord);
        QFETCH(int, words);
        QFETCH(QList<int>, starts);
        QFETCH(QList<int>, counts);

        QList<std::uint16_t> values;
        for (int i = 0; i < words; ++i)
            values << std::uint16_t(0x3000 + i);
        const Messages messages
            = RecordFraming::frameLine(HexLines::words(firstWord, values), kEeprom);

        QCOMPARE(messages.size(), starts.size());
        int next = 0; // index of the next data word expected
        for (qsizetype m = 0; m < messages.size(); ++m) {
            const QByteArray &message = messages[m];
            QVERIFY(message.size() <= RecordFraming::kMaxMessage);
            const int start = (uchar(message[1]) << 8) | uchar(message[2]);
            const int count = uchar(message[3]) / 2;
            QCOMPARE(start, starts[m]);
            QCOMPARE(count, counts[m]);
            QCOMPARE(message.size(), 5 + 2 * count);
            int sum = 0;
            for (int k = 0; k < count; ++k) {
                const int word = (uchar(message[5 + 2 * k]) << 8) | uchar(message[6 + 2 * k]);
                sum += uchar(message[5 + 2 * k]) + uchar(message[6 + 2 * k]);
                QCOMPARE(word, next < words ? 0x3000 + next : 0); // data, then padding
                ++next;
            }
            QCOMPARE(uchar(message[4]), uchar(sum & 0xFF));
            if (start <= 0x1FFF)
                QCOMPARE((start + count) % 4, 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestRecordFraming)
#include "tst_recordframing.moc"
