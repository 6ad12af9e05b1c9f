#include "reader-sim/simulatorserver.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace {

// Gap between the bytes of a split reply, so they arrive as separate events.
constexpr qint64 kSplitGap = 5'000'000;

} // namespace

SimulatorServer::SimulatorServer(Options options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_engine(options.faults)
    , m_byteTime(options.baud > 0 ? 10'000'000'000LL / options.baud : 0)
{
    connect(&m_timer, &PreciseTimer::timeout, this, &SimulatorServer::pump);
}

SimulatorServer::~SimulatorServer()
{
    if (m_ptyMaster >= 0)
        ::close(m_ptyMaster);
    if (m_ptyKeep >= 0)
        ::close(m_ptyKeep);
    if (!m_ptyLink.isEmpty())
        QFile::remove(m_ptyLink);
}

quint16 SimulatorServer::listenTcp(quint16 port)
{
    stopListening();
    m_server = new QTcpServer(this);
    if (!m_server->listen(QHostAddress::LocalHost, port))
        throw std::runtime_error(m_server->errorString().toStdString());
    connect(m_server, &QTcpServer::newConnection, this, &SimulatorServer::acceptConnection);
    return m_server->serverPort();
}

void SimulatorServer::stopListening()
{
    delete m_server;
    m_server = nullptr;
}

void SimulatorServer::acceptConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        if (m_client)
            m_client->abort();
        m_client = socket;
        socket->setParent(this);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_engine.resetParser();
        m_incoming.clear();
        m_outgoing.clear();
        m_lastIncomingDue = 0;
        m_lastOutgoingDue = 0;
        m_completedPending = false;
        connect(socket, &QTcpSocket::readyRead, this,
                [this, socket] { received(socket->readAll()); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        emit logLine(QStringLiteral("connection from %1").arg(socket->peerAddress().toString()));
    }
}

QString SimulatorServer::openPty(const QString &linkPath)
{
    m_ptyMaster = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_ptyMaster < 0 || grantpt(m_ptyMaster) != 0 || unlockpt(m_ptyMaster) != 0)
        throw std::runtime_error(std::string("pseudo-terminal: ") + std::strerror(errno));
    const QString device = QString::fromLocal8Bit(ptsname(m_ptyMaster));
    m_ptyKeep = ::open(ptsname(m_ptyMaster), O_RDWR | O_NOCTTY);
    if (m_ptyKeep < 0)
        throw std::runtime_error(std::string("pseudo-terminal slave: ") + std::strerror(errno));
    // Raw: no echo, no line editing, all 256 byte values pass.
    termios raw{};
    tcgetattr(m_ptyKeep, &raw);
    cfmakeraw(&raw);
    tcsetattr(m_ptyKeep, TCSANOW, &raw);
    fcntl(m_ptyMaster, F_SETFL, fcntl(m_ptyMaster, F_GETFL) | O_NONBLOCK);

    m_ptyNotifier = new QSocketNotifier(m_ptyMaster, QSocketNotifier::Read, this);
    connect(m_ptyNotifier, &QSocketNotifier::activated, this, &SimulatorServer::readPty);

    if (!linkPath.isEmpty()) {
        QFile::remove(linkPath);
        if (!QFile::link(device, linkPath))
            throw std::runtime_error("cannot create the link " + linkPath.toStdString());
        m_ptyLink = linkPath;
    }
    return device;
}

void SimulatorServer::readPty()
{
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(m_ptyMaster, buffer, sizeof buffer);
        if (got <= 0)
            return;
        received(QByteArray(buffer, qsizetype(got)));
    }
}

void SimulatorServer::received(const QByteArray &bytes)
{
    m_bytesExchanged += bytes.size();
    if (m_byteTime == 0) {
        for (const BootloaderEngine::Answer &a : m_engine.feed(bytes))
            answer(a);
        return;
    }
    // Each byte is there one byte time after the one before it, or after it
    // arrived when the line was idle.
    const qint64 now = PreciseTimer::now();
    for (const char byte : bytes) {
        m_lastIncomingDue = std::max(m_lastIncomingDue, now) + m_byteTime;
        m_incoming.push_back({QByteArray(1, byte), m_lastIncomingDue});
    }
    schedule();
}

void SimulatorServer::answer(const BootloaderEngine::Answer &a)
{
    emit logLine(a.log);
    const bool split = m_options.splitReplies && a.reply.size() > 1;
    if (m_byteTime == 0 && !split) {
        if (!a.reply.isEmpty())
            transmit(a.reply);
        if (a.close)
            closeConnection();
        if (a.completed)
            emit completed();
        return;
    }
    const qint64 now = PreciseTimer::now();
    const qint64 spacing = std::max(m_byteTime, split ? kSplitGap : 0);
    for (qsizetype i = 0; i < a.reply.size(); ++i) {
        m_lastOutgoingDue = std::max(m_lastOutgoingDue, now) + (i == 0 ? m_byteTime : spacing);
        m_outgoing.push_back({a.reply.mid(i, 1), m_lastOutgoingDue, false});
    }
    if (a.close) {
        if (a.reply.isEmpty())
            m_outgoing.push_back({{}, std::max(m_lastOutgoingDue, now), true});
        else
            m_outgoing.back().closeAfter = true;
    }
    m_completedPending = m_completedPending || a.completed;
    schedule();
}

void SimulatorServer::pump()
{
    const qint64 now = PreciseTimer::now();
    QByteArray due;
    while (!m_incoming.empty() && m_incoming.front().due <= now) {
        due += m_incoming.front().bytes;
        m_incoming.pop_front();
    }
    if (!due.isEmpty()) {
        for (const BootloaderEngine::Answer &a : m_engine.feed(due))
            answer(a);
    }
    while (!m_outgoing.empty() && m_outgoing.front().due <= now) {
        const Pending item = m_outgoing.front();
        m_outgoing.pop_front();
        if (!item.bytes.isEmpty())
            transmit(item.bytes);
        if (item.closeAfter)
            closeConnection();
    }
    if (m_completedPending && m_outgoing.empty()) {
        m_completedPending = false;
        emit completed();
    }
    schedule();
}

void SimulatorServer::schedule()
{
    qint64 next = -1;
    if (!m_incoming.empty())
        next = m_incoming.front().due;
    if (!m_outgoing.empty())
        next = next < 0 ? m_outgoing.front().due : std::min(next, m_outgoing.front().due);
    if (next >= 0)
        m_timer.startAt(next);
}

void SimulatorServer::transmit(const QByteArray &bytes)
{
    m_bytesExchanged += bytes.size();
    if (m_client && m_client->state() == QAbstractSocket::ConnectedState) {
        m_client->write(bytes);
        m_client->flush();
    } else if (m_ptyMaster >= 0) {
        if (::write(m_ptyMaster, bytes.constData(), std::size_t(bytes.size())) != bytes.size())
            emit logLine(QStringLiteral("pseudo-terminal write failed: %1")
                             .arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
}

void SimulatorServer::closeConnection()
{
    if (m_client)
        m_client->disconnectFromHost();
    // A pseudo-terminal has no connection to close.
}
