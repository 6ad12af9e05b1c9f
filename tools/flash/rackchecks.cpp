#include "flash/rackchecks.h"

#include "common/safefile.h"
#include "download/linksettings.h"

#include <QHash>

#include <cstdlib>
#include <sys/resource.h>

namespace {

// The program's own descriptors besides one per reader: the event loop's,
// the signal pipe, standard streams, the journal, a serial lock file.
constexpr rlim_t kBaseDescriptors = 32;

} // namespace

namespace RackChecks {

QString readerIdentity(const QString &portText, const SerialPorts::Overrides &overrides)
{
    const LinkSettings settings = LinkSettings::fromPortText(portText);
    if (settings.layer == LinkSettings::Layer::Tcp)
        return settings.host.toLower() + QLatin1Char(':') + settings.port;
    const QString device = settings.device.isEmpty()
        ? SerialPorts::devicePath(settings.comNumber, overrides)
        : settings.device;
    if (device.isEmpty())
        return portText;
    char *real = ::realpath(SafeFile::nativeName(device).constData(), nullptr);
    if (!real)
        return device;
    const QString path = SafeFile::nameFromNative(QByteArray(real));
    std::free(real);
    return path;
}

QString sameReaderTwice(const QStringList &ports, const SerialPorts::Overrides &overrides)
{
    QHash<QString, QString> seen; // identity -> the first port text naming it
    for (const QString &port : ports) {
        const QString identity = readerIdentity(port, overrides);
        const auto first = seen.constFind(identity);
        if (first != seen.cend())
            return identity == port || identity == *first
                ? QStringLiteral("%1 is named twice").arg(identity)
                : QStringLiteral("%1 and %2 are the same reader (%3)").arg(*first, port, identity);
        seen.insert(identity, port);
    }
    return {};
}

QString openFileLimit(const QStringList &ports)
{
    rlim_t needed = kBaseDescriptors;
    for (const QString &port : ports)
        needed += LinkSettings::fromPortText(port).layer == LinkSettings::Layer::Tcp ? 1 : 2;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return {};
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    if (limit.rlim_cur == RLIM_INFINITY || needed <= limit.rlim_cur)
        return {};
    return QStringLiteral("%1 readers need about %2 open files; the limit is %3: raise it with "
                          "ulimit -n")
        .arg(ports.size())
        .arg(qulonglong(needed))
        .arg(qulonglong(limit.rlim_cur));
}

} // namespace RackChecks
