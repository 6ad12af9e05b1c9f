#pragma once

#include "options/optionslots.h"

#include <QString>

#include <array>
#include <optional>

// What the window shows, decided by the session (Refresh window state): the
// window sets its controls from it and decides nothing itself.
struct WindowState {
    // No download holds the link: the inputs, Browse (F2), the save and
    // sticker buttons are enabled and Exit shows; otherwise Cancel shows.
    bool idle = true;
    bool downloadEnabled = false; // Download and F4: a valid file, idle
    bool settingsPanelShown = false; // settings mode, fixed at start
    bool eepromBoxShown = false;
    bool codesBoxShown = false;
    bool eepromTicked = false;
    bool codesTicked = false;
    bool codesGroupShown = false;
    bool relayGroupShown = false;
    bool facilityGroupShown = false;
    bool saveShown = false;
    bool stickerShown = false;
    // The grid's value cells in row order; unset while the grid holds codes
    // typed and not yet checked, which stay as typed.
    std::optional<std::array<QString, OptionSlots::kSlotCount>> codeTexts;
    QString fileName; // the current file, whole: the window shortens it

    bool operator==(const WindowState &) const = default;
};
