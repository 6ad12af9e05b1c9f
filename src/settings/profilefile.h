#pragma once

#include <QString>
#include <QStringList>

// A settings file under the Windows profile-file rules: "[section]" lines,
// then "key=value" lines. Section and key names compare without regard to
// case; a value is the raw text after '=' (no escapes: C:\fw\new,v2.hex reads
// back as written), without surrounding blanks or one pair of quotes, at most
// 2047 characters, read as UTF-8 (bytes that are not UTF-8 are kept as
// SafeFile::nameFromNative() keeps them). The file is bytes: writing a key keeps
// every other line byte for byte, terminators included, whatever its
// encoding, and replaces the file as a whole once it is completely on disk,
// so it is never left half written or empty.
//
// Programs sharing the file take turns: a write holds an advisory lock
// (flock on PATH.lock) while it reads the file again and replaces it, so
// two windows closing at once each change only their own keys. A file over
// 1 MiB is no settings file: it is not read, and never rewritten.
class ProfileFile {
public:
    static constexpr qint64 kLargestFile = 1024 * 1024;

    struct Change {
        QString section;
        QString key;
        QString value;
        bool onlyIfMissing = false; // a key the file has keeps its value
    };

    explicit ProfileFile(QString path);

    const QString &path() const { return m_path; }

    // Reads the file (again); a missing or unreadable file holds no keys,
    // nor does one over 1 MiB (tooLarge()).
    void reload();
    bool tooLarge() const { return m_tooLarge; }
    bool contains(const QString &section, const QString &key) const;

    QString read(const QString &section, const QString &key, const QString &fallback) const;
    // Every key of a section, in file order.
    QStringList keys(const QString &section) const;

    // Writes the keys, as the file now is, in one replacement of the file.
    // False when it cannot be written (a full disk, a folder or FIFO in its
    // place, over 1 MiB, its lock not had within seconds); the old file is
    // then unchanged.
    bool write(const QList<Change> &changes);
    bool write(const QString &section, const QString &key, const QString &value)
    {
        return write({{section, key, value}});
    }

private:
    struct Line {
        QByteArray text; // without its terminator
        QByteArray end; // CR LF, CR, LF, or nothing for a last line without one
    };
    static QList<Line> splitLines(const QByteArray &bytes);

    // Index of the section's header line, or -1.
    qsizetype findSection(const QString &section) const;
    // Index of the key's line within the section starting at header, or -1.
    qsizetype findKey(qsizetype header, const QString &key) const;
    qsizetype sectionEnd(qsizetype header) const;
    void apply(const Change &change);

    QString m_path;
    QList<Line> m_lines;
    bool m_tooLarge = false;
};
