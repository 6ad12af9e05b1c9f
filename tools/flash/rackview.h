#pragma once

#include "flash/rack.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

// How a rack's downloads show in the terminal: on a terminal, one line per
// reader redrawn in place (port, bar, records, percent, elapsed and
// remaining time), or, when the readers do not fit, one line of totals and
// the readers that failed or are slowest; otherwise one plain line, with
// its time, per reader at its start, at each failure and at its end;
// nothing of that when quiet. The summary always.
class RackView : public QObject {
public:
    enum class Mode { Quiet, Lines, Terminal };

    RackView(const Rack &rack, Mode mode, std::FILE *progress);

    // A line of its own on the progress stream (on a terminal, the next
    // frame is drawn below it).
    void note(const QString &text);

    // The table of every reader (port, outcome as the status text, records
    // acknowledged, retries, seconds), then the totals line.
    static QString summary(const Rack &rack);
    // The readers that did not complete, then the totals line.
    static QString failedAndTotals(const Rack &rack);

private:
    void redraw();
    QList<QByteArray> readerLines() const;
    QList<QByteArray> compactLines(int rows) const;
    QString progressLine(int index) const;
    void line(const QString &text);

    const Rack &m_rack;
    Mode m_mode;
    std::FILE *m_progress;
    QTimer m_redrawTimer;
    QElapsedTimer m_clock;
    int m_linesDrawn = 0;
};
