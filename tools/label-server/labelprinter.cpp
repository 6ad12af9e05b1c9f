#include "labelprinter.h"

#include "labeldrawing.h"

#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace LabelPrinter {

Status print(const LabelTemplate &label, int copies)
{
    const LabelDrawing drawing(label.filledSvg());
    if (!drawing.isValid())
        return PrintFailed;

    QPrinter printer(QPrinter::HighResolution);
    if (!label.pdfFile().isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(label.pdfFile());
    } else {
        const QPrinterInfo info = label.printerName().isEmpty() ? QPrinterInfo::defaultPrinter()
                                                                : QPrinterInfo::printerInfo(label.printerName());
        if (info.isNull())
            return NoPrinter;
        printer.setPrinterName(info.printerName());
    }
    printer.setPageSize(QPageSize(label.sizeMillimetres(), QPageSize::Millimeter, QString(),
                                  QPageSize::ExactMatch));
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    printer.setFullPage(true);

    // One page a copy: PDF files and label printers alike get every sticker.
    QPainter painter;
    if (!painter.begin(&printer))
        return PrintFailed;
    for (int copy = 0; copy < copies; ++copy) {
        if (copy > 0 && !printer.newPage()) {
            painter.end();
            return PrintFailed;
        }
        drawing.render(painter, printer.pageRect(QPrinter::DevicePixel));
    }
    return painter.end() ? Printed : PrintFailed;
}

} // namespace LabelPrinter
