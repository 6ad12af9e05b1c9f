#include "image/filenames.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

bool isSeparator(QChar c)
{
    return c == QLatin1Char('\\') || c == QLatin1Char('/') || c == QLatin1Char(':');
}

bool hasWildcards(QStringView name)
{
    return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
}

} // namespace

bool wildcardMatch(QStringView pattern, QStringView name)
{
    // Iterative matcher with one backtrack point for the last '*': linear in
    // practice, never exponential.
    qsizetype p = 0;
    qsizetype n = 0;
    qsizetype starP = -1;
    qsizetype starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
            starP = p++;
            starN = n;
        } else if (p < pattern.size()
                   && (pattern[p] == QLatin1Char('?')
                       || pattern[p].toCaseFolded() == name[n].toCaseFolded())) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}

QString resolveFileName(const QString &fileName)
{
    qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
#ifdef Q_OS_WIN
    slash = std::max(
        {slash, fileName.lastIndexOf(QLatin1Char('\\')), fileName.lastIndexOf(QLatin1Char(':'))});
#endif
    const QString directory = fileName.left(slash + 1);
    const QString pattern = fileName.mid(slash + 1);
    if (pattern.isEmpty())
        return fileName;
    if (!hasWildcards(pattern) && QFileInfo(fileName).isFile())
        return fileName;

    const QDir dir(directory.isEmpty() ? QStringLiteral(".") : directory);
    const QStringList entries
        = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name | QDir::IgnoreCase);
    for (const QString &entry : entries) {
        if (wildcardMatch(pattern, entry))
            return directory + entry;
    }
    return fileName;
}

QString imageBaseName(const QString &fileName)
{
    QString name = fileName;
    for (qsizetype i = name.size() - 1; i >= 0; --i) {
        if (name[i] == QLatin1Char('.')) {
            name.truncate(i);
            break;
        }
        if (isSeparator(name[i]))
            break;
    }
    for (qsizetype i = name.size() - 1; i >= 0; --i) {
        if (isSeparator(name[i]))
            return name.mid(i + 1);
    }
    return name;
}

QString defaultSaveName(const QString &currentFileName, int cfCode, int dfCode, int gfCode)
{
    QString name = imageBaseName(currentFileName);

    // Keep the version: search for the cut from the character after "_v"'s '_'.
    const qsizetype version = name.indexOf(QStringLiteral("_v"));
    const qsizetype cut = name.indexOf(QLatin1Char('_'), version < 0 ? 0 : version + 1);
    if (cut >= 0)
        name.truncate(cut);

    if (cfCode > 0)
        name += QStringLiteral("_CF%1").arg(cfCode, 3, 10, QLatin1Char('0'));
    if (dfCode > 0)
        name += QStringLiteral("_DF%1").arg(dfCode, 4, 10, QLatin1Char('0'));
    if (gfCode > 0)
        name += QStringLiteral("_GF%1").arg(gfCode, 3, 10, QLatin1Char('0'));
    return name;
}

QString withExtension(const QString &fileName, const QString &extension)
{
    if (fileName.isEmpty() || extension.isEmpty())
        return fileName;
    const QString suffix = QLatin1Char('.') + extension;
    return fileName.endsWith(suffix, Qt::CaseInsensitive) ? fileName : fileName + suffix;
}
