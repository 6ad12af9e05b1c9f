#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace Base64Text {

constexpr qsizetype kLineLength = 76;

// Standard Base64 with '=' padding, a CR LF after every 76 characters. When
// the text fills its last line exactly, that line is followed by CR LF too.
QByteArray encode(QByteArrayView data);

// Decodes while skipping every character outside the alphabet and '=' (line
// breaks, blanks, anything else), wherever it stands. Returns nothing when the
// remaining characters are not whole groups of four or misplace '='.
std::optional<QByteArray> decode(QByteArrayView text);

} // namespace Base64Text
