#pragma once

#include "flash/rack.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

// How a rack's downloads show in the terminal: on a terminal, one line per
// reader redrawn in place (port, bar, records, percent, elapsed and
// remaining time); otherwise one plain line per reader at its start, at each
// failure and at its end; nothing of that when quiet. The summary table
// always.
class RackView : public QObject {
public:
    enum class Mode { Quiet, Lines, Terminal };

    RackView(const Rack &rack, Mode mode, std::FILE *progress);

    // The table of every reader: port, outcome (the status text), records
    // acknowledged, retries, seconds.
    static QString summary(const Rack &rack);

private:
    void redraw();
    QString progressLine(int index) const;
    void line(const QString &text);

    const Rack &m_rack;
    Mode m_mode;
    std::FILE *m_progress;
    QTimer m_redrawTimer;
    bool m_drawn = false;
};
