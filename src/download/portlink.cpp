#include "download/portlink.h"

#include "download/linkfactory.h"

PortLink::PortLink(SerialPorts::Overrides overrides, QObject *parent)
    : Link(parent)
    , m_overrides(std::move(overrides))
{
    use(createLink(LinkSettings(), m_overrides));
}

PortLink::~PortLink() = default;

void PortLink::use(std::unique_ptr<Link> link)
{
    m_active = std::move(link);
    connect(m_active.get(), &Link::dataAvailable, this, &Link::dataAvailable);
    connect(m_active.get(), &Link::connected, this, &Link::connected);
    connect(m_active.get(), &Link::disconnected, this, &Link::disconnected);
    connect(m_active.get(), &Link::socketError, this, &Link::socketError);
    connect(m_active.get(), &Link::lookupFailed, this, &Link::lookupFailed);
    connect(m_active.get(), &Link::lost, this, &Link::lost);
}

void PortLink::configure(const LinkSettings &settings)
{
    // Only a closed link is reconfigured, so a fresh one loses nothing.
    close();
    use(createLink(settings, m_overrides));
}
