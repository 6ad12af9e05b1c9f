#include "app/shadedprogressbar.h"

#include <QLinearGradient>
#include <QPainter>

void ShadedProgressBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));

    const qint64 span = qint64(maximum()) - minimum();
    if (span <= 0 || value() < minimum())
        return;
    const QRect inside = rect().adjusted(1, 1, -1, -1);
    const int filled = int(inside.width() * (qint64(value()) - minimum()) / span);
    QLinearGradient shade(inside.topLeft(), inside.bottomLeft());
    shade.setColorAt(0, QColor(0, 160, 0));
    shade.setColorAt(1, QColor(0, 224, 0));
    painter.fillRect(QRect(inside.topLeft(), QSize(filled, inside.height())), shade);
}
