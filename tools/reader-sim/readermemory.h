#pragma once

#include <QByteArray>
#include <QMap>

#include <cstdint>

// The reader's memory as far as the bootloader writes it: program memory
// 0x0000-0x1FFF, configuration words 0x2000-0x20FF and data EEPROM
// 0x2100-0x21FF, addressed in 16-bit words. Only words written are kept.
class ReaderMemory {
public:
    static constexpr int kProgramLast = 0x1FFF;
    static constexpr int kConfigurationFirst = 0x2000;
    static constexpr int kConfigurationLast = 0x20FF;
    static constexpr int kEepromFirst = 0x2100;
    static constexpr int kEepromLast = 0x21FF;

    // Whether every word from first to first + count - 1 exists.
    static bool holds(int first, int count);

    void write(int word, std::uint16_t value) { m_words[word] = value; }
    const QMap<int, std::uint16_t> &words() const { return m_words; }
    void clear() { m_words.clear(); }

    // The written words as Intel HEX (CR LF lines): each word low byte first
    // at byte address 2 x word, records of up to eight words that do not
    // cross an eight-word boundary, then the end-of-file record.
    QByteArray toIntelHex() const;

private:
    QMap<int, std::uint16_t> m_words;
};
