// A firmware written by a real assembler (gpasm, from data/reader.asm) goes
// through load, option writing and an unattended download to the simulator,
// as it is and as a Windows editor saves it (with a byte-order mark).
#include "image/imageloader.h"
#include "options/codewordtable.h"
#include "options/customercodes.h"
#include "options/imageoutput.h"
#include "options/readeroptions.h"
#include "unattendedrun.h"

using namespace UnattendedRun;

namespace {

const QByteArray kByteOrderMark("\xEF\xBB\xBF");

// The value definitions the options below are assembled with.
struct Values {
    CustomerSlots codes{};
    int relayTenths = 50;
    int facility = 10;

    QStringList defines() const
    {
        using namespace OptionSlots;
        const auto word = [this](Slot slot) {
            return QString::number(*CustomerCodes::encode(kSlots[slot].kind, codes[slot]));
        };
        QStringList list;
        const auto define = [&list](const char *name, const QString &value) {
            list << QStringLiteral("-D") << QLatin1String(name) + QLatin1Char('=') + value;
        };
        define("CF_WORD", word(CF));
        define("C_WORD", word(C));
        define("DF_WORD", word(DF));
        define("D_WORD", word(D));
        define("GF_CODE", word(GF));
        define("G_CODE", word(G));
        define("A_WORD", word(A));
        define("B_WORD", word(B));
        define("RELAY_TENTHS", QString::number(relayTenths));
        define("FACILITY", QString::number(facility));
        return list;
    }
};

QList<QByteArray> linesOf(const RecordList &records)
{
    QList<QByteArray> lines;
    for (qsizetype i = 0; i < records.size(); ++i)
        lines << records.at(i).toByteArray();
    return lines;
}

QList<QByteArray> linesOf(const QByteArray &text)
{
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return lines;
}

} // namespace

class TestAssembledFirmware : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    // Assembles the firmware with the given values, in the assembler's
    // inhx32 format (extended address records first) or inhx8m (the reset
    // vector's record first); the hex text, or an empty one (with the
    // assembler's complaint logged) when that fails.
    QByteArray assemble(const Values &values, const QString &name, bool dosLines = false,
                        const QString &format = QStringLiteral("inhx32"))
    {
        QProcess gpasm;
        QStringList arguments = values.defines();
        arguments << QStringLiteral("-a") << format;
        if (dosLines)
            arguments << QStringLiteral("-n");
        arguments << QStringLiteral("-o") << m_dir.filePath(name)
                  << QStringLiteral(CORVANT_TEST_DATA "/reader.asm");
        gpasm.setWorkingDirectory(m_dir.path());
        gpasm.start(QStringLiteral(CORVANT_GPASM), arguments);
        if (!gpasm.waitForFinished(kWait) || gpasm.exitCode() != 0) {
            qWarning("gpasm: %s", gpasm.readAll().constData());
            return {};
        }
        return TestFiles::read(m_dir.filePath(name));
    }

private slots:
    void loadsAsTheAssemblerWroteIt_data()
    {
        QTest::addColumn<bool>("byteOrderMark");
        QTest::addColumn<bool>("dosLines");
        QTest::addColumn<QString>("format");
        QTest::newRow("as assembled") << false << false << QStringLiteral("inhx32");
        QTest::newRow("with a byte-order mark") << true << false << QStringLiteral("inhx32");
        QTest::newRow("byte-order mark and CR LF, as a Windows editor saves it")
            << true << true << QStringLiteral("inhx32");
        QTest::newRow("inhx8m with a byte-order mark before the reset vector")
            << true << true << QStringLiteral("inhx8m");
    }
    void loadsAsTheAssemblerWroteIt()
    {
        QFETCH(bool, byteOrderMark);
        QFETCH(bool, dosLines);
        QFETCH(QString, format);
        const QByteArray text = assemble({}, QStringLiteral("reader.hex"), dosLines, format);
        QVERIFY(text.startsWith(':'));
        QVERIFY(TestFiles::write(m_dir.filePath(QStringLiteral("loaded.hex")),
                                 byteOrderMark ? kByteOrderMark + text : text));

        FirmwareImage image;
        QString name = m_dir.filePath(QStringLiteral("loaded.hex"));
        LoadReport report;
        QVERIFY2(loadImage(name, image, &report), qPrintable(report.reason()));
        QCOMPARE(linesOf(image.records), linesOf(text));
        QVERIFY(image.flags.customerCodeTable);
        QVERIFY(image.flags.relayTimeSlot);
        QVERIFY(image.flags.facilityCodeSlot);
        QVERIFY(image.flags.eepromData);
        QCOMPARE(ReaderOptionsIo::readFacilityCode(image), std::optional<int>(10));
        QCOMPARE(ReaderOptionsIo::readRelayTimeTenths(image), std::optional<int>(50));
        QCOMPARE(CustomerCodes::read(image), std::optional<CustomerSlots>(CustomerSlots{}));
    }

    // Options written into the assembled image give, line for line, what the
    // assembler writes for the same values: same words, same checksums.
    void optionsAreWrittenAsTheAssemblerWrites()
    {
        Values values;
        values.codes = {123, 7, 4567, 10, 12, 255, 999, 9999};
        values.relayTenths = 25;
        values.facility = 300;
        const QByteArray expected = assemble(values, QStringLiteral("expected.hex"));
        QVERIFY(!expected.isEmpty());

        FirmwareImage image;
        QVERIFY(loadImageFromText(assemble({}, QStringLiteral("reader.hex")), image));
        ReaderOptions options;
        options.customerCodes = values.codes;
        options.relayTimeSeconds = 2.5;
        options.facilityCode = 300;
        ImageOutput::prepare(image, ImageOutput::OptionChanges::fromPanel(options, true));
        QCOMPARE(linesOf(image.records), linesOf(expected));
    }

    // Every word of program memory, the code table and the EEPROM reaches
    // the reader; the configuration words are never sent.
    void downloadReachesTheReaderWordForWord_data()
    {
        QTest::addColumn<bool>("byteOrderMark");
        QTest::addColumn<QString>("format");
        QTest::newRow("as assembled") << false << QStringLiteral("inhx32");
        QTest::newRow("with a byte-order mark") << true << QStringLiteral("inhx32");
        QTest::newRow("byte-order mark before the reset vector")
            << true << QStringLiteral("inhx8m");
    }
    void downloadReachesTheReaderWordForWord()
    {
        QFETCH(bool, byteOrderMark);
        QFETCH(QString, format);
        const QByteArray text = assemble({}, QStringLiteral("reader.hex"), false, format);
        QVERIFY(!text.isEmpty());
        Run run;
        QVERIFY(
            TestFiles::write(run.path("reader.hex"), byteOrderMark ? kByteOrderMark + text : text));
        const QString port = run.startTcpSimulator();
        QVERIFY(!port.isEmpty());

        QCOMPARE(run.runUtility({QStringLiteral("port=") + port, QStringLiteral("mode=auto"),
                                 QStringLiteral("mode=all"), run.path("reader.hex")}),
                 1);
        QVERIFY(run.simulator.waitForFinished(kWait));
        const QMap<int, std::uint16_t> expected
            = hexWords(text, [](int first) { return first < 0x2000 || first > 0x20FF; });
        QVERIFY(expected.contains(0x0000)); // the reset vector
        compareWords(fileWords(run.path("dump.hex")), expected);
    }
};

QTEST_GUILESS_MAIN(TestAssembledFirmware)
#include "tst_assembledfirmware.moc"
