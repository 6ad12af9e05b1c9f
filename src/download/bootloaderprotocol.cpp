#include "download/bootloaderprotocol.h"

namespace Bootloader {

Reply decodeReply(std::uint8_t sentCommand, QByteArrayView received)
{
    if (received.isEmpty())
        return Reply::NeedMore;
    const auto first = std::uint8_t(received[0]);
    switch (sentCommand) {
    case kWakeup:
        return first == kWakeupReply ? Reply::WakeupAnswered : Reply::Ignore;
    case kWrite:
        if (first == kNotAccepted)
            return Reply::NotAccepted;
        if (first != kWriteReply)
            return Reply::Ignore;
        if (received.size() < 2)
            return Reply::NeedMore;
        switch (std::uint8_t(received[1])) {
        case kWritten:
            return Reply::Acknowledged;
        case kWriteFailed:
            return Reply::WriteFailed;
        default:
            return Reply::Ignore;
        }
    case kEnd:
        return first == kEndReply ? Reply::EndAnswered : Reply::Ignore;
    default:
        return Reply::Ignore;
    }
}

} // namespace Bootloader
