#include "hexlines.h"
#include "options/codewordtable.h"
#include "options/customercodes.h"
#include "options/optionword.h"

#include <QTest>

using OptionSlots::Kind;
using OptionSlots::Slot;

Q_DECLARE_METATYPE(OptionSlots::Slot)

namespace {

constexpr std::uint16_t kEmpty = 0x3400;

// Words 0xF0 to 0xFE as the firmware holds them: the table jump, then
// fourteen option words, all empty. lastWord cuts the table short.
FirmwareImage imageWithTable(int lastWord = 0xFE)
{
    QList<std::uint16_t> first = {0x0782};
    QList<std::uint16_t> second;
    for (int word = 0xF1; word <= lastWord; ++word)
        (word < 0xF8 ? first : second).append(kEmpty);
    FirmwareImage image;
    image.records.append(HexLines::words(0xF0, first));
    image.records.append(HexLines::words(0xF8, second));
    image.records.append(":00000001FF");
    return image;
}

int byteAt(const FirmwareImage &image, int word)
{
    const std::optional<std::uint8_t> value = OptionWord::read(image.records, word);
    return value ? *value : -1;
}

std::uint16_t wordAt(const FirmwareImage &image, int highWord)
{
    return std::uint16_t(byteAt(image, highWord) << 8 | byteAt(image, highWord + 1));
}

// A 16-bit value with low four bits zero that the table does not hold.
std::uint16_t wordNotInTable()
{
    for (int word = 0x10; word <= 0xFFF0; word += 0x10) {
        if (CodeWordTable::lookUp(std::uint16_t(word)) < 0)
            return std::uint16_t(word);
    }
    return 0;
}

} // namespace

class TestCustomerCodes : public QObject {
    Q_OBJECT

private slots:
    // Every code of every kind comes back from the image as it went in.
    void everyCodeSurvivesWriteAndRead_data()
    {
        QTest::addColumn<Slot>("slot");
        QTest::newRow("CF codes in slot CF") << OptionSlots::CF;
        QTest::newRow("CF codes in slot A") << OptionSlots::A;
        QTest::newRow("DF codes in slot DF") << OptionSlots::DF;
        QTest::newRow("DF codes in slot B") << OptionSlots::B;
        QTest::newRow("GF codes in slot GF") << OptionSlots::GF;
        QTest::newRow("GF codes in slot G") << OptionSlots::G;
    }
    void everyCodeSurvivesWriteAndRead()
    {
        QFETCH(Slot, slot);
        const int maximum = OptionSlots::maximumCode(OptionSlots::kSlots[slot].kind);
        FirmwareImage image = imageWithTable();
        CustomerSlots codes{};
        codes[OptionSlots::C] = 12; // a neighbour that must not change
        for (int code = 1; code <= maximum; ++code) {
            codes[slot] = code;
            QVERIFY(CustomerCodes::write(image.records, codes, true));
            const std::optional<CustomerSlots> back = CustomerCodes::read(image);
            QVERIFY2(back && *back == codes, qPrintable(QString::number(code)));
        }
    }

    void encodings_data()
    {
        QTest::addColumn<Slot>("slot");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("word");

        const auto entry
            = [](int index) { return int(CodeWordTable::kEntries[std::size_t(index)]); };
        QTest::newRow("CF 7 is entry 7") << OptionSlots::CF << 7 << entry(7);
        QTest::newRow("DF 1234 is entry 123 plus 4") << OptionSlots::DF << 1234 << (entry(123) | 4);
        QTest::newRow("DF 5 is entry 0 plus 5") << OptionSlots::DF << 5 << (entry(0) | 5);
        QTest::newRow("DF 9999") << OptionSlots::B << 9999 << (entry(999) | 9);
        QTest::newRow("empty DF slot") << OptionSlots::D << 0 << 0;
    }
    void encodings()
    {
        QFETCH(Slot, slot);
        QFETCH(int, code);
        QFETCH(int, word);

        FirmwareImage image = imageWithTable();
        CustomerSlots codes{};
        codes[slot] = code;
        QVERIFY(CustomerCodes::write(image.records, codes, true));
        // The high byte sits at the lower word address.
        QCOMPARE(int(wordAt(image, OptionSlots::kSlots[slot].highWord)), word);
    }

