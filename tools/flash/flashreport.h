#pragma once

#include "flash/flashrequest.h"
#include "flash/rack.h"

#include <QByteArray>

// The JSON report of a run: the program version, the firmware and the
// SHA-256 of the image as sent (its lines after the options were written,
// each followed by CR LF, as a plain save writes the file), the options
// written, and one object per reader.
QByteArray flashReport(const FlashRequest &request, const QByteArray &imageSha256,
                       const Rack &rack);
