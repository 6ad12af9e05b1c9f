// The reply decoder on arbitrary bytes after each message: it never reads
// beyond what it was given, asks for more only before a reply has decided,
// and once decided stays decided however many bytes follow.
#include "download/bootloaderprotocol.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t sent = data[0];
    const QByteArrayView received(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    Bootloader::Reply previous = Bootloader::Reply::NeedMore;
    for (qsizetype length = 0; length <= received.size(); ++length) {
        const Bootloader::Reply reply = Bootloader::decodeReply(sent, received.first(length));
        if (previous != Bootloader::Reply::NeedMore && reply != previous)
            std::abort(); // a decided reply changed with more bytes
        if (reply == Bootloader::Reply::NeedMore && length >= 2)
            std::abort(); // no reply is longer than two bytes
        previous = reply;
    }
    return 0;
}
