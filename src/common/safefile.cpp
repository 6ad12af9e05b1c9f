#include "safefile.h"

#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SafeFile {

namespace {

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString refusal(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat entry {};
    if (::lstat(name.constData(), &entry) != 0)
        return {}; // nothing there yet
    struct stat target {};
    if (::stat(name.constData(), &target) != 0) {
        return errno == ELOOP ? QStringLiteral("%1 is a loop of symbolic links").arg(path)
                              : QStringLiteral("%1 is a symbolic link to nothing").arg(path);
    }
    if (!S_ISREG(target.st_mode))
        return QStringLiteral("%1 is not a regular file").arg(path);
    return {};
}

bool write(const QString &path, QByteArrayView bytes, QString &error)
{
    error = refusal(path);
    if (!error.isEmpty())
        return false;
    QSaveFile file(path);
    // Unbuffered, so a full disk shows in the write that hit it and never
    // hides in a buffer flushed when the file is committed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        error = file.errorString();
        return false;
    }
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 part = file.write(bytes.data() + written, bytes.size() - written);
        if (part <= 0) {
            error = file.errorString();
            file.cancelWriting();
            return false;
        }
        written += part;
    }
    if (!file.flush() || !file.commit()) {
        error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

bool openForReading(QFile &file, const QString &path, QString &error)
{
    // Non-blocking: opening a FIFO for reading would wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = systemText(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        error = QStringLiteral("not a regular file");
        return false;
    }
    // Regular files never block; reads go on as usual.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        error = file.errorString();
        return false;
    }
    return true;
}

} // namespace SafeFile
