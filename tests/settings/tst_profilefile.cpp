#include "common/safefile.h"
#include "fulldisk.h"
#include "settings/appsettings.h"
#include "settings/profilefile.h"
#include "settings/wholenumber.h"
#include "testfiles.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

class TestProfileFile : public QObject {
    Q_OBJECT

private slots:
    void readsAsWindowsDoes_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");

        QTest::newRow("plain") << QStringLiteral("settings") << QStringLiteral("comport")
                               << QStringLiteral("COM3");
        QTest::newRow("names without case")
            << QStringLiteral("SETTINGS") << QStringLiteral("ComPort") << QStringLiteral("COM3");
        QTest::newRow("raw path with comma and semicolon")
            << QStringLiteral("settings") << QStringLiteral("file")
            << QStringLiteral("C:\\fw\\new,v2;b.hex");
        QTest::newRow("blanks around")
            << QStringLiteral("formmain") << QStringLiteral("left") << QStringLiteral("0x10");
        QTest::newRow("quotes go") << QStringLiteral("nicelabel") << QStringLiteral("filename")
                                   << QStringLiteral("my label.lbl");
        QTest::newRow("missing key") << QStringLiteral("settings") << QStringLiteral("nothing")
                                     << QStringLiteral("<default>");
        QTest::newRow("key of another section")
            << QStringLiteral("formmain") << QStringLiteral("comport")
            << QStringLiteral("<default>");
        QTest::newRow("commented key")
            << QStringLiteral("formmain") << QStringLiteral("top") << QStringLiteral("<default>");
    }
    void readsAsWindowsDoes()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.ini"));
        QVERIFY(
            TestFiles::write(path,
                             "; kept\r\n[settings]\r\ncomport=COM3\r\nfile=C:\\fw\\new,v2;b.hex\r\n"
                             "[ FormMain ]\r\n  left =  0x10  "
                             "\r\n;top=5\r\n[nicelabel]\r\nfilename=\"my label.lbl\"\r\n"));
        const ProfileFile file(path);
        QTEST(file.read(section, key, QStringLiteral("<default>")), "value");
    }

    void writingKeepsEveryOtherLine()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.ini"));
        QVERIFY(TestFiles::write(path,
                                 "; comment\n[ports]\nCOM5=/tmp/reader\n\n[Settings]\n ComPort = "
                                 "\"COM1\"\nunknown=x\n\n[other]\nk=v\n"));
        ProfileFile file(path);
        QVERIFY(file.write(QStringLiteral("settings"), QStringLiteral("comport"),
                           QStringLiteral("gate7:4001")));
        QVERIFY(file.write(QStringLiteral("settings"), QStringLiteral("file"),
                           QStringLiteral("C:\\a,b.hex")));
        QVERIFY(
            file.write(QStringLiteral("formmain"), QStringLiteral("left"), QStringLiteral("-5")));
        // Lines the program does not write keep their bytes, LF included.
        QCOMPARE(
            TestFiles::read(path),
            QByteArray("; comment\n[ports]\nCOM5=/tmp/reader\n\n[Settings]\n ComPort = gate7:4001\n"
                       "unknown=x\nfile=C:\\a,b.hex\r\n\n[other]\nk=v\n[formmain]\r\nleft=-5\r\n"));
        ProfileFile again(path);
        QCOMPARE(again.read(QStringLiteral("settings"), QStringLiteral("file"), QString()),
                 QStringLiteral("C:\\a,b.hex"));
    }

    // A Windows profile file is bytes in the system's code page, and may hold
    // anything: every line the program does not write stays byte for byte.
    void foreignBytesSurviveAWrite_data()
    {
        QTest::addColumn<QByteArray>("foreign");
        QTest::newRow("Latin-1 value") << QByteArray("door=T\xFCr\xF6"
                                                     "ffner\r\n");
        QTest::newRow("lone CR and NUL") << QByteArray("a=1\rb=\0x\r\n", 10);
        QByteArray binary;
        for (int i = 0; i < 65536; ++i)
            binary.append(char(i * 7 % 256));
        QTest::newRow("64 KiB of binary") << binary;
        QTest::newRow("no final line break") << QByteArray("last=\xFF");
    }
    void foreignBytesSurviveAWrite()
    {
        QFETCH(QByteArray, foreign);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.ini"));
        QVERIFY(TestFiles::write(path, "[settings]\r\ncomport=COM1\r\n[other]\r\n" + foreign));
        ProfileFile file(path);
        QVERIFY(file.write(QStringLiteral("settings"), QStringLiteral("comport"),
                           QStringLiteral("COM2")));
        QVERIFY(file.write(QStringLiteral("new"), QStringLiteral("k"), QStringLiteral("v")));
        const QByteArray written = TestFiles::read(path);
        const QByteArray expectedStart = "[settings]\r\ncomport=COM2\r\n[other]\r\n" + foreign;
        QVERIFY(written.startsWith(expectedStart));
        QVERIFY(written.endsWith("[new]\r\nk=v\r\n"));
        QVERIFY(written.size()
                <= expectedStart.size() + 2 + 12); // at most a line break added before [new]
    }

    // A file name in Latin-1 (bytes that are not UTF-8) reads and writes
    // back as the same bytes.
    void valueThatIsNotUtf8RoundTrips()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.ini"));
        QVERIFY(TestFiles::write(path, "[settings]\r\nfile=/fw/\xE9t\xE9.hex\r\n"));
        ProfileFile file(path);
        const QString value
            = file.read(QStringLiteral("settings"), QStringLiteral("file"), QString());
        QCOMPARE(SafeFile::nativeName(value), QByteArray("/fw/\xE9t\xE9.hex"));
        QVERIFY(file.write(QStringLiteral("settings"), QStringLiteral("file"), value));
        QVERIFY(file.write(QStringLiteral("settings"), QStringLiteral("copy"), value));
        QCOMPARE(TestFiles::read(path),
                 QByteArray("[settings]\r\nfile=/fw/\xE9t\xE9.hex\r\ncopy=/fw/\xE9t\xE9.hex\r\n"));
    }

    void unwritableFileStaysAsItWas()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("folder"));
        QVERIFY(
            QDir(dir.path()).mkdir(QStringLiteral("folder"))); // a folder where the file should be
        ProfileFile file(path);
        QVERIFY(!file.write(QStringLiteral("settings"), QStringLiteral("comport"),
                            QStringLiteral("COM1")));
        QCOMPARE(file.read(QStringLiteral("settings"), QStringLiteral("comport"),
                           QStringLiteral("none")),
                 QStringLiteral("none"));
    }

    void fullDiskKeepsEveryLine()
    {
        FULL_DISK_OR_SKIP(disk)
        const QString path = disk.path(QStringLiteral("corvant-fwupdate.ini"));
        const QByteArray old
            = "[ports]\r\nCOM5=/tmp/reader\r\n[settings]\r\ncomport=COM5\r\nfile=/fw/a.hex\r\n";
        QVERIFY(TestFiles::write(path, old));
        QVERIFY(disk.fill());
        ProfileFile file(path);
        AppSettings settings = AppSettings::read(file, QStringLiteral("COM1"));
        settings.file = QStringLiteral("/fw/a-much-longer-name-than-before.hex");
        QVERIFY(!settings.write(file, AppSettings{}));
        QCOMPARE(TestFiles::read(path), old);
    }

    // Two windows closing at once, or one after the other: each writes only
    // what it changed, under the lock and on the file as it is then, so
    // neither loses nor mixes the other's setting. The lock is waited for.
    void twoProgramsShareTheFile_data()
    {
        QTest::addColumn<bool>("lockHeldAWhile");
        QTest::newRow("one after the other") << false;
        QTest::newRow("while another holds the lock") << true;
    }
    void twoProgramsShareTheFile()
    {
        QFETCH(bool, lockHeldAWhile);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("corvant-fwupdate.ini"));
        QVERIFY(TestFiles::write(path, "[settings]\r\ncomport=COM1\r\nfile=/fw/a.hex\r\n"));
        ProfileFile fileA(path);
        ProfileFile fileB(path);
        const AppSettings readA = AppSettings::read(fileA, QStringLiteral("COM1"));
        const AppSettings readB = AppSettings::read(fileB, QStringLiteral("COM1"));
        AppSettings windowA = readA;
        windowA.comPort = QStringLiteral("COM7");
        AppSettings windowB = readB;
        windowB.file = QStringLiteral("/fw/b.hex");
        QVERIFY(windowA.write(fileA, readA));

        std::thread holder;
        struct Joined { // also when a check fails before the end
            std::thread &thread;
            ~Joined()
            {
                if (thread.joinable())
                    thread.join();
            }
        } joined{holder};
        if (lockHeldAWhile) {
            const int lock = ::open(QFile::encodeName(path + QStringLiteral(".lock")).constData(),
                                    O_RDWR | O_CREAT, 0600);
            QCOMPARE(::flock(lock, LOCK_EX | LOCK_NB), 0);
            holder = std::thread([lock] {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                ::close(lock);
            });
        }
        QElapsedTimer clock;
        clock.start();
        QVERIFY(windowB.write(fileB, readB));
        if (holder.joinable()) {
            holder.join();
            QVERIFY(clock.elapsed() >= 250);
        }
        const ProfileFile result(path);
        QCOMPARE(result.read(QStringLiteral("settings"), QStringLiteral("comport"), {}),
                 QStringLiteral("COM7"));
        QCOMPARE(result.read(QStringLiteral("settings"), QStringLiteral("file"), {}),
                 QStringLiteral("/fw/b.hex"));
    }

    // A settings file over 1 MiB is no settings file: not read into memory,
    // never rewritten.
    void oversizedFileIsLeftAlone()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("corvant-fwupdate.ini"));
        const QByteArray big = "[settings]\r\ncomport=COM4\r\n" + QByteArray(2 << 20, ';');
        QVERIFY(TestFiles::write(path, big));
        ProfileFile file(path);
        QVERIFY(file.tooLarge());
        AppSettings settings = AppSettings::read(file, QStringLiteral("COM1"));
        QCOMPARE(settings.comPort, QStringLiteral("COM1"));
        settings.comPort = QStringLiteral("COM2");
        QVERIFY(!settings.write(file, AppSettings::read(file, QStringLiteral("COM1"))));
        QCOMPARE(TestFiles::read(path), big);
    }

    // A FIFO where the settings file should be neither blocks the start nor
    // becomes a file.
    void fifoInItsPlaceIsNoSettingsFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.ini"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        ProfileFile file(path);
        QCOMPARE(file.read(QStringLiteral("settings"), QStringLiteral("comport"),
                           QStringLiteral("none")),
                 QStringLiteral("none"));
        QVERIFY(!file.write(QStringLiteral("settings"), QStringLiteral("comport"),
                            QStringLiteral("COM1")));
        QVERIFY(!QFileInfo(path).isFile());
    }

    void firstWriteCreatesTheFolder()
    {
        QTemporaryDir dir;
        ProfileFile file(dir.filePath(QStringLiteral("config/new/a.ini")));
        QVERIFY(file.write(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("v")));
        QCOMPARE(TestFiles::read(dir.filePath(QStringLiteral("config/new/a.ini"))),
                 QByteArray("[s]\r\nk=v\r\n"));
    }

    void wholeNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value"); // -999999 for none
        QTest::newRow("decimal") << QStringLiteral("42") << 42;
        QTest::newRow("0x10") << QStringLiteral("0x10") << 16;
        QTest::newRow("0X1f") << QStringLiteral("0X1f") << 31;
        QTest::newRow("$10") << QStringLiteral("$10") << 16;
        QTest::newRow("leading blanks and sign") << QStringLiteral("  -5000") << -5000;
        QTest::newRow("plus") << QStringLiteral("+7") << 7;
        QTest::newRow("largest") << QStringLiteral("2147483647") << 2147483647;
        QTest::newRow("$FFFFFFFF is -1") << QStringLiteral("$FFFFFFFF") << -1;
        QTest::newRow("too large") << QStringLiteral("2147483648") << -999999;
        QTest::newRow("letters") << QStringLiteral("abc") << -999999;
        QTest::newRow("trailing blank") << QStringLiteral("12 ") << -999999;
        QTest::newRow("empty") << QString() << -999999;
        QTest::newRow("prefix alone") << QStringLiteral("0x") << -999999;
    }
    void wholeNumbers()
    {
        QFETCH(QString, text);
        QTEST(parseWholeNumber(text).value_or(-999999), "value");
    }

    void settingsDefaultsAndValues()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("corvant-fwupdate.ini"));
        const AppSettings defaults = AppSettings::read(ProfileFile(path), QStringLiteral("COM1"));
        QCOMPARE(defaults.comPort, QStringLiteral("COM1"));
        QCOMPARE(defaults.file, QString());
        QCOMPARE(defaults.left, AppSettings::kNoPosition);
        QCOMPARE(defaults.labelFile, QStringLiteral("quilmar.lbl"));
        QCOMPARE(defaults.firmwareVariable, QStringLiteral("firmware"));
        QCOMPARE(defaults.codesVariable, QStringLiteral("custcode"));

        QVERIFY(TestFiles::write(
            path,
            "[formmain]\nleft=0x10\ntop=abc\n[ports]\nCOM5=/tmp/reader\ncom300=/x\nfoo=/y\n"));
        const AppSettings read = AppSettings::read(ProfileFile(path), QStringLiteral("COM1"));
        QCOMPARE(read.left, 16);
        QCOMPARE(read.top, AppSettings::kNoPosition);
        QCOMPARE(read.ports, (SerialPorts::Overrides{{5, QStringLiteral("/tmp/reader")}}));
    }

    void settingsFileName_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("name");
        QTest::newRow("linux") << QStringLiteral("/usr/bin/corvant-fwupdate")
                               << QStringLiteral("corvant-fwupdate.ini");
        QTest::newRow("windows") << QStringLiteral("C:/Tools/fwupdate.exe")
                                 << QStringLiteral("fwupdate.ini");
        QTest::newRow("extension text inside the name")
            << QStringLiteral("/a/x.exe.exe") << QStringLiteral("x.exe.ini");
    }
    void settingsFileName()
    {
        QFETCH(QString, program);
        QTEST(AppSettings::fileName(program), "name");
    }
};

QTEST_GUILESS_MAIN(TestProfileFile)
#include "tst_profilefile.moc"
