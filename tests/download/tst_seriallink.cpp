// The serial link over a pseudo-terminal whose far end the test holds: a
// device that goes away mid-download (the same as a USB adapter pulled).
#include "download/downloadengine.h"
#include "download/portlink.h"
#include "download/seriallink.h"
#include "downloadrig.h"
#include "hexlines.h"

#include <QSignalSpy>
#include <QTest>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The reply time-out is far longer than the test waits: a download that
// ends only by its time-out fails the test.
constexpr DownloadTiming kTiming{std::chrono::milliseconds(100), std::chrono::milliseconds(20),
                                 std::chrono::milliseconds(60000)};
constexpr int kEnoughForAnEvent = 5000;

// The reader's end of a pseudo-terminal.
class FarEnd {
public:
    FarEnd()
    {
        m_fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd >= 0 && ::grantpt(m_fd) == 0 && ::unlockpt(m_fd) == 0)
            m_device = QString::fromLocal8Bit(::ptsname(m_fd));
    }
    ~FarEnd() { close(); }
    FarEnd(const FarEnd &) = delete;
    FarEnd &operator=(const FarEnd &) = delete;

    const QString &device() const { return m_device; }

    // Everything the utility sent so far.
    const QByteArray &received()
    {
        char buffer[512];
        ssize_t got = 0;
        while (m_fd >= 0 && (got = ::read(m_fd, buffer, sizeof buffer)) > 0)
            m_received.append(buffer, qsizetype(got));
        return m_received;
    }
    bool reply(const QByteArray &bytes)
    {
        return ::write(m_fd, bytes.constData(), std::size_t(bytes.size())) == bytes.size();
    }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
    QString m_device;
    QByteArray m_received;
};

} // namespace

class TestSerialLink : public QObject {
    Q_OBJECT

private slots:
    // A missing permission says what to do about it; other reasons are the
    // system's own, after the device (one nobody holds or may open).
    void openFailureReasons_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("reason");
        QTest::newRow("permission")
            << int(QSerialPort::PermissionError)
            << QStringLiteral(
                   "/dev/corvant-none: permission denied: add the user to the dialout group");
        QTest::newRow("missing") << int(QSerialPort::DeviceNotFoundError)
                                 << QStringLiteral("/dev/corvant-none: No such file or directory");
    }
    void openFailureReasons()
    {
        QFETCH(int, error);
        QFETCH(QString, reason);
        QCOMPARE(SerialLink::openFailureReason(QStringLiteral("/dev/corvant-none"),
                                               QSerialPort::SerialPortError(error),
                                               QStringLiteral("No such file or directory")),
                 reason);
    }

    // A device that cannot be opened: the box's text as it was, the
    // system's reason as a notice.
    void missingDeviceIsNoticed()
    {
        DownloadRig<PortLink> rig(QStringLiteral("/dev/corvant-no-such-device"), {}, {});
        rig.start();
        QCOMPARE(rig.dialogs.texts(),
                 QStringList{QStringLiteral(
                     "Error: could not open communication port /dev/corvant-no-such-device")});
        QCOMPARE(rig.host.notices.size(), 1);
        QVERIFY2(rig.host.notices.at(0).startsWith(QLatin1String("/dev/corvant-no-such-device: ")),
                 qPrintable(rig.host.notices.at(0)));
    }

    void deviceGoneEndsTheDownloadAtOnce_data()
    {
        QTest::addColumn<QString>("when");
        QTest::newRow("during the search") << QStringLiteral("search");
        QTest::newRow("while a write awaits its reply") << QStringLiteral("write");
        QTest::newRow("while a failure question is open") << QStringLiteral("question");
    }
    void deviceGoneEndsTheDownloadAtOnce()
    {
        QFETCH(QString, when);
        FarEnd reader;
        QVERIFY(!reader.device().isEmpty());

        DownloadRig<PortLink> rig(
            reader.device(), HexLines::words(0, {1, 2, 3, 4}) + "\r\n:00000001FF\r\n", kTiming);
        PortLink &link = rig.link;
        DownloadEngine &download = rig.download;
        ScriptedDialogs &dialogs = rig.dialogs;
        download.start(rig.job);
        QVERIFY(link.isOpen());
        QTRY_VERIFY(reader.received().startsWith('\xEA'));
        if (when != QLatin1String("search")) {
            QVERIFY(reader.reply("\xEB"));
            QTRY_VERIFY(reader.received().contains('\xE3'));
        }
        if (when == QLatin1String("question")) {
            dialogs.whileOpen = [&reader] {
                reader.close();
                QTest::qWait(300); // the technician reads the box meanwhile
            };
            QVERIFY(reader.reply("\xE8"));
        } else {
            reader.close();
        }

        QTRY_COMPARE_WITH_TIMEOUT(rig.finished.size(), 1, kEnoughForAnEvent);
        QCOMPARE(rig.outcome(), int(DownloadEngine::ConnectionClosed));
        QCOMPARE(rig.host.status(), QStringLiteral("Connection to %1 lost").arg(reader.device()));
        QVERIFY(!link.isOpen());
        QVERIFY(!download.holdsLink());
        QVERIFY(!download.awaitingReply());
        QVERIFY(!download.searching());
        // Only the question the reader's refusal asked: none for the loss.
        QCOMPARE(dialogs.shown.size(), when == QLatin1String("question") ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
