// The program itself, unattended, against the simulator program: over TCP
// and over a pseudo-terminal reached through the settings' [ports] section.
#include "codewordtable.h"
#include "imageloader.h"
#include "testfiles.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

constexpr int kWait = 60000;
const QString kExample = QStringLiteral(CORVANT_SOURCE_DIR "/examples/reader_v1.00.hex");

// The data words of a hex file's records, by word address, for the records
// whose first word address the filter keeps.
QMap<int, std::uint16_t> wordsOf(const QString &file, const std::function<bool(int)> &keep)
{
    QMap<int, std::uint16_t> words;
    FirmwareImage image;
    QString name = file;
    if (!loadImage(name, image))
        return words;
    for (qsizetype i = 0; i < image.records.size(); ++i) {
        const QByteArray bytes = QByteArray::fromHex(image.records.at(i).toByteArray().mid(1));
        if (bytes.size() < 5 || bytes[3] != 0)
            continue;
        const int first = ((uchar(bytes[1]) << 8) | uchar(bytes[2])) / 2;
        if (!keep(first))
            continue;
        for (int k = 0; k < uchar(bytes[0]) / 2; ++k)
            words[first + k] = std::uint16_t(uchar(bytes[4 + 2 * k]) | uchar(bytes[5 + 2 * k]) << 8);
    }
    return words;
}

// The words a download of the example sends: program memory, without the
// customer code table unless asked for, EEPROM only when asked for.
QMap<int, std::uint16_t> expectedWords(bool all)
{
    return wordsOf(kExample, [all](int first) {
        const bool config = first >= 0x2000 && first <= 0x20FF;
        const bool eeprom = first >= 0x2100;
        const bool table = first >= 0xF0 && first <= 0xFD;
        return !config && (all || (!eeprom && !table));
    });
}

QMap<int, std::uint16_t> dumpedWords(const QString &dump)
{
    return wordsOf(dump, [](int) { return true; });
}

struct Run
{
    QTemporaryDir dir;
    QProcess simulator;
    QProcess utility;

    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }

    // Starts the simulator; returns its first line of output.
    QByteArray startSimulator(const QStringList &arguments)
    {
        simulator.start(QStringLiteral(CORVANT_READER_SIM),
                        arguments + QStringList{QStringLiteral("--once"), QStringLiteral("--dump"), path("dump.hex")});
        if (!simulator.waitForReadyRead(kWait))
            return {};
        return simulator.readAllStandardOutput();
    }

    int runUtility(const QStringList &arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        utility.setProcessEnvironment(environment);
        utility.start(QStringLiteral(CORVANT_FWUPDATE), arguments);
        if (!utility.waitForFinished(kWait)) {
            utility.kill();
            return -1;
        }
        return utility.exitStatus() == QProcess::NormalExit ? utility.exitCode() : -2;
    }
};

// Compares word maps, naming the first difference.
void compareWords(const QMap<int, std::uint16_t> &actual, const QMap<int, std::uint16_t> &expected)
{
    QVERIFY(!expected.isEmpty());
    for (auto it = expected.constBegin(); it != expected.constEnd(); ++it) {
        QVERIFY2(actual.contains(it.key()), qPrintable(QStringLiteral("word %1 was not written").arg(it.key(), 0, 16)));
        QVERIFY2(actual.value(it.key()) == it.value(),
                 qPrintable(QStringLiteral("word %1 is %2, not %3").arg(it.key(), 0, 16).arg(actual.value(it.key()), 0, 16).arg(it.value(), 0, 16)));
    }
    for (auto it = actual.constBegin(); it != actual.constEnd(); ++it)
        QVERIFY2(expected.contains(it.key()), qPrintable(QStringLiteral("word %1 should not be written").arg(it.key(), 0, 16)));
}

} // namespace

