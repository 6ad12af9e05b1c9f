#pragma once

#include "options/customercodes.h"

#include <QLocale>
#include <QString>

#include <array>
#include <optional>

// The settings panel's value tests and display forms, free of widgets.
namespace ValueTests {

constexpr double kRelayTimeMinimum = 1.0;
constexpr double kRelayTimeMaximum = 25.5; // 255 tenths, the byte's largest value
constexpr qint64 kFacilityCodeMinimum = 0;
constexpr qint64 kFacilityCodeMaximum = 65535;

// The relay time text as a number read with the locale's decimal separator,
// or nothing when it is no number.
std::optional<double> relayTimeValue(const QString &text, const QLocale &locale);
// Valid from 1.0 to 25.5 seconds.
bool relayTimeValid(const QString &text, const QLocale &locale);
// Seconds with one decimal in the locale's form: 5.0, or 5,0 with a decimal comma.
QString relayTimeText(double seconds, const QLocale &locale);

// The facility code text as an integer, -1 when it is not one.
qint64 facilityCodeValue(const QString &text);
// Valid from 0 to 65535.
bool facilityCodeValid(const QString &text);

// The largest code a grid row takes: 999, 9999 or 255 by the row's kind.
int rowMaximum(int row);
// A code as the grid shows it: zero-padded to three digits (four in the DF
// rows 1, 4 and 7); empty for an empty slot.
QString codeText(int row, int code);

struct CodeCheck {
    int failedRow = -1; // -1: every row was stored
    int minimum = 1;
    int maximum = 0;

    bool passed() const { return failedRow < 0; }
    // "code out of range (1 - 999)"
    QString message() const;
};

// Check customer codes: row by row (0 to 7), a non-empty cell must hold an
// integer from 1 to the row's maximum (text that is no integer reads as 0) and
// is then stored in its slot, an empty cell stores 0. Stops at the first row
// that fails: the rows before it are stored, it and the rows after it are not.
CodeCheck checkCustomerCodes(const std::array<QString, OptionSlots::kSlotCount> &rowTexts,
                             CustomerSlots &codes);

} // namespace ValueTests
