#include "sheet/StringPool.h"

#include <QHashFunctions>
#include <algorithm>
#include <cstring>

#include "sheet/SheetError.h"

namespace sheet {

namespace {

constexpr std::uint32_t MaxBlocks = 0x10000;

std::uint32_t blockOf(std::uint32_t start)
{
    return start >> 16;
}

std::uint32_t offsetOf(std::uint32_t start)
{
    return start & 0xFFFF;
}

} // namespace

StringPool::StringPool()
{
    clear();
}

void StringPool::clear()
{
    m_blocks.clear();
    m_starts.assign(1, 0); // id 0 is the empty text, at the start of block 0
    m_blocks.push_back({std::make_unique<char16_t[]>(BlockUnits), 0, BlockUnits});
    m_slots.assign(1024, 0);
    m_tags.assign(1024, 0);
}

// A text ends where the next one starts in the same block, or where its block's
// texts end.
QStringView StringPool::view(std::uint32_t id) const
{
    const std::uint32_t start = m_starts[id];
    const Block& block = m_blocks[blockOf(start)];
    std::uint32_t end = block.used;
    if (id + 1 < m_starts.size() && blockOf(m_starts[id + 1]) == blockOf(start))
        end = offsetOf(m_starts[id + 1]);
    return QStringView(block.chars.get() + offsetOf(start), static_cast<qsizetype>(end - offsetOf(start)));
}

namespace {

std::uint8_t tagOf(std::size_t hash)
{
    return static_cast<std::uint8_t>(hash >> (sizeof(std::size_t) * 8 - 8));
}

} // namespace

std::size_t StringPool::slotOf(QStringView text, std::size_t hash) const
{
    // Linear probing; the table is kept at most two thirds full.
    const std::size_t mask = m_slots.size() - 1;
    const std::uint8_t tag = tagOf(hash);
    std::size_t slot = hash & mask;
    while (m_slots[slot] != 0 && (m_tags[slot] != tag || view(m_slots[slot] - 1) != text))
        slot = (slot + 1) & mask;
    return slot;
}

// Where a text of `length` units goes: the current block when it still has room,
// else a new block (of its own size for a text longer than a block).
std::uint32_t StringPool::placeFor(qsizetype length)
{
    const auto units = static_cast<std::uint32_t>(length);
    Block& last = m_blocks.back();
    if (last.capacity - last.used >= units)
        return static_cast<std::uint32_t>(m_blocks.size() - 1) << 16 | last.used;
    if (m_blocks.size() >= MaxBlocks)
        throw SheetError(QStringLiteral("表格的文字总量超过上限"));
    const std::uint32_t capacity = std::max(units, BlockUnits);
    m_blocks.push_back({std::make_unique<char16_t[]>(capacity), 0, capacity});
    return static_cast<std::uint32_t>(m_blocks.size() - 1) << 16;
}

std::uint32_t StringPool::intern(QStringView text)
{
    if (text.isEmpty())
        return 0;
    const std::size_t hash = qHash(text);
    const std::size_t slot = slotOf(text, hash);
    if (m_slots[slot] != 0)
        return m_slots[slot] - 1;
    if (text.size() > 0x7FFFFFFF || m_starts.size() >= 0xFFFFFFF0u)
        throw SheetError(QStringLiteral("表格的文字总量超过上限"));
    const std::uint32_t start = placeFor(text.size());
    Block& block = m_blocks[blockOf(start)];
    std::memcpy(block.chars.get() + block.used, text.utf16(), static_cast<std::size_t>(text.size()) * sizeof(char16_t));
    block.used += static_cast<std::uint32_t>(text.size());
    const auto id = static_cast<std::uint32_t>(m_starts.size());
    m_starts.push_back(start);
    m_slots[slot] = id + 1;
    m_tags[slot] = tagOf(hash);
    if (size() * 3 > m_slots.size() * 2)
        grow();
    return id;
}

void StringPool::grow()
{
    m_slots.assign(m_slots.size() * 2, 0);
    m_tags.assign(m_slots.size(), 0);
    for (std::uint32_t id = 1; id < size(); ++id) {
        const QStringView text = view(id);
        const std::size_t hash = qHash(text);
        const std::size_t slot = slotOf(text, hash);
        m_slots[slot] = id + 1;
        m_tags[slot] = tagOf(hash);
    }
}

std::size_t StringPool::memoryUsage() const
{
    std::size_t bytes = m_slots.capacity() * sizeof(std::uint32_t) + m_tags.capacity() + (m_starts.size() / 128 + 1) * (512 + sizeof(void*));
    for (const Block& b : m_blocks)
        bytes += b.capacity * sizeof(char16_t) + sizeof(Block);
    return bytes;
}

} // namespace sheet
