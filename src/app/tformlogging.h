#pragma once

#include "app/frameplacement.h"
#include "download/downloadengine.h"

#include <QTimer>
#include <QWidget>

#include <vector>

class QPlainTextEdit;

// A colour of the logging window.
struct LogColour {
    int red;
    int green;
    int blue;
    friend bool operator==(const LogColour &, const LogColour &) = default;
};

constexpr LogColour kTransmitColour{128, 128, 0}; // olive
constexpr LogColour kReceiveColour{0, 128, 0}; // green

// The program's own notices in the logging window (an unattended run that
// cannot tell a person), apart from the bytes exchanged.
constexpr LogColour kNoticeColour{192, 0, 0};

// The logging window: every message sent to the reader and every batch of
// bytes received, one coloured line each, the newest always in view. Holds at
// most 2000 lines; each further line drops the oldest. Lines are appended in
// batches, what arrived in the last 100 ms (or a window full) as one edit: a
// reader on a network answers within a millisecond, and laying out and
// painting each line on its own made a download with the window open many
// times slower (bench_logging).
class TFormLogging : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMaximumLines = 2000;
    static constexpr int kBatchMilliseconds = 100;
    static constexpr int kMaximumBatch = kMaximumLines;

    explicit TFormLogging(QWidget *parent = nullptr);

    // Add log line: NULs become blanks, blanks and control characters at
    // either end go, then the line is appended in its colour with the next
    // batch.
    void addLogLine(const QString &text, LogColour colour);
    // Appends the lines waiting for their batch now.
    void flushLines();
    // Shows every message the download sends and every batch of bytes it
    // receives, each in its direction's colour, and its notices.
    void follow(const DownloadEngine &download);
    // Opens directly to the right of the given window, as tall as it.
    void showBeside(const QWidget &mainWindow);

    // The viewer, holding every line added so far.
    QPlainTextEdit *viewer()
    {
        flushLines();
        return Viewer;
    }

private:
    struct Line {
        QString text;
        LogColour colour;
    };

    QPlainTextEdit *Viewer;
    std::vector<Line> m_pending; // fewer than kMaximumBatch
    QTimer m_batchTimer;
    FramePlacement m_placement{*this};
    bool m_anyLine = false; // the empty document's block takes the first line
};
