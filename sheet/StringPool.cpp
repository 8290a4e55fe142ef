#include "sheet/StringPool.h"

namespace sheet {

StringPool::StringPool()
{
    clear();
}

std::uint32_t StringPool::intern(const QString& text)
{
    if (text.isEmpty())
        return 0;
    auto it = m_ids.constFind(text);
    if (it != m_ids.constEnd())
        return it.value();
    const auto id = static_cast<std::uint32_t>(m_texts.size());
    m_texts.push_back(text);
    m_ids.insert(text, id);
    return id;
}

void StringPool::clear()
{
    m_texts.clear();
    m_ids.clear();
    m_texts.emplace_back();
}

std::size_t StringPool::memoryUsage() const
{
    // A text is held once by the vector and shared (implicitly) by the hash key; count
    // its characters once, plus the vector slot, the hash node and the string header.
    std::size_t bytes = m_texts.capacity() * sizeof(QString);
    for (const QString& s : m_texts)
        bytes += static_cast<std::size_t>(s.capacity()) * sizeof(QChar) + 24;
    bytes += static_cast<std::size_t>(m_ids.size()) * (sizeof(QString) + sizeof(std::uint32_t) + 16);
    return bytes;
}

} // namespace sheet
