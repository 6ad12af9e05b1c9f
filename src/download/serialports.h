#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// Serial port numbers. On Linux the numbers are fixed so that a saved COM3
// always names the same device: /dev/ttyS0-31 are COM1-32, /dev/ttyUSB0-31
// COM33-64, /dev/ttyACM0-31 COM65-96. The settings' [ports] section maps any
// COMn to any device (overrides win). On Windows COMn is the system's own.
namespace SerialPorts {

using Overrides = QMap<int, QString>; // COM number -> device path

// The device of COMn, or an empty text when COMn names none.
QString devicePath(int comNumber, const Overrides &overrides);

// The COM number of a device under the fixed mapping, or -1.
int comNumberOf(const QString &device);

// The COM numbers present, ascending: the fixed numbers of the system's
// devices and every override whose device exists.
QList<int> presentPorts(const QStringList &systemDevices, const Overrides &overrides);

// The system's serial devices, found once at the first call and never again
// while the program runs.
const QStringList &systemDevices();

// Fill port list: "COM%d" for every present port, ascending, then
// "hostname:port".
QStringList portList(const QList<int> &present);

} // namespace SerialPorts
