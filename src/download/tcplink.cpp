#include "download/tcplink.h"

#include <QCoreApplication>
#include <QHostAddress>

#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <sys/socket.h>

namespace {

// One of Qt's socket texts, in English or as a loaded Qt translation words it.
bool saysQt(const QString &errorString, const char *english)
{
    return errorString.contains(QLatin1String(english), Qt::CaseInsensitive)
        || errorString.contains(QCoreApplication::translate("QNativeSocketEngine", english),
                                Qt::CaseInsensitive);
}

// The port: a number or a service name (/etc/services). Throws SocketError
// with getaddrinfo's code when it names none.
quint16 servicePort(const QString &port)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo *found = nullptr;
    const QByteArray service = port.toLocal8Bit();
    const int result = getaddrinfo("127.0.0.1", service.isEmpty() ? nullptr : service.constData(),
                                   &hints, &found);
    if (result != 0)
        throw SocketError(result == EAI_SYSTEM ? errno : result);
    const quint16 number = ntohs(reinterpret_cast<const sockaddr_in *>(found->ai_addr)->sin_port);
    freeaddrinfo(found);
    if (number == 0)
        throw SocketError(EADDRNOTAVAIL); // no port, or port 0
    return number;
}

} // namespace

TcpLink::TcpLink(QObject *parent)
    : Link(parent)
{
    m_socket.setReadBufferSize(kLinkReadBufferSize);
    connect(&m_socket, &QTcpSocket::connected, this, [this] {
        m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        emit connected();
    });
    connect(&m_socket, &QTcpSocket::readyRead, this, [this] {
        emit dataAvailable(quint16(std::min<qint64>(m_socket.bytesAvailable(), 0xFFFF)));
    });
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &TcpLink::onError);
    connect(&m_socket, &QTcpSocket::disconnected, this, &TcpLink::onDisconnected);
}

TcpLink::~TcpLink()
{
    // The socket's own destruction aborts it; nobody is listening any more.
    m_socket.disconnect(this);
}

void TcpLink::configure(const LinkSettings &settings)
{
    m_settings = settings;
}

void TcpLink::open()
{
    if (m_open)
        return;
    if (m_settings.host.isEmpty())
        throw SocketError(EDESTADDRREQ);
    const quint16 port = servicePort(m_settings.port);
    m_open = true;
    const QHostAddress address(m_settings.host);
    if (address.isNull())
        m_socket.connectToHost(m_settings.host.toLower(), port);
    else
        m_socket.connectToHost(address, port);
}

void TcpLink::close()
{
    if (!m_open)
        return;
    m_open = false;
    m_closing = true;
    m_socket.abort();
    m_closing = false;
}

void TcpLink::write(QByteArrayView bytes)
{
    if (m_socket.state() != QAbstractSocket::ConnectedState)
        throw LinkError(QStringLiteral("not connected"));
    if (m_socket.write(bytes.data(), bytes.size()) != bytes.size())
        throw LinkError(m_socket.errorString());
}

std::uint8_t TcpLink::readByte()
{
    char byte = 0;
    m_socket.getChar(&byte);
    return std::uint8_t(byte);
}

void TcpLink::onError(QAbstractSocket::SocketError error)
{
    // A peer closing the connection is reported as disconnected() instead.
    if (m_closing || !m_open || error == QAbstractSocket::RemoteHostClosedError)
        return;
    const int code = errnoOf(error, m_socket.errorString());
    m_open = false;
    m_closing = true;
    m_socket.abort();
    m_closing = false;
    if (error == QAbstractSocket::HostNotFoundError)
        emit lookupFailed(code);
    else
        emit socketError(code);
}

void TcpLink::onDisconnected()
{
    if (m_closing || !m_open)
        return;
    m_open = false;
    emit disconnected();
}

int TcpLink::errnoOf(QAbstractSocket::SocketError error, const QString &errorString)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return ECONNREFUSED;
    case QAbstractSocket::HostNotFoundError:
        return EAI_NONAME;
    case QAbstractSocket::RemoteHostClosedError:
        return ECONNRESET;
    case QAbstractSocket::SocketAccessError:
        return EACCES;
    case QAbstractSocket::SocketResourceError:
        return ENOBUFS;
    case QAbstractSocket::SocketTimeoutError:
        return ETIMEDOUT;
    case QAbstractSocket::NetworkError:
        // Qt words these errno values as its own texts, in the window's
        // language when a Qt translation is loaded.
        if (saysQt(errorString, "Network unreachable"))
            return ENETUNREACH;
        if (saysQt(errorString, "Host unreachable"))
            return EHOSTUNREACH;
        if (errorString.contains(QLatin1String("timed out"), Qt::CaseInsensitive)
            || saysQt(errorString, "Connection timed out")
            || saysQt(errorString, "Network operation timed out"))
            return ETIMEDOUT;
        return ENETDOWN;
    case QAbstractSocket::AddressInUseError:
        return EADDRINUSE;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return EADDRNOTAVAIL;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return EOPNOTSUPP;
    default:
        return EIO;
    }
}
