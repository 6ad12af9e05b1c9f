#pragma once

#include "download/link.h"

#include <QTcpSocket>

// A TCP client carrying raw bytes (no Telnet processing), with no delay on
// small writes: every message is a few bytes and waits for its reply. A host
// name is resolved by Qt in the background (a resolver that never answers
// holds up nobody), which tries every address the name has in turn; in
// lower case, as names know no case but a Turkish locale's matching of "I"
// does.
class TcpLink : public Link {
    Q_OBJECT

public:
    explicit TcpLink(QObject *parent = nullptr);
    ~TcpLink() override;

    void configure(const LinkSettings &settings) override;
    const LinkSettings &settings() const override { return m_settings; }
    void open() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    bool connectsAsynchronously() const override { return true; }
    void write(QByteArrayView bytes) override;
    qint64 bytesWaiting() const override { return m_socket.bytesAvailable(); }
    std::uint8_t readByte() override;

    // The errno of a socket error Qt reports (Qt keeps only its own enum).
    static int errnoOf(QAbstractSocket::SocketError error, const QString &errorString);

private:
    void onError(QAbstractSocket::SocketError error);
    void onDisconnected();

    LinkSettings m_settings;
    QTcpSocket m_socket;
    bool m_open = false;
    bool m_closing = false;
};
