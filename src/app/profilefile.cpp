#include "app/profilefile.h"

#include "common/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr qsizetype kLongestValue = 2047;

QByteArray trimmedBlanks(QByteArrayView bytes)
{
    qsizetype start = 0;
    qsizetype end = bytes.size();
    while (start < end && (bytes[start] == ' ' || bytes[start] == '\t'))
        ++start;
    while (end > start && (bytes[end - 1] == ' ' || bytes[end - 1] == '\t'))
        --end;
    return bytes.sliced(start, end - start).toByteArray();
}

bool isSectionLine(const QByteArray &line, QString *name = nullptr)
{
    const QByteArray trimmed = trimmedBlanks(line);
    if (!trimmed.startsWith('['))
        return false;
    const qsizetype close = trimmed.indexOf(']');
    if (close < 0)
        return false;
    if (name)
        *name = QString::fromUtf8(trimmedBlanks(trimmed.mid(1, close - 1)));
    return true;
}

// The key of a "key=value" line, or nothing for other lines.
bool keyOf(const QByteArray &line, QString &key)
{
    const qsizetype equals = line.indexOf('=');
    if (equals < 0 || trimmedBlanks(line).startsWith(';'))
        return false;
    key = QString::fromUtf8(trimmedBlanks(QByteArrayView(line).first(equals)));
    return true;
}

} // namespace

ProfileFile::ProfileFile(QString path)
    : m_path(std::move(path))
{
    reload();
}

QList<ProfileFile::Line> ProfileFile::splitLines(const QByteArray &bytes)
{
    QList<Line> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = start;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        qsizetype next = end;
        if (next < bytes.size() && bytes[next] == '\r')
            ++next;
        if (next < bytes.size() && bytes[next] == '\n' && (next == end || bytes[next - 1] == '\r'))
            ++next;
        lines.append({bytes.mid(start, end - start), bytes.mid(end, next - end)});
        start = next;
    }
    return lines;
}

void ProfileFile::reload()
{
    m_lines.clear();
    // A FIFO or a device in its place is no settings file, and must not
    // block the start.
    QFile file;
    QString error;
    if (!SafeFile::openForReading(file, m_path, error))
        return;
    m_lines = splitLines(file.readAll());
}

qsizetype ProfileFile::findSection(const QString &section) const
{
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        QString name;
        if (isSectionLine(m_lines[i].text, &name)
            && name.compare(section, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

qsizetype ProfileFile::sectionEnd(qsizetype header) const
{
    qsizetype i = header + 1;
    while (i < m_lines.size() && !isSectionLine(m_lines[i].text))
        ++i;
    return i;
}

qsizetype ProfileFile::findKey(qsizetype header, const QString &key) const
{
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        QString name;
        if (keyOf(m_lines[i].text, name) && name.compare(key, Qt::CaseInsensitive) == 0)
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
    const QByteArray &text = m_lines[line].text;
    QByteArray value = trimmedBlanks(QByteArrayView(text).sliced(text.indexOf('=') + 1));
    if (value.size() >= 2
        && ((value.startsWith('"') && value.endsWith('"'))
            || (value.startsWith('\'') && value.endsWith('\''))))
        value = value.mid(1, value.size() - 2);
    // Bytes that are not UTF-8 (a Latin-1 file name) come back unchanged
    // when the value is written again.
    return SafeFile::nameFromNative(value).left(kLongestValue);
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
        if (keyOf(m_lines[i].text, name))
            names << name;
    }
    return names;
}

bool ProfileFile::write(const QString &section, const QString &key, const QString &value)
{
    // Another program may have changed the file since it was read.
    reload();
    QList<Line> lines = m_lines;
    const QByteArray newLine("\r\n");
    // A line added after a last line without a terminator gets one.
    const auto insert = [&lines, &newLine](qsizetype at, const QByteArray &text) {
        if (at > 0 && lines[at - 1].end.isEmpty())
            lines[at - 1].end = newLine;
        lines.insert(at, {text, newLine});
    };
    const QByteArray entry = (key + QLatin1Char('=')).toUtf8() + SafeFile::nativeName(value);
    const qsizetype header = findSection(section);
    if (header < 0) {
        insert(lines.size(), (QLatin1Char('[') + section + QLatin1Char(']')).toUtf8());
        insert(lines.size(), entry);
    } else if (const qsizetype line = findKey(header, key); line >= 0) {
        // The key stays as written, with its letters and blanks; only the
        // value changes. Every other line keeps its bytes, whatever their
        // encoding.
        const QByteArray &old = lines[line].text;
        qsizetype valueStart = old.indexOf('=') + 1;
        while (valueStart < old.size() && (old[valueStart] == ' ' || old[valueStart] == '\t'))
            ++valueStart;
        lines[line].text = old.left(valueStart) + SafeFile::nativeName(value);
    } else {
        // After the section's last non-blank line.
        qsizetype at = sectionEnd(header);
        while (at > header + 1 && trimmedBlanks(lines[at - 1].text).isEmpty())
            --at;
        insert(at, entry);
    }

    QDir().mkpath(QFileInfo(m_path).absolutePath()); // a first run may find no folder
    QByteArray bytes;
    for (const Line &line : std::as_const(lines))
        bytes += line.text + line.end;
    QString error;
    if (!SafeFile::write(m_path, bytes, error))
        return false;
    m_lines = lines;
    return true;
}
