#include "hexlines.h"
#include "options/imageoutput.h"
#include "options/optionword.h"
#include "options/readeroptions.h"

#include <QTest>

#include <cmath>
#include <limits>

namespace {

// Facility code 0xA1/0xA2 and relay time 0xAB, as the example firmware has
// them, with other instructions around.
FirmwareImage imageWithSlots()
{
    FirmwareImage image;
    image.records.append(HexLines::words(0xA0, {0x2800, 0x3400, 0x3400, 0x0008}));
    image.records.append(HexLines::words(0xA8, {0x0000, 0x0000, 0x0000, 0x3400}));
    image.records.append(":00000001FF");
    return image;
}

int byteAt(const FirmwareImage &image, int word)
{
    const std::optional<std::uint8_t> value = OptionWord::read(image.records, word);
    return value ? *value : -1;
}

} // namespace

class TestReaderOptions : public QObject {
    Q_OBJECT

private slots:
    void relayTimeTenths_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("tenths");

        QTest::newRow("2.5 s") << 2.5 << 0x19;
        QTest::newRow("5.0 s") << 5.0 << 0x32;
        QTest::newRow("25.5 s") << 25.5 << 0xFF;
        QTest::newRow("2.3 s is 23, not 22") << 2.3 << 23;
        QTest::newRow("truncated, not rounded") << 2.39 << 23;
        QTest::newRow("1.0 s") << 1.0 << 10;
        QTest::newRow("above 25.5 s: the largest value") << 30.0 << 255;
        QTest::newRow("far above") << 1e12 << 255;
        QTest::newRow("empty edit counts 0") << 0.0 << 0;
        QTest::newRow("negative") << -1.0 << 0;
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << 0;
    }
    void relayTimeTenths()
    {
        QFETCH(double, seconds);
        QFETCH(int, tenths);
        FirmwareImage image = imageWithSlots();
        QVERIFY(ReaderOptionsIo::writeRelayTime(image.records, seconds));
        QCOMPARE(byteAt(image, 0xAB), tenths);
        QCOMPARE(ReaderOptionsIo::readRelayTimeTenths(image), std::optional<int>(tenths));
    }

    void facilityCode_data()
    {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");

        QTest::newRow("10") << qint64(10) << 0x0A << 0x00;
        QTest::newRow("256") << qint64(256) << 0x00 << 0x01;
        QTest::newRow("65535") << qint64(65535) << 0xFF << 0xFF;
        QTest::newRow("above 65535: the largest value") << qint64(65536 + 5) << 0xFF << 0xFF;
        QTest::newRow("negative") << qint64(-5) << 0x00 << 0x00;
    }
    void facilityCode()
    {
        QFETCH(qint64, value);
        QFETCH(int, low);
        QFETCH(int, high);
        FirmwareImage image = imageWithSlots();
        QVERIFY(ReaderOptionsIo::writeFacilityCode(image.records, value));
        QCOMPARE(byteAt(image, 0xA1), low);
        QCOMPARE(byteAt(image, 0xA2), high);
        QCOMPARE(ReaderOptionsIo::readFacilityCode(image), std::optional<int>(high * 256 + low));
    }

    void initialValuesAreWrittenWithThePanelHidden()
    {
        FirmwareImage image = imageWithSlots();
        ImageOutput::prepare(image, ImageOutput::OptionChanges::fromPanel(ReaderOptions(), false));
        QCOMPARE(byteAt(image, 0xAB), 0x32);
        QCOMPARE(byteAt(image, 0xA1), 0x0A);
        QCOMPARE(byteAt(image, 0xA2), 0x00);
    }

    void missingSlotsReportFalseAndChangeNothing()
    {
        FirmwareImage image;
        image.records.append(HexLines::words(0xA0, {0x2800, 0x3400, 0x2800}));
        const RecordList before = image.records;
        ImageOutput::prepare(image, ImageOutput::OptionChanges::fromPanel(ReaderOptions(), true));
        QCOMPARE(CustomerCodes::read(image), std::optional<CustomerSlots>());
        // The low byte was still written; 0xA2 holds another instruction.
        QCOMPARE(byteAt(image, 0xA1), 0x0A);
        QCOMPARE(ReaderOptionsIo::readFacilityCode(image), std::optional<int>());
        QCOMPARE(ReaderOptionsIo::readRelayTimeTenths(image), std::optional<int>());
        QCOMPARE(image.records.at(0).size(), before.at(0).size());
    }

    void relayByteBelowTenReadsAsIs()
    {
        FirmwareImage image = imageWithSlots();
        QVERIFY(OptionWord::write(image.records, 0xAB, 0x07));
        QCOMPARE(ReaderOptionsIo::readRelayTimeTenths(image), std::optional<int>(7));
    }

    void imageHeldEncryptedIsNotRead()
    {
        FirmwareImage image = imageWithSlots();
        image.heldEncrypted = true;
        QCOMPARE(ReaderOptionsIo::readRelayTimeTenths(image), std::optional<int>());
        QCOMPARE(ReaderOptionsIo::readFacilityCode(image), std::optional<int>());
    }
};

QTEST_GUILESS_MAIN(TestReaderOptions)
#include "tst_readeroptions.moc"
