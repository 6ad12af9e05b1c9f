#pragma once

#include "download/serialports.h"

#include <QString>
#include <QStringList>

// What a rack is checked for before any port opens.
namespace RackChecks {

// The reader a port text reaches: a serial device's real path (through the
// [ports] mapping and symbolic links), or "host:port" with the host in
// lower case.
QString readerIdentity(const QString &portText, const SerialPorts::Overrides &overrides);

// Why the ports cannot be used together: two of them reach the same reader.
// Empty when they can.
QString sameReaderTwice(const QStringList &ports, const SerialPorts::Overrides &overrides);

// Raises the soft limit of open files to the hard limit; why the readers
// of these ports (one file each, two for a serial port and its lock) still
// cannot all be open at once, or empty.
QString openFileLimit(const QStringList &ports);

} // namespace RackChecks
