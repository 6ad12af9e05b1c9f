#include "common/corvanterror.h"
#include "hexlines.h"
#include "image/encryptedhex.h"
#include "options/imageoutput.h"
#include "options/optionword.h"

#include <QTest>

using ImageOutput::Form;
using ImageOutput::OptionChanges;

namespace {

// Option words (RETLW 0) at the relay time, facility code and CF/GF slots.
FirmwareImage optionImage()
{
    FirmwareImage image;
    image.records = RecordList::fromText(
        HexLines::words(0xA0, {0, 0x3400, 0x3400, 0, 0, 0, 0, 0, 0, 0, 0, 0x3400}) + "\r\n"
        + HexLines::words(0xF1, {0x3400, 0x3400, 0, 0, 0, 0, 0, 0, 0x3400})
        + "\r\n:00000001FF\r\n");
    return image;
}

std::optional<std::uint8_t> byteAt(const FirmwareImage &image, int word)
{
    return OptionWord::read(image.records, word);
}

} // namespace

class TestImageOutput : public QObject {
    Q_OBJECT

private slots:
    // What each kind of change writes, and that nothing else moves.
    void changesWriteOnlyWhatTheyName_data()
    {
        QTest::addColumn<bool>("heldEncrypted");
        QTest::addColumn<bool>("fromPanel");
        QTest::addColumn<bool>("codesShown");
        QTest::addColumn<int>("relayTenths"); // expected at 0xAB
        QTest::addColumn<int>("facilityLow"); // expected at 0xA1
        QTest::addColumn<int>("cfHighByte"); // expected at 0xF1
        QTest::addColumn<int>("gfByte"); // expected at 0xF9

        // The panel's options: relay 2.5 s, facility 300, CF 123 (table word), GF 12.
        QTest::newRow("panel, codes shown") << false << true << true << 25 << 300 % 256 << -1 << 12;
        QTest::newRow("panel, codes hidden") << false << true << false << 25 << 300 % 256 << 0 << 0;
        QTest::newRow("panel, held encrypted")
            << true << true << true << 25 << 300 % 256 << -1 << 12;
        QTest::newRow("single GF slot only") << false << false << false << 0 << 0 << 0 << 12;
        QTest::newRow("single slot, held encrypted") << true << false << false << 0 << 0 << 0 << 12;
    }
    void changesWriteOnlyWhatTheyName()
    {
        QFETCH(bool, heldEncrypted);
        QFETCH(bool, fromPanel);
        QFETCH(bool, codesShown);
        QFETCH(int, relayTenths);
        QFETCH(int, facilityLow);
        QFETCH(int, cfHighByte);
        QFETCH(int, gfByte);

        FirmwareImage image = optionImage();
        if (heldEncrypted)
            EncryptedHex::encryptImage(image, 2026);
        OptionChanges changes;
        if (fromPanel) {
            ReaderOptions options;
            options.relayTimeSeconds = 2.5;
            options.facilityCode = 300;
            options.customerCodes[OptionSlots::CF] = 123;
            options.customerCodes[OptionSlots::GF] = 12;
            changes = OptionChanges::fromPanel(options, codesShown);
        } else {
            changes.codes[OptionSlots::GF] = 12;
        }
        ImageOutput::prepare(image, changes);

        QVERIFY(!image.heldEncrypted);
        QCOMPARE(image.records.size(), 3);
        QCOMPARE(byteAt(image, 0xAB), std::optional<std::uint8_t>(relayTenths));
        QCOMPARE(byteAt(image, 0xA1), std::optional<std::uint8_t>(facilityLow));
        QCOMPARE(byteAt(image, 0xA2), std::optional<std::uint8_t>(fromPanel ? 1 : 0));
        if (cfHighByte < 0)
            QVERIFY(byteAt(image, 0xF1).value_or(0) != 0 || byteAt(image, 0xF2).value_or(0) != 0);
        else
            QCOMPARE(byteAt(image, 0xF1), std::optional<std::uint8_t>(cfHighByte));
        QCOMPARE(byteAt(image, 0xF9), std::optional<std::uint8_t>(gfByte));
    }

    // An encrypted output deciphers to the lines with the options written.
    void encryptedOutputHoldsTheWrittenLines()
    {
        FirmwareImage image = optionImage();
        OptionChanges changes;
        changes.relayTimeSeconds = 7.0;
        ImageOutput::prepare(image, changes, Form::Encrypted, 2026);
        QVERIFY(image.heldEncrypted);
        QCOMPARE(image.records.size(), 2);
        QVERIFY(image.records.at(0).contains("2026"));

        FirmwareImage plain = image;
        EncryptedHex::decryptInPlace(plain);
        FirmwareImage expected = optionImage();
        ReaderOptionsIo::writeRelayTime(expected.records, 7.0);
        QVERIFY(plain.records == expected.records);

        // Preparing the encrypted image again starts from its lines.
        ImageOutput::prepare(image, {}, Form::Plain);
        QVERIFY(image.records == expected.records);
    }

    // Held encrypted text that does not decipher is an error, and the
    // image is left as it was.
    void undecipherableImageIsLeftAlone()
    {
        FirmwareImage image;
        image.records = RecordList::fromText("ENCRYPTED HEX 2026\r\nnot base64 at all!\r\n");
        image.heldEncrypted = true;
        const RecordList before = image.records;
        OptionChanges changes;
        changes.relayTimeSeconds = 7.0;
        QVERIFY_THROWS_EXCEPTION(CorvantError, ImageOutput::prepare(image, changes));
        QVERIFY(image.heldEncrypted);
        QVERIFY(image.records == before);
    }
};

QTEST_GUILESS_MAIN(TestImageOutput)
#include "tst_imageoutput.moc"
