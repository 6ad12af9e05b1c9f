#pragma once

#include "label/labelserver.h"
#include "label/sticker.h"

#include <QString>

// A sticker for each unit that completes, printed exactly as the window's
// sticker button prints it (the same calls, label and variables), with the
// unit's own codes. A failure is told, never asked about: the line goes on.
class StickerPrinter {
public:
    StickerPrinter(LabelServer &server, Sticker::LabelSettings label, QString firmwareText);

    // Empty when it printed; otherwise what failed ("Error: OpenLabel failed
    // (...)", or why the label server could not be reached). labelFile: a
    // reader's own label instead of the settings file's.
    QString print(const CustomerSlots &codes, const QString &labelFile = {});

private:
    LabelServer &m_server;
    Sticker::LabelSettings m_label;
    QString m_firmware;
};
