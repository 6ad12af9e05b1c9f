#pragma once

#include <QMargins>
#include <QObject>
#include <QPoint>
#include <QSize>
#include <QTimer>

#include <functional>

class QWidget;

// Places a top-level window by the top-left corner of its frame, which is
// what the settings file stores. A window manager adds the frame only once
// the window is on the screen, and many keep the client area where it was
// asked to be, shifting the frame by the frame's own size: a window reopened
// at its stored position would creep by its title bar on every start. So the
// position is set before the window is shown, and checked again as soon as
// the frame is known.
class FramePlacement : public QObject {
public:
    // Where the frame's top-left corner goes, given the frame's size (the
    // window's own size until the frame is known).
    using Target = std::function<QPoint(const QSize &frameSize)>;

    explicit FramePlacement(QWidget &window);

    // Places the window now, and once more when its frame appears.
    void place(Target target);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QMargins frameMargins() const;
    void apply();

    QWidget &m_window;
    Target m_target;
    bool m_awaitingFrame = false;
    QPoint m_requestedClient; // where the client area was asked to go
    QMargins m_knownMargins; // of the last frame seen, for a window shown again
    QTimer m_frameDeadline; // without a window manager no frame ever comes
};
