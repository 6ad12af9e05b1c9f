#include "session/commandline.h"
#include "session/shortenpath.h"

#include <QTest>

using Icon = Dialogs::Icon;

namespace {
const QString kProgram = QStringLiteral("/opt/corvant/corvant-fwupdate");
const QString kUsage = QStringLiteral("Usage: /opt/corvant/corvant-fwupdate [ port=COMn ] [ "
                                      "mode=AUTO ] [ mode=ALL ] [ filename.hex ]");
} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void arguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("port"); // "-" for none
        QTest::addColumn<bool>("autoRequested");
        QTest::addColumn<bool>("tickAll");
        QTest::addColumn<bool>("settingsMode");
        QTest::addColumn<bool>("quit");
        QTest::addColumn<QStringList>("messages");

        const QString saved = QStringLiteral("saved.hex");
        const auto args = [](std::initializer_list<const char *> list) {
            QStringList l;
            for (const char *a : list)
                l << QString::fromUtf8(a);
            return l;
        };
        QTest::newRow("nothing") << QStringList() << saved << QStringLiteral("-") << false << false
                                 << false << false << QStringList();
        QTest::newRow("PORT=com3") << args({"PORT=com3"}) << saved << QStringLiteral("COM3")
                                   << false << false << false << false << QStringList();
        QTest::newRow("port=myhost:10001")
            << args({"port=myhost:10001"}) << saved << QStringLiteral("MYHOST:10001") << false
            << false << false << false << QStringList();
        QTest::newRow("device path keeps its letters")
            << args({"PORT=/dev/ttyUSB0"}) << saved << QStringLiteral("/dev/ttyUSB0") << false
            << false << false << false << QStringList();
        QTest::newRow("last port wins")
            << args({"port=com1", "port=com2"}) << saved << QStringLiteral("COM2") << false << false
            << false << false << QStringList();
        QTest::newRow("MODE=ALL") << args({"MODE=ALL"}) << saved << QStringLiteral("-") << false
                                  << true << false << false << QStringList();
        QTest::newRow("mode=fast changes nothing")
            << args({"mode=fast"}) << saved << QStringLiteral("-") << false << false << false
            << false << QStringList();
        QTest::newRow("both modes")
            << args({"mode=AUTO", "mode=all"}) << saved << QStringLiteral("-") << true << true
            << false << false << QStringList();
        QTest::newRow("file= keeps its letters")
            << args({"FILE=/Fw/Reader.HEX"}) << QStringLiteral("/Fw/Reader.HEX")
            << QStringLiteral("-") << false << false << false << false << QStringList();
        QTest::newRow("bare name")
            << args({"/fw/A.hex"}) << QStringLiteral("/fw/A.hex") << QStringLiteral("-") << false
            << false << false << false << QStringList();
        QTest::newRow("two file names: the last")
            << args({"a.hex", "b.hex"}) << QStringLiteral("b.hex") << QStringLiteral("-") << false
            << false << false << false << QStringList();
        QTest::newRow("custcode after a file")
            << args({"a.hex", "custcode"}) << QString() << QStringLiteral("-") << false << false
            << true << false << QStringList();
        QTest::newRow("custcode before a file")
            << args({"/CUSTCODE", "a.hex"}) << QStringLiteral("a.hex") << QStringLiteral("-")
            << false << false << true << false << QStringList();
        QTest::newRow("usage") << args({"/?", "port=com5"}) << saved << QStringLiteral("COM5")
                               << false << false << false << true << QStringList{kUsage};
        QTest::newRow("usage with -?") << args({"-?"}) << saved << QStringLiteral("-") << false
                                       << false << false << true << QStringList{kUsage};

        const QString cfError = QStringLiteral("Error: invalid CF customer code");
        QTest::newRow("cf=999") << args({"cf=999"}) << saved << QStringLiteral("-") << false
                                << false << true << false << QStringList();
        QTest::newRow("cf=0") << args({"cf=0"}) << saved << QStringLiteral("-") << false << false
                              << true << false << QStringList();
        QTest::newRow("df=9999, gf=255")
            << args({"df=9999", "gf=255"}) << saved << QStringLiteral("-") << false << false << true
            << false << QStringList();
        QTest::newRow("cf=1000") << args({"cf=1000"}) << saved << QStringLiteral("-") << false
                                 << false << true << true << QStringList{cfError};
        QTest::newRow("cf=-1") << args({"cf=-1"}) << saved << QStringLiteral("-") << false << false
                               << true << true << QStringList{cfError};
        QTest::newRow("cf=abc") << args({"cf=abc"}) << saved << QStringLiteral("-") << false
                                << false << true << true << QStringList{cfError};
        QTest::newRow("cf= empty") << args({"cf="}) << saved << QStringLiteral("-") << false
                                   << false << true << true << QStringList{cfError};
        QTest::newRow("each bad code its own message")
            << args({"df=10000", "gf=256", "cf=5"}) << saved << QStringLiteral("-") << false
            << false << true << true
            << QStringList{QStringLiteral("Error: invalid DF customer code"),
                           QStringLiteral("Error: invalid GF customer code")};
    }
    void arguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, port);
        const CommandLine line
            = CommandLine::parse(arguments, kProgram, QStringLiteral("saved.hex"));
        QTEST(line.currentFile, "file");
        QCOMPARE(line.port.value_or(QStringLiteral("-")), port);
        QTEST(line.autoRequested, "autoRequested");
        QTEST(line.tickAll, "tickAll");
        QTEST(line.settingsMode, "settingsMode");
        QTEST(line.quitAtStart, "quit");
        QStringList texts;
        for (const CommandLine::Message &m : line.messages)
            texts << m.text;
        QTEST(texts, "messages");
    }

    void codesLandInTheirSlots()
    {
        const CommandLine line
            = CommandLine::parse({QStringLiteral("CF=123"), QStringLiteral("df=$10"),
                                  QStringLiteral("gf=5"), QStringLiteral("gf=7")},
                                 kProgram, QString());
        QCOMPARE(line.cf, std::optional<int>(123));
        QCOMPARE(line.df, std::optional<int>(16));
        QCOMPARE(line.gf, std::optional<int>(7));
        const CommandLine usage = CommandLine::parse({QStringLiteral("/?")}, kProgram, QString());
        QCOMPARE(usage.messages.at(0).icon, Icon::Information);
        const CommandLine bad = CommandLine::parse({QStringLiteral("cf=x")}, kProgram, QString());
        QCOMPARE(bad.messages.at(0).icon, Icon::Error);
    }

    // One unit per character, so widths are lengths.
    void shortenPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("shown");

        const QString path = QStringLiteral("C:\\Firmware\\Readers\\app.hex");
        QTest::newRow("fits") << path << 40 << path;
        QTest::newRow("exactly fits") << path << int(path.size()) << path;
        QTest::newRow("folder cut from its end")
            << path << 25 << QStringLiteral("C:\\Firmware\\Re.../app.hex");
        QTest::newRow("only ... and the name fit") << path << 11 << QStringLiteral(".../app.hex");
        QTest::newRow("the name alone, however wide") << path << 5 << QStringLiteral("app.hex");
        QTest::newRow("unix path")
            << QStringLiteral("/home/tech/fw/app.hex") << 15 << QStringLiteral("/hom.../app.hex");
        QTest::newRow("empty") << QString() << 10 << QString();
        QTest::newRow("drive mark ends the folder")
            << QStringLiteral("C:app.hex") << 8 << QStringLiteral("app.hex");
        QTest::newRow("bare name too wide") << QStringLiteral("averyveryverylongname.hex") << 5
                                            << QStringLiteral("averyveryverylongname.hex");
    }
    void shortenPath()
    {
        QFETCH(QString, path);
        QFETCH(int, width);
        QTEST(::shortenPath(
                  path, width, [](const QString &t) { return int(t.size()); }, QLatin1Char('/')),
              "shown");
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
