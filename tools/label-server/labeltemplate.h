#pragma once

#include <QByteArray>
#include <QMap>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <optional>

// A label file: an SVG drawing whose variables are placeholders in its text,
// {{name}}. An element <corvant:output printer="..."/> or
// <corvant:output pdf="file.pdf"/> (namespace urn:corvant:label) may name the
// printer, or a PDF file to print to (relative to the label's folder);
// without one the system's default printer prints.
class LabelTemplate {
public:
    // Label files are small drawings; anything larger is refused unread.
    static constexpr qint64 kMaximumFileSize = 4 * 1024 * 1024;

    // Nothing when the file cannot be read (not a regular file, larger than
    // the maximum) or is no SVG drawing, or when its PDF output would lie
    // outside the label's folder.
    static std::optional<LabelTemplate> load(const QString &fileName, QString *error = nullptr);

    // The variable names the label holds, in order of appearance.
    const QStringList &variables() const { return m_variables; }
    // Sets a variable's text; false for a name the label does not hold
    // (names compare without regard to case).
    bool setVariable(const QString &name, const QString &value);

    // The largest drawing filledSvg() is allowed to make: the label's 4 MiB
    // and every placeholder filled with a long value multiply.
    static constexpr qint64 kMaximumFilledSize = 16 * 1024 * 1024;
    // The size in bytes of the filled drawing, found without making it.
    qint64 filledSize() const;

    // The drawing with every placeholder replaced by its variable's text
    // (empty for a variable never set), escaped for XML. Images are taken
    // only from files inside the label's folder (real paths, named by their
    // real path) or from data: URIs; any other image is left out, its
    // reference added to leftOut.
    QByteArray filledSvg(QStringList *leftOut = nullptr) const;
    // Whether the PDF file's folder, links resolved, lies inside the
    // label's folder (asked again when printing: a link may have changed).
    bool pdfInsideFolder() const;

    QString printerName() const { return m_printer; }
    // The PDF file to print to, inside the label's folder; empty for a printer.
    QString pdfFile() const { return m_pdf; }
    // The label's size in millimetres, from the drawing's width and height.
    QSizeF sizeMillimetres() const { return m_size; }

private:
    QByteArray m_svg;
    QStringList m_variables;
    QMap<QString, QString> m_values; // by lower-case name
    QString m_printer;
    QString m_pdf;
    QString m_folder; // the label file's folder
    QSizeF m_size;
};
