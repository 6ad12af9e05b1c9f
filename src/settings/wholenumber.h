#pragma once

#include <QString>

#include <optional>

// A whole number as the settings file and the command line write it:
// leading blanks, an optional sign, decimal digits, or "$" / "0x" before
// hexadecimal digits. Nothing for any other text or a value beyond 32 bits.
std::optional<qint32> parseWholeNumber(const QString &text);
