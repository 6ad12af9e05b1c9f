#pragma once

// What a load found in the image's records: which memory regions and which
// option slots it holds. They decide which groups and check boxes the window
// shows.
struct ContentFlags {
    bool eepromData = false;
    bool customerCodeTable = false;
    bool relayTimeSlot = false;
    bool facilityCodeSlot = false;

    friend bool operator==(const ContentFlags &, const ContentFlags &) = default;
};
