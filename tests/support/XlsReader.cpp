#include "tests/support/XlsReader.h"

#include <QFile>
#include <cmath>
#include <cstring>

#include "sheet/SheetError.h"

namespace sheet {

namespace {

// A fault in the file; read() adds the file's name.
struct Damage {
    QString reason;
};

[[noreturn]] void damaged(const QString& reason)
{
    throw Damage{reason};
}

// Bounds-checked little-endian access to a byte range.
class Bytes {
public:
    Bytes(const char* data, qsizetype size) : m_data(reinterpret_cast<const unsigned char*>(data)), m_size(size) {}
    explicit Bytes(const QByteArray& b) : Bytes(b.constData(), b.size()) {}

    qsizetype size() const { return m_size; }
    const char* data() const { return reinterpret_cast<const char*>(m_data); }
    bool has(qsizetype at, qsizetype count) const { return at >= 0 && count >= 0 && count <= m_size - at; }
    void need(qsizetype at, qsizetype count, const char* what) const
    {
        if (!has(at, count))
            damaged(QStringLiteral("%1超出数据末尾").arg(QString::fromUtf8(what)));
    }
    unsigned u8(qsizetype at) const
    {
        need(at, 1, "字段");
        return m_data[at];
    }
    unsigned u16(qsizetype at) const
    {
        need(at, 2, "字段");
        return m_data[at] | (unsigned(m_data[at + 1]) << 8);
    }
    std::uint32_t u32(qsizetype at) const { return u16(at) | (std::uint32_t(u16(at + 2)) << 16); }
    double f64(qsizetype at) const
    {
        need(at, 8, "数值");
        const std::uint64_t bits = u32(at) | (std::uint64_t(u32(at + 4)) << 32);
        double v = 0;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }

private:
    const unsigned char* m_data;
    qsizetype m_size;
};

// ---------------------------------------------------------------------------------
// The compound file: one stream out of the sectors.

constexpr std::uint32_t EndOfChain = 0xFFFFFFFE;
constexpr int HeaderDifatSlots = 109;
constexpr int DirectoryEntrySize = 128;

class CompoundFileReader {
public:
    explicit CompoundFileReader(const QByteArray& file) : m_file(file), m_bytes(file)
    {
        if (file.size() < 512 || std::memcmp(file.constData(), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) != 0)
            damaged(QStringLiteral("不是Excel 97-2003工作簿（缺少复合文档标志）"));
        const unsigned shift = m_bytes.u16(0x1E);
        const unsigned miniShift = m_bytes.u16(0x20);
        if ((shift != 9 && shift != 12) || miniShift != 6)
            damaged(QStringLiteral("复合文档的扇区大小无效"));
        m_sectorSize = qsizetype(1) << shift;
        m_sectorCount = (file.size() + m_sectorSize - 1) / m_sectorSize - 1;
        readFat();
    }

    // The named stream under the root storage, or an error when there is none.
    QByteArray stream(const QStringList& names) const
    {
        const QByteArray dir = chain(m_bytes.u32(0x30), m_fat, m_sectorSize, -1);
        const Bytes d(dir);
        if (d.size() < DirectoryEntrySize)
            damaged(QStringLiteral("复合文档没有目录"));
        for (qsizetype at = 0; at + DirectoryEntrySize <= d.size(); at += DirectoryEntrySize) {
            if (d.u8(at + 0x42) != 2)
                continue; // not a stream
            const unsigned nameBytes = d.u16(at + 0x40);
            if (nameBytes < 2 || nameBytes > 64)
                continue;
            QString name;
            for (unsigned i = 0; i + 2 < nameBytes; i += 2)
                name += QChar(char16_t(d.u16(at + i)));
            if (!names.contains(name, Qt::CaseInsensitive))
                continue;
            const std::uint32_t start = d.u32(at + 0x74);
            const std::uint32_t size = d.u32(at + 0x78);
            if (size < m_bytes.u32(0x38))
                return miniStream(d, start, size);
            return chain(start, m_fat, m_sectorSize, size);
        }
        damaged(QStringLiteral("复合文档中没有%1流").arg(names.first()));
    }

private:
    qsizetype sectorOffset(std::uint32_t sector) const
    {
        if (sector >= std::uint32_t(m_sectorCount))
            damaged(QStringLiteral("扇区%1超出文件末尾").arg(sector));
        return (qsizetype(sector) + 1) * m_sectorSize;
    }

