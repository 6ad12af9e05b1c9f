#include "download/serialports.h"

#include "download/linksettings.h"

#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>
#include <array>

namespace SerialPorts {

namespace {

struct DeviceFamily {
    const char *prefix;
    int firstCom;
};

// 32 devices each.
constexpr std::array<DeviceFamily, 3> kFamilies = {{
    {"/dev/ttyS", 1},
    {"/dev/ttyUSB", 33},
    {"/dev/ttyACM", 65},
}};
constexpr int kFamilySize = 32;

} // namespace

QString devicePath(int comNumber, const Overrides &overrides)
{
    if (const auto it = overrides.constFind(comNumber); it != overrides.constEnd())
        return *it;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(comNumber);
#else
    for (const DeviceFamily &family : kFamilies) {
        const int index = comNumber - family.firstCom;
        if (index >= 0 && index < kFamilySize)
            return QLatin1String(family.prefix) + QString::number(index);
    }
    return {};
#endif
}

int comNumberOf(const QString &device)
{
#ifdef Q_OS_WIN
    bool ok = false;
    const int number = device.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)
        ? device.mid(3).toInt(&ok)
        : -1;
    return ok ? number : -1;
#else
    for (const DeviceFamily &family : kFamilies) {
        const QLatin1String prefix(family.prefix);
        if (!device.startsWith(prefix))
            continue;
        bool ok = false;
        const int index = device.mid(prefix.size()).toInt(&ok, 10);
        if (ok && index >= 0 && index < kFamilySize
            && device.mid(prefix.size()) == QString::number(index))
            return family.firstCom + index;
    }
    return -1;
#endif
}

QList<int> presentPorts(const QStringList &systemDevices, const Overrides &overrides)
{
    QList<int> present;
    for (const QString &device : systemDevices) {
        const int number = comNumberOf(device);
        if (number > 0 && !overrides.contains(number))
            present << number;
    }
    for (auto it = overrides.constBegin(); it != overrides.constEnd(); ++it) {
        if (LinkSettings::isComNumber(it.key()) && QFileInfo::exists(it.value()))
            present << it.key();
    }
    std::sort(present.begin(), present.end());
    present.erase(std::unique(present.begin(), present.end()), present.end());
    return present;
}

const QStringList &systemDevices()
{
    static const QStringList devices = [] {
        QStringList found;
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            found << info.systemLocation();
        return found;
    }();
    return devices;
}

QStringList portList(const QList<int> &present)
{
    QStringList items;
    for (const int number : present)
        items << QStringLiteral("COM%1").arg(number);
    items << QStringLiteral("hostname:port");
    return items;
}

} // namespace SerialPorts
