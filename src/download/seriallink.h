#pragma once

#include "download/link.h"
#include "download/serialports.h"

#include <QSerialPort>

// A serial port at 9600 bit/s, 8 data bits, no parity, 1 stop bit, no flow
// control, DTR and RTS on.
class SerialLink : public Link {
    Q_OBJECT

public:
    explicit SerialLink(SerialPorts::Overrides overrides = {}, QObject *parent = nullptr);

    void configure(const LinkSettings &settings) override;
    const LinkSettings &settings() const override { return m_settings; }
    void open() override;
    void close() override;
    bool isOpen() const override { return m_port.isOpen(); }
    void write(QByteArrayView bytes) override;
    qint64 bytesWaiting() const override { return m_port.bytesAvailable(); }
    std::uint8_t readByte() override;

    // The device the current settings name, or an empty text.
    QString device() const;

    // Why a device did not open, in the system's words, with what to do
    // about a missing permission ("/dev/ttyS0: permission denied: add the
    // user to the dialout group").
    static QString openFailureReason(const QString &device, QSerialPort::SerialPortError error,
                                     const QString &errorText);

private:
    // The far end is gone (hang-up or error on the descriptor).
    bool hungUp() const;

    SerialPorts::Overrides m_overrides;
    LinkSettings m_settings;
    QSerialPort m_port;
};
