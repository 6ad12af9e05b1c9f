#pragma once

#include "options/imageoutput.h"

#include <QStringList>

#include <optional>

// The reader options on a tool's command line: --cf --c --df --d --gf --g
// --a --b (customer code slots), --relay (seconds), --facility. Values are
// checked with the settings panel's ranges, except that 0 empties a customer
// code slot as on the utility's command line.
namespace OptionArguments {

struct Parsed {
    ImageOutput::OptionChanges changes; // single slots only: the rest stays
    // Each option as given ("--cf 12"), for messages: the code slots in slot
    // order, then the relay time and the facility code.
    QStringList shownValues = QStringList(OptionSlots::kSlotCount + 2);
};

// The customer code options, in slot order.
constexpr std::array<const char *, OptionSlots::kSlotCount> kCodeOptions
    = {"--cf", "--c", "--df", "--d", "--gf", "--g", "--a", "--b"};

bool isOptionName(const QString &option);

// The value of the option at arguments[i]: after its '=' ("--cf=12", the
// option then cut to its name), else the next argument (i moves on to it).
// Nothing when there is none.
std::optional<QString> valueOf(QString &option, const QStringList &arguments, qsizetype &i);

// Takes one option with its value. False, with the reason ("--cf 0x10: not a
// number", "--cf 1000: code out of range (0 - 999)"), for a bad value.
bool take(const QString &option, const QString &value, Parsed &parsed, QString &reason);

// Why each option given cannot be written into these records (a missing
// option word, named by its word address); empty when all can.
QStringList refusals(const RecordList &records, const Parsed &parsed);

} // namespace OptionArguments
