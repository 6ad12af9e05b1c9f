#pragma once

#include <QByteArrayView>

#include <cstdint>

// The bytes of the reader's bootloader protocol.
namespace Bootloader {
constexpr std::uint8_t kWakeup = 0xEA;
constexpr std::uint8_t kWakeupReply = 0xEB;
constexpr std::uint8_t kWrite = 0xE3;
constexpr std::uint8_t kWriteReply = 0xE7;
constexpr std::uint8_t kWritten = 0xE4;
constexpr std::uint8_t kWriteFailed = 0xE5;
constexpr std::uint8_t kNotAccepted = 0xE8;
constexpr std::uint8_t kEnd = 0xED;
constexpr std::uint8_t kEndReply = 0xE4;

// What the bytes received since a message was sent say about it.
enum class Reply {
    NeedMore, // a reply has begun and is not complete yet
    WakeupAnswered, // EB to the wake-up
    Acknowledged, // E7 E4 to a write
    WriteFailed, // E7 E5 to a write
    NotAccepted, // E8 to a write
    EndAnswered, // E4 to the end message
    Ignore, // anything else: the bytes so far are dropped
};

// Decodes the reply to the message whose first byte is sentCommand from the
// bytes received since it was sent (a reply may arrive in pieces). Only the
// first byte or two decide; what follows them is never looked at, so a peer
// that sends more than it should cannot make one reply count twice. Every
// result but NeedMore ends the reply: the caller drops the bytes so far.
Reply decodeReply(std::uint8_t sentCommand, QByteArrayView received);
} // namespace Bootloader
