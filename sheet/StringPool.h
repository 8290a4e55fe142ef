#pragma once
// Texts of a sheet, each distinct text stored once and referred to by a 32-bit id.
// Report sheets repeat many texts (classification names, unit names), and the rest are
// short (codes, amounts): the characters of all texts sit in blocks of 32,768 UTF-16
// units, a text within one block (a longer one in a block of its own), found again
// through an open-addressing table of ids. A text costs its characters plus some 10
// bytes, not a string object and a hash node of its own, and the pool grows block by
// block, never holding twice its size while it copies itself into a larger array.
#include <QString>
#include <QStringView>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace sheet {

class StringPool {
public:
    StringPool();
    std::uint32_t intern(QStringView text);
    QString text(std::uint32_t id) const { return view(id).toString(); }
    QStringView view(std::uint32_t id) const;
    std::size_t size() const { return m_starts.size(); }
    void clear();
    std::size_t memoryUsage() const;

private:
    static constexpr std::uint32_t BlockUnits = 32768;

    void grow();
    // The slot that holds `text`, or the free slot where it would go.
    std::size_t slotOf(QStringView text, std::size_t hash) const;
    std::uint32_t placeFor(qsizetype length);

    struct Block {
        std::unique_ptr<char16_t[]> chars;
        std::uint32_t used = 0;
        std::uint32_t capacity = 0;
    };
    std::vector<Block> m_blocks;
    std::deque<std::uint32_t> m_starts; // text id → block << 16 | offset in the block
    std::vector<std::uint32_t> m_slots; // id + 1, 0 = free; size a power of two
    std::vector<std::uint8_t> m_tags;   // a byte of each slot's hash: most probes read no text
};

} // namespace sheet
