#include "label-server/labeltemplate.h"

#include "common/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

const QRegularExpression kPlaceholder(QStringLiteral(R"(\{\{\s*([A-Za-z0-9_.\-]+)\s*\}\})"));

QString decodedEntities(QString text)
{
    text.replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&quot;"), QLatin1String("\""))
        .replace(QLatin1String("&apos;"), QLatin1String("'"))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
    return text;
}

// An attribute of an element's start tag: the whole name, either quotes.
QString attribute(const QString &element, const QString &name)
{
    const QRegularExpression pattern(
        QStringLiteral(R"re((?<![\w:.-])%1\s*=\s*(?:"([^"]*)"|'([^']*)'))re").arg(name));
    const QRegularExpressionMatch match = pattern.match(element);
    if (!match.hasMatch())
        return {};
    return decodedEntities(match.captured(1).isNull() ? match.captured(2) : match.captured(1));
}

// A length of the drawing ("62mm", "2.5in", "300" pixels at 96 per inch) in millimetres.
double millimetres(const QString &length)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*([0-9.]+)\s*(mm|cm|in|pt|px)?\s*$)"));
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

// Text for anywhere in the drawing: the five XML specials escaped, and the
// characters XML cannot hold at all dropped.
QString escaped(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            result += QLatin1String("&amp;");
            break;
        case '<':
            result += QLatin1String("&lt;");
            break;
        case '>':
            result += QLatin1String("&gt;");
            break;
        case '"':
            result += QLatin1String("&quot;");
            break;
        case '\'':
            result += QLatin1String("&apos;");
            break;
        default:
            if (c.unicode() >= 0x20 || c == QLatin1Char('\t') || c == QLatin1Char('\n')
                || c == QLatin1Char('\r'))
                result += c;
        }
    }
    return result;
}

} // namespace

std::optional<LabelTemplate> LabelTemplate::load(const QString &fileName, QString *error)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    // Never blocking on a FIFO, never reading a device without end.
    QFile file;
    QString why;
    if (!SafeFile::openForReading(file, fileName, why))
        return fail(why);
    if (file.size() > kMaximumFileSize)
        return fail(QStringLiteral("larger than %1 MiB").arg(kMaximumFileSize / (1024 * 1024)));
    LabelTemplate label;
    // Comments draw nothing; a placeholder in one must not be filled (a "--"
    // in a value would break the comment and with it the drawing).
    static const QRegularExpression comment(QStringLiteral("<!--.*?-->"),
                                            QRegularExpression::DotMatchesEverythingOption);
    const QString text = QString::fromUtf8(file.readAll()).remove(comment);
    label.m_svg = text.toUtf8();

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
        if (!pdf.isEmpty()) {
            // Relative to the label's folder, and never out of it: a label
            // must not make the server write anywhere else.
            const QString folder = QFileInfo(fileName).absolutePath();
            label.m_pdf = QDir::cleanPath(QDir(folder).absoluteFilePath(pdf));
            if (QDir::isAbsolutePath(pdf) || !label.m_pdf.startsWith(folder + QLatin1Char('/')))
                return fail(
                    QStringLiteral("the PDF output %1 lies outside the label's folder").arg(pdf));
        }
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