    // Appends one sector's bytes; the file's last sector may stop short.
    void appendSector(QByteArray& out, std::uint32_t sector) const
    {
        const qsizetype at = sectorOffset(sector);
        const qsizetype have = std::min(m_sectorSize, m_file.size() - at);
        out.append(m_file.constData() + at, have);
        out.append(m_sectorSize - have, '\0');
    }

    void readFat()
    {
        const std::uint32_t fatSectors = m_bytes.u32(0x2C);
        if (fatSectors > std::uint32_t(m_sectorCount))
            damaged(QStringLiteral("复合文档的分配表扇区数%1无效").arg(fatSectors));
        std::vector<std::uint32_t> fatSectorIds;
        for (int i = 0; i < HeaderDifatSlots && fatSectorIds.size() < fatSectors; ++i)
            fatSectorIds.push_back(m_bytes.u32(0x4C + 4 * i));
        // Further FAT sector numbers are in the DIFAT chain, the last slot of each
        // sector naming the next one.
        std::uint32_t difat = m_bytes.u32(0x44);
        const qsizetype difatSlots = m_sectorSize / 4 - 1;
        for (qsizetype hops = 0; fatSectorIds.size() < fatSectors; ++hops) {
            if (difat == EndOfChain || hops > m_sectorCount)
                damaged(QStringLiteral("复合文档的分配表不完整"));
            const qsizetype at = sectorOffset(difat);
            for (qsizetype i = 0; i < difatSlots && fatSectorIds.size() < fatSectors; ++i)
                fatSectorIds.push_back(m_bytes.u32(at + 4 * i));
            difat = m_bytes.u32(at + 4 * difatSlots);
        }
        QByteArray table;
        for (std::uint32_t s : fatSectorIds)
            appendSector(table, s);
        const Bytes t(table);
        m_fat.resize(static_cast<std::size_t>(t.size() / 4));
        for (std::size_t i = 0; i < m_fat.size(); ++i)
            m_fat[i] = t.u32(qsizetype(i) * 4);
    }

    // The bytes of the chain starting at `start`, cut to `size` (−1: the whole chain).
    // `table` maps each unit to the next; units are sectors of the file or, for the
    // mini stream, 64-byte pieces of `container`.
    QByteArray chain(std::uint32_t start, const std::vector<std::uint32_t>& table, qsizetype unit, qint64 size,
                     const QByteArray* container = nullptr) const
    {
        QByteArray out;
        std::uint32_t at = start;
        std::vector<bool> visited(table.size(), false); // a chain that loops is damaged
        while (at != EndOfChain && (size < 0 || out.size() < size)) {
            if (at >= table.size() || visited[at])
                damaged(QStringLiteral("复合文档的扇区链损坏"));
            visited[at] = true;
            if (container) {
                if ((qsizetype(at) + 1) * unit > container->size())
                    damaged(QStringLiteral("小扇区%1超出小流末尾").arg(at));
                out.append(container->constData() + qsizetype(at) * unit, unit);
            } else {
                appendSector(out, at);
            }
            at = table[at];
        }
        if (size >= 0) {
            if (out.size() < size)
                damaged(QStringLiteral("流比目录所记的%1字节短").arg(size));
            out.truncate(size);
        }
        return out;
    }

    QByteArray miniStream(const Bytes& dir, std::uint32_t start, std::uint32_t size) const
    {
        // The root entry's chain holds the mini stream; the mini FAT says how it is cut.
        const QByteArray container = chain(dir.u32(0x74), m_fat, m_sectorSize, -1);
        const QByteArray miniFatBytes = chain(m_bytes.u32(0x3C), m_fat, m_sectorSize, -1);
        const Bytes mf(miniFatBytes);
        std::vector<std::uint32_t> miniFat(static_cast<std::size_t>(mf.size() / 4));
        for (std::size_t i = 0; i < miniFat.size(); ++i)
            miniFat[i] = mf.u32(qsizetype(i) * 4);
        return chain(start, miniFat, 64, size, &container);
    }

