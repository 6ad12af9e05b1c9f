#include "common/safefile.h"

#include <QCoreApplication>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SafeFile {

namespace {

constexpr char16_t kEscapeBase = 0xDC00; // U+DC80..U+DCFF: the bytes 0x80..0xFF

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The length of the valid UTF-8 sequence at text[i], or 0.
int sequenceLength(const unsigned char *text, qsizetype i, qsizetype size)
{
    const unsigned char lead = text[i];
    int length = 0;
    char32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > size)
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((text[i + k] & 0xC0) != 0x80)
            return 0;
        value = value << 6 | (text[i + k] & 0x3F);
    }
    const bool overlong = (length == 3 && value < 0x800) || (length == 4 && value < 0x10000);
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    return overlong || surrogate || value > 0x10FFFF ? 0 : length;
}

bool writeAll(int fd, QByteArrayView bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t part
            = ::write(fd, bytes.data() + written, std::size_t(bytes.size() - written));
        if (part < 0 && errno == EINTR)
            continue;
        if (part <= 0)
            return false;
        written += part;
    }
    return true;
}

} // namespace

QString nameFromNative(const QByteArray &name)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(name.constData());
    QString result;
    result.reserve(name.size());
    qsizetype i = 0;
    while (i < name.size()) {
        if (bytes[i] < 0x80) {
            result += QLatin1Char(char(bytes[i]));
            ++i;
        } else if (const int length = sequenceLength(bytes, i, name.size())) {
            result += QString::fromUtf8(name.constData() + i, length);
            i += length;
        } else {
            result += QChar(char16_t(kEscapeBase + bytes[i]));
            ++i;
        }
    }
    return result;
}

QByteArray nativeName(const QString &name)
{
    QByteArray result;
    result.reserve(name.size());
    qsizetype run = 0; // start of the text since the last escaped byte
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i].unicode();
        if (unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF) {
            result += QStringView(name).sliced(run, i - run).toUtf8();
            result += char(unit - kEscapeBase);
            run = i + 1;
        }
    }
    result += QStringView(name).sliced(run).toUtf8();
    return result;
}

namespace {

// The folder a path's last component lies in.
QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

// Whether the kernel's rule for links in shared folders (fs.protected_symlinks,
// off on some systems and in many containers) would refuse to follow the
// links at the end of path: a link in a sticky, world-writable folder is
// followed only when its owner is this process's user or the folder's owner.
// Another user's link planted in /tmp must not make us replace a file of ours.
bool plantedLink(QByteArray path)
{
    for (int depth = 0; depth < 40; ++depth) {
        struct stat link { };
        if (::lstat(path.constData(), &link) != 0 || !S_ISLNK(link.st_mode))
            return false;
        const QByteArray folder = folderOf(path);
        struct stat shared { };
        if (::stat(folder.constData(), &shared) == 0 && (shared.st_mode & S_ISVTX) != 0
            && (shared.st_mode & S_IWOTH) != 0 && link.st_uid != ::geteuid()
            && link.st_uid != shared.st_uid)
            return true;
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path.constData(), target, sizeof target - 1);
        if (length < 0)
            return false;
        const QByteArray next(target, length);
        path = next.startsWith('/') ? next : folder + '/' + next;
    }
    return false;
}

} // namespace

QString refusal(const QString &path)
{
    const QByteArray name = nativeName(path);
    struct stat entry { };
    if (::lstat(name.constData(), &entry) != 0)
        return {}; // nothing there yet
    if (plantedLink(name))
        return QCoreApplication::translate(
                   "SafeFile", "%1 is a symbolic link owned by another user in a shared folder")
            .arg(path);
    struct stat target { };
    if (::stat(name.constData(), &target) != 0) {
        return errno == ELOOP
            ? QCoreApplication::translate("SafeFile", "%1 is a loop of symbolic links").arg(path)
            : QCoreApplication::translate("SafeFile", "%1 is a symbolic link to nothing").arg(path);
    }
    if (!S_ISREG(target.st_mode))
        return QCoreApplication::translate("SafeFile", "%1 is not a regular file").arg(path);
    // Renaming over it would replace even a file someone protected (and
    // root may write anything): without any write permission it stays.
    if ((target.st_mode & 0222) == 0 || ::access(name.constData(), W_OK) != 0)
        return QCoreApplication::translate("SafeFile", "%1 is read-only").arg(path);
    return {};
}

QString cannotWrite(const QString &path)
{
    QString why = refusal(path);
    if (!why.isEmpty())
        return why;
    QByteArray target = nativeName(path);
    if (char *real = ::realpath(target.constData(), nullptr)) {
        target = real; // through a link, the file it leads to is written
        std::free(real);
    }
    const QByteArray folder = folderOf(target);
    const QString shown = nameFromNative(folder);
    struct stat entry { };
    if (::stat(folder.constData(), &entry) != 0)
        return QStringLiteral("%1: %2").arg(shown, systemText(errno));
    if (!S_ISDIR(entry.st_mode))
        return QCoreApplication::translate("SafeFile", "%1 is not a folder").arg(shown);
    if (::access(folder.constData(), W_OK | X_OK) != 0)
        return QCoreApplication::translate("SafeFile", "%1: the folder is not writable (%2)")
            .arg(shown, systemText(errno));
    return {};
}

bool write(const QString &path, QByteArrayView bytes, QString &error)
{
    error = refusal(path);
    if (!error.isEmpty())
        return false;
    QByteArray target = nativeName(path);
    // Through a symbolic link the file it leads to is replaced; the link
    // stays. Asked again on the link about to be followed: one planted
    // since refusal() looked must not be.
    struct stat entry { };
    if (::lstat(target.constData(), &entry) == 0 && S_ISLNK(entry.st_mode)) {
        if (plantedLink(target)) {
            error
                = QCoreApplication::translate(
                      "SafeFile", "%1 is a symbolic link owned by another user in a shared folder")
                      .arg(path);
            return false;
        }
        char *real = ::realpath(target.constData(), nullptr);
        if (!real) {
            error = systemText(errno);
            return false;
        }
        target = real;
        std::free(real);
    }
    struct stat existing { };
    const bool exists = ::stat(target.constData(), &existing) == 0;

    // The new contents go to a file of their own beside the target, which
    // takes the target's place in one rename once every byte is on disk.
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary
            = target + ".new-" + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            error = systemText(errno);
            return false;
        }
    }
    if (fd < 0) {
        error = systemText(EEXIST);
        return false;
    }
    if (exists)
        ::fchmod(fd, existing.st_mode & 07777);
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 && written) {
        error = systemText(errno);
        ::unlink(temporary.constData());
        return false;
    }
    if (!written) {
        error = systemText(writeError);
        ::unlink(temporary.constData());
        return false;
    }
    if (::rename(temporary.constData(), target.constData()) != 0) {
        error = systemText(errno);
        ::unlink(temporary.constData());
        return false;
    }
    // The new name is on disk only once its folder is: after a power cut the
    // old file would be back.
    const int folder = ::open(folderOf(target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

bool openForReading(QFile &file, const QString &path, QString &error)
{
    // Non-blocking: opening a FIFO for reading would wait for a writer.
    const int fd = ::open(nativeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = systemText(errno);
        return false;
    }
    struct stat info { };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        error = QCoreApplication::translate("SafeFile", "not a regular file");
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
