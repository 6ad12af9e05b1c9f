#include "label-server/labelprinter.h"

#include "common/safefile.h"
#include "label-server/labeldrawing.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>

#include <cstdio>

namespace LabelPrinter {

namespace {

// One page a copy: PDF files and label printers alike get every sticker.
bool paint(QPagedPaintDevice &device, const LabelDrawing &drawing, const QRectF &page, int copies)
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    for (int copy = 0; copy < copies; ++copy) {
        if (copy > 0 && !device.newPage()) {
            painter.end();
            return false;
        }
        drawing.render(painter, page);
    }
    return painter.end();
}

void setLabelPage(QPagedPaintDevice &device, const LabelTemplate &label)
{
    device.setPageSize(QPageSize(label.sizeMillimetres(), QPageSize::Millimeter, QString(),
                                 QPageSize::ExactMatch));
    device.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

// Only a PDF file is ever replaced: a label must not turn another file, or a
// device, into a sticker.
bool replaceable(const QString &path)
{
    QFileInfo info(path);
    if (info.isSymLink())
        return false;
    if (!info.exists())
        return true;
    QFile file(path);
    QString error;
    return SafeFile::openForReading(file, path, error) && file.read(5) == "%PDF-";
}

Status printPdf(const LabelTemplate &label, const LabelDrawing &drawing, int copies)
{
    const QString target = label.pdfFile();
    if (!label.pdfInsideFolder()) {
        std::fprintf(stderr, "corvant-label-server: %s lies outside the label's folder\n",
                     qPrintable(target));
        return PrintFailed;
    }
    if (!replaceable(target)) {
        std::fprintf(stderr, "corvant-label-server: %s exists and is no PDF file\n",
                     qPrintable(target));
        return PrintFailed;
    }
    // The document is made in memory and written as a whole: a full disk
    // leaves the old file and reports the failure.
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setResolution(kPdfResolution);
        setLabelPage(writer, label);
        if (!paint(writer, drawing, QRectF(0, 0, writer.width(), writer.height()), copies))
            return PrintFailed;
    }
    QString error;
    if (!SafeFile::write(target, pdf.data(), error)) {
        std::fprintf(stderr, "corvant-label-server: %s: %s\n", qPrintable(target),
                     qPrintable(error));
        return PrintFailed;
    }
    return Printed;
}

} // namespace

Status print(const LabelTemplate &label, int copies)
{
    QStringList leftOut;
    const LabelDrawing drawing(label.filledSvg(&leftOut));
    for (const QString &image : leftOut)
        std::fprintf(stderr,
                     "corvant-label-server: image %s lies outside the label's folder: left out\n",
                     qPrintable(image));
    if (!drawing.isValid())
        return PrintFailed;
    if (!label.pdfFile().isEmpty())
        return printPdf(label, drawing, copies);

    const QPrinterInfo info = label.printerName().isEmpty()
        ? QPrinterInfo::defaultPrinter()
        : QPrinterInfo::printerInfo(label.printerName());
    if (info.isNull())
        return NoPrinter;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(info.printerName());
    setLabelPage(printer, label);
    printer.setFullPage(true);
    return paint(printer, drawing, printer.pageRect(QPrinter::DevicePixel), copies) ? Printed
                                                                                    : PrintFailed;
}

} // namespace LabelPrinter
