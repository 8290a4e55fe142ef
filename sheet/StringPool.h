#pragma once
// Texts of a sheet, each distinct text stored once and referred to by a 32-bit id.
// Report sheets repeat most of their texts (classification names, unit names), so
// cells stay small and equal texts share their storage.
#include <QHash>
#include <QString>
#include <cstdint>
#include <vector>

namespace sheet {

class StringPool {
public:
    StringPool();
    std::uint32_t intern(const QString& text);
    const QString& text(std::uint32_t id) const { return m_texts[id]; }
    std::size_t size() const { return m_texts.size(); }
    void clear();
    std::size_t memoryUsage() const;

private:
    std::vector<QString> m_texts; // id 0 is the empty text
    QHash<QString, std::uint32_t> m_ids;
};

} // namespace sheet
