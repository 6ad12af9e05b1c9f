#include "image/base64text.h"

#include <algorithm>

namespace Base64Text {

namespace {

bool isAlphabet(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+'
        || c == '/' || c == '=';
}

} // namespace

QByteArray encode(QByteArrayView data)
{
    const QByteArray plain = QByteArray::fromRawData(data.data(), data.size()).toBase64();
    QByteArray text;
    text.reserve(plain.size() + plain.size() / kLineLength * 2);
    for (qsizetype pos = 0; pos < plain.size(); pos += kLineLength) {
        const qsizetype length = std::min(kLineLength, plain.size() - pos);
        text.append(plain.constData() + pos, length);
        if (length == kLineLength)
            text.append("\r\n", 2);
    }
    return text;
}

std::optional<QByteArray> decode(QByteArrayView text)
{
    QByteArray filtered(text.size(), Qt::Uninitialized);
    char *out = filtered.data();
    for (const char c : text) {
        *out = c;
        out += isAlphabet(c);
    }
    filtered.truncate(out - filtered.constData());
    if (filtered.size() % 4 != 0)
        return std::nullopt;

    auto result = QByteArray::fromBase64Encoding(filtered, QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return std::nullopt;
    return std::move(result.decoded);
}

} // namespace Base64Text
