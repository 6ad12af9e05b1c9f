#include "session/shortenpath.h"

QString shortenPath(const QString &path, int maximumWidth,
                    const std::function<int(const QString &)> &widthOf, QChar separator)
{
    qsizetype split = -1;
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        const QChar c = path[i];
        if (c == QLatin1Char('\\') || c == QLatin1Char('/') || c == QLatin1Char(':')) {
            split = i;
            break;
        }
    }
    QString folder = path.left(split + 1);
    const QString name = path.mid(split + 1);
    const QString ellipsis = QStringLiteral("...") + separator;
    QString marker;
    QString result = path;
    while ((!folder.isEmpty() || !marker.isEmpty()) && widthOf(result) > maximumWidth) {
        if (!folder.isEmpty()) {
            folder.chop(1);
            marker = ellipsis;
        } else {
            marker.clear();
        }
        result = folder + marker + name;
    }
    return result;
}
