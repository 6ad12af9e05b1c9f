#pragma once

#include "common/corvanterror.h"
#include "download/linksettings.h"

#include <QByteArrayView>
#include <QObject>
#include <QString>

#include <cstdint>

// A failure of the link.
class LinkError : public CorvantError {
public:
    using CorvantError::CorvantError;
};

// A serial port that does not exist, is in use or cannot be set up.
class PortOpenError : public LinkError {
public:
    using LinkError::LinkError;
};

// A socket failure with the platform's error number (errno on Linux; a
// negative number is a name resolution error of getaddrinfo).
class SocketError : public LinkError {
public:
    explicit SocketError(int code);
    int code() const { return m_code; }

private:
    int m_code;
};

// The system's English text for a socket error number.
QString socketErrorText(int code);

// Bytes a link holds until they are read: the protocol's own receive buffer.
// Readers answer with one or two bytes; a peer that sends more waits in the
// network or the driver, and a flooding one can neither grow the program
// nor the logging window's lines (one line per batch of bytes received).
constexpr qint64 kLinkReadBufferSize = 256;

// The byte channel to the reader's bootloader. Events arrive on the thread
// that owns the link, one at a time.
class Link : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Only a closed link is reconfigured.
    virtual void configure(const LinkSettings &settings) = 0;
    virtual const LinkSettings &settings() const = 0;
    QString portName(bool full) const { return settings().portName(full); }

    // Serial: opens the port or throws PortOpenError. TCP: starts the
    // connection attempt (the link counts as open from here on) or throws
    // SocketError; the outcome arrives as connected() or socketError().
    virtual void open() = 0;
    // Closing a closed link does nothing.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // False: the link is ready to carry bytes once open() returns. True:
    // open() only starts connecting, and connected() or socketError() tells
    // how that ended.
    virtual bool connectsAsynchronously() const { return false; }

    // Writes 1 to 256 bytes; throws LinkError when that fails.
    virtual void write(QByteArrayView bytes) = 0;
    virtual qint64 bytesWaiting() const = 0;
    // The oldest waiting byte.
    virtual std::uint8_t readByte() = 0;

signals:
    void dataAvailable(quint16 count);
    // TCP only: the connection is established, was closed by the peer or the
    // network, or failed. After the last two the link is closed.
    void connected();
    void disconnected();
    void socketError(int code);
    // TCP only: the host name did not resolve (getaddrinfo's code, as a
    // SocketError thrown by open() has it). The link is closed.
    void lookupFailed(int code);
    // Serial only: the device went away (a USB adapter pulled, the far end
    // of a pseudo-terminal closed). The link has closed itself.
    void lost();
};

// Set up port: configures the link from the port field's text, unless the
// text equals the full port name of the current settings. A link that was
// open is reopened.
void setUpPort(Link &link, const QString &portText);
