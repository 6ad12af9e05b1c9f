#pragma once

#include <QByteArray>

// An Intel HEX text of dataBytes bytes in 16-byte records, with an extended
// linear address record before every 64 KiB, and an end-of-file record:
// about 45 bytes of text for every 16 bytes of data.
QByteArray makeBigHex(qsizetype dataBytes);
