#include "frameplacement.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace {

// A window manager frames a new window within moments; later moves are the
// technician's.
constexpr int kFrameDeadlineMs = 2000;

} // namespace

FramePlacement::FramePlacement(QWidget &window)
    : QObject(&window)
    , m_window(window)
{
    m_frameDeadline.setSingleShot(true);
    m_frameDeadline.setInterval(kFrameDeadlineMs);
    connect(&m_frameDeadline, &QTimer::timeout, this, [this] { m_awaitingFrame = false; });
    window.installEventFilter(this);
}

QMargins FramePlacement::frameMargins() const
{
    const QWindow *handle = m_window.windowHandle();
    return handle ? handle->frameMargins() : QMargins();
}

void FramePlacement::place(Target target)
{
    m_target = std::move(target);
    m_awaitingFrame = true;
    if (m_window.isVisible()) {
        apply();
        return;
    }
    // Before the window is shown a move names the frame's corner; the frame
    // is guessed from the last one seen.
    const QMargins margins = m_knownMargins;
    m_window.move(m_target(m_window.size().grownBy(margins)));
}

bool FramePlacement::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != &m_window || !m_awaitingFrame)
        return false;
    switch (event->type()) {
    case QEvent::Show:
        m_frameDeadline.start();
        [[fallthrough]];
    case QEvent::Move:
    case QEvent::Resize:
        if (!frameMargins().isNull()) {
            m_awaitingFrame = false;
            m_frameDeadline.stop();
            // Once the window manager has finished handling the frame.
            QMetaObject::invokeMethod(this, &FramePlacement::apply, Qt::QueuedConnection);
        }
        break;
    default:
        break;
    }
    return false;
}

void FramePlacement::apply()
{
    const QMargins margins = frameMargins();
    if (!margins.isNull())
        m_knownMargins = margins;
    const QPoint corner = m_target(m_window.size().grownBy(margins));
    if (m_window.frameGeometry().topLeft() == corner)
        return;
    // Once shown, a move may be taken for the client area's corner: the
    // client area is placed instead, inside the frame.
    m_window.setGeometry(QRect(corner + QPoint(margins.left(), margins.top()), m_window.size()));
}
