#include "common/safefile.h"
#include "fulldisk.h"
#include "hexlines.h"
#include "hextool/hextool.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Run {
    int exitCode;
    QString out;
    QString err;
};

Run run(const QStringList &arguments)
{
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    const int code = HexTool::run(arguments, outStream, errStream);
    return {code, out, err};
}

const QString kExample = QStringLiteral(CORVANT_SOURCE_DIR "/examples/reader_v1.00.hex");

} // namespace

class TestHexTool : public QObject {
    Q_OBJECT

private slots:
    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("nothing") << QStringList{};
        QTest::newRow("unknown command") << QStringList{QStringLiteral("show"), kExample};
        QTest::newRow("info without file") << QStringList{QStringLiteral("info")};
        QTest::newRow("info with two files")
            << QStringList{QStringLiteral("info"), kExample, kExample};
        QTest::newRow("encrypt without output") << QStringList{QStringLiteral("encrypt"), kExample};
        QTest::newRow("decrypt with extra") << QStringList{
            QStringLiteral("decrypt"), kExample, QStringLiteral("a"), QStringLiteral("b")};
    }
    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        const Run result = run(arguments);
        QCOMPARE(result.exitCode, HexTool::kExitUsage);
        QVERIFY(result.err.startsWith(QLatin1String("usage: corvant-hextool")));
    }

    void infoOnAValidFile()
    {
        const Run result = run({QStringLiteral("info"), kExample});
        QCOMPARE(result.exitCode, HexTool::kExitOk);
        QVERIFY2(result.out.contains(QRegularExpression(QStringLiteral("^valid: +yes$"),
                                                        QRegularExpression::MultilineOption)),
                 qPrintable(result.out));
        QVERIFY(result.out.contains(QRegularExpression(QStringLiteral("^records: +133$"),
                                                       QRegularExpression::MultilineOption)));
        QVERIFY(result.out.contains(QRegularExpression(QStringLiteral("^facility code slot: +yes$"),
                                                       QRegularExpression::MultilineOption)));
        QVERIFY(result.out.contains(QRegularExpression(QStringLiteral("^encrypted: +no$"),
                                                       QRegularExpression::MultilineOption)));
    }

    void infoNamesTheLineAndTestThatFailed_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");

        QTest::newRow("checksum") << QByteArray("; x\r\n:00000001FF\r\n:0400000000000000FD\r\n")
                                  << QStringLiteral(
                                         "line 3: checksum FD, the record's bytes call for FC");
        QTest::newRow("length")
            << QByteArray(":0400000000000000FC \r\n")
            << QStringLiteral(
                   "line 1: the line is 20 characters long, its byte count 4 calls for 19");
        QTest::newRow("type") << QByteArray(":0400000300000000F9")
                              << QStringLiteral(
                                     "line 1: record type 03 is not accepted (00, 01, 02 or 04)");
        QTest::newRow("odd data count")
            << QByteArray(":03000000010203F7")
            << QStringLiteral("line 1: a data record with an odd byte count (3)");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("the file is empty");
        QTest::newRow("no records")
            << QByteArray("text\r\n") << QStringLiteral("no line begins with ':'");
    }
    void infoNamesTheLineAndTestThatFailed()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("bad.hex"));
        QVERIFY(TestFiles::write(name, content));

        const Run result = run({QStringLiteral("info"), name});
        QCOMPARE(result.exitCode, HexTool::kExitInvalidFile);
        QVERIFY2(result.out.contains(QStringLiteral("no - ") + reason + QLatin1Char('\n')),
                 qPrintable(result.out));
    }

    // info --json: the text output's facts, one JSON object; an empty
    // slot and a slot the image lacks as null.
    void infoAsJson_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("patch"); // options written first
        QTest::addColumn<QByteArray>("expected"); // compact JSON, without file and lines
        QTest::newRow("the example, patched")
            << TestFiles::read(kExample)
            << QStringList{QStringLiteral("--cf"), QStringLiteral("123"),     QStringLiteral("--g"),
                           QStringLiteral("7"),    QStringLiteral("--relay"), QStringLiteral("2.5")}
            << QByteArray(
                   R"({"customerCodeTable":true,"customerCodes":{"a":null,"b":null,"c":null,)"
                   R"("cf":123,"d":null,"df":null,"g":7,"gf":null},"eepromData":true,)"
                   R"("encrypted":false,"facilityCode":10,"facilityCodeSlot":true,)"
                   R"("reason":null,"records":133,"relayTimeSeconds":2.5,)"
                   R"("relayTimeSlot":true,"valid":true})");
        QTest::newRow("no option slots")
            << HexLines::words(0, {1, 2}) + "\r\n:00000001FF\r\n"
            << QStringList{}
            << QByteArray(R"({"customerCodeTable":false,"customerCodes":null,"eepromData":false,)"
                          R"("encrypted":false,"facilityCode":null,"facilityCodeSlot":false,)"
                          R"("reason":null,"records":2,"relayTimeSeconds":null,)"
                          R"("relayTimeSlot":false,"valid":true})");
    }
    void infoAsJson()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, patch);
        QFETCH(QByteArray, expected);
        QTemporaryDir dir;
        QString file = dir.filePath(QStringLiteral("fw.hex"));
        QVERIFY(TestFiles::write(file, content));
        if (!patch.isEmpty()) {
            const QString patched = dir.filePath(QStringLiteral("patched.hex"));
            QCOMPARE(run(QStringList{QStringLiteral("patch"), file, patched} + patch).exitCode,
                     HexTool::kExitOk);
            file = patched;
        }
        const Run result = run({QStringLiteral("info"), QStringLiteral("--json"), file});
        QCOMPARE(result.exitCode, HexTool::kExitOk);
        QJsonObject object = QJsonDocument::fromJson(result.out.toUtf8()).object();
        QCOMPARE(object.take(QLatin1String("file")).toString(), file);
        QVERIFY(object.take(QLatin1String("lines")).toInt() > 0);
        QCOMPARE(QJsonDocument(object).toJson(QJsonDocument::Compact), expected);
    }

    void infoOnAMissingFile()
    {
        const Run result = run({QStringLiteral("info"), QStringLiteral("/nonexistent/x.hex")});
        QCOMPARE(result.exitCode, HexTool::kExitInvalidFile);
        QVERIFY(result.out.contains(QLatin1String("cannot read the file")));
    }

    // The program itself: stderr carries its own message only, unless
    // QT_LOGGING_RULES asks for the diagnostics.
    void stderrHoldsOnlyTheToolsMessages_data()
    {
        QTest::addColumn<QString>("rules");
        QTest::addColumn<bool>("diagnostics");
        QTest::newRow("default") << QString() << false;
        QTest::newRow("asked for") << QStringLiteral("corvant.*.debug=true") << true;
    }
    void stderrHoldsOnlyTheToolsMessages()
    {
        QFETCH(QString, rules);
        QFETCH(bool, diagnostics);
        QTemporaryDir dir;
        const QString input = dir.filePath(QStringLiteral("bad.hex"));
        QVERIFY(TestFiles::write(input, ":0400000000000000FD\r\n"));
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QT_LOGGING_RULES"));
        if (!rules.isEmpty())
            environment.insert(QStringLiteral("QT_LOGGING_RULES"), rules);
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral(CORVANT_HEXTOOL),
                   {QStringLiteral("decrypt"), input, dir.filePath(QStringLiteral("out.hex"))});
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), HexTool::kExitInvalidFile);
        const QList<QByteArray> lines = tool.readAllStandardError().trimmed().split('\n');
        QCOMPARE(lines.last(),
                 QByteArray("corvant-hextool: " + input.toLocal8Bit()
                            + ": not a usable firmware file: line 1: checksum FD, "
                              "the record's bytes call for FC"));
        QCOMPARE(lines.size() > 1, diagnostics);
    }

    void encryptThenDecryptGivesThePlainFile()
    {
        QTemporaryDir dir;
        const QString encrypted = dir.filePath(QStringLiteral("enc.hex"));
        const QString plain = dir.filePath(QStringLiteral("plain.hex"));

        QCOMPARE(run({QStringLiteral("encrypt"), kExample, encrypted}).exitCode, HexTool::kExitOk);
        const Run info = run({QStringLiteral("info"), encrypted});
        QCOMPARE(info.exitCode, HexTool::kExitOk);
        QVERIFY(info.out.contains(QRegularExpression(QStringLiteral("^encrypted: +yes$"),
                                                     QRegularExpression::MultilineOption)));

        QCOMPARE(run({QStringLiteral("decrypt"), encrypted, plain}).exitCode, HexTool::kExitOk);
        QCOMPARE(TestFiles::read(plain),
                 TestFiles::read(kExample)); // the example is written with CR LF
    }

    void invalidInputLeavesTheOutputAlone_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("encrypt") << QStringLiteral("encrypt");
        QTest::newRow("decrypt") << QStringLiteral("decrypt");
    }
    void invalidInputLeavesTheOutputAlone()
    {
        QFETCH(QString, command);
        QTemporaryDir dir;
        const QString input = dir.filePath(QStringLiteral("bad.hex"));
        const QString output = dir.filePath(QStringLiteral("out.hex"));
        QVERIFY(TestFiles::write(input, ":0400000000000000FD\r\n"));
        QVERIFY(TestFiles::write(output, "precious"));

        const Run result = run({command, input, output});
        QCOMPARE(result.exitCode, HexTool::kExitInvalidFile);
        QVERIFY(result.err.contains(QLatin1String("line 1: checksum FD")));
        QCOMPARE(TestFiles::read(output), QByteArray("precious"));
    }

    void patchThenInfoShowsThePatchedValues()
    {
        QTemporaryDir dir;
        const QString patched = dir.filePath(QStringLiteral("patched.hex"));
        const Run result
            = run({QStringLiteral("patch"), kExample, patched, QStringLiteral("--cf"),
                   QStringLiteral("7"), QStringLiteral("--df=1234"), QStringLiteral("--gf"),
                   QStringLiteral("200"), QStringLiteral("--b"), QStringLiteral("9"),
                   QStringLiteral("--relay"), QStringLiteral("2.3"), QStringLiteral("--facility"),
                   QStringLiteral("256"), QStringLiteral("--encrypt")});
        QCOMPARE(result.exitCode, HexTool::kExitOk);

        const Run info = run({QStringLiteral("info"), patched});
        QCOMPARE(info.exitCode, HexTool::kExitOk);
        QVERIFY2(
            info.out.contains(QLatin1String("customer codes:\n  CF  007\n  DF  1234\n  GF  200\n"
                                            "  C\n  D\n  G\n  A\n  B   0009\n")),
            qPrintable(info.out));
        QVERIFY(info.out.contains(QRegularExpression(QStringLiteral("^relay time: +2\\.3 s$"),
                                                     QRegularExpression::MultilineOption)));
        QVERIFY(info.out.contains(QRegularExpression(QStringLiteral("^facility code: +256$"),
                                                     QRegularExpression::MultilineOption)));
        QVERIFY(info.out.contains(QRegularExpression(QStringLiteral("^encrypted: +yes$"),
                                                     QRegularExpression::MultilineOption)));
    }

    void patchKeepsTheValuesNotGiven()
    {
        QTemporaryDir dir;
        const QString first = dir.filePath(QStringLiteral("first.hex"));
        const QString second = dir.filePath(QStringLiteral("second.hex"));
        QCOMPARE(run({QStringLiteral("patch"), kExample, first, QStringLiteral("--a=5"),
                      QStringLiteral("--relay=12.5")})
                     .exitCode,
                 HexTool::kExitOk);
        QCOMPARE(
            run({QStringLiteral("patch"), first, second, QStringLiteral("--facility=1")}).exitCode,
            HexTool::kExitOk);
        const QString out = run({QStringLiteral("info"), second}).out;
        QVERIFY2(out.contains(QLatin1String("  A   005\n")), qPrintable(out));
        QVERIFY(out.contains(QRegularExpression(QStringLiteral("^relay time: +12\\.5 s$"),
                                                QRegularExpression::MultilineOption)));
    }

    void patchRefusesBadValues_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");

        QTest::newRow("CF 1000") << QStringList{QStringLiteral("--cf"), QStringLiteral("1000")}
                                 << HexTool::kExitInvalidFile
                                 << QStringLiteral("--cf 1000: code out of range (0 - 999)");
        QTest::newRow("G 256") << QStringList{QStringLiteral("--g=256")}
                               << HexTool::kExitInvalidFile
                               << QStringLiteral("--g 256: code out of range (0 - 255)");
        QTest::newRow("D not a number")
            << QStringList{QStringLiteral("--d=12a")} << HexTool::kExitInvalidFile
            << QStringLiteral("--d 12a: not a number");
        QTest::newRow("CF in hexadecimal")
            << QStringList{QStringLiteral("--cf"), QStringLiteral("0x10")}
            << HexTool::kExitInvalidFile << QStringLiteral("--cf 0x10: not a number");
        QTest::newRow("relay nan")
            << QStringList{QStringLiteral("--relay=nan")} << HexTool::kExitInvalidFile
            << QStringLiteral("--relay nan: not a number");
        QTest::newRow("relay inf")
            << QStringList{QStringLiteral("--relay=inf")} << HexTool::kExitInvalidFile
            << QStringLiteral("--relay inf: not a number");
        QTest::newRow("facility words")
            << QStringList{QStringLiteral("--facility=ten")} << HexTool::kExitInvalidFile
            << QStringLiteral("--facility ten: not a number");
        QTest::newRow("relay 25.6")
            << QStringList{QStringLiteral("--relay"), QStringLiteral("25.6")}
            << HexTool::kExitInvalidFile
            << QStringLiteral("relay time out of range (1.0 - 25.5 seconds)");
        QTest::newRow("relay 0.9")
            << QStringList{QStringLiteral("--relay=0.9")} << HexTool::kExitInvalidFile
            << QStringLiteral("relay time out of range");
        QTest::newRow("facility 65536")
            << QStringList{QStringLiteral("--facility=65536")} << HexTool::kExitInvalidFile
            << QStringLiteral("facility code out of range (0 - 65535)");
        QTest::newRow("unknown option")
            << QStringList{QStringLiteral("--colour=red")} << HexTool::kExitUsage
            << QStringLiteral("unknown option --colour");
        QTest::newRow("missing value")
            << QStringList{QStringLiteral("--relay")} << HexTool::kExitUsage
            << QStringLiteral("--relay needs a value");
    }
    void patchRefusesBadValues()
    {
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString output = dir.filePath(QStringLiteral("out.hex"));
        const Run result = run(QStringList{QStringLiteral("patch"), kExample, output} + options);
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        QVERIFY(!QFile::exists(output));
    }

    void patchRefusesOptionsTheImageHasNoSlotFor_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("reasons");
        QTest::newRow("code table and relay time missing")
            << QStringList{QStringLiteral("--cf=1"), QStringLiteral("--relay=2")}
            << QStringList{
                   QStringLiteral("--cf 1: no option word (34xx) at word address 0x00F1 (code "
                                  "word, high byte)"),
                   QStringLiteral("--cf 1: no option word (34xx) at word address 0x00F2 (code "
                                  "word, low byte)"),
                   QStringLiteral(
                       "--relay 2: no option word (34xx) at word address 0x00AB (relay time)")};
        QTest::newRow("facility code without its high word")
            << QStringList{QStringLiteral("--facility=3")}
            << QStringList{QStringLiteral("--facility 3: no option word (34xx) at word address "
                                          "0x00A2 (facility code, high byte)")};
        QTest::newRow("GF holds one byte")
            << QStringList{QStringLiteral("--g=3")}
            << QStringList{QStringLiteral(
                   "--g 3: no option word (34xx) at word address 0x00FA (code byte)")};
    }
    void patchRefusesOptionsTheImageHasNoSlotFor()
    {
        QFETCH(QStringList, options);
        QFETCH(QStringList, reasons);
        QTemporaryDir dir;
        const QString input = dir.filePath(QStringLiteral("bare.hex"));
        const QString output = dir.filePath(QStringLiteral("out.hex"));
        QVERIFY(TestFiles::write(input, ":020142000A347D\r\n:00000001FF\r\n"));
        const Run result = run(QStringList{QStringLiteral("patch"), input, output} + options);
        QCOMPARE(result.exitCode, HexTool::kExitInvalidFile);
        QStringList expected;
        for (const QString &reason : reasons)
            expected << QStringLiteral("corvant-hextool: ") + input + QStringLiteral(": ") + reason;
        expected << QStringLiteral("corvant-hextool: nothing written") << QString();
        QCOMPARE(result.err.split(QLatin1Char('\n')), expected);
        QVERIFY(!QFile::exists(output));
    }

    // A slot holding a word the code table does not know, a lone low
    // facility word, a DF word whose last digit is above 9 and lower-case
    // digits all stay as they are when the options do not name them.
    void patchChangesOnlyWhatItNames()
    {
        QTemporaryDir dir;
        const QString input = dir.filePath(QStringLiteral("odd.hex"));
        const QString output = dir.filePath(QStringLiteral("out.hex"));
        const auto lower = [](int firstWord, const QList<std::uint16_t> &words) -> QByteArray {
            return HexLines::words(firstWord, words).toLower() + "\r\n";
        };
        QByteArray text;
        text += lower(0xA0, {0x3400, 0x3405, 0x2800, 0x3400}); // facility code: only the low word
        text += lower(0xA8, {0x3400, 0x3400, 0x3400, 0x3419}); // relay time 2.5 s
        // CF holds 0x0782, a word the table may not have; DF ends in 0xF.
        text += lower(0xF0, {0x3400, 0x3407, 0x3482, 0x3400, 0x3400, 0x3407, 0x348F, 0x3400});
        text += lower(0xF8, {0x3400, 0x3400, 0x3400, 0x3400, 0x3400, 0x3400, 0x3400, 0x3400});
        text += ":00000001FF\r\n";
        QVERIFY(TestFiles::write(input, text));

        const Run result = run({QStringLiteral("patch"), input, output, QStringLiteral("--gf=12")});
        QVERIFY2(result.exitCode == HexTool::kExitOk, qPrintable(result.err));
        const QList<QByteArray> before = text.split('\n');
        const QList<QByteArray> after = TestFiles::read(output).split('\n');
        QCOMPARE(after.size(), before.size());
        for (qsizetype i = 0; i < before.size(); ++i) {
            if (i != 3) // 0xF9, the GF byte, lies in the second table record
                QCOMPARE(after[i], before[i]);
        }
        // In that record only the GF byte changed, to 12 (and the checksum);
        // the digits before it keep their letter case.
        const QByteArray expected = HexLines::words(
            0xF8, {0x3400, 0x340C, 0x3400, 0x3400, 0x3400, 0x3400, 0x3400, 0x3400});
        QCOMPARE(after[3].trimmed().toUpper(), expected);
        QCOMPARE(after[3].left(13), before[3].left(13));
    }

    void fullDiskFailsAndKeepsTheOldOutput_data()
    {
        QTest::addColumn<QStringList>("command"); // OUT is appended by the test
        QTest::newRow("encrypt") << QStringList{QStringLiteral("encrypt"), kExample};
        QTest::newRow("decrypt") << QStringList{QStringLiteral("decrypt"), kExample};
        QTest::newRow("patch") << QStringList{QStringLiteral("patch"), kExample,
                                              QStringLiteral("--cf=5")};
    }
    void fullDiskFailsAndKeepsTheOldOutput()
    {
        QFETCH(QStringList, command);
        FULL_DISK_OR_SKIP(disk)
        const QString output = disk.path(QStringLiteral("old.hex"));
        QVERIFY(TestFiles::write(output, "old"));
        QVERIFY(disk.fill());
        QStringList arguments = command;
        arguments.insert(2, output);
        const Run result = run(arguments);
        QCOMPARE(result.exitCode, HexTool::kExitWriteFailed);
        QVERIFY2(result.err.contains(QLatin1String("No space left on device")),
                 qPrintable(result.err));
        QVERIFY(result.out.isEmpty());
        QCOMPARE(TestFiles::read(output), QByteArray("old"));
    }

    void outputThatIsNoRegularFileIsRefused()
    {
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("out.hex"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const Run result = run({QStringLiteral("decrypt"), kExample, fifo});
        QCOMPARE(result.exitCode, HexTool::kExitWriteFailed);
        QVERIFY2(result.err.contains(fifo + QStringLiteral(" is not a regular file")),
                 qPrintable(result.err));
        QVERIFY(!QFileInfo(fifo).isFile());
    }

    // File names are bytes: a Latin-1 name is found, and an output is
    // written under exactly the bytes it was given.
    void namesThatAreNotUtf8()
    {
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path());
        const QByteArray input = folder + "/fw-\xE9t\xE9.hex";
        const QByteArray output = folder + "/out-\xFF.hex";
        QVERIFY(TestFiles::writeNative(input, TestFiles::read(kExample)));

        const Run info = run({QStringLiteral("info"), SafeFile::nameFromNative(input)});
        QVERIFY2(info.exitCode == HexTool::kExitOk, qPrintable(info.out));
        QCOMPARE(run({QStringLiteral("encrypt"), SafeFile::nameFromNative(input),
                      SafeFile::nameFromNative(output)})
                     .exitCode,
                 HexTool::kExitOk);
        struct stat written { };
        QCOMPARE(::stat(output.constData(), &written), 0);
        QVERIFY(S_ISREG(written.st_mode));
        // No file under another name (QDir cannot list such names: bytes).
        QStringList names;
        if (DIR *listing = ::opendir(folder.constData())) {
            while (const dirent *entry = ::readdir(listing)) {
                if (entry->d_name[0] != '.')
                    names << QString::fromLatin1(QByteArray(entry->d_name).toPercentEncoding());
            }
            ::closedir(listing);
        }
        names.sort();
        QCOMPARE(names,
                 (QStringList{QStringLiteral("fw-%E9t%E9.hex"), QStringLiteral("out-%FF.hex")}));

        // The program itself, its arguments given as bytes by a shell.
        QProcess tool;
        tool.start(QStringLiteral("/bin/sh"),
                   {QStringLiteral("-c"),
                    QStringLiteral("\"$0\" info \"$(printf '%s/fw-\\351t\\351.hex' \"$1\")\""),
                    QStringLiteral(CORVANT_HEXTOOL), dir.path()});
        QVERIFY(tool.waitForFinished(30000));
        QVERIFY2(tool.exitCode() == HexTool::kExitOk, tool.readAllStandardError().constData());
    }

    // Another user's link planted in a shared folder (sticky and
    // world-writable, as /tmp) is not followed: it could make root replace
    // any file. Links of this user or of the folder's owner, and links in
    // folders not shared, are followed as before.
    void plantedLinksAreNotFollowed_data()
    {
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<bool>("linkOfAnother");
        QTest::addColumn<bool>("folderOfAnother");
        QTest::addColumn<bool>("chain"); // my link, relative, to the link of the row
        QTest::addColumn<bool>("refused");
        QTest::newRow("another's link in a sticky shared folder")
            << 01777 << true << false << false << true;
        QTest::newRow("my link to another's, relative") << 01777 << true << false << true << true;
        QTest::newRow("my link in a sticky shared folder")
            << 01777 << false << false << false << false;
        QTest::newRow("the folder owner's link") << 01777 << true << true << false << false;
        QTest::newRow("another's link, folder not sticky")
            << 0777 << true << false << false << false;
    }
    void plantedLinksAreNotFollowed()
    {
        QFETCH(int, folderMode);
        QFETCH(bool, linkOfAnother);
        QFETCH(bool, folderOfAnother);
        QFETCH(bool, chain);
        QFETCH(bool, refused);
        if (::geteuid() != 0)
            QSKIP("needs root: only root gives a link to another user (lchown)");
        constexpr uid_t kOther = 65534; // nobody
        QTemporaryDir dir;
        const QByteArray shared = QFile::encodeName(dir.filePath(QStringLiteral("shared")));
        const QString victim = dir.filePath(QStringLiteral("victim.hex"));
        QVERIFY(TestFiles::write(victim, "root's own file\n"));
        QCOMPARE(::mkdir(shared.constData(), 0700), 0);
        QCOMPARE(::chmod(shared.constData(), mode_t(folderMode)), 0);
        QCOMPARE(::chown(shared.constData(), folderOfAnother ? kOther : 0, 0), 0);
        const QByteArray link = shared + "/out.hex";
        QCOMPARE(::symlink(QFile::encodeName(victim).constData(), link.constData()), 0);
        QCOMPARE(::lchown(link.constData(), linkOfAnother ? kOther : 0, 0), 0);
        const QByteArray named = chain ? shared + "/mine.hex" : link;
        if (chain)
            QCOMPARE(::symlink("out.hex", named.constData()), 0);

        const Run result = run({QStringLiteral("encrypt"), kExample, QFile::decodeName(named)});
        QCOMPARE(result.exitCode, refused ? HexTool::kExitWriteFailed : HexTool::kExitOk);
        QCOMPARE(TestFiles::read(victim) == "root's own file\n", refused);
        if (refused)
            QVERIFY2(result.err.contains(QStringLiteral(
                         "is a symbolic link owned by another user in a shared folder")),
                     qPrintable(result.err));
    }

    // A replaced file's new name is on disk with its folder: the folder is
    // synced after the rename (seen by strace in the real program).
    void replacementSyncsItsFolder()
    {
        QTemporaryDir dir;
        QProcess strace;
        strace.start(QStringLiteral("strace"),
                     {QStringLiteral("-f"), QStringLiteral("-e"),
                      QStringLiteral("trace=rename,renameat,renameat2,openat,fsync"),
                      QStringLiteral(CORVANT_HEXTOOL), QStringLiteral("encrypt"), kExample,
                      dir.filePath(QStringLiteral("out.hex"))});
        if (!strace.waitForStarted())
            QSKIP("strace is not installed");
        QVERIFY(strace.waitForFinished(30000));
        const QString trace = QString::fromLocal8Bit(strace.readAllStandardError());
        if (strace.exitCode() != 0 && trace.contains(QLatin1String("ptrace"), Qt::CaseInsensitive))
            QSKIP("this machine does not allow tracing (ptrace)");
        static const QRegularExpression kRenamed(
            QStringLiteral("rename\\w*\\([^\n]*out\\.hex\"[^\n]*\\) *= 0\n"));
        const QRegularExpressionMatch rename = kRenamed.match(trace);
        QVERIFY2(rename.hasMatch(), qPrintable(trace.right(2000)));
        const qsizetype renamed = rename.capturedStart();
        static const QRegularExpression kFolderSynced(
            QStringLiteral("openat\\(AT_FDCWD, \"%1\", [^)]*O_DIRECTORY[^)]*\\) = "
                           "(\\d+)\n(?:.*\n)*?.*fsync\\(\\1\\) *= 0")
                .arg(QRegularExpression::escape(dir.path())));
        QVERIFY2(kFolderSynced.match(trace, renamed).hasMatch(), qPrintable(trace.mid(renamed)));
    }

    // Output that never arrived is a failed run, as coreutils have it.
    void standardOutputThatFails()
    {
        QProcess full;
        full.setStandardOutputFile(QStringLiteral("/dev/full"));
        full.start(QStringLiteral(CORVANT_HEXTOOL), {QStringLiteral("info"), kExample});
        QVERIFY(full.waitForFinished(30000));
        QCOMPARE(full.exitCode(), HexTool::kExitWriteFailed);
        QVERIFY(full.readAllStandardError().contains("corvant-hextool: standard output:"));
    }

    void unwritableOutput()
    {
        QTemporaryDir dir;
        const QString output = dir.filePath(QStringLiteral("missing/out.hex"));
        const Run result = run({QStringLiteral("decrypt"), kExample, output});
        QCOMPARE(result.exitCode, HexTool::kExitWriteFailed);
        QVERIFY(result.err.contains(QStringLiteral("cannot write ") + output));
        QVERIFY(!QFile::exists(output));
    }
};

QTEST_GUILESS_MAIN(TestHexTool)
#include "tst_hextool.moc"