    void gfCodeIsOneByte()
    {
        FirmwareImage image = imageWithTable();
        CustomerSlots codes{};
        codes[OptionSlots::GF] = 200;
        QVERIFY(CustomerCodes::write(image.records, codes, true));
        QCOMPARE(byteAt(image, 0xF9), 0xC8);
        QCOMPARE(byteAt(image, 0xFA), 0x00);
    }

    void codesOutsideTheirRangeDoNotEncode_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("code");
        QTest::newRow("CF 1000") << int(Kind::CF) << 1000;
        QTest::newRow("DF 10000") << int(Kind::DF) << 10000;
        QTest::newRow("GF 256") << int(Kind::GF) << 256;
        QTest::newRow("negative") << int(Kind::CF) << -1;
    }
    void codesOutsideTheirRangeDoNotEncode()
    {
        QFETCH(int, kind);
        QFETCH(int, code);
        QCOMPARE(CustomerCodes::encode(Kind(kind), code), std::optional<std::uint16_t>());
    }

    void dfLowBitsAboveNineAreAddedAsTheyAre()
    {
        const auto word = std::uint16_t(CodeWordTable::kEntries[5] | 0xC);
        QCOMPARE(CustomerCodes::decode(Kind::DF, word), std::optional<int>(62));
    }

    void wordsOutsideTheTableDoNotDecode()
    {
        const std::uint16_t stranger = wordNotInTable();
        QVERIFY(stranger != 0);
        QCOMPARE(CustomerCodes::decode(Kind::CF, stranger), std::optional<int>());
        QCOMPARE(CustomerCodes::decode(Kind::DF, std::uint16_t(stranger | 3)),
                 std::optional<int>());
        // A CF word with its low bits set is in no table.
        QCOMPARE(CustomerCodes::decode(Kind::CF, std::uint16_t(CodeWordTable::kEntries[7] | 1)),
                 std::optional<int>());
    }

    void emptyOptionWordsReadAsEmptySlots()
    {
        QCOMPARE(CustomerCodes::read(imageWithTable()),
                 std::optional<CustomerSlots>(CustomerSlots{}));
    }

    void hiddenGroupWritesNothing()
    {
        FirmwareImage image = imageWithTable();
        const RecordList before = image.records;
        CustomerSlots codes{};
        codes.fill(5);
        QVERIFY(CustomerCodes::write(image.records, codes, false));
        QVERIFY(image.records == before);
    }

    void emptySlotsWriteZeroBytes()
    {
        FirmwareImage image = imageWithTable();
        CustomerSlots codes{};
        codes.fill(7);
        QVERIFY(CustomerCodes::write(image.records, codes, true));
        QVERIFY(CustomerCodes::write(image.records, CustomerSlots{}, true));
        for (int word = 0xF1; word <= 0xFE; ++word)
            QCOMPARE(byteAt(image, word), 0);
    }

    void imageLackingTheLastSlot()
    {
        FirmwareImage image = imageWithTable(0xFD);
        CustomerSlots codes{};
        codes.fill(1);
        QVERIFY(!CustomerCodes::write(image.records, codes, true));
        // The thirteen bytes present were still written.
        QCOMPARE(byteAt(image, 0xF9), 1);
        QCOMPARE(wordAt(image, 0xF1), CodeWordTable::kEntries[1]);
        QCOMPARE(byteAt(image, 0xFD), CodeWordTable::kEntries[0] >> 8);
        QCOMPARE(CustomerCodes::read(image), std::optional<CustomerSlots>());
    }

    void unreadableWordFailsTheWholeRead()
    {
        FirmwareImage image = imageWithTable();
        CustomerSlots codes{};
        codes[OptionSlots::CF] = 3;
        QVERIFY(CustomerCodes::write(image.records, codes, true));
        const std::uint16_t stranger = wordNotInTable();
        QVERIFY(OptionWord::write(image.records, 0xFB, std::uint8_t(stranger >> 8)));
        QVERIFY(OptionWord::write(image.records, 0xFC, std::uint8_t(stranger & 0xFF)));
        QCOMPARE(CustomerCodes::read(image), std::optional<CustomerSlots>());
    }

    void imageHeldEncryptedIsNotRead()
    {
        FirmwareImage image = imageWithTable();
        image.heldEncrypted = true;
        QCOMPARE(CustomerCodes::read(image), std::optional<CustomerSlots>());
    }
};

QTEST_GUILESS_MAIN(TestCustomerCodes)
#include "tst_customercodes.moc"