    const QByteArray& m_file;
    Bytes m_bytes;
    qsizetype m_sectorSize = 512;
    qsizetype m_sectorCount = 0;
    std::vector<std::uint32_t> m_fat;
};

// ---------------------------------------------------------------------------------
// The workbook stream: records of type, length and data.

constexpr unsigned RecBof = 0x0809, RecEof = 0x000A, RecBoundSheet = 0x0085, RecSst = 0x00FC,
                   RecContinue = 0x003C, RecLabelSst = 0x00FD, RecNumber = 0x0203, RecRk = 0x027E,
                   RecMulRk = 0x00BD, RecLabel = 0x0204, RecMergeCells = 0x00E5, RecColInfo = 0x007D,
                   RecRow = 0x0208;

struct Record {
    unsigned type = 0;
    qsizetype offset = 0; // of the data, in the stream
    Bytes data{nullptr, 0};
};

class RecordReader {
public:
    RecordReader(const QByteArray& stream, qsizetype at) : m_stream(stream), m_at(at) {}

    bool next(Record& r)
    {
        if (m_at >= m_stream.size())
            return false;
        const unsigned length = m_stream.u16(m_at + 2);
        r.type = m_stream.u16(m_at);
        r.offset = m_at + 4;
        m_stream.need(r.offset, length, "记录");
        r.data = Bytes(m_stream.data() + r.offset, length);
        m_at = r.offset + length;
        return true;
    }
    // The type of the next record without reading it (0 at the end).
    unsigned peek() const { return m_stream.has(m_at, 2) ? m_stream.u16(m_at) : 0; }

private:
    Bytes m_stream;
    qsizetype m_at;
};

// Reads over a record and its CONTINUE records as one sequence; a text cut at a
// record boundary starts the next record with a fresh option byte.
class ContinuedReader {
public:
    explicit ContinuedReader(std::vector<Bytes> parts) : m_parts(std::move(parts)) {}

    bool atEnd()
    {
        while (m_part < m_parts.size() && m_at >= m_parts[m_part].size())
            nextPart();
        return m_part >= m_parts.size();
    }
    unsigned u8()
    {
        if (atEnd())
            damaged(QStringLiteral("共享字符串表不完整"));
        return m_parts[m_part].u8(m_at++);
    }
    unsigned u16() { return u8() | (u8() << 8); }
    std::uint32_t u32() { return u16() | (std::uint32_t(u16()) << 16); }
    void skip(std::uint64_t count)
    {
        while (count > 0) {
            if (atEnd())
                damaged(QStringLiteral("共享字符串表不完整"));
            const auto step = std::min<std::uint64_t>(count, std::uint64_t(m_parts[m_part].size() - m_at));
            m_at += qsizetype(step);
            count -= step;
        }
    }
    // `count` characters, one or two bytes each as the option bytes say.
    QString chars(unsigned count, bool wide)
    {
        QString s;
        s.reserve(count);
        while (unsigned(s.size()) < count) {
            if (m_part < m_parts.size() && m_at >= m_parts[m_part].size()) {
                nextPart();
                wide = (u8() & 0x01) != 0;
                continue;
            }
            if (m_part >= m_parts.size())
                damaged(QStringLiteral("共享字符串表不完整"));
            const Bytes& p = m_parts[m_part];
            if (wide) {
                s += QChar(char16_t(p.u16(m_at)));
                m_at += 2;
            } else {
                s += QChar(char16_t(p.u8(m_at)));
                m_at += 1;
            }
        }
        return s;
    }

private:
    void nextPart()
    {
        ++m_part;
        m_at = 0;
    }
    std::vector<Bytes> m_parts;
    std::size_t m_part = 0;
    qsizetype m_at = 0;
};

// One XLUnicodeRichExtendedString of the shared string table.
QString sharedString(ContinuedReader& in)
{
    const unsigned count = in.u16();
    const unsigned options = in.u8();
    const unsigned runs = (options & 0x08) ? in.u16() : 0;
    const std::uint32_t extra = (options & 0x04) ? in.u32() : 0;
    QString s = in.chars(count, (options & 0x01) != 0);
    in.skip(std::uint64_t(runs) * 4 + extra);
    return s;
}

std::vector<QString> sharedStrings(RecordReader& records, const Record& sst)
{
    std::vector<Bytes> parts{sst.data};
    Record r;
    while (records.peek() == RecContinue && records.next(r))
        parts.push_back(r.data);
    ContinuedReader in(std::move(parts));
    in.u32(); // references, not needed
    const std::uint32_t unique = in.u32();
    std::vector<QString> strings;
    while (strings.size() < unique && !in.atEnd())
        strings.push_back(sharedString(in));
    return strings;
}

// A ShortXLUnicodeString (count in one byte) or XLUnicodeString (two) at `at`.
QString inlineString(const Bytes& b, qsizetype at, bool shortCount)
{
    const unsigned count = shortCount ? b.u8(at) : b.u16(at);
    at += shortCount ? 1 : 2;
    const bool wide = (b.u8(at++) & 0x01) != 0;
    b.need(at, qsizetype(count) * (wide ? 2 : 1), "文字");
    QString s;
    s.reserve(count);
    for (unsigned i = 0; i < count; ++i)
        s += QChar(char16_t(wide ? b.u16(at + 2 * i) : b.u8(at + i)));
    return s;
}

double rkNumber(std::uint32_t rk)
{
    double v = 0;
    if (rk & 0x02) {
        v = static_cast<std::int32_t>(rk) >> 2;
    } else {
        const std::uint64_t bits = std::uint64_t(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, sizeof v);
    }
    return (rk & 0x01) ? v / 100 : v;
}

struct SheetEntry {
    QString name;
    std::uint32_t offset = 0;
};

class WorksheetReader {
public:
    WorksheetReader(XlsWorksheet& sheet, const std::vector<QString>& strings, std::size_t& cellCount)
        : m_sheet(sheet), m_strings(strings), m_cellCount(cellCount)
    {
    }

