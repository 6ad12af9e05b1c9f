#include "profilefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr qsizetype kLongestValue = 2047;

bool isSectionLine(const QString &line, QString *name = nullptr)
{
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(QLatin1Char('[')))
        return false;
    const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
    if (close < 0)
        return false;
    if (name)
        *name = trimmed.mid(1, close - 1).trimmed();
    return true;
}

// The key of a "key=value" line, or nothing for other lines.
bool keyOf(const QString &line, QString &key)
{
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals < 0 || line.trimmed().startsWith(QLatin1Char(';')))
        return false;
    key = line.left(equals).trimmed();
    return true;
}

} // namespace

ProfileFile::ProfileFile(QString path)
    : m_path(std::move(path))
{
    reload();
}

void ProfileFile::reload()
{
    m_lines.clear();
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QString text = QString::fromUtf8(file.readAll());
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    m_lines = text.split(QLatin1Char('\n'));
    if (!m_lines.isEmpty() && m_lines.last().isEmpty())
        m_lines.removeLast();
}

qsizetype ProfileFile::findSection(const QString &section) const
{
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        QString name;
        if (isSectionLine(m_lines[i], &name) && name.compare(section, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

qsizetype ProfileFile::sectionEnd(qsizetype header) const
{
    qsizetype i = header + 1;
    while (i < m_lines.size() && !isSectionLine(m_lines[i]))
        ++i;
    return i;
}

qsizetype ProfileFile::findKey(qsizetype header, const QString &key) const
{
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        QString name;
        if (keyOf(m_lines[i], name) && name.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString ProfileFile::read(const QString &section, const QString &key, const QString &fallback) const
{
    const qsizetype header = findSection(section);
    const qsizetype line = header < 0 ? -1 : findKey(header, key);
    if (line < 0)
        return fallback;
    const QString &text = m_lines[line];
    QString value = text.mid(text.indexOf(QLatin1Char('=')) + 1).trimmed();
    if (value.size() >= 2
        && ((value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            || (value.startsWith(QLatin1Char('\'')) && value.endsWith(QLatin1Char('\'')))))
        value = value.mid(1, value.size() - 2);
    return value.left(kLongestValue);
}

QStringList ProfileFile::keys(const QString &section) const
{
    QStringList names;
    const qsizetype header = findSection(section);
    if (header < 0)
        return names;
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        QString name;
        if (keyOf(m_lines[i], name))
            names << name;
    }
    return names;
}

bool ProfileFile::write(const QString &section, const QString &key, const QString &value)
{
    // Another program may have changed the file since it was read.
    reload();
    QStringList lines = m_lines;
    const QString entry = key + QLatin1Char('=') + value;
    const qsizetype header = findSection(section);
    if (header < 0) {
        lines << QLatin1Char('[') + section + QLatin1Char(']') << entry;
    } else if (const qsizetype line = findKey(header, key); line >= 0) {
        // The key stays as written, with its letters and blanks; only the
        // value changes.
        const QString &old = lines[line];
        qsizetype valueStart = old.indexOf(QLatin1Char('=')) + 1;
        while (valueStart < old.size() && (old[valueStart] == QLatin1Char(' ') || old[valueStart] == QLatin1Char('\t')))
            ++valueStart;
        lines[line] = old.left(valueStart) + value;
    } else {
        // After the section's last non-blank line.
        qsizetype at = sectionEnd(header);
        while (at > header + 1 && lines[at - 1].trimmed().isEmpty())
            --at;
        lines.insert(at, entry);
    }

    QDir().mkpath(QFileInfo(m_path).absolutePath()); // a first run may find no folder
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray text = (lines.join(QLatin1String("\r\n")) + QLatin1String("\r\n")).toUtf8();
    if (file.write(text) != text.size() || !file.commit())
        return false;
    m_lines = lines;
    return true;
}
