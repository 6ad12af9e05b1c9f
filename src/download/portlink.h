#pragma once

#include "download/link.h"
#include "download/serialports.h"

#include <memory>

// The utility's one link object: whichever kind of link the settings name
// (made by createLink), behind the same interface, so the download keeps
// one link across changes of the port field.
class PortLink : public Link {
    Q_OBJECT

public:
    explicit PortLink(SerialPorts::Overrides overrides = {}, QObject *parent = nullptr);
    ~PortLink() override;

    void configure(const LinkSettings &settings) override;
    const LinkSettings &settings() const override { return m_active->settings(); }
    void open() override { m_active->open(); }
    void close() override { m_active->close(); }
    bool isOpen() const override { return m_active->isOpen(); }
    bool connectsAsynchronously() const override { return m_active->connectsAsynchronously(); }
    void write(QByteArrayView bytes) override { m_active->write(bytes); }
    qint64 bytesWaiting() const override { return m_active->bytesWaiting(); }
    std::uint8_t readByte() override { return m_active->readByte(); }

private:
    void use(std::unique_ptr<Link> link);

    SerialPorts::Overrides m_overrides;
    std::unique_ptr<Link> m_active;
};
