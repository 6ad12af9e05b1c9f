#include "portlink.h"

PortLink::PortLink(SerialPorts::Overrides overrides, QObject *parent)
    : Link(parent)
    , m_serial(std::move(overrides))
{
    forward(m_serial);
    forward(m_tcp);
    m_serial.configure(m_settings);
}

void PortLink::forward(Link &link)
{
    connect(&link, &Link::dataAvailable, this, &Link::dataAvailable);
    connect(&link, &Link::connected, this, &Link::connected);
    connect(&link, &Link::disconnected, this, &Link::disconnected);
    connect(&link, &Link::socketError, this, &Link::socketError);
    connect(&link, &Link::lost, this, &Link::lost);
}

void PortLink::configure(const LinkSettings &settings)
{
    close();
    m_settings = settings;
    active().configure(settings);
}

Link &PortLink::active()
{
    return m_settings.layer == LinkSettings::Layer::Tcp ? static_cast<Link &>(m_tcp)
                                                        : static_cast<Link &>(m_serial);
}

const Link &PortLink::active() const
{
    return const_cast<PortLink *>(this)->active();
}
