#pragma once

#include "dialogs/dialogs.h"
#include "label/labelserver.h"
#include "options/customercodes.h"

#include <QString>

#include <array>

// Printing a sticker with the firmware name and the customer codes through
// the label server, and choosing the label and its two variables.
namespace Sticker {

struct LabelSettings {
    QString fileName; // the label file
    QString firmwareVariable; // receives the firmware text
    QString codesVariable; // receives the sticker code text
};

// The codes as printed: "CF123 DF4567 GF12": a token for every grid row whose
// value cell is not empty, the row's prefix and the slot's value without
// leading zeros, in row order, separated by single blanks.
QString codeText(const std::array<QString, OptionSlots::kSlotCount> &cellTexts,
                 const CustomerSlots &codes);

// The firmware file's name without folder and extension.
QString firmwareText(const QString &fileField);

// Print sticker: OpenLabel, SetVariable twice, PrintLabel(1); the first
// failing status is reported and ends the print. A binding error (the server
// is gone) ends it without a message. Returns what failed (the message, or
// the binding error), empty when it printed.
QString print(LabelServer &server, Dialogs &dialogs, const LabelSettings &settings,
              const QString &firmware, const QString &codes);

// Choose label settings: the label file, then the two variable names. A
// cancelled file dialog changes nothing; a cancelled first name keeps the new
// file and both old names; a cancelled second name keeps the first.
void chooseSettings(Dialogs &dialogs, LabelSettings &settings, const QString &applicationTitle);

} // namespace Sticker
