#include "image/cipher.h"
#include "image/encryptedhex.h"
#include "image/imageerror.h"
#include "image/imageloader.h"
#include "image/imagesaver.h"
#include "testfiles.h"

#include <QDate>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

QString dataFile(const char *name)
{
    return QStringLiteral(CORVANT_TEST_DATA "/") + QLatin1String(name);
}

FirmwareImage imageOf(const QByteArray &text)
{
    FirmwareImage image;
    image.records = RecordList::fromText(text);
    return image;
}

// The Base64 text of an encrypted image with every line break removed.
QByteArray bareBase64(const FirmwareImage &encrypted)
{
    QByteArray text = encrypted.records.at(1).toByteArray();
    text.replace("\r\n", "");
    return text;
}

// The record lines of an image, without its other lines.
QList<QByteArray> recordsOf(const FirmwareImage &image)
{
    QList<QByteArray> records;
    for (qsizetype i = 0; i < image.records.size(); ++i) {
        if (image.records.at(i).startsWith(':'))
            records << image.records.at(i).toByteArray();
    }
    return records;
}

} // namespace

using Rewrap = std::function<QByteArray(QByteArray)>;
Q_DECLARE_METATYPE(Rewrap)

class TestEncryptedHex : public QObject {
    Q_OBJECT

private slots:
    // Files in the field decrypt only as long as these stay as they are.
    void keyAndIvArePinned()
    {
        std::uint8_t key[EncryptedHex::kKeySize];
        EncryptedHex::buildFileKey(key);
        const QByteArray expected = QByteArray::fromHex("B9C5E1CD4915F19DD965016D69B5113D");
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(key), sizeof key), expected);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(EncryptedHex::kFileIv.data()), 16),
                 QByteArray::fromHex("3B8E1FD264A907C55AF1922EB84D70E3"));
    }

    void knownAnswerFileDecryptsToItsLines()
    {
        QString name = dataFile("known-answer-encrypted.hex");
        FirmwareImage image;
        LoadReport report;
        QVERIFY2(loadImage(name, image, &report), qPrintable(report.reason()));
        QVERIFY(report.wasEncrypted);
        QVERIFY(image.records
                == RecordList::fromText(TestFiles::read(dataFile("known-answer.hex"))));
    }

    void knownAnswerFileIsWhatEncryptionWrites()
    {
        FirmwareImage image = imageOf(TestFiles::read(dataFile("known-answer.hex")));
        EncryptedHex::encryptImage(image, 2026);
        QCOMPARE(image.records.toText(), TestFiles::read(dataFile("known-answer-encrypted.hex")));
    }

    void headerNamesEncryptionAndYear_data()
    {
        QTest::addColumn<int>("year");
        QTest::newRow("2026") << 2026;
        QTest::newRow("2100") << 2100;
    }
    void headerNamesEncryptionAndYear()
    {
        QFETCH(int, year);
        const QByteArray header = EncryptedHex::headerLine(year);
        QVERIFY(EncryptedHex::namesEncryption(header));
        QVERIFY(header.contains(QByteArray::number(year)));
        QVERIFY(!header.startsWith(':'));
    }

    void encryptionUsesTheCurrentYearByDefault()
    {
        const int before = QDate::currentDate().year();
        FirmwareImage image = imageOf(":00000001FF");
        EncryptedHex::encryptImage(image);
        const QByteArray header = image.records.at(0).toByteArray();
        QVERIFY(header.contains(QByteArray::number(before))
                || header.contains(QByteArray::number(QDate::currentDate().year())));
    }

    void firstLineMarks_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("marks");

        QTest::newRow("upper case") << QByteArray("ENCRYPT") << true;
        QTest::newRow("mixed case inside") << QByteArray("x EnCrYpTeD 2026") << true;
        QTest::newRow("at the end") << QByteArray("file: encrypt") << true;
        QTest::newRow("broken word") << QByteArray("ENCRYP T") << false;
        QTest::newRow("one letter short") << QByteArray("NCRYPT") << false;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("a record") << QByteArray(":00000001FF") << false;
        QTest::newRow("8-bit letters are not folded") << QByteArray("\xc9NCRYPT") << false;
    }
    void firstLineMarks()
    {
        QFETCH(QByteArray, line);
        QTEST(EncryptedHex::namesEncryption(line), "marks");
    }

    void encryptedFormHasTwoEntries()
    {
        FirmwareImage image = imageOf(":00000001FF\r\n");
        EncryptedHex::encryptImage(image, 2026);
        QVERIFY(image.heldEncrypted);
        QCOMPARE(image.records.size(), 2);
        QCOMPARE(image.records.at(0), QByteArrayView(EncryptedHex::headerLine(2026)));
    }

    void roundTripKeepsEveryLine_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("records") << QByteArray(":020142000A347D\r\n:00000001FF\r\n");
        QTest::newRow("empty lines and 8-bit comment")
            << QByteArray("; \xe9t\xe9 \xb0\xff\r\n\r\n\r\n:00000001FF\r\n\r\n");
        QTest::newRow("a line of 300 characters") << QByteArray(300, 'x');
        QTest::newRow("ends exactly on a block") << QByteArray(14, 'y'); // 14 + CR LF = 16
    }
    void roundTripKeepsEveryLine()
    {
        QFETCH(QByteArray, text);
        const FirmwareImage plain = imageOf(text);
        FirmwareImage image = plain;
        EncryptedHex::encryptImage(image, 2026);

        // Through the file's text, as a save and a load would.
        FirmwareImage reread = imageOf(image.records.toText());
        reread.heldEncrypted = true;
        EncryptedHex::decryptInPlace(reread);
        QVERIFY(!reread.heldEncrypted);
        QVERIFY(reread.records == plain.records);
    }

    void savedEncryptedAndLoadedAgainLineForLine()
    {
        const FirmwareImage plain = imageOf(TestFiles::read(dataFile("known-answer.hex")));
        FirmwareImage image = plain;
        EncryptedHex::encryptImage(image, 2026);
        QTemporaryDir dir;
        QString name = dir.filePath(QStringLiteral("saved.hex"));
        saveImage(image.records, name);

        FirmwareImage loaded;
        LoadReport report;
        QVERIFY2(loadImage(name, loaded, &report), qPrintable(report.reason()));
        QVERIFY(report.wasEncrypted);
        QVERIFY(loaded.records == plain.records);
        QCOMPARE(loaded.records.at(1), QByteArrayView("")); // the empty line survived
    }

    void ciphertextLengthsAndLines_data()
    {
        QTest::addColumn<int>("plainLength");
        QTest::addColumn<QList<int>>("base64Lines");
        QTest::addColumn<bool>("endsWithEmptyLine");

        QTest::newRow("20 bytes: 32 enciphered, one line of 44") << 20 << QList<int>{44} << false;
        QTest::newRow("912 bytes: exactly 16 lines of 76") << 912 << QList<int>(16, 76) << true;
    }
    void ciphertextLengthsAndLines()
    {
        QFETCH(int, plainLength);
        QFETCH(QList<int>, base64Lines);
        QFETCH(bool, endsWithEmptyLine);

        // Lines of 55 characters: with CR LF each takes 57 bytes.
        QByteArray text;
        while (text.size() + 57 <= plainLength)
            text += QByteArray(55, 'a') + "\r\n";
        if (text.size() < plainLength)
            text += QByteArray(plainLength - text.size() - 2, 'b') + "\r\n";
        FirmwareImage image = imageOf(text);
        QCOMPARE(image.records.toText().size(), plainLength);

        EncryptedHex::encryptImage(image, 2026);
        const RecordList file = RecordList::fromText(image.records.toText());
        QList<int> lengths;
        for (qsizetype i = 1; i < file.size(); ++i)
            lengths << int(file.at(i).size());
        if (endsWithEmptyLine)
            QCOMPARE(lengths.takeLast(), 0);
        QCOMPARE(lengths, base64Lines);
    }

    void rewrappedBase64StillDecrypts_data()
    {
        QTest::addColumn<Rewrap>("rewrap");
        QTest::newRow("lines of 64, LF only") << Rewrap([](QByteArray b) -> QByteArray {
            QByteArray out;
            for (qsizetype i = 0; i < b.size(); i += 64)
                out += b.mid(i, 64) + "\n";
            return out;
        });
        QTest::newRow("one long line") << Rewrap([](QByteArray b) -> QByteArray { return b; });
        QTest::newRow("blanks and tabs inside") << Rewrap([](QByteArray b) -> QByteArray {
            QByteArray out;
            for (qsizetype i = 0; i < b.size(); i += 7)
                out += b.mid(i, 7) + (i % 2 ? " " : "\t");
            return "  " + out + " \r\n\r\n";
        });
    }
    void rewrappedBase64StillDecrypts()
    {
        QFETCH(Rewrap, rewrap);
        const FirmwareImage plain = imageOf(TestFiles::read(dataFile("known-answer.hex")));
        FirmwareImage image = plain;
        EncryptedHex::encryptImage(image, 2026);

        const QByteArray text = "Encrypted by hand\r\n" + rewrap(bareBase64(image));
        FirmwareImage loaded;
        LoadReport report;
        QVERIFY2(loadImageFromText(text, loaded, &report), qPrintable(report.reason()));
        QVERIFY(loaded.records == plain.records);
    }

    void failedDecryptionChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("incomplete group") << QByteArray("ENCRYPT\r\nAAAAAAA\r\n");
        QTest::newRow("no data") << QByteArray("ENCRYPT\r\n\r\n");
        QTest::newRow("not whole blocks")
            << QByteArray("ENCRYPT\r\n") + QByteArray(20, 'A').toBase64();
        QTest::newRow("padding mid-text") << QByteArray("ENCRYPT\r\nQQ==QUFB");
    }
    void failedDecryptionChangesNothing()
    {
        QFETCH(QByteArray, text);
        FirmwareImage image = imageOf(text);
        image.heldEncrypted = true;
        const RecordList before = image.records;

        QVERIFY_THROWS_EXCEPTION(std::exception, EncryptedHex::decryptInPlace(image));
        QVERIFY(image.records == before);
        QVERIFY(image.heldEncrypted);

        FirmwareImage loaded;
        QVERIFY(!loadImageFromText(text, loaded));
    }

    void partialBlockFailsWithTheCipherError()
    {
        FirmwareImage image = imageOf("ENCRYPT\r\n" + QByteArray(20, 'A').toBase64());
        try {
            EncryptedHex::decryptInPlace(image);
            QFAIL("no error");
        } catch (const ECipher &e) {
            QCOMPARE(e.code(), CipherError::kInvalidSize);
            QCOMPARE(QByteArray(e.what()), QByteArray("Invalid buffer size"));
        }
    }

    void corruptedCiphertextMakesTheFileInvalid()
    {
        FirmwareImage image = imageOf(TestFiles::read(dataFile("known-answer.hex")));
        EncryptedHex::encryptImage(image, 2026);
        QByteArray base64 = bareBase64(image);
        base64[70] = base64[70] == 'A' ? 'B' : 'A'; // inside the fourth block
        FirmwareImage loaded;
        QVERIFY(!loadImageFromText("ENCRYPT\r\n" + base64, loaded));
    }

    // A flipped bit garbles a whole block (and one bit of the next): the
    // file is then invalid, or at most the records of those two blocks are
    // gone, the format having no checksum over lines that are no records.
    // Never does the rest of the file go missing, as when a garbled block
    // holding a zero byte ended the text there.
    void everyBitFlipIsCaught()
    {
        FirmwareImage original;
        QVERIFY(loadImageFromText(
            TestFiles::read(QStringLiteral(CORVANT_SOURCE_DIR "/examples/reader_v1.00.hex")),
            original));
        FirmwareImage encrypted = original;
        EncryptedHex::encryptImage(encrypted, 2026);
        const QByteArray ciphertext = QByteArray::fromBase64(bareBase64(encrypted));
        int invalid = 0;
        for (qsizetype byte = 0; byte < ciphertext.size(); ++byte) {
            QByteArray flipped = ciphertext;
            flipped[byte] = char(flipped[byte] ^ (1 << (byte % 8)));
            FirmwareImage loaded;
            LoadReport report;
            if (!loadImageFromText("ENCRYPT\r\n" + flipped.toBase64(), loaded, &report)) {
                ++invalid;
                continue;
            }
            const QList<QByteArray> records = recordsOf(loaded);
            QVERIFY2(records.size() >= recordsOf(original).size() - 2
                         && records.last() == ":00000001FF",
                     qPrintable(QStringLiteral("bit flip at byte %1 loads with %2 records")
                                    .arg(byte)
                                    .arg(records.size())));
        }
        QVERIFY(invalid > 0);
    }

    // Every file this program writes keeps loading: the zero fill of the
    // last block is the only zero there is.
    void zeroFillIsNoDamage_data()
    {
        QTest::addColumn<int>("length");
        for (const int length : {1, 13, 14, 15, 16, 17, 31})
            QTest::newRow(qPrintable(QStringLiteral("%1 characters").arg(length))) << length;
    }
    void zeroFillIsNoDamage()
    {
        QFETCH(int, length);
        FirmwareImage image = imageOf(":00000001FF\r\n; " + QByteArray(length, 'c'));
        const RecordList lines = image.records;
        EncryptedHex::encryptImage(image, 2026);
        FirmwareImage loaded;
        LoadReport report;
        QVERIFY2(loadImageFromText(image.records.toText(), loaded, &report),
                 qPrintable(report.reason()));
        QVERIFY(loaded.records == lines);
    }

    void zeroByteInsideTheDecipheredTextNamesItsLine()
    {
        FirmwareImage image;
        image.records.append(":00000001FF");
        image.records.append(QByteArray("; a\0b", 5));
        image.records.append(":00000001FF");
        EncryptedHex::encryptImage(image, 2026);
        FirmwareImage loaded;
        LoadReport report;
        QVERIFY(!loadImageFromText(image.records.toText(), loaded, &report));
        QCOMPARE(report.failure, LoadReport::Failure::ZeroByte);
        QCOMPARE(report.reason(),
                 QStringLiteral("line 2 of the deciphered text: a zero byte, where a firmware file "
                                "holds only text"));
    }

    void plainListIsLeftAlone_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("plain records") << QByteArray(":00000001FF\r\n:00000001FF\r\n");
        QTest::newRow("header alone") << QByteArray("ENCRYPTED\r\n");
    }
    void plainListIsLeftAlone()
    {
        QFETCH(QByteArray, text);
        FirmwareImage image = imageOf(text);
        image.heldEncrypted = true;
        EncryptedHex::decryptInPlace(image);
        QVERIFY(image.records == RecordList::fromText(text));
        QVERIFY(image.heldEncrypted);
    }
};

QTEST_GUILESS_MAIN(TestEncryptedHex)
#include "tst_encryptedhex.moc"
