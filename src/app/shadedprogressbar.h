#pragma once

#include <QProgressBar>

// The download's progress bar: a bar shaded from green (0, 160, 0) at its top
// to green (0, 224, 0) at its bottom, on the palette's own background and
// frame, so it follows a dark theme and a theme changed while it runs.
class ShadedProgressBar : public QProgressBar {
    Q_OBJECT

public:
    using QProgressBar::QProgressBar;

protected:
    void paintEvent(QPaintEvent *event) override;
};
