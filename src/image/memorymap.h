#pragma once

// Word addresses of the reader's memory and of the option words the image
// loader looks for. Program memory is addressed in 16-bit words; a hex file's
// byte address is twice the word address.
namespace MemoryMap {

constexpr int kProgramMemoryFirst = 0x0000;
constexpr int kProgramMemoryLast = 0x1FFF;
constexpr int kConfigurationFirst = 0x2000;
constexpr int kConfigurationLast = 0x20FF;
constexpr int kEepromFirst = 0x2100;

// An option word is a return-with-literal instruction: high byte 0x34, the
// option value in the low byte.
constexpr int kOptionWordHigh = 0x34;

constexpr int kFacilityCodeWord = 0xA1;
constexpr int kRelayTimeWord = 0xAB;
constexpr int kCustomerTableFirst = 0xF0;
constexpr int kCustomerTableLast = 0xFD;

} // namespace MemoryMap
