#pragma once
// Appends little-endian integers and doubles to a byte buffer (the workbook formats
// are little-endian whatever the machine).
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstring>

namespace sheet::le {

inline void u8(QByteArray& b, unsigned v)
{
    b.append(static_cast<char>(v & 0xFF));
}
inline void u16(QByteArray& b, unsigned v)
{
    u8(b, v);
    u8(b, v >> 8);
}
inline void u32(QByteArray& b, std::uint32_t v)
{
    u16(b, v & 0xFFFF);
    u16(b, v >> 16);
}
inline void f64(QByteArray& b, double v)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    u32(b, static_cast<std::uint32_t>(bits));
    u32(b, static_cast<std::uint32_t>(bits >> 32));
}
inline void utf16(QByteArray& b, const QString& s)
{
    for (QChar c : s)
        u16(b, c.unicode());
}
inline void put32(QByteArray& b, qsizetype at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

} // namespace sheet::le
