#include "download/linksettings.h"

#include <QRegularExpression>

QString LinkSettings::portName(bool full) const
{
    if (layer == Layer::Serial)
        return device.isEmpty() ? QStringLiteral("COM%1").arg(comNumber) : device;
    if (full && !port.isEmpty())
        return host + QLatin1Char(':') + port;
    return host;
}

LinkSettings LinkSettings::fromPortText(const QString &text)
{
    LinkSettings settings;
    // A device path, also with blanks around it (they would otherwise make a
    // host named "/dev/ttyUSB0").
    if (const QString path = text.trimmed(); path.startsWith(QLatin1Char('/'))) {
        settings.device = path;
        return settings;
    }

    int number = -1;
    if (text.size() > 3 && text.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) {
        // A decimal integer and nothing else: "COM 3" and "COM3 " are hosts.
        const QString digits = text.mid(3, 99);
        static const QRegularExpression kInteger(QStringLiteral("^[+-]?[0-9]+$"));
        bool ok = false;
        if (kInteger.match(digits).hasMatch())
            number = digits.toInt(&ok, 10);
        if (!ok)
            number = -1;
    }
    if (isComNumber(number)) {
        settings.comNumber = number;
        return settings;
    }

    settings.layer = Layer::Tcp;
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        settings.host = text.left(colon).trimmed();
        settings.port = text.mid(colon + 1).trimmed();
    } else {
        settings.host = text.trimmed();
    }
    return settings;
}