    void record(const Record& r)
    {
        const Bytes& d = r.data;
        switch (r.type) {
        case RecLabelSst: {
            const std::uint32_t index = d.u32(6);
            if (index >= m_strings.size())
                damaged(QStringLiteral("共享字符串序号%1超出范围").arg(index));
            setText(d, m_strings[index]);
            break;
        }
        case RecLabel:
            setText(d, inlineString(d, 6, false));
            break;
        case RecNumber:
            setNumber(d.u16(0), d.u16(2), d.f64(6));
            break;
        case RecRk:
            setNumber(d.u16(0), d.u16(2), rkNumber(d.u32(6)));
            break;
        case RecMulRk:
            mulRk(d);
            break;
        case RecMergeCells:
            mergeCells(d);
            break;
        case RecColInfo:
            colInfo(d);
            break;
        case RecRow: {
            const bool hidden = (d.u16(12) & 0x0020) != 0;
            m_sheet.rowHeights[int(d.u16(0)) + 1] = hidden ? 0 : XlsReader::pixelsOfTwips(d.u16(6) & 0x7FFF);
            break;
        }
        default:
            break; // formats, formulas and the like are not read
        }
    }

private:
    XlsValue& cell(unsigned row, unsigned col)
    {
        if (++m_cellCount > XlsReader::MaxCells)
            damaged(QStringLiteral("单元格超过%1个").arg(XlsReader::MaxCells));
        return m_sheet.cells[{int(row) + 1, int(col) + 1}];
    }
    void setText(const Bytes& d, const QString& text)
    {
        XlsValue& v = cell(d.u16(0), d.u16(2));
        v.kind = CellKind::Text;
        v.text = text;
    }
    void setNumber(unsigned row, unsigned col, double number)
    {
        XlsValue& v = cell(row, col);
        v.kind = CellKind::Number;
        v.number = number;
    }
    void mulRk(const Bytes& d)
    {
        if (d.size() < 6 || (d.size() - 6) % 6 != 0)
            damaged(QStringLiteral("MULRK记录的长度%1无效").arg(d.size()));
        const unsigned row = d.u16(0), first = d.u16(2);
        const qsizetype count = (d.size() - 6) / 6;
        if (d.u16(d.size() - 2) != first + count - 1)
            damaged(QStringLiteral("MULRK记录的列范围与长度不符"));
        for (qsizetype i = 0; i < count; ++i)
            setNumber(row, first + unsigned(i), rkNumber(d.u32(4 + 6 * i + 2)));
    }
    void mergeCells(const Bytes& d)
    {
        const unsigned count = d.u16(0);
        d.need(2, qsizetype(count) * 8, "合并区域");
        for (unsigned i = 0; i < count; ++i) {
            const qsizetype at = 2 + 8 * qsizetype(i);
            m_sheet.merges.push_back({int(d.u16(at + 4)) + 1, int(d.u16(at)) + 1, int(d.u16(at + 6)) + 1,
                                      int(d.u16(at + 2)) + 1});
        }
    }
    void colInfo(const Bytes& d)
    {
        const unsigned first = d.u16(0), last = d.u16(2);
        const bool hidden = (d.u16(8) & 0x0001) != 0;
        const int width = hidden ? 0 : XlsReader::pixelsOfWidthUnits(d.u16(4));
        // Columns beyond what a sheet can have are passed over.
        for (unsigned c = first; c <= last && c < unsigned(Sheet::MaxColumns); ++c)
            m_sheet.columnWidths[int(c) + 1] = width;
    }

