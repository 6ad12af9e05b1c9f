#include "app/frameplacement.h"

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
        m_requestedClient = m_window.geometry().topLeft();
        apply();
        return;
    }
    const QMargins margins = m_knownMargins;
    const QPoint corner = m_target(m_window.size().grownBy(margins));
    if (!m_window.testAttribute(Qt::WA_WState_Created)) {
        // Before the window first exists a move names the frame's corner.
        m_window.move(corner);
    } else {
        // A window shown before and hidden: the client area goes inside the
        // frame it had, so the window manager maps it where it belongs.
        m_window.setGeometry(
            QRect(corner + QPoint(margins.left(), margins.top()), m_window.size()));
    }
    m_requestedClient = m_window.geometry().topLeft();
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
    // The window manager either kept the client area where it was asked to
    // be or put the frame there; anywhere else, somebody moved the window
    // meanwhile, and that move stands.
    const QPoint client = m_window.geometry().topLeft();
    if (client != m_requestedClient
        && client != m_requestedClient + QPoint(margins.left(), margins.top()))
        return;
    const QPoint corner = m_target(m_window.size().grownBy(margins));
    if (m_window.frameGeometry().topLeft() == corner)
        return;
    // Once shown, a move may be taken for the client area's corner: the
    // client area is placed instead, inside the frame.
    m_window.setGeometry(QRect(corner + QPoint(margins.left(), margins.top()), m_window.size()));
}
