#pragma once

#include "download/recordframing.h"
#include "image/recordlist.h"

#include <QString>

// Everything a download needs, fixed when it starts: the lines go out as
// they stand then, whatever happens to the window's image meanwhile.
struct DownloadJob {
    // The port field's text, as typed: messages about the port quote it.
    QString portText;
    // The record lines with the options written in, deciphered.
    RecordList lines;
    RecordFraming::Options framing;
    // Started from the command line: nobody is there to close the box of a
    // completed download.
    bool unattended = false;
};
