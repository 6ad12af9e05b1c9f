#pragma once

// One download with its link, scripted boxes and a recorder of what the
// window would show. Link: FakeLink, driven by hand, or PortLink, a real
// device or loopback TCP.
#include "download/downloadengine.h"
#include "download/downloadquestions.h"
#include "downloadrecorder.h"
#include "scripteddialogs.h"

#include <QSignalSpy>

template<class Link> struct DownloadRig {
    Link link;
    ScriptedDialogs dialogs;
    DialogQuestions questions{dialogs};
    DownloadEngine download;
    DownloadRecorder host{download};
    DownloadJob job;
    QSignalSpy finished{&download, &DownloadEngine::finished};

    template<class... LinkArguments>
    DownloadRig(const QString &port, const QByteArray &hexText, DownloadTiming timing,
                LinkArguments &&...linkArguments)
        : link(std::forward<LinkArguments>(linkArguments)...)
        , download(link, questions, timing)
    {
        job.portText = port;
        job.lines = RecordList::fromText(hexText);
    }

    void start() { download.start(job); }
    // The outcome of the one download that ended; -1 when none did.
    int outcome() const { return finished.size() == 1 ? finished.at(0).at(0).toInt() : -1; }
    // Starts and waits for the end: the outcome, or -1 when none came in time.
    int run(int waitMs = 20000)
    {
        start();
        if (!finished.wait(waitMs) && finished.isEmpty())
            return -1;
        return finished.at(0).at(0).toInt();
    }
};