class TestUnattended : public QObject
{
    Q_OBJECT

private slots:
    void overTcp_data()
    {
        QTest::addColumn<bool>("all");
        QTest::newRow("program memory") << false;
        QTest::newRow("mode=all adds EEPROM and the code table") << true;
    }
    void overTcp()
    {
        QFETCH(bool, all);
        Run run;
        const QByteArray banner = run.startSimulator({QStringLiteral("--tcp"), QStringLiteral("0")});
        QVERIFY2(banner.startsWith("listening on 127.0.0.1:"), banner.constData());
        const QString port = QString::fromLatin1(banner.trimmed().mid(banner.lastIndexOf(':') + 1));

        QStringList arguments{QStringLiteral("port=127.0.0.1:") + port, QStringLiteral("mode=auto"), kExample};
        if (all)
            arguments << QStringLiteral("mode=all");
        QCOMPARE(run.runUtility(arguments), 1);
        QVERIFY(run.simulator.waitForFinished(kWait));

        const QMap<int, std::uint16_t> expected = expectedWords(all);
        QVERIFY(expected.size() > 1000);
        compareWords(dumpedWords(run.path("dump.hex")), expected);

        const QByteArray settings = TestFiles::read(run.path("corvant-fwupdate.ini"));
        QVERIFY2(settings.contains(QByteArray("comport=127.0.0.1:" + port.toLatin1() + "\r\n")), settings.constData());
        QVERIFY(settings.contains(QByteArray("file=" + kExample.toLocal8Bit() + "\r\n")));
    }

    // Codes from the command line reach the reader as the panel would write
    // them, with the relay time and facility code the panel starts with.
    void customerCodesFromTheCommandLine()
    {
        Run run;
        const QByteArray banner = run.startSimulator({QStringLiteral("--tcp"), QStringLiteral("0")});
        QVERIFY2(banner.startsWith("listening on 127.0.0.1:"), banner.constData());
        const QString port = QString::fromLatin1(banner.trimmed().mid(banner.lastIndexOf(':') + 1));
        QCOMPARE(run.runUtility({QStringLiteral("port=127.0.0.1:") + port, QStringLiteral("mode=auto"),
                                 QStringLiteral("cf=123"), QStringLiteral("df=4567"), QStringLiteral("gf=12"), kExample}),
                 1);
        QVERIFY(run.simulator.waitForFinished(kWait));

        const QMap<int, std::uint16_t> words = dumpedWords(run.path("dump.hex"));
        const auto optionByte = [&words](int word) { return words.value(word) & 0xFF; };
        const std::uint16_t cf = CodeWordTable::kEntries[123];
        const std::uint16_t df = CodeWordTable::kEntries[456] | 7;
        QCOMPARE(optionByte(0xF1) << 8 | optionByte(0xF2), int(cf));
        QCOMPARE(optionByte(0xF5) << 8 | optionByte(0xF6), int(df));
        QCOMPARE(optionByte(0xF9), 12);
        QCOMPARE(optionByte(0xF3), 0); // the other slots empty
        QCOMPARE(words.value(0xAB), std::uint16_t(0x3432));
        QCOMPARE(words.value(0xA1), std::uint16_t(0x340A));
        QCOMPARE(words.value(0xA2), std::uint16_t(0x3400));
    }

    void overAPseudoTerminal()
    {
        Run run;
        const QString link = run.path("reader");
        const QByteArray banner = run.startSimulator({QStringLiteral("--pty"), link});
        QVERIFY2(banner.startsWith("pseudo-terminal /dev/"), banner.constData());
        QVERIFY(TestFiles::write(run.path("corvant-fwupdate.ini"),
                                 "[ports]\r\nCOM7=" + link.toLocal8Bit() + "\r\n"));

        QCOMPARE(run.runUtility({QStringLiteral("port=com7"), QStringLiteral("mode=auto"), kExample}), 1);
        QVERIFY(run.simulator.waitForFinished(kWait));
        compareWords(dumpedWords(run.path("dump.hex")), expectedWords(false));

        const QByteArray settings = TestFiles::read(run.path("corvant-fwupdate.ini"));
        QVERIFY2(settings.startsWith(QByteArray("[ports]\r\nCOM7=" + link.toLocal8Bit() + "\r\n")), settings.constData());
        QVERIFY(settings.contains("comport=COM7\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestUnattended)
#include "tst_unattended.moc"
