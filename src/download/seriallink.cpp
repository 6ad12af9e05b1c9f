#include "download/seriallink.h"

#include "common/safefile.h"

#include <QLoggingCategory>

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif
#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <unistd.h>
#endif

Q_LOGGING_CATEGORY(lcSerial, "corvant.download.serial")

namespace {

constexpr qint32 kBaudRate = 9600;

// USB serial adapters hold received bytes up to 16 ms unless told otherwise,
// which would delay every acknowledgement. A driver that refuses is fine.
void requestLowLatency([[maybe_unused]] QSerialPort &port)
{
#ifdef Q_OS_LINUX
    serial_struct serial{};
    const int fd = int(port.handle());
    if (ioctl(fd, TIOCGSERIAL, &serial) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        if (ioctl(fd, TIOCSSERIAL, &serial) != 0)
            qCDebug(lcSerial) << "driver refused low-latency mode";
    }
#endif
}

// The process named by the lock file QSerialPort keeps for a device it has
// open ("/dev/pts/3": LCK..pts_3, in the first of its folders that has it),
// or 0.
qint64 lockHolder(const QString &device)
{
    QString name = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char *folder : {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp",
                               "/tmp", "/var/tmp", "/var/lock/lockdev", "/run/lock"}) {
        QFile lock;
        QString error;
        // Never blocking: /tmp is everybody's, and a FIFO there must not hang us.
        if (!SafeFile::openForReading(lock, QLatin1String(folder) + QLatin1String("/LCK..") + name,
                                      error))
            continue;
        // A lock left behind by a process that is gone names nobody.
        const qint64 pid = lock.readLine(32).trimmed().toLongLong();
        return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM) ? pid : 0;
    }
    return 0;
}

} // namespace

bool SerialLink::hungUp() const
{
#ifdef Q_OS_UNIX
    // A read error on a line that merely had nothing to give is no loss.
    pollfd line{int(m_port.handle()), POLLIN, 0};
    return ::poll(&line, 1, 0) == 1 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    return true;
#endif
}

SerialLink::SerialLink(SerialPorts::Overrides overrides, QObject *parent)
    : Link(parent)
    , m_overrides(std::move(overrides))
{
    m_port.setReadBufferSize(kLinkReadBufferSize);
    connect(&m_port, &QSerialPort::readyRead, this, [this] {
        emit dataAvailable(quint16(std::min<qint64>(m_port.bytesAvailable(), 0xFFFF)));
    });
    // A device that went away keeps its descriptor readable: every read
    // returns nothing and reports an error, tens of thousands of times a
    // second, until the port is closed. (A failed write alone is the
    // download's business: it cancels.)
    connect(&m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (!m_port.isOpen()
            || (error != QSerialPort::ResourceError
                && !(error == QSerialPort::ReadError && hungUp())))
            return;
        qCInfo(lcSerial) << device() << "lost:" << m_port.errorString();
        m_port.close();
        emit lost();
    });
}

void SerialLink::configure(const LinkSettings &settings)
{
    m_settings = settings;
}

QString SerialLink::device() const
{
    if (!m_settings.device.isEmpty())
        return m_settings.device;
    return SerialPorts::devicePath(m_settings.comNumber, m_overrides);
}

QString SerialLink::openFailureReason(const QString &device, QSerialPort::SerialPortError error,
                                      const QString &errorText)
{
    // QSerialPort reports a port another program holds (its lock file, or
    // the device opened exclusively) as a permission error too.
    if (error == QSerialPort::PermissionError) {
        if (const qint64 pid = lockHolder(device); pid > 0)
            return tr("%1: in use by another program (pid %2)").arg(device).arg(pid);
        if (::access(SafeFile::nativeName(device).constData(), R_OK | W_OK) == 0)
            return tr("%1: in use by another program").arg(device);
        // Debian gives serial devices to the dialout group; a user outside
        // it is refused every port, which the bare system text does not
        // explain.
        return tr("%1: permission denied: add the user to the dialout group").arg(device);
    }
    return QStringLiteral("%1: %2").arg(device, errorText);
}

void SerialLink::open()
{
    if (m_port.isOpen())
        return;
    const QString path = device();
    if (path.isEmpty())
        throw PortOpenError(tr("%1 names no serial device").arg(m_settings.portName(false)));
    m_port.setPortName(path);
    if (!m_port.open(QIODevice::ReadWrite))
        throw PortOpenError(openFailureReason(path, m_port.error(), m_port.errorString()));
    if (!m_port.setBaudRate(kBaudRate) || !m_port.setDataBits(QSerialPort::Data8)
        || !m_port.setParity(QSerialPort::NoParity) || !m_port.setStopBits(QSerialPort::OneStop)
        || !m_port.setFlowControl(QSerialPort::NoFlowControl)) {
        const QString error = m_port.errorString();
        m_port.close();
        throw PortOpenError(error);
    }
    // Pseudo-terminals have no modem lines; the reader's adapter needs them
    // on where they exist.
    if (!m_port.setDataTerminalReady(true) || !m_port.setRequestToSend(true))
        qCDebug(lcSerial) << "modem lines not set:" << m_port.errorString();
    m_port.clearError();
    requestLowLatency(m_port);
    // Bytes left in the line from before do not belong to this download.
    m_port.clear(QSerialPort::Input);
}

void SerialLink::close()
{
    if (m_port.isOpen())
        m_port.close();
}

void SerialLink::write(QByteArrayView bytes)
{
    if (m_port.write(bytes.data(), bytes.size()) != bytes.size())
        throw LinkError(m_port.errorString());
}

std::uint8_t SerialLink::readByte()
{
    char byte = 0;
    m_port.getChar(&byte);
    return std::uint8_t(byte);
}
