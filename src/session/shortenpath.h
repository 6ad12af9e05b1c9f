#pragma once

#include <QString>

#include <functional>

// The display form of a path in a field: the whole path when it fits;
// otherwise its folder cut from the end, one character at a time, with "..."
// and a separator before the file name (C:\Firmware\Rea...\app.hex); when
// even that does not fit, the file name alone, however wide. '\\', '/' and
// ':' end the folder part; the separator shown is the platform's.
QString shortenPath(const QString &path, int maximumWidth,
                    const std::function<int(const QString &)> &widthOf,
                    QChar separator = QLatin1Char('/'));
