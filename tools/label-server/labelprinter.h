#pragma once

#include "label-server/labeltemplate.h"

// Prints a filled label through Qt's printing support: to the PDF file the
// label names, else to its printer, else to the system's default printer.
namespace LabelPrinter {

enum Status {
    Printed = 0,
    NoPrinter = 5, // the named printer does not exist, or there is no default
    PrintFailed = 6, // the drawing cannot be rendered, or the PDF file not written
                     // (a full disk, or something there that is no PDF file)
};

// Dots per inch of PDF output, as a high-resolution printer.
constexpr int kPdfResolution = 1200;

Status print(const LabelTemplate &label, int copies);

} // namespace LabelPrinter