    XlsWorksheet& m_sheet;
    const std::vector<QString>& m_strings;
    std::size_t& m_cellCount;
};

void expectBof(RecordReader& records, const char* where)
{
    Record r;
    if (!records.next(r) || r.type != RecBof || r.data.size() < 4 || r.data.u16(0) != 0x0600)
        damaged(QStringLiteral("%1不是BIFF8格式（Excel 97-2003）").arg(QString::fromUtf8(where)));
}

std::vector<XlsWorksheet> readWorkbook(const QByteArray& file)
{
    const QByteArray stream
        = CompoundFileReader(file).stream({QStringLiteral("Workbook"), QStringLiteral("Book")});
    RecordReader globals(stream, 0);
    expectBof(globals, "工作簿");
    std::vector<SheetEntry> entries;
    std::vector<QString> strings;
    Record r;
    while (globals.next(r) && r.type != RecEof) {
        if (r.type == RecBoundSheet) {
            if (r.data.u8(5) == 0) // a worksheet, not a chart or macro sheet
                entries.push_back({inlineString(r.data, 6, true), r.data.u32(0)});
        } else if (r.type == RecSst) {
            strings = sharedStrings(globals, r);
        }
    }
    std::vector<XlsWorksheet> sheets;
    std::size_t cellCount = 0;
    for (const SheetEntry& entry : entries) {
        if (entry.offset >= std::uint32_t(stream.size()))
            damaged(QStringLiteral("工作表“%1”的位置超出文件末尾").arg(entry.name));
        XlsWorksheet sheet;
        sheet.name = entry.name;
        RecordReader records(stream, entry.offset);
        expectBof(records, "工作表");
        WorksheetReader reader(sheet, strings, cellCount);
        while (records.next(r) && r.type != RecEof)
            reader.record(r);
        sheets.push_back(std::move(sheet));
    }
    return sheets;
}

} // namespace

const XlsValue* XlsWorksheet::value(int col, int row) const
{
    const auto it = cells.find({row, col});
    return it == cells.end() ? nullptr : &it->second;
}

std::vector<XlsWorksheet> XlsReader::read(const QByteArray& bytes, const QString& name)
{
    try {
        return readWorkbook(bytes);
    } catch (const Damage& d) {
        throw SheetError(QStringLiteral("工作簿“%1”已损坏：%2").arg(name, d.reason));
    }
}

std::vector<XlsWorksheet> XlsReader::readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw SheetError(QStringLiteral("工作簿“%1”无法读取：%2").arg(path, file.errorString()));
    return read(file.readAll(), path);
}

int XlsReader::pixelsOfWidthUnits(unsigned units)
{
    // Narrow columns are scaled to 12 pixels per character, wider ones are 7 pixels a
    // digit plus 5 of padding (see XlsWriter).
    if (units <= 256)
        return int(std::lround(units * 12.0 / 256));
    return int(std::lround(units * 7.0 / 256 + 5));
}

int XlsReader::pixelsOfTwips(unsigned twips)
{
    return int(std::lround(twips / 15.0));
}

} // namespace sheet
