// The program itself, unattended, against the simulator program: over TCP
// and over a pseudo-terminal reached through the settings' [ports] section.
#include "options/codewordtable.h"
#include "unattendedrun.h"

#include <QDir>

using namespace UnattendedRun;

namespace {

const QString kExample = QStringLiteral(CORVANT_SOURCE_DIR "/examples/reader_v1.00.hex");

QMap<int, std::uint16_t> dumpedWords(const QString &dump)
{
    return fileWords(dump);
}

} // namespace

class TestUnattended : public QObject {
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
        const QByteArray banner
            = run.startSimulator({QStringLiteral("--tcp"), QStringLiteral("0")});
        QVERIFY2(banner.startsWith("listening on 127.0.0.1:"), banner.constData());
        const QString port = QString::fromLatin1(banner.trimmed().mid(banner.lastIndexOf(':') + 1));

        QStringList arguments{QStringLiteral("port=127.0.0.1:") + port, QStringLiteral("mode=auto"),
                              kExample};
        if (all)
            arguments << QStringLiteral("mode=all");
        QCOMPARE(run.runUtility(arguments), 1);
        QVERIFY(run.simulator.waitForFinished(kWait));

        const QMap<int, std::uint16_t> expected = sentWords(kExample, all);
        QVERIFY(expected.size() > 1000);
        compareWords(dumpedWords(run.path("dump.hex")), expected);

        const QByteArray settings = TestFiles::read(run.path("corvant-fwupdate.ini"));
        QVERIFY2(settings.contains(QByteArray("comport=127.0.0.1:" + port.toLatin1() + "\r\n")),
                 settings.constData());
        QVERIFY(settings.contains(QByteArray("file=" + kExample.toLocal8Bit() + "\r\n")));
    }

    // Codes from the command line reach the reader as the panel would write
    // them, with the relay time and facility code the panel starts with.
    void customerCodesFromTheCommandLine()
    {
        Run run;
        const QByteArray banner
            = run.startSimulator({QStringLiteral("--tcp"), QStringLiteral("0")});
        QVERIFY2(banner.startsWith("listening on 127.0.0.1:"), banner.constData());
        const QString port = QString::fromLatin1(banner.trimmed().mid(banner.lastIndexOf(':') + 1));
        QCOMPARE(run.runUtility({QStringLiteral("port=127.0.0.1:") + port,
                                 QStringLiteral("mode=auto"), QStringLiteral("cf=123"),
                                 QStringLiteral("df=4567"), QStringLiteral("gf=12"), kExample}),
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

    // A production script reads the program's standard error: no platform
    // notices and no diagnostics there unless QT_LOGGING_RULES asks.
    void standardErrorStaysQuiet()
    {
        Run run;
        const QString port = run.startTcpSimulator();
        QVERIFY(!port.isEmpty());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        environment.remove(QStringLiteral("QT_LOGGING_RULES"));
        QCOMPARE(
            run.runUtility({QStringLiteral("port=") + port, QStringLiteral("mode=auto"), kExample},
                           environment),
            1);
        QCOMPARE(run.utility.readAllStandardError(), QByteArray());
    }

    // A completed unattended download whose settings cannot be written ends
    // with its exit code and says so on standard error: no box waits.
    void unwritableSettingsDoNotHoldTheEnd()
    {
        Run run;
        QVERIFY(QDir(run.dir.path()).mkdir(QStringLiteral("corvant-fwupdate.ini")));
        const QString port = run.startTcpSimulator();
        QVERIFY(!port.isEmpty());
        QCOMPARE(
            run.runUtility({QStringLiteral("port=") + port, QStringLiteral("mode=auto"), kExample}),
            1);
        QCOMPARE(run.utility.readAllStandardError(),
                 QByteArray("corvant-fwupdate: Unable to write to "
                            + run.path("corvant-fwupdate.ini").toLocal8Bit() + "\n"));
    }

    void overAPseudoTerminal()
    {
        Run run;
        const QString link = run.path("reader");
        const QByteArray banner = run.startSimulator({QStringLiteral("--pty"), link});
        QVERIFY2(banner.startsWith("pseudo-terminal /dev/"), banner.constData());
        QVERIFY(TestFiles::write(run.path("corvant-fwupdate.ini"),
                                 "[ports]\r\nCOM7=" + link.toLocal8Bit() + "\r\n"));

        QCOMPARE(
            run.runUtility({QStringLiteral("port=com7"), QStringLiteral("mode=auto"), kExample}),
            1);
        QVERIFY(run.simulator.waitForFinished(kWait));
        compareWords(dumpedWords(run.path("dump.hex")), sentWords(kExample, false));

        const QByteArray settings = TestFiles::read(run.path("corvant-fwupdate.ini"));
        QVERIFY2(settings.startsWith(QByteArray("[ports]\r\nCOM7=" + link.toLocal8Bit() + "\r\n")),
                 settings.constData());
        QVERIFY(settings.contains("comport=COM7\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestUnattended)
#include "tst_unattended.moc"
