#include "fulldisk.h"
#include "image/imageerror.h"
#include "image/imagesaver.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>

class TestSaveImage : public QObject {
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
        const QStringList before
            = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

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

    // Replacing a file keeps what the technician set on it: its permissions,
    // and a symbolic link leading to it.
    void replacedFileKeepsItsModeAndItsLink()
    {
        QTemporaryDir dir;
        const QString real = dir.filePath(QStringLiteral("real.hex"));
        const QString link = dir.filePath(QStringLiteral("link.hex"));
        QVERIFY(TestFiles::write(real, "old"));
        QCOMPARE(::chmod(QFile::encodeName(real).constData(), 0640), 0);
        QVERIFY(QFile::link(real, link));
        saveImage(RecordList::fromText("new"), link);
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(TestFiles::read(real), QByteArray("new\r\n"));
        struct stat info { };
        QCOMPARE(::stat(QFile::encodeName(real).constData(), &info), 0);
        QCOMPARE(info.st_mode & 07777, mode_t(0640));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    // A full disk: the error says so, and the old file is whole.
    void fullDiskKeepsTheOldFile_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("smaller than a write buffer") << 1000;
        QTest::newRow("larger than the disk") << 200000;
    }
    void fullDiskKeepsTheOldFile()
    {
        QFETCH(int, size);
        FULL_DISK_OR_SKIP(disk)
        const QString name = disk.path(QStringLiteral("old.hex"));
        QVERIFY(TestFiles::write(name, "old contents\r\n"));
        QVERIFY(disk.fill());
        try {
            saveImage(RecordList::fromText(QByteArray(size, 'x')), name);
            QFAIL("saved onto a full disk");
        } catch (const ImageError &e) {
            QVERIFY2(e.message().contains(QLatin1String("No space left on device")),
                     qPrintable(e.message()));
        }
        QCOMPARE(TestFiles::read(name), QByteArray("old contents\r\n"));
        QCOMPARE(QDir(disk.folder()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{QStringLiteral(".filler"), QStringLiteral("old.hex")}));
    }

    // Only a regular file is ever replaced: never a FIFO, a device node or
    // what a symbolic link cannot reach.
    void targetThatIsNoRegularFileIsRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("FIFO") << QStringLiteral("fifo") << QStringLiteral("is not a regular file");
        QTest::newRow("link to a FIFO")
            << QStringLiteral("link-to-fifo") << QStringLiteral("is not a regular file");
        QTest::newRow("device node")
            << QStringLiteral("device") << QStringLiteral("is not a regular file");
        QTest::newRow("loop of links")
            << QStringLiteral("loop") << QStringLiteral("is a loop of symbolic links");
        QTest::newRow("link to nothing")
            << QStringLiteral("dangling") << QStringLiteral("is a symbolic link to nothing");
    }
    void targetThatIsNoRegularFileIsRefused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("target.hex"));
        const QByteArray native = QFile::encodeName(target);
        const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("fifo")));
        if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(native.constData(), 0600), 0);
        } else if (kind == QLatin1String("link-to-fifo")) {
            QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("fifo")), target));
        } else if (kind == QLatin1String("device")) {
            // A node of its own, never the system's (/dev/null would be
            // replaced if the refusal failed).
            if (::mknod(native.constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
                QSKIP("cannot make a device node here (root only)");
        } else if (kind == QLatin1String("loop")) {
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("other")), target));
            QVERIFY(QFile::link(target, dir.filePath(QStringLiteral("other"))));
        } else {
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere/x.hex")), target));
        }
        const QStringList before
            = QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        try {
            saveImage(RecordList::fromText(":00000001FF"), target);
            QFAIL("saved onto something that is no regular file");
        } catch (const ImageError &e) {
            QCOMPARE(e.message(), target + QLatin1Char(' ') + reason);
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
                 before);
        QVERIFY(!QFileInfo(target).isFile());
    }
};

QTEST_GUILESS_MAIN(TestSaveImage)
#include "tst_saveimage.moc"
