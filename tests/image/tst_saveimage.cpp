#include "imageerror.h"
#include "imagesaver.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSaveImage : public QObject
{
    Q_OBJECT

private slots:
    void writesEveryLineWithCrLfBytesUnchanged()
    {
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("out.hex"));
        const RecordList records = RecordList::fromText("; \xe9t\xe9\n\n:00000001FF");
        saveImage(records, name);
        QCOMPARE(TestFiles::read(name), QByteArray("; \xe9t\xe9\r\n\r\n:00000001FF\r\n"));
    }

    void replacesAnExistingFileWhole()
    {
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("out.hex"));
        saveImage(RecordList::fromText(QByteArray(1000, 'x')), name);
        saveImage(RecordList::fromText("short"), name);
        QCOMPARE(TestFiles::read(name), QByteArray("short\r\n"));
    }

    void failureLeavesTheOldFileAndNoOther_data()
    {
        QTest::addColumn<QString>("target"); // relative to the temporary folder
        QTest::newRow("folder missing") << QStringLiteral("missing/out.hex");
        QTest::newRow("name is a folder") << QStringLiteral("folder");
        QTest::newRow("read-only file") << QStringLiteral("readonly.hex");
    }
    void failureLeavesTheOldFileAndNoOther()
    {
        QFETCH(QString, target);

        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        const QString readOnly = dir.filePath(QStringLiteral("readonly.hex"));
        saveImage(RecordList::fromText("old"), readOnly);
        QVERIFY(QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

        const QString name = dir.filePath(target);
        try {
            saveImage(RecordList::fromText("new"), name);
            QFAIL("saved without an error");
        } catch (const ImageError &e) {
            QVERIFY(!e.message().isEmpty());
        }
        QCOMPARE(TestFiles::read(readOnly), QByteArray("old\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    }
};

QTEST_GUILESS_MAIN(TestSaveImage)
#include "tst_saveimage.moc"
