#include "hextool.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
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

class TestHexTool : public QObject
{
    Q_OBJECT

private slots:
    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("nothing") << QStringList{};
        QTest::newRow("unknown command") << QStringList{QStringLiteral("show"), kExample};
        QTest::newRow("info without file") << QStringList{QStringLiteral("info")};
        QTest::newRow("info with two files") << QStringList{QStringLiteral("info"), kExample, kExample};
        QTest::newRow("encrypt without output") << QStringList{QStringLiteral("encrypt"), kExample};
        QTest::newRow("decrypt with extra") << QStringList{QStringLiteral("decrypt"), kExample, QStringLiteral("a"), QStringLiteral("b")};
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
                                  << QStringLiteral("line 3: checksum FD, the record's bytes call for FC");
        QTest::newRow("length") << QByteArray(":0400000000000000FC \r\n")
                                << QStringLiteral("line 1: the line is 20 characters long, its byte count 4 calls for 19");
        QTest::newRow("type") << QByteArray(":0400000300000000F9")
                              << QStringLiteral("line 1: record type 03 is not accepted (00, 01, 02 or 04)");
        QTest::newRow("odd data count") << QByteArray(":03000000010203F7")
                                        << QStringLiteral("line 1: a data record with an odd byte count (3)");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("the file is empty");
        QTest::newRow("no records") << QByteArray("text\r\n") << QStringLiteral("no line begins with ':'");
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

    void infoOnAMissingFile()
    {
        const Run result = run({QStringLiteral("info"), QStringLiteral("/nonexistent/x.hex")});
        QCOMPARE(result.exitCode, HexTool::kExitInvalidFile);
        QVERIFY(result.out.contains(QLatin1String("cannot read the file")));
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
        QCOMPARE(TestFiles::read(plain), TestFiles::read(kExample)); // the example is written with CR LF
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
