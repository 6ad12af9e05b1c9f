#include "image/encryptedhex.h"
#include "image/imageloader.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using Failure = LoadReport::Failure;
using HexRecord::Test;

Q_DECLARE_METATYPE(LoadReport::Failure)
Q_DECLARE_METATYPE(HexRecord::Test)

namespace {

const QByteArray kFacility = ":020142000A347D";
const QByteArray kEeprom = ":024200000102B9";
const QByteArray kEndOfFile = ":00000001FF";

} // namespace

class TestLoadImage : public QObject {
    Q_OBJECT

private slots:
    void validity_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<Failure>("failure");
        QTest::addColumn<Test>("failedTest");
        QTest::addColumn<qsizetype>("line");

        QTest::newRow("one data record") << QByteArray(":0400000000000000FC\r\n") << true
                                         << Failure::None << Test::None << qsizetype(0);
        QTest::newRow("comments and empty lines are skipped")
            << QByteArray("; firmware\r\n\r\n:0400000000000000FC\r\n# end\r\n") << true
            << Failure::None << Test::None << qsizetype(0);
        QTest::newRow("blank-led line is no record")
            << QByteArray(" :0400000000000000FD\r\n:00000001FF") << true << Failure::None
            << Test::None << qsizetype(0);
        QTest::newRow("empty file")
            << QByteArray() << false << Failure::Empty << Test::None << qsizetype(0);
        QTest::newRow("NUL before the only record")
            << QByteArray("\0:00000001FF", 12) << false << Failure::ZeroByte << Test::None
            << qsizetype(1);
        QTest::newRow("zero fill at the end") << QByteArray(":00000001FF\r\n\0\0\0", 16) << true
                                              << Failure::None << Test::None << qsizetype(0);
        QTest::newRow("no line begins with a colon")
            << QByteArray("hello\r\nworld\r\n") << false << Failure::NoRecords << Test::None
            << qsizetype(0);
        QTest::newRow("trailing blank on a record")
            << QByteArray(":00000001FF\r\n:0400000000000000FC \r\n") << false << Failure::Record
            << Test::Length << qsizetype(2);
        QTest::newRow("type 03") << QByteArray("\n\n:0400000300000000F9") << false
                                 << Failure::Record << Test::Type << qsizetype(3);
        QTest::newRow("checksum off by one") << QByteArray(":0400000000000000FD") << false
                                             << Failure::Record << Test::Checksum << qsizetype(1);
        QTest::newRow("lines after end of file are still tested")
            << QByteArray(":00000001FF\r\n:0400000000000000FD\r\n") << false << Failure::Record
            << Test::Checksum << qsizetype(2);
        QTest::newRow("odd data count") << QByteArray(":03000000010203F7") << false
                                        << Failure::Record << Test::OddDataLength << qsizetype(1);
        QTest::newRow("NUL inside: the records after it would go missing")
            << QByteArray(":00000001FF\r\n\0:0400000000000000FD\r\n", 35) << false
            << Failure::ZeroByte << Test::None << qsizetype(2);
        QTest::newRow("NUL in the middle of a line, lone CRs before")
            << QByteArray(QByteArray(":00000001FF\r\r:0400") + '\0'
                          + QByteArray("0000000000FC\r\n"))
            << false << Failure::ZeroByte << Test::None << qsizetype(3);
        QTest::newRow("header names encryption, nothing follows")
            << QByteArray("CORVANT encrypted file 2026\r\n") << false
            << Failure::EncryptedWithoutText << Test::None << qsizetype(0);
        QTest::newRow("encrypted text that is no Base64")
            << QByteArray("ENCRYPTED\r\nabc\r\n") << false << Failure::Decryption << Test::None
            << qsizetype(0);
    }
    void validity()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);

        FirmwareImage image;
        LoadReport report;
        QCOMPARE(loadImageFromText(text, image, &report), valid);
        QTEST(report.failure, "failure");
        QTEST(report.failedTest, "failedTest");
        QTEST(report.line, "line");
        QCOMPARE(report.reason().isEmpty(), valid);
    }

    // A file of mostly empty lines is no firmware, and its line table would
    // cost many times its size: refused before it is split. A few thousand
    // blank lines around real records still load.
    void mostlyEmptyLinesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        const QByteArray record = ":00000001FF\r\n";
        QTest::newRow("4096 blank lines and a record") << QByteArray(4095, '\n') + record << true;
        QTest::newRow("records with a blank line between each")
            << QByteArray(record + "\r\n").repeated(5000) << true;
        QTest::newRow("5000 blank lines and a record") << QByteArray(5000, '\n') + record << false;
        QTest::newRow("lone CRs") << QByteArray(9000, '\r') + record << false;
        QTest::newRow("CR LF pairs") << QByteArray("\r\n").repeated(9000) + record << false;
    }
    void mostlyEmptyLinesAreRefused()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        FirmwareImage image;
        LoadReport report;
        QCOMPARE(loadImageFromText(text, image, &report), valid);
        if (!valid) {
            QCOMPARE(report.failure, Failure::TooManyLines);
            QVERIFY2(report.reason().contains(QStringLiteral("%1 bytes").arg(text.size())),
                     qPrintable(report.reason()));
        }
    }

    void everyLineStaysInTheList()
    {
        const QByteArray text = "; \xe9tiquette\r\n\r\n" + kFacility + "\n" + kEndOfFile + "\r";
        FirmwareImage image;
        QVERIFY(loadImageFromText(text, image));
        QCOMPARE(image.records.size(), 4);
        QCOMPARE(image.records.at(0), QByteArrayView("; \xe9tiquette"));
        QCOMPARE(image.records.at(1), QByteArrayView(""));
        QCOMPARE(image.records.at(2), QByteArrayView(kFacility));
    }

    void flagsFollowTheRecords()
    {
        FirmwareImage image;
        QVERIFY(loadImageFromText(kFacility + "\r\n" + kEeprom + "\r\n", image));
        QVERIFY(image.flags.facilityCodeSlot);
        QVERIFY(image.flags.eepromData);
        QVERIFY(!image.flags.relayTimeSlot);
        QVERIFY(!image.flags.customerCodeTable);
        QVERIFY(!image.heldEncrypted);
    }

    void flagsBeforeAFailingRecordSurvive()
    {
        FirmwareImage image;
        const QByteArray text = kFacility + "\r\n:0400000000000000FD\r\n" + kEeprom + "\r\n";
        QVERIFY(!loadImageFromText(text, image));
        QVERIFY(image.flags.facilityCodeSlot);
        QVERIFY2(!image.flags.eepromData, "records after the failing one are not read");
    }

    void everyLoadStartsWithClearedFlags()
    {
        FirmwareImage image;
        QVERIFY(loadImageFromText(kFacility + "\r\n" + kEeprom, image));
        QVERIFY(loadImageFromText(kEndOfFile, image));
        QCOMPARE(image.flags, ContentFlags());
    }

    void heldEncryptedFollowsEachLoad()
    {
        FirmwareImage image;
        QVERIFY(!loadImageFromText("ENCRYPTED\r\n", image));
        QVERIFY2(image.heldEncrypted, "a header without text stays encrypted");
        QVERIFY(loadImageFromText(kEndOfFile, image));
        QVERIFY(!image.heldEncrypted);
        QVERIFY(!loadImageFromText("ENCRYPTED\r\nnot*base64\r\n", image));
        QVERIFY2(image.heldEncrypted, "a failed decryption leaves it set");
    }

    void extendedAddressIsNotApplied()
    {
        // The record after a non-zero upper address is still read at its
        // 16-bit address: word 0xA1, the facility code slot.
        FirmwareImage image;
        QVERIFY(loadImageFromText(":020000040001F9\r\n" + kFacility, image));
        QVERIFY(image.flags.facilityCodeSlot);
        QVERIFY(!image.flags.eepromData);
    }

    void referenceFilesLoad_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<ContentFlags>("flags");

        const ContentFlags all{true, true, true, true};
        QTest::newRow("srec_cat") << QStringLiteral("srec_cat-options.hex") << all;
        QTest::newRow("intelhex") << QStringLiteral("intelhex-options.hex") << all;
        QTest::newRow("srec_cat above 64 KiB")
            << QStringLiteral("srec_cat-above-64k.hex") << ContentFlags{true, false, false, false};
        QTest::newRow("bundled example")
            << QStringLiteral(CORVANT_SOURCE_DIR "/examples/reader_v1.00.hex") << all;
    }
    void referenceFilesLoad()
    {
        QFETCH(QString, file);
        QString name = QDir(QStringLiteral(CORVANT_TEST_DATA)).filePath(file);
        FirmwareImage image;
        LoadReport report;
        QVERIFY2(loadImage(name, image, &report), qPrintable(report.reason()));
        QTEST(image.flags, "flags");
        QVERIFY(report.records > 0);
    }

    void unreadableFileKeepsThePreviousLines()
    {
        FirmwareImage image;
        QVERIFY(loadImageFromText(kFacility, image));

        QTemporaryDir dir;
        QString missing = dir.filePath(QStringLiteral("gone.hex"));
        LoadReport report;
        QVERIFY(!loadImage(missing, image, &report));
        QCOMPARE(report.failure, Failure::CannotRead);
        QCOMPARE(missing, dir.filePath(QStringLiteral("gone.hex")));
        QCOMPARE(image.records.size(), 1);
        QCOMPARE(image.flags, ContentFlags());

        QString directory = dir.path();
        QVERIFY(!loadImage(directory, image, &report));
        QCOMPARE(image.records.size(), 1);
    }

    void oversizedFileIsRefusedUnread()
    {
        QTemporaryDir dir;
        QString name = dir.filePath(QStringLiteral("huge.hex"));
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(kMaxImageFileSize + 1)); // sparse: no disk used
        file.close();

        FirmwareImage image;
        LoadReport report;
        QVERIFY(!loadImage(name, image, &report));
        QCOMPARE(report.failure, Failure::TooLarge);
    }

    // Nothing that is not a regular file is read: a FIFO would block the
    // open for ever, a device would never end.
    void onlyRegularFilesAreRead_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO without a writer") << QStringLiteral("fifo");
        QTest::newRow("character device") << QStringLiteral("/dev/zero");
        QTest::newRow("folder") << QStringLiteral("folder");
    }
    void onlyRegularFilesAreRead()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        QString name = kind.startsWith(QLatin1Char('/')) ? kind : dir.filePath(kind);
        if (kind == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(name).constData(), 0600), 0);
        else if (kind == QLatin1String("folder"))
            QVERIFY(QDir(dir.path()).mkdir(kind));
        FirmwareImage image;
        LoadReport report;
        QVERIFY(!loadImage(name, image, &report));
        QCOMPARE(report.failure, Failure::CannotRead);
        QCOMPARE(report.reason(), QStringLiteral("cannot read the file: not a regular file"));
    }

    void nameIsResolvedToTheFileOnDisk_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("resolved");

        QTest::newRow("exact name")
            << QStringLiteral("Reader_V2.HEX") << QStringLiteral("Reader_V2.HEX");
        QTest::newRow("exact name beats an earlier case variant")
            << QStringLiteral("reader_v3.hex") << QStringLiteral("reader_v3.hex");
        QTest::newRow("letter case from disk")
            << QStringLiteral("reader_v2.hex") << QStringLiteral("Reader_V2.HEX");
        QTest::newRow("star") << QStringLiteral("r*") << QStringLiteral("Reader_V2.HEX");
        QTest::newRow("first in name order")
            << QStringLiteral("*.hex") << QStringLiteral(".hidden.hex");
        QTest::newRow("question mark")
            << QStringLiteral("reader_v?.*") << QStringLiteral("Reader_V2.HEX");
        QTest::newRow("hidden file") << QStringLiteral(".h*") << QStringLiteral(".hidden.hex");
        QTest::newRow("no match stays")
            << QStringLiteral("none*.hex") << QStringLiteral("none*.hex");
        QTest::newRow("directories are not matched")
            << QStringLiteral("sub*") << QStringLiteral("sub*");
    }
    void nameIsResolvedToTheFileOnDisk()
    {
        QFETCH(QString, given);
        QFETCH(QString, resolved);

        QTemporaryDir dir;
        QVERIFY(TestFiles::write(dir.filePath(QStringLiteral("Reader_V2.HEX")), kFacility));
        QVERIFY(TestFiles::write(dir.filePath(QStringLiteral(".hidden.hex")), kEeprom));
        QVERIFY(TestFiles::write(dir.filePath(QStringLiteral("zzz.txt")), "text"));
        QVERIFY(TestFiles::write(dir.filePath(QStringLiteral("READER_V3.HEX")), kEeprom));
        QVERIFY(TestFiles::write(dir.filePath(QStringLiteral("reader_v3.hex")), kFacility));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("subdir.hex")));

        QString name = dir.path() + QLatin1Char('/') + given;
        FirmwareImage image;
        const bool valid = loadImage(name, image);
        QCOMPARE(name, dir.path() + QLatin1Char('/') + resolved);
        QCOMPARE(valid, resolved != given || !given.contains(QLatin1Char('*')));
    }

    void encryptedFileLoadsLikeAPlainOne()
    {
        FirmwareImage plain;
        QVERIFY(loadImageFromText("; comment\r\n" + kFacility + "\r\n" + kEeprom + "\r\n", plain));
        FirmwareImage encrypted = plain;
        EncryptedHex::encryptImage(encrypted, 2026);

        FirmwareImage loaded;
        LoadReport report;
        QVERIFY(loadImageFromText(encrypted.records.toText(), loaded, &report));
        QVERIFY(report.wasEncrypted);
        QVERIFY(!loaded.heldEncrypted);
        QVERIFY(loaded.records == plain.records);
        QCOMPARE(loaded.flags, plain.flags);
    }

    // Windows editors write a byte-order mark before the first record; the
    // record must still count, in a plain file and in a deciphered text.
    void byteOrderMarkBeforeTheFirstRecord()
    {
        const QByteArray text = "\xEF\xBB\xBF" + kFacility + "\r\n" + kEndOfFile + "\r\n";
        FirmwareImage plain;
        LoadReport report;
        QVERIFY(loadImageFromText(text, plain, &report));
        QCOMPARE(report.records, 2);
        QVERIFY(plain.flags.facilityCodeSlot);
        QCOMPARE(plain.records.at(0), QByteArrayView(kFacility));

        FirmwareImage encrypted;
        encrypted.records.append(QByteArray("\xEF\xBB\xBF" + kFacility));
        encrypted.records.append(kEndOfFile);
        EncryptedHex::encryptImage(encrypted, 2026);
        FirmwareImage loaded;
        QVERIFY(loadImageFromText(encrypted.records.toText(), loaded, &report));
        QVERIFY(loaded.records == plain.records);
        QVERIFY(loaded.flags.facilityCodeSlot);

        // A file passed through two such editors: its first record still
        // counts (it was skipped as a line that is no record).
        FirmwareImage twice;
        QVERIFY(loadImageFromText("\xEF\xBB\xBF" + text, twice, &report));
        QCOMPARE(report.records, 2);
        QVERIFY(twice.records == plain.records);
        QVERIFY(twice.flags.facilityCodeSlot);
    }

    void failingRecordOfAnEncryptedFileNamesTheDecipheredLine()
    {
        FirmwareImage image;
        QVERIFY(loadImageFromText(kFacility, image));
        image.records.append(":0400000000000000FD");
        EncryptedHex::encryptImage(image, 2026);

        FirmwareImage loaded;
        LoadReport report;
        QVERIFY(!loadImageFromText(image.records.toText(), loaded, &report));
        QCOMPARE(report.line, 2);
        QVERIFY2(report.reason().contains(QLatin1String("line 2 of the deciphered text")),
                 qPrintable(report.reason()));
    }
};

QTEST_GUILESS_MAIN(TestLoadImage)
#include "tst_loadimage.moc"
