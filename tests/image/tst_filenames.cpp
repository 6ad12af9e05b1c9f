#include "image/filenames.h"

#include <QTest>

class TestFileNames : public QObject {
    Q_OBJECT

private slots:
    void baseName_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("baseName");

        QTest::newRow("windows path")
            << QStringLiteral("C:\\fw\\x_v1.2.hex") << QStringLiteral("x_v1.2");
        QTest::newRow("unix path")
            << QStringLiteral("/home/tech/fw/reader_v2.10.hex") << QStringLiteral("reader_v2.10");
        QTest::newRow("no extension")
            << QStringLiteral("C:\\fw\\reader") << QStringLiteral("reader");
        QTest::newRow("dot in a folder only")
            << QStringLiteral("/fw.d/reader") << QStringLiteral("reader");
        QTest::newRow("dot in a windows folder only")
            << QStringLiteral("C:\\fw.d\\reader") << QStringLiteral("reader");
        QTest::newRow("drive without folder")
            << QStringLiteral("C:reader.hex") << QStringLiteral("reader");
        QTest::newRow("bare name") << QStringLiteral("reader.hex") << QStringLiteral("reader");
        QTest::newRow("only the last extension goes")
            << QStringLiteral("a.b.hex") << QStringLiteral("a.b");
        QTest::newRow("empty") << QString() << QString();
    }
    void baseName()
    {
        QFETCH(QString, fileName);
        QTEST(imageBaseName(fileName), "baseName");
    }

    void defaultSaveName_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<int>("cf");
        QTest::addColumn<int>("df");
        QTest::addColumn<int>("gf");
        QTest::addColumn<QString>("name");

        QTest::newRow("version kept, old codes dropped")
            << QStringLiteral("C:\\fw\\reader_v2.10_CF007.hex") << 12 << 0 << 3
            << QStringLiteral("reader_v2.10_CF012_GF003");
        QTest::newRow("no version: cut at first underscore")
            << QStringLiteral("fw_test.hex") << 0 << 0 << 0 << QStringLiteral("fw");
        QTest::newRow("version without codes")
            << QStringLiteral("/fw/fw_v3.hex") << 0 << 42 << 0 << QStringLiteral("fw_v3_DF0042");
        QTest::newRow("all three codes") << QStringLiteral("r_v1_x.hex") << 999 << 9999 << 255
                                         << QStringLiteral("r_v1_CF999_DF9999_GF255");
        QTest::newRow("codes wider than their padding")
            << QStringLiteral("r.hex") << 1234 << 12345 << 1000
            << QStringLiteral("r_CF1234_DF12345_GF1000");
        QTest::newRow("negative codes are left out")
            << QStringLiteral("r.hex") << -1 << -5 << -7 << QStringLiteral("r");
        QTest::newRow("_V in capitals is no version")
            << QStringLiteral("fw_V3_CF1.hex") << 1 << 0 << 0 << QStringLiteral("fw_CF001");
        QTest::newRow("name begins with _v")
            << QStringLiteral("_v1_x.hex") << 0 << 0 << 0 << QStringLiteral("_v1");
        QTest::newRow("no current file") << QString() << 5 << 0 << 0 << QStringLiteral("_CF005");
    }
    void defaultSaveName()
    {
        QFETCH(QString, current);
        QFETCH(int, cf);
        QFETCH(int, df);
        QFETCH(int, gf);
        QTEST(::defaultSaveName(current, cf, df, gf), "name");
    }

    void savedNameEndsInHex_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("written");
        QTest::newRow("version dot is no extension")
            << QStringLiteral("/fw/reader_v1.00_CF012_GF255")
            << QStringLiteral("/fw/reader_v1.00_CF012_GF255.hex");
        QTest::newRow("proposed name of a versioned file")
            << ::defaultSaveName(QStringLiteral("/fw/reader_v1.00.hex"), 12, 0, 255)
            << QStringLiteral("reader_v1.00_CF012_GF255.hex");
        QTest::newRow("already .hex") << QStringLiteral("/fw/a.hex") << QStringLiteral("/fw/a.hex");
        QTest::newRow("letter case of .HEX kept")
            << QStringLiteral("/fw/a.HEX") << QStringLiteral("/fw/a.HEX");
        QTest::newRow("another extension")
            << QStringLiteral("/fw/a.txt") << QStringLiteral("/fw/a.txt.hex");
        QTest::newRow("hex without its dot")
            << QStringLiteral("/fw/ahex") << QStringLiteral("/fw/ahex.hex");
        QTest::newRow("dot in a folder")
            << QStringLiteral("/fw.d/a") << QStringLiteral("/fw.d/a.hex");
        QTest::newRow("nothing chosen") << QString() << QString();
    }
    void savedNameEndsInHex()
    {
        QFETCH(QString, chosen);
        QTEST(withExtension(chosen, QStringLiteral("hex")), "written");
    }

    void wildcards_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("matches");

        QTest::newRow("exact") << QStringLiteral("a.hex") << QStringLiteral("a.hex") << true;
        QTest::newRow("case ignored") << QStringLiteral("A.HEX") << QStringLiteral("a.hex") << true;
        QTest::newRow("star") << QStringLiteral("*.hex") << QStringLiteral("reader.hex") << true;
        QTest::newRow("star matches nothing")
            << QStringLiteral("reader*.hex") << QStringLiteral("reader.hex") << true;
        QTest::newRow("star needs backtracking")
            << QStringLiteral("*a*b") << QStringLiteral("xaxab") << true;
        QTest::newRow("question mark is one character")
            << QStringLiteral("a?.hex") << QStringLiteral("a.hex") << false;
        QTest::newRow("wrong extension")
            << QStringLiteral("*.hex") << QStringLiteral("a.hex.bak") << false;
        QTest::newRow("brackets are plain characters")
            << QStringLiteral("[ab].hex") << QStringLiteral("a.hex") << false;
        QTest::newRow("many stars stay fast")
            << QStringLiteral("*a*a*a*a*a*a*a*a*b") << QString(64, QLatin1Char('a')) << false;
    }
    void wildcards()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        QTEST(wildcardMatch(pattern, name), "matches");
    }
};

QTEST_GUILESS_MAIN(TestFileNames)
#include "tst_filenames.moc"
