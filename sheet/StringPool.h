#pragma once
// Texts of a sheet, each distinct text stored once and referred to by a 32-bit id.
// Report sheets repeat many texts (classification names, unit names), and the rest are
// short (codes, amounts): the characters of all texts sit in one UTF-16 buffer, found
// again through an open-addressing table of ids, so a text costs its characters plus
// some 12 bytes, not a string object and a hash node of its own.
#include <QString>
#include <QStringView>
#include <cstdint>
#include <vector>

namespace sheet {

class StringPool {
public:
    StringPool();
    std::uint32_t intern(QStringView text);
    QString text(std::uint32_t id) const { return view(id).toString(); }
    QStringView view(std::uint32_t id) const;
    std::size_t size() const { return m_offsets.size() - 1; }
    void clear();
    std::size_t memoryUsage() const;

private:
    void grow();
    std::size_t slotOf(QStringView text) const;

    std::vector<char16_t> m_chars;
    std::vector<std::uint32_t> m_offsets; // text id starts at m_offsets[id]; one more entry ends the last
    std::vector<std::uint32_t> m_slots;   // id + 1, 0 = free; size a power of two
};

} // namespace sheet
