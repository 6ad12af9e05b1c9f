#pragma once

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
} // namespace Bootloader
