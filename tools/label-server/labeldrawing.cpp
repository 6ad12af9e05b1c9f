#include "labeldrawing.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QXmlStreamReader>

namespace {

const QStringList kPlainAttributes = {QStringLiteral("x"),           QStringLiteral("y"),
                                      QStringLiteral("font-family"), QStringLiteral("font-size"),
                                      QStringLiteral("font-weight"), QStringLiteral("fill"),
                                      QStringLiteral("text-anchor")};

QColor colourOf(const QString &fill)
{
    static const QRegularExpression rgb(QStringLiteral(R"(^\s*rgb\(\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*\)\s*$)"));
    const QRegularExpressionMatch match = rgb.match(fill);
    if (match.hasMatch())
        return QColor(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    const QColor named = QColor::fromString(fill);
    return named.isValid() ? named : QColor(Qt::black);
}

QString firstFamily(const QString &families)
{
    QString family = families.section(QLatin1Char(','), 0, 0).trimmed();
    family.remove(QLatin1Char('\'')).remove(QLatin1Char('"'));
    return family;
}

} // namespace

LabelDrawing::LabelDrawing(const QByteArray &svg)
{
    const QString text = QString::fromUtf8(svg);
    QString rest;
    qsizetype copied = 0;
    QXmlStreamReader reader(text);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("svg") && m_viewBox.isNull()) {
            const QStringList box = reader.attributes().value(QLatin1String("viewBox")).toString().split(
                QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
            if (box.size() == 4)
                m_viewBox = QRectF(box[0].toDouble(), box[1].toDouble(), box[2].toDouble(), box[3].toDouble());
        }
        if (!reader.isStartElement() || reader.name() != QLatin1String("text"))
            continue;

        const qsizetype start = text.lastIndexOf(QLatin1String("<text"), qsizetype(reader.characterOffset()) - 1);
        const QXmlStreamAttributes attributes = reader.attributes();
        bool plain = start >= copied;
        for (const QXmlStreamAttribute &attribute : attributes)
            plain = plain && kPlainAttributes.contains(attribute.name().toString());
        Text item;
        item.position = QPointF(attributes.value(QLatin1String("x")).toDouble(),
                                attributes.value(QLatin1String("y")).toDouble());
        item.family = firstFamily(attributes.value(QLatin1String("font-family")).toString());
        if (attributes.hasAttribute(QLatin1String("font-size")))
            item.size = attributes.value(QLatin1String("font-size")).toDouble();
        item.bold = attributes.value(QLatin1String("font-weight")) == QLatin1String("bold");
        if (attributes.hasAttribute(QLatin1String("fill")))
            item.colour = colourOf(attributes.value(QLatin1String("fill")).toString());
        item.anchor = attributes.value(QLatin1String("text-anchor")).toString();
        // Characters only: anything nested is left to the SVG renderer.
        while (!reader.atEnd()) {
            reader.readNext();
            if (reader.isCharacters())
                item.content += reader.text();
            else if (reader.isEndElement())
                break;
            else
                plain = false;
        }
        if (!plain || reader.hasError())
            continue;
        rest += QStringView(text).mid(copied, start - copied);
        copied = qsizetype(reader.characterOffset());
        m_texts << item;
    }
    rest += QStringView(text).mid(copied);
    m_rest = rest.toUtf8();
    m_valid = !reader.hasError() && QSvgRenderer(m_rest).isValid();
    if (m_viewBox.isNull())
        m_viewBox = QSvgRenderer(m_rest).viewBoxF();
}

void LabelDrawing::render(QPainter &painter, const QRectF &bounds) const
{
    QSvgRenderer(m_rest).render(&painter, bounds);

    painter.save();
    painter.translate(bounds.topLeft());
    painter.scale(bounds.width() / m_viewBox.width(), bounds.height() / m_viewBox.height());
    painter.translate(-m_viewBox.topLeft());
    for (const Text &item : m_texts) {
        QFont font(item.family);
        font.setPixelSize(qMax(1, qRound(item.size)));
        font.setBold(item.bold);
        painter.setFont(font);
        painter.setPen(item.colour);
        const double width = QFontMetricsF(font).horizontalAdvance(item.content);
        QPointF at = item.position;
        if (item.anchor == QLatin1String("middle"))
            at.rx() -= width / 2;
        else if (item.anchor == QLatin1String("end"))
            at.rx() -= width;
        painter.drawText(at, item.content);
    }
    painter.restore();
}
