#pragma once

#include "image/contentflags.h"
#include "image/recordlist.h"

#include <QString>

// The one in-memory copy of the firmware file the technician picked.
struct FirmwareImage {
    // Every line of the file, records and other lines alike.
    RecordList records;
    // Full path of the file the image was loaded from or last saved to.
    QString currentFileName;
    // Result of the last load run by start-up, Browse or reload; set by the
    // callers of loadImage, never by the load itself.
    bool imageValid = false;
    // The record list holds the encrypted form (header line and Base64 text).
    bool heldEncrypted = false;
    ContentFlags flags;
};
