#include "labeltemplate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

const QRegularExpression kPlaceholder(QStringLiteral(R"(\{\{\s*([A-Za-z0-9_.\-]+)\s*\}\})"));

QString attribute(const QString &element, const QString &name)
{
    const QRegularExpression pattern(name + QStringLiteral(R"re(\s*=\s*"([^"]*)")re"));
    const QRegularExpressionMatch match = pattern.match(element);
    return match.hasMatch() ? match.captured(1) : QString();
}

// A length of the drawing ("62mm", "2.5in", "300" pixels at 96 per inch) in millimetres.
double millimetres(const QString &length)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^\s*([0-9.]+)\s*(mm|cm|in|pt|px)?\s*$)"));
    const QRegularExpressionMatch match = pattern.match(length);
    if (!match.hasMatch())
        return 0;
    const double value = match.captured(1).toDouble();
    const QString unit = match.captured(2);
    if (unit == QLatin1String("mm"))
        return value;
    if (unit == QLatin1String("cm"))
        return value * 10;
    if (unit == QLatin1String("in"))
        return value * 25.4;
    if (unit == QLatin1String("pt"))
        return value * 25.4 / 72;
    return value * 25.4 / 96;
}

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

} // namespace

std::optional<LabelTemplate> LabelTemplate::load(const QString &fileName, QString *error)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    LabelTemplate label;
    label.m_svg = file.readAll();
    const QString text = QString::fromUtf8(label.m_svg);

    static const QRegularExpression svgElement(QStringLiteral(R"(<svg\b[^>]*>)"));
    const QRegularExpressionMatch svg = svgElement.match(text);
    if (!svg.hasMatch())
        return fail(QStringLiteral("no SVG drawing"));
    label.m_size = QSizeF(millimetres(attribute(svg.captured(0), QStringLiteral("width"))),
                          millimetres(attribute(svg.captured(0), QStringLiteral("height"))));
    if (label.m_size.isEmpty())
        return fail(QStringLiteral("the drawing has no width and height"));

    static const QRegularExpression outputElement(QStringLiteral(R"(<corvant:output\b[^>]*>)"));
    const QRegularExpressionMatch output = outputElement.match(text);
    if (output.hasMatch()) {
        label.m_printer = attribute(output.captured(0), QStringLiteral("printer"));
        const QString pdf = attribute(output.captured(0), QStringLiteral("pdf"));
        if (!pdf.isEmpty())
            label.m_pdf = QFileInfo(fileName).absoluteDir().absoluteFilePath(pdf);
    }

    for (QRegularExpressionMatchIterator it = kPlaceholder.globalMatch(text); it.hasNext();) {
        const QString name = it.next().captured(1);
        if (!label.m_variables.contains(name, Qt::CaseInsensitive))
            label.m_variables << name;
    }
    return label;
}

bool LabelTemplate::setVariable(const QString &name, const QString &value)
{
    if (!m_variables.contains(name, Qt::CaseInsensitive))
        return false;
    m_values[name.toLower()] = value;
    return true;
}

QByteArray LabelTemplate::filledSvg() const
{
    QString text = QString::fromUtf8(m_svg);
    QString filled;
    qsizetype last = 0;
    for (QRegularExpressionMatchIterator it = kPlaceholder.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        filled += QStringView(text).mid(last, match.capturedStart() - last);
        filled += escaped(m_values.value(match.captured(1).toLower()));
        last = match.capturedEnd();
    }
    filled += QStringView(text).mid(last);
    return filled.toUtf8();
}
