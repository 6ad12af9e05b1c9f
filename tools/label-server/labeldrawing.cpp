#include "label-server/labeldrawing.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QXmlStreamReader>

#include <optional>

namespace {

const QStringList kPlainAttributes
    = {QStringLiteral("x"),           QStringLiteral("y"),           QStringLiteral("font-family"),
       QStringLiteral("font-size"),   QStringLiteral("font-weight"), QStringLiteral("fill"),
       QStringLiteral("text-anchor"), QStringLiteral("id")};

// Elements that may hold a plain text without changing how it is drawn:
// the drawing itself, and groups or links with no attribute but an id.
bool neutralContainer(const QXmlStreamReader &reader)
{
    const QStringView name = reader.name();
    if (name == QLatin1String("svg"))
        return true;
    if (name != QLatin1String("g") && name != QLatin1String("a"))
        return false;
    for (const QXmlStreamAttribute &attribute : reader.attributes()) {
        if (attribute.name() != QLatin1String("id"))
            return false;
    }
    return true;
}

// A number in drawing units ("12" or "12px"); nothing for other units.
std::optional<double> userUnits(QStringView value)
{
    QString text = value.trimmed().toString();
    if (text.endsWith(QLatin1String("px")))
        text.chop(2);
    bool ok = false;
    const double number = text.toDouble(&ok);
    return ok ? std::optional<double>(number) : std::nullopt;
}

// SVG's default white space handling: line breaks go, tabs become blanks,
// runs of blanks become one, none at either end.
QString collapsed(QString text)
{
    text.remove(QLatin1Char('\n'))
        .remove(QLatin1Char('\r'))
        .replace(QLatin1Char('\t'), QLatin1Char(' '));
    return text.simplified();
}

QColor colourOf(const QString &fill)
{
    static const QRegularExpression rgb(
        QStringLiteral(R"(^\s*rgb\(\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*\)\s*$)"));
    const QRegularExpressionMatch match = rgb.match(fill);
    if (match.hasMatch())
        return QColor(match.captured(1).toInt(), match.captured(2).toInt(),
                      match.captured(3).toInt());
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
    QList<bool> neutral; // for each open element: plain texts inside it keep their meaning
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isEndElement() && !neutral.isEmpty())
            neutral.removeLast();
        if (reader.isStartElement() && reader.name() != QLatin1String("text"))
            neutral << ((neutral.isEmpty() || neutral.last()) && neutralContainer(reader));
        if (reader.isStartElement() && reader.name() == QLatin1String("svg")
            && m_viewBox.isNull()) {
            const QStringList box
                = reader.attributes()
                      .value(QLatin1String("viewBox"))
                      .toString()
                      .split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
            if (box.size() == 4)
                m_viewBox = QRectF(box[0].toDouble(), box[1].toDouble(), box[2].toDouble(),
                                   box[3].toDouble());
        }
        if (!reader.isStartElement() || reader.name() != QLatin1String("text"))
            continue;

        const qsizetype start
            = text.lastIndexOf(QLatin1String("<text"), qsizetype(reader.characterOffset()) - 1);
        const QXmlStreamAttributes attributes = reader.attributes();
        bool plain = start >= copied && (neutral.isEmpty() || neutral.last());
        for (const QXmlStreamAttribute &attribute : attributes)
            plain = plain && kPlainAttributes.contains(attribute.name().toString());
        const std::optional<double> x = userUnits(attributes.value(QLatin1String("x")));
        const std::optional<double> y = userUnits(attributes.value(QLatin1String("y")));
        const std::optional<double> size = attributes.hasAttribute(QLatin1String("font-size"))
            ? userUnits(attributes.value(QLatin1String("font-size")))
            : std::optional<double>(16);
        plain = plain && x && y && size && *size > 0;
        Text item;
        item.position = QPointF(x.value_or(0), y.value_or(0));
        item.family = firstFamily(attributes.value(QLatin1String("font-family")).toString());
        item.size = size.value_or(16);
        item.bold = attributes.value(QLatin1String("font-weight")) == QLatin1String("bold");
        if (attributes.hasAttribute(QLatin1String("fill")))
            item.colour = colourOf(attributes.value(QLatin1String("fill")).toString());
        item.anchor = attributes.value(QLatin1String("text-anchor")).toString();
        // Characters only: anything nested is left to the SVG renderer.
        int depth = 0;
        while (!reader.atEnd()) {
            reader.readNext();
            if (reader.isStartElement()) {
                ++depth;
                plain = false;
            } else if (reader.isEndElement()) {
                if (depth-- == 0)
                    break;
            } else if (reader.isCharacters()) {
                item.content += reader.text();
            }
        }
        if (!plain || reader.hasError())
            continue;
        item.content = collapsed(item.content);
        rest += QStringView(text).mid(copied, start - copied);
        copied = qsizetype(reader.characterOffset());
        m_texts << item;
    }
    rest += QStringView(text).mid(copied);
    m_rest = rest.toUtf8();
    if (m_viewBox.isNull())
        m_viewBox = QSvgRenderer(m_rest).viewBoxF();
    m_valid = !reader.hasError() && QSvgRenderer(m_rest).isValid() && !m_viewBox.isEmpty();
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
