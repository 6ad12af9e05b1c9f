#pragma once

#include <QJsonObject>
#include <QString>

// The run's journal: JSON lines appended to a file, each on disk before
// the program goes on, so that after a power cut the file still tells which
// readers finished.
class FlashJournal {
public:
    FlashJournal() = default;
    ~FlashJournal();
    FlashJournal(const FlashJournal &) = delete;
    FlashJournal &operator=(const FlashJournal &) = delete;

    // False with the system's reason when the file cannot be opened.
    bool open(const QString &path, QString &error);
    bool isOpen() const { return m_fd >= 0; }
    // One line: the time, the event and the fields given.
    // A failed write is told once on standard error; the run goes on.
    void write(const QString &event, const QJsonObject &fields);

private:
    int m_fd = -1;
    bool m_failed = false;
};
