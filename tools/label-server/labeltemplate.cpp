#include "label-server/labeltemplate.h"

#include "common/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

namespace {

const QRegularExpression kPlaceholder(QStringLiteral(R"(\{\{\s*([A-Za-z0-9_.\-]+)\s*\}\})"));

QString decodedEntities(QString text)
{
    // Character references first: "&#47;" is a slash as well.
    static const QRegularExpression reference(
        QStringLiteral(R"(&#(x[0-9A-Fa-f]{1,6}|[0-9]{1,7});)"));
    for (QRegularExpressionMatch match; (match = reference.match(text)).hasMatch();) {
        const QString code = match.captured(1);
        const uint value
            = code.startsWith(QLatin1Char('x')) ? code.mid(1).toUInt(nullptr, 16) : code.toUInt();
        const char32_t character = value > 0 && value <= 0x10FFFF ? value : U'\uFFFD';
        text.replace(match.capturedStart(), match.capturedLength(),
                     QString::fromUcs4(&character, 1));
    }
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
    label.m_folder = QFileInfo(fileName).absolutePath();
    // Comments draw nothing; a placeholder in one must not be filled (a "--"
    // in a value would break the comment and with it the drawing).
    static const QRegularExpression comment(QStringLiteral("<!--.*?-->"),
                                            QRegularExpression::DotMatchesEverythingOption);
    const QString text = QString::fromUtf8(file.readAll()).remove(comment);
    label.m_svg = text.toUtf8();
    // Entities a document type declares could make elements no check sees.
    if (text.contains(QLatin1String("<!DOCTYPE"), Qt::CaseInsensitive)
        || text.contains(QLatin1String("<!ENTITY"), Qt::CaseInsensitive))
        return fail(QStringLiteral("a label has no document type declaration"));

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
            label.m_folder = folder;
            label.m_pdf = QDir::cleanPath(QDir(folder).absoluteFilePath(pdf));
            if (QDir::isAbsolutePath(pdf) || !label.m_pdf.startsWith(folder + QLatin1Char('/'))
                || !label.pdfInsideFolder())
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

qint64 LabelTemplate::filledSize() const
{
    const QString text = QString::fromUtf8(m_svg);
    QHash<QString, qint64> valueSizes; // each value escaped once
    qint64 size = m_svg.size();
    for (QRegularExpressionMatchIterator it = kPlaceholder.globalMatch(text);
         it.hasNext() && size <= kMaximumFilledSize;) {
        const QRegularExpressionMatch match = it.next();
        const QString name = match.captured(1).toLower();
        auto value = valueSizes.constFind(name);
        if (value == valueSizes.cend())
            value = valueSizes.insert(name, escaped(m_values.value(name)).toUtf8().size());
        size += *value - match.capturedLength(0);
    }
    return size;
}

namespace {

// Whether a real path lies inside a folder's real path.
bool inside(const QString &realPath, const QString &folder)
{
    const QString realFolder = QFileInfo(folder).canonicalFilePath();
    return !realPath.isEmpty() && !realFolder.isEmpty()
        && (realPath == realFolder || realPath.startsWith(realFolder + QLatin1Char('/')));
}

// Images only from the label's folder: a label, or a value filled into one,
// must not pull any picture the server can read into a sticker.
QString restrictedImages(const QString &svg, const QString &folder, QStringList *leftOut)
{
    // Any prefix, and a ">" inside a quoted attribute does not end the tag.
    static const QRegularExpression image(
        QStringLiteral(R"re(<(?:[\w.-]+:)?image\b(?:[^>"']|"[^"]*"|'[^']*')*>)re"));
    static const QRegularExpression href(
        QStringLiteral(R"re((?<![\w.-])((?:[\w.-]+:)?href)\s*=\s*(?:"([^"]*)"|'([^']*)'))re"));
    QString result;
    qsizetype last = 0;
    for (QRegularExpressionMatchIterator it = image.globalMatch(svg); it.hasNext();) {
        const QRegularExpressionMatch element = it.next();
        QString tag = element.captured(0);
        QList<QRegularExpressionMatch> references;
        for (QRegularExpressionMatchIterator at = href.globalMatch(tag); at.hasNext();)
            references.prepend(at.next()); // replaced from the end: offsets hold
        for (const QRegularExpressionMatch &reference : references) {
            const QString value
                = decodedEntities(reference.captured(2).isNull() ? reference.captured(3)
                                                                 : reference.captured(2))
                      .trimmed();
            if (value.startsWith(QLatin1String("data:"), Qt::CaseInsensitive))
                continue;
            QString path = value;
            if (path.startsWith(QLatin1String("file://"), Qt::CaseInsensitive))
                path = path.mid(7);
            const QString real = QFileInfo(QDir(folder).absoluteFilePath(path)).canonicalFilePath();
            QString kept;
            if (inside(real, folder))
                kept = escaped(real);
            else if (leftOut)
                *leftOut << value;
            tag.replace(reference.capturedStart(), reference.capturedLength(),
                        QStringLiteral("%1=\"%2\"").arg(reference.captured(1), kept));
        }
        result += QStringView(svg).mid(last, element.capturedStart() - last);
        result += tag;
        last = element.capturedEnd();
    }
    result += QStringView(svg).mid(last);
    return result;
}

} // namespace

QByteArray LabelTemplate::filledSvg(QStringList *leftOut) const
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
    return restrictedImages(filled, m_folder, leftOut).toUtf8();
}

bool LabelTemplate::pdfInsideFolder() const
{
    return m_pdf.isEmpty()
        || inside(QFileInfo(QFileInfo(m_pdf).absolutePath()).canonicalFilePath(), m_folder);
}
