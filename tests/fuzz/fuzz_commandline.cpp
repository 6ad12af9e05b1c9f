// The window's command line over arbitrary arguments (NUL-separated): never
// a crash; every message ends the program at start, as the usage text and
// an invalid customer code do; a code that is stored and accepted is within
// its range.
#include "session/commandline.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QStringList arguments;
    for (const QByteArray &argument : bytes.split('\0'))
        arguments << QString::fromUtf8(argument);
    const CommandLine line = CommandLine::parse(
        arguments, QStringLiteral("/opt/corvant/corvant-fwupdate"), QStringLiteral("saved.hex"));
    if (!line.messages.isEmpty() && !line.quitAtStart)
        std::abort();
    if (!line.quitAtStart) {
        const auto within = [](const std::optional<int> &code, int maximum) {
            return !code || (*code >= 0 && *code <= maximum);
        };
        if (!within(line.cf, 999) || !within(line.df, 9999) || !within(line.gf, 255))
            std::abort();
    }
    if ((line.cf || line.df || line.gf) && !line.settingsMode)
        std::abort();
    return 0;
}
