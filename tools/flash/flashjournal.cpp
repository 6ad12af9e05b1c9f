#include "flash/flashjournal.h"

#include "common/safefile.h"

#include <QDateTime>
#include <QJsonDocument>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

FlashJournal::~FlashJournal()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FlashJournal::open(const QString &path, QString &error)
{
    error = SafeFile::cannotWrite(path);
    if (!error.isEmpty())
        return false;
    m_fd = ::open(SafeFile::nativeName(path).constData(),
                  O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0666);
    if (m_fd < 0)
        error = QString::fromLocal8Bit(std::strerror(errno));
    return m_fd >= 0;
}

void FlashJournal::write(const QString &event, const QJsonObject &fields)
{
    if (m_fd < 0)
        return;
    QJsonObject line = fields;
    if (!line.contains(QStringLiteral("time"))) // a failure keeps its own
        line.insert(QStringLiteral("time"),
                    QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    line.insert(QStringLiteral("event"), event);
    const QByteArray text = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
    // O_APPEND writes a line whole; only a full disk writes less.
    const bool written = ::write(m_fd, text.constData(), std::size_t(text.size())) == text.size()
        && ::fdatasync(m_fd) == 0;
    if (!written && !m_failed) {
        m_failed = true;
        std::fprintf(stderr, "corvant-flash: the journal cannot be written: %s\n",
                     std::strerror(errno));
    }
}
