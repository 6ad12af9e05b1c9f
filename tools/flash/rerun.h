#pragma once

#include "flash/flashrequest.h"
#include "flash/readerlist.h"

#include <QList>
#include <QString>

#include <optional>

// A run that continues an earlier one: the readers of its report that did
// not complete, flashed with the same firmware and values.
struct Rerun {
    QString report; // the earlier report, absolute
    QString runId; // the earlier run's
    QList<ReaderEntry> readers; // with the values each was given then
};

namespace Reruns {

// Reads the report and checks that this run flashes what it flashed (the
// firmware file's SHA-256, the options, EEPROM and code table); the refusal
// names the difference.
std::optional<QString> read(const FlashRequest &request, const QByteArray &firmwareFileSha256,
                            Rerun &rerun);

} // namespace Reruns
