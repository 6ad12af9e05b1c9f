// The simulated bootloader over arbitrary bytes, fed in two pieces: never a
// crash; every reply is one the protocol knows; nothing is written outside
// the reader's memory.
#include "reader-sim/bootloaderengine.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    BootloaderEngine engine;
    const qsizetype cut = bytes.isEmpty() ? 0 : qsizetype(data[0]) % (bytes.size() + 1);
    QList<BootloaderEngine::Answer> answers = engine.feed(bytes.first(cut));
    answers += engine.feed(bytes.sliced(cut));
    for (const BootloaderEngine::Answer &answer : answers) {
        const QByteArray &reply = answer.reply;
        const bool known = reply.isEmpty() || reply == "\xEB" || reply == QByteArray("\xE7\xE4")
            || reply == QByteArray("\xE7\xE5") || reply == "\xE8" || reply == "\xE4";
        if (!known)
            std::abort();
    }
    for (auto it = engine.memory().words().constBegin(); it != engine.memory().words().constEnd();
         ++it) {
        if (!ReaderMemory::holds(it.key(), 1))
            std::abort();
    }
    return 0;
}
