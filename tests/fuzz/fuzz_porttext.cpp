// Port texts: the settings a text gives are the settings their own full
// name gives again, so a port field that shows a name means that port.
#include "download/linksettings.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const LinkSettings settings = LinkSettings::fromPortText(text);
    if (settings.layer == LinkSettings::Layer::Serial && settings.device.isEmpty()
        && (settings.comNumber < 1 || settings.comNumber > 255))
        std::abort();
    // A host without a port ("gate7:") has no full name of its own, and a
    // host of blanks none at all. COMn reads at most 99 characters after
    // "COM", so a longer name may read as another port.
    const QString name = settings.portName(true);
    const bool named = name.size() <= 3 + 99
        && (settings.layer == LinkSettings::Layer::Serial
            || (!settings.host.isEmpty() && !settings.port.isEmpty()));
    if (named && !(LinkSettings::fromPortText(name) == settings))
        std::abort();
    return 0;
}
