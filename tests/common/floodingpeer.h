#pragma once

// A hostile peer for tests: it floods whoever connects with zero bytes as
// fast as the system lets it, from a thread of its own, for a few seconds at
// most; and the process's resident memory, to show what a flood costs.
#include <QByteArray>
#include <QFile>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

class FloodingPeer {
public:
    explicit FloodingPeer(int seconds = 8)
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_listener < 0
            || ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), length) != 0
            || ::listen(m_listener, 1) != 0
            || ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this, seconds] {
            const int peer = ::accept(m_listener, nullptr, nullptr);
            if (peer < 0)
                return;
            const std::vector<char> zeros(64 * 1024, 0);
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
            while (!m_stop && std::chrono::steady_clock::now() < deadline) {
                const ssize_t sent
                    = ::send(peer, zeros.data(), zeros.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
                if (sent > 0)
                    m_sent += sent;
                else if (errno == EAGAIN)
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                else
                    break;
            }
            ::close(peer);
        });
    }
    ~FloodingPeer()
    {
        m_stop = true;
        ::shutdown(m_listener, SHUT_RDWR);
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_listener);
    }
    quint16 port() const { return m_port; }
    qint64 sent() const { return m_sent; }

private:
    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_sent{0};
    std::thread m_thread;
};

// The process's resident memory in KiB.
inline qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}
