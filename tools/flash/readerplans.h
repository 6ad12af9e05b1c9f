#pragma once

#include "flash/flashreport.h"
#include "flash/flashrequest.h"
#include "flash/rack.h"
#include "flash/readerlist.h"
#include "image/firmwareimage.h"

#include <optional>

// Every reader's image, framing and lines sent, made before any port opens.
struct ReaderSetups {
    QList<Rack::Entry> readers;
    QList<ReaderPlan> plans; // the same order
};

namespace ReaderPlans {

// The image with the options written into it, as the window's panel would;
// the reasons when they cannot be written.
QStringList prepared(const FirmwareImage &base, const OptionArguments::Parsed &options,
                     FirmwareImage &image);

// As the window with its code box shown whenever the image has a table; a
// code named is sent (it would be lost otherwise).
RecordFraming::Options framing(const FlashRequest &request, const FirmwareImage &base,
                               const ImageOutput::OptionChanges &changes);

QByteArray sha256(const QByteArray &bytes);

// From the loaded image, before any value is written: the command line's
// values with each reader's own on top. Readers with the same values share
// one image, and every image shares the lines it did not change. The first
// value that cannot be written is refused as "FILE:LINE: why".
std::optional<QString> plan(const FlashRequest &request, const FirmwareImage &base,
                            const QList<ReaderEntry> &entries, ReaderSetups &setups);

} // namespace ReaderPlans
