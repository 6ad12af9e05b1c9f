#pragma once

// A file system that is full, for tests of what a full disk does: a 64 KiB
// tmpfs mounted in a temporary folder (only root may mount one; the tests
// are skipped with a message otherwise), filled once the test's own files
// are in place.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

class FullDisk {
public:
    FullDisk()
    {
        if (::geteuid() != 0) {
            m_why = QStringLiteral("a full disk needs a tmpfs, which only root may mount");
            return;
        }
        if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, "size=64k")
            != 0) {
            m_why = QStringLiteral("cannot mount a tmpfs: %1")
                        .arg(QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        m_mounted = true;
    }
    ~FullDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

    bool mounted() const { return m_mounted; }
    // Why there is no full disk to test with.
    const QString &why() const { return m_why; }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString folder() const { return m_dir.path(); }

    // Takes every block left; true when the disk is full.
    bool fill()
    {
        QFile filler(path(QStringLiteral(".filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size()) { }
        const QByteArray byte(1, 'x');
        while (filler.write(byte) == 1) { }
        return filler.error() != QFileDevice::NoError;
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_why;
};

// In a test function: a full disk, or the test skipped with the reason.
#define FULL_DISK_OR_SKIP(disk)                                                                    \
    FullDisk disk;                                                                                 \
    if (!disk.mounted())                                                                           \
        QSKIP(qPrintable(disk.why()));
