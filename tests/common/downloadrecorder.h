#pragma once

#include "download/downloadengine.h"

#include <QList>
#include <QObject>
#include <QStringList>

// A front end for the download that records what the engine reports, as a
// window would show it.
class DownloadRecorder : public QObject {
public:
    explicit DownloadRecorder(DownloadEngine &engine)
    {
        connect(&engine, &DownloadEngine::statusChanged, this,
                [this](const QString &text) { statusTexts << text; });
        connect(&engine, &DownloadEngine::progressStarted, this, [this](int maximum) {
            progressMaximum = maximum;
            progressVisible = true;
        });
        connect(&engine, &DownloadEngine::progressChanged, this,
                [this](int position) { progressPositions << position; });
        connect(&engine, &DownloadEngine::progressEnded, this, [this] { progressVisible = false; });
        connect(&engine, &DownloadEngine::noticed, this,
                [this](const QString &text) { notices << text; });
        connect(&engine, &DownloadEngine::phaseChanged, this,
                [this](DownloadEngine::Phase phase) { phases << phase; });
        connect(&engine, &DownloadEngine::logged, this,
                [this](DownloadEngine::Direction direction, const QByteArray &bytes) {
                    ++logLines;
                    if (!keepLog)
                        return;
                    log << DownloadEngine::logText(direction, bytes);
                    logDirections << direction;
                });
    }

    QStringList statusTexts;
    QStringList log; // "tx: EA", "rx: EB"...
    bool keepLog = true; // false: lines are only counted (a flood would fill the list)
    qint64 logLines = 0;
    QList<DownloadEngine::Direction> logDirections;
    QList<DownloadEngine::Phase> phases;
    QStringList notices; // the system's reasons beyond a box's text
    QList<int> progressPositions;
    int progressMaximum = -1;
    bool progressVisible = false;

    QString status() const { return statusTexts.value(statusTexts.size() - 1); }
};
