#include "settings/wholenumber.h"

std::optional<qint32> parseWholeNumber(const QString &text)
{
    QStringView rest = QStringView(text);
    while (!rest.isEmpty() && rest.front() == QLatin1Char(' '))
        rest = rest.mid(1);
    bool negative = false;
    if (!rest.isEmpty() && (rest.front() == QLatin1Char('-') || rest.front() == QLatin1Char('+'))) {
        negative = rest.front() == QLatin1Char('-');
        rest = rest.mid(1);
    }
    int base = 10;
    if (rest.startsWith(QLatin1Char('$'))) {
        base = 16;
        rest = rest.mid(1);
    } else if (rest.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        rest = rest.mid(2);
    }
    if (rest.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : rest) {
        const char16_t u = c.unicode();
        int digit = -1;
        if (u >= u'0' && u <= u'9')
            digit = u - u'0';
        else if (base == 16 && u >= u'a' && u <= u'f')
            digit = u - u'a' + 10;
        else if (base == 16 && u >= u'A' && u <= u'F')
            digit = u - u'A' + 10;
        if (digit < 0)
            return std::nullopt;
        value = value * base + digit;
        if (value > qint64(1) << 32)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    // Hexadecimal may spell a negative number's bit pattern ($FFFFFFFF is -1).
    if (base == 16 && !negative && value > 0x7FFFFFFF && value <= 0xFFFFFFFF)
        value -= qint64(1) << 32;
    if (value < -2147483648LL || value > 2147483647LL)
        return std::nullopt;
    return qint32(value);
}
