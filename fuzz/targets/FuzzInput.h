#pragma once
// Takes values one by one off the fuzzer's bytes; once they run out every value is 0,
// so a target never reads past its input.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <QString>

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool empty() const { return m_at >= m_size; }
    std::uint8_t byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    std::uint16_t u16() { return static_cast<std::uint16_t>(byte() | (byte() << 8)); }
    std::uint64_t u64()
    {
        std::uint64_t v = 0;
        for (int i = 0; i < 8; ++i)
            v |= std::uint64_t(byte()) << (8 * i);
        return v;
    }
    double f64()
    {
        const std::uint64_t bits = u64();
        double v = 0;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    // A number in [0, bound).
    int below(int bound) { return bound <= 1 ? 0 : static_cast<int>(u16() % bound); }
    // A text of UTF-16 units: mostly CJK and ASCII, sometimes any unit at all (lone
    // surrogates included), and now and then long enough to cross record boundaries.
    QString text()
    {
        const std::uint8_t head = byte();
        const int length = (head & 0xC0) == 0xC0 ? u16() % 12000 : head & 0x3F;
        QString s;
        s.reserve(length);
        std::uint16_t unit = 0;
        for (int i = 0; i < length; ++i) {
            if (i < 64 || empty()) {
                const std::uint8_t b = byte();
                switch (b & 0x03) {
                case 0: unit = static_cast<std::uint16_t>(0x20 + (b >> 2)); break;    // ASCII
                case 1: unit = static_cast<std::uint16_t>(0x4E00 + b * 37); break;    // CJK
                case 2: unit = static_cast<std::uint16_t>(0x3000 + (b >> 2)); break;  // CJK punctuation
                default: unit = u16(); break;                                         // anything
                }
            } else {
                unit = static_cast<std::uint16_t>(0x4E00 + (i * 131) % 0x5000); // a long text's tail
            }
            s += QChar(char16_t(unit));
        }
        return s;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};
