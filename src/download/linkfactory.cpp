#include "download/linkfactory.h"

#include "download/seriallink.h"
#include "download/tcplink.h"

std::unique_ptr<Link> createLink(const LinkSettings &settings,
                                 const SerialPorts::Overrides &overrides)
{
    std::unique_ptr<Link> link;
    switch (settings.layer) {
    case LinkSettings::Layer::Serial:
        link = std::make_unique<SerialLink>(overrides);
        break;
    case LinkSettings::Layer::Tcp:
        link = std::make_unique<TcpLink>();
        break;
    }
    link->configure(settings);
    return link;
}
