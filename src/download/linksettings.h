#pragma once

#include <QString>

// How the link reaches the reader: a serial port COMn (or a serial device
// named by its path), or a TCP host and port.
struct LinkSettings {
    enum class Layer { Serial, Tcp };

    static constexpr int kFirstComNumber = 1;
    static constexpr int kLastComNumber = 255;
    static constexpr const char *kDefaultTcpPort = "10001";

    // Whether COMn names a serial port the program knows.
    static constexpr bool isComNumber(int number)
    {
        return number >= kFirstComNumber && number <= kLastComNumber;
    }

    Layer layer = Layer::Serial;
    int comNumber = 1; // COMn, when no device path is given
    QString device; // a serial device named directly ("/dev/pts/3")
    QString host; // TCP host: dotted IPv4 address or host name
    QString port = QString::fromLatin1(kDefaultTcpPort); // number or service name

    // "COM3", the device path, "gate7"; the full form adds ":port" to a TCP
    // host when a port is set ("gate7:4001").
    QString portName(bool full) const;

    // The settings a port field text names: COMn with n from 1 to 255 (any
    // letter case) is serial port n; a text beginning with '/' is a serial
    // device; anything else is a TCP host, split at the first ':' into host
    // and port (10001 when there is no ':'), both without surrounding blanks.
    static LinkSettings fromPortText(const QString &text);

    friend bool operator==(const LinkSettings &, const LinkSettings &) = default;
};
