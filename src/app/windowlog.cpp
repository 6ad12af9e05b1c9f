#include "app/windowlog.h"

#include <QWidget>

Q_LOGGING_CATEGORY(lcWindow, "corvant.window")

namespace WindowLog {

namespace {

bool named(const QWidget *widget)
{
    const QString name = widget->objectName();
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

} // namespace

QString controlName(const QWidget *widget)
{
    if (!widget)
        return QStringLiteral("(none)");
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        if (named(w))
            return w->objectName();
        if (w->isWindow())
            return w->windowTitle();
    }
    return {};
}

void logControls(const QWidget &window)
{
    if (!lcWindow().isDebugEnabled())
        return;
    const QList<QWidget *> children = window.findChildren<QWidget *>();
    for (const QWidget *control : children) {
        if (!named(control) || !control->isVisible() || control->window() != &window)
            continue;
        const QRect place(control->mapTo(&window, QPoint(0, 0)), control->size());
        qCDebug(lcWindow).noquote() << "control" << control->objectName() << place.x() << place.y()
                                    << place.width() << place.height();
    }
}

QString oneLine(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String(" / "))
        .replace(QLatin1Char('\r'), QLatin1String(" / "))
        .replace(QLatin1Char('\n'), QLatin1String(" / "));
}

} // namespace WindowLog
