// What the fuzz targets share: a property check that counts as a crash, and input slicing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// A broken property is reported like a crash, so libFuzzer keeps the input that shows it.
#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition);            \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)

// Reads the input front to back; past its end every read gives zeros or an empty string.
class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    std::uint8_t Byte() { return m_offset < m_size ? m_data[m_offset++] : 0; }

    // sizeof(T) bytes, big-endian, as the bits of T.
    template <typename T> T Number() {
        std::uint64_t bits = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            bits = (bits << 8) | Byte();
        return static_cast<T>(bits);
    }

    // Up to the next byte equal to the delimiter (which is consumed), or to the end.
    std::string Until(char delimiter) {
        std::string text;
        while (m_offset < m_size && static_cast<char>(m_data[m_offset]) != delimiter)
            text += static_cast<char>(m_data[m_offset++]);
        if (m_offset < m_size)
            ++m_offset;
        return text;
    }

    std::string Rest() {
        std::string text(reinterpret_cast<const char*>(m_data) + m_offset, m_size - m_offset);
        m_offset = m_size;
        return text;
    }

    bool AtEnd() const { return m_offset >= m_size; }

  private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_offset = 0;
};

// Code page 932 (Shift-JIS), whose trail bytes include "\" and ASCII letters.
inline bool Cp932LeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
