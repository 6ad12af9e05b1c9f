#pragma once

#include <QByteArrayView>
#include <QFile>
#include <QString>

// Reading and replacing files so that nothing hangs and nothing is lost:
// only regular files are read or replaced (a FIFO, a device or a directory
// is refused, never opened blocking), and a file is replaced only once its
// new contents are completely on disk.
namespace SafeFile {

// File names are bytes. A QString cannot hold bytes that are not UTF-8, so
// those travel as the code units U+DC80..U+DCFF (as Python's
// "surrogateescape" does) and become the same bytes again on the way out:
// a file named in Latin-1 is found, and an output is written under the very
// name it was given.
QString nameFromNative(const QByteArray &name);
QByteArray nativeName(const QString &name);

// Why the file at path must not be replaced: it exists and is not a regular
// file after following symbolic links (a FIFO, a device, a directory, a
// symbolic link leading nowhere or in a loop), or it is read-only. Empty
// when it may be written.
QString refusal(const QString &path);

// Why nothing could be written at path: refusal(path), or its folder is
// missing, no folder, or not writable. Empty when a write would be tried:
// a program that writes its record at its end asks this at its start.
QString cannotWrite(const QString &path);

// Writes bytes as the whole new contents of path: every write and the final
// flush are checked before the new file takes the old one's place. False on
// any failure, with the system's reason in error; the old file is then as it
// was and no other file is left behind.
bool write(const QString &path, QByteArrayView bytes, QString &error);

// Opens path for reading without ever blocking, and only when it is a
// regular file. False with the reason in error otherwise.
bool openForReading(QFile &file, const QString &path, QString &error);

} // namespace SafeFile
