#include "settings/profilefile.h"

#include "common/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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
    m_tooLarge = false;
    QFile file;
    QString error;
    if (!SafeFile::openForReading(file, m_path, error))
        return;
    // Read whole, a file of any size would cost memory several times over.
    const QByteArray bytes
        = file.size() > kLargestFile ? QByteArray() : file.read(kLargestFile + 1);
    // Also a file that grew since its size was asked.
    if (file.size() > kLargestFile || bytes.size() > kLargestFile) {
        m_tooLarge = true;
        return;
    }
    m_lines = splitLines(bytes);
}

bool ProfileFile::contains(const QString &section, const QString &key) const
{
    const qsizetype header = findSection(section);
    return header >= 0 && findKey(header, key) >= 0;
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

namespace {

// The lock the programs sharing a settings file take turns by; -1 when it
// could not be had within a few seconds.
int lockSettings(const QString &path)
{
    const int fd = ::open(SafeFile::nativeName(path + QStringLiteral(".lock")).constData(),
                          O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0)
        return -1;
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return fd;
        if (errno != EWOULDBLOCK)
            break;
        ::usleep(50000);
    }
    ::close(fd);
    return -1;
}

} // namespace

void ProfileFile::apply(const Change &change)
{
    const QByteArray newLine("\r\n");
    // A line added after a last line without a terminator gets one.
    const auto insert = [this, &newLine](qsizetype at, const QByteArray &text) {
        if (at > 0 && m_lines[at - 1].end.isEmpty())
            m_lines[at - 1].end = newLine;
        m_lines.insert(at, {text, newLine});
    };
    const QByteArray entry
        = (change.key + QLatin1Char('=')).toUtf8() + SafeFile::nativeName(change.value);
    const qsizetype header = findSection(change.section);
    if (header < 0) {
        insert(m_lines.size(), (QLatin1Char('[') + change.section + QLatin1Char(']')).toUtf8());
        insert(m_lines.size(), entry);
    } else if (const qsizetype line = findKey(header, change.key); line >= 0) {
        // The key stays as written, with its letters and blanks; only the
        // value changes. Every other line keeps its bytes, whatever their
        // encoding.
        const QByteArray &old = m_lines[line].text;
        qsizetype valueStart = old.indexOf('=') + 1;
        while (valueStart < old.size() && (old[valueStart] == ' ' || old[valueStart] == '\t'))
            ++valueStart;
        m_lines[line].text = old.left(valueStart) + SafeFile::nativeName(change.value);
    } else {
        // After the section's last non-blank line.
        qsizetype at = sectionEnd(header);
        while (at > header + 1 && trimmedBlanks(m_lines[at - 1].text).isEmpty())
            --at;
        insert(at, entry);
    }
}

bool ProfileFile::write(const QList<Change> &changes)
{
    QDir().mkpath(QFileInfo(m_path).absolutePath()); // a first run may find no folder
    const int lock = lockSettings(m_path);
    if (lock < 0)
        return false;
    // Another program may have changed the file since it was read: its
    // keys stay as it wrote them.
    reload();
    bool written = false;
    if (!m_tooLarge) {
        const QList<Line> before = m_lines;
        for (const Change &change : changes) {
            if (!change.onlyIfMissing || !contains(change.section, change.key))
                apply(change);
        }
        if (m_lines.size() == before.size()
            && std::equal(
                m_lines.begin(), m_lines.end(), before.begin(),
                [](const Line &a, const Line &b) { return a.text == b.text && a.end == b.end; })) {
            ::close(lock);
            return true; // nothing to change: the file is not rewritten
        }
        QByteArray bytes;
        for (const Line &line : std::as_const(m_lines))
            bytes += line.text + line.end;
        QString error;
        written = SafeFile::write(m_path, bytes, error);
        if (!written)
            m_lines = before;
    }
    ::close(lock);
    return written;
}
