#pragma once

#include "seriallink.h"
#include "tcplink.h"

// The utility's one link object: a serial or a TCP link, whichever the
// settings name, behind the same interface.
class PortLink : public Link
{
    Q_OBJECT

public:
    explicit PortLink(SerialPorts::Overrides overrides = {}, QObject *parent = nullptr);

    void configure(const LinkSettings &settings) override;
    const LinkSettings &settings() const override { return m_settings; }
    void open() override { active().open(); }
    void close() override { active().close(); }
    bool isOpen() const override { return active().isOpen(); }
    void write(QByteArrayView bytes) override { active().write(bytes); }
    qint64 bytesWaiting() const override { return active().bytesWaiting(); }
    std::uint8_t readByte() override { return active().readByte(); }

private:
    Link &active();
    const Link &active() const;
    void forward(Link &link);

    LinkSettings m_settings;
    SerialLink m_serial;
    TcpLink m_tcp;
};
