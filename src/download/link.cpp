#include "download/link.h"

#include <cerrno>
#include <clocale>
#include <cstring>
#include <netdb.h>

SocketError::SocketError(int code)
    : LinkError(QStringLiteral("%1 %2").arg(code).arg(socketErrorText(code)))
    , m_code(code)
{
}

QString socketErrorText(int code)
{
    // In English whatever the user's locale: the texts are reported as they
    // are, next to the number.
    static const locale_t english = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const locale_t previous = english != locale_t(nullptr) ? uselocale(english) : locale_t(nullptr);
    const QString text
        = QString::fromLocal8Bit(code < 0 ? gai_strerror(code) : std::strerror(code));
    if (previous != locale_t(nullptr))
        uselocale(previous);
    return text;
}

void setUpPort(Link &link, const QString &portText)
{
    if (portText == link.portName(true))
        return;
    const bool wasOpen = link.isOpen();
    link.close();
    link.configure(LinkSettings::fromPortText(portText));
    if (wasOpen)
        link.open();
}
