#include "sheet/StringPool.h"

#include <QHashFunctions>

#include "sheet/SheetError.h"

namespace sheet {

StringPool::StringPool()
{
    clear();
}

void StringPool::clear()
{
    m_chars.clear();
    m_offsets.assign(2, 0); // id 0 is the empty text
    m_slots.assign(1024, 0);
}

QStringView StringPool::view(std::uint32_t id) const
{
    const std::uint32_t begin = m_offsets[id];
    return QStringView(m_chars.data() + begin, static_cast<qsizetype>(m_offsets[id + 1] - begin));
}

std::size_t StringPool::slotOf(QStringView text) const
{
    // Linear probing; the table is kept at most half full.
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = qHash(text) & mask;
    while (m_slots[slot] != 0 && view(m_slots[slot] - 1) != text)
        slot = (slot + 1) & mask;
    return slot;
}

std::uint32_t StringPool::intern(QStringView text)
{
    if (text.isEmpty())
        return 0;
    const std::size_t slot = slotOf(text);
    if (m_slots[slot] != 0)
        return m_slots[slot] - 1;
    if (m_chars.size() + static_cast<std::size_t>(text.size()) >= 0xFFFFFFF0u)
        throw SheetError(QStringLiteral("表格的文字总量超过上限"));
    const auto id = static_cast<std::uint32_t>(m_offsets.size() - 1);
    m_chars.insert(m_chars.end(), text.utf16(), text.utf16() + text.size());
    m_offsets.push_back(static_cast<std::uint32_t>(m_chars.size()));
    m_slots[slot] = id + 1;
    if (size() * 2 > m_slots.size())
        grow();
    return id;
}

void StringPool::grow()
{
    m_slots.assign(m_slots.size() * 2, 0);
    for (std::uint32_t id = 1; id < size(); ++id)
        m_slots[slotOf(view(id))] = id + 1;
}

std::size_t StringPool::memoryUsage() const
{
    return m_chars.capacity() * sizeof(char16_t) + m_offsets.capacity() * sizeof(std::uint32_t)
        + m_slots.capacity() * sizeof(std::uint32_t);
}

} // namespace sheet
