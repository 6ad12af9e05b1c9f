#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

class QPainter;

// A filled label ready to draw. Plain text elements (a run of characters
// with position, font, weight, colour and anchor attributes only) are drawn
// as text with the painter, so a PDF keeps them as text (searchable) and a
// printer gets real fonts; everything else is drawn by Qt's SVG renderer,
// which turns text into outlines.
class LabelDrawing {
public:
    explicit LabelDrawing(const QByteArray &svg);

    bool isValid() const { return m_valid; }
    // Draws the label filling bounds.
    void render(QPainter &painter, const QRectF &bounds) const;

    struct Text {
        QPointF position; // baseline point in drawing units
        QString content;
        QString family;
        double size = 16; // drawing units
        bool bold = false;
        QColor colour = Qt::black;
        QString anchor; // start, middle or end
    };
    const QList<Text> &texts() const { return m_texts; }

private:
    QByteArray m_rest; // the drawing without the texts taken out
    QList<Text> m_texts;
    QRectF m_viewBox;
    bool m_valid = false;
};
