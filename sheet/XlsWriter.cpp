#include "sheet/XlsWriter.h"

#include <QHash>
#include <algorithm>
#include <cmath>
#include <vector>

#include "sheet/CompoundFile.h"
#include "sheet/LittleEndian.h"
#include "sheet/PageText.h"
#include "sheet/SheetError.h"
#include "files/StagedFile.h"

namespace sheet {

namespace {

constexpr int MaxRecordData = 8224;
constexpr int FirstCellXf = 16; // 15 style records and the default cell record come first
constexpr unsigned Black = 8;
constexpr unsigned AutoColour = 0x7FFF;
constexpr int FirstCustomColour = 16;
constexpr int PaletteSize = 56;
constexpr int MaxCellText = 32767;

void record(QByteArray& out, unsigned type, const QByteArray& data)
{
    le::u16(out, type);
    le::u16(out, static_cast<unsigned>(data.size()));
    out.append(data);
}

// Pixels at 96 per inch to Excel's column width (1/256 of the digit width of the
// Normal font, 7 pixels for a 10-point face, plus 5 pixels of padding).
unsigned columnWidthUnits(int pixels)
{
    if (pixels <= 0)
        return 0;
    const double chars = pixels <= 12 ? pixels / 12.0 : (pixels - 5) / 7.0;
    return static_cast<unsigned>(std::clamp(std::lround(chars * 256), 1L, 0xFFFFL));
}

unsigned twipsOfPixels(int pixels)
{
    return static_cast<unsigned>(std::clamp(pixels * 15, 0, 0x7FFF));
}

unsigned borderCode(BorderLine line)
{
    switch (line) {
    case BorderLine::None:
        return 0;
    case BorderLine::Thin:
        return 1;
    case BorderLine::Medium:
        return 2;
    case BorderLine::Thick:
        return 5;
    }
    return 0;
}

unsigned numberFormatIndex(NumberFormat f)
{
    switch (f) {
    case NumberFormat::General:
        return 0;
    case NumberFormat::Amount:
        return 4; // built-in "#,##0.00"
    case NumberFormat::Integer:
        return 1; // built-in "0"
    }
    return 0;
}

// Builds the BIFF8 workbook stream of one sheet.
class BiffBuilder {
public:
    BiffBuilder(const Sheet& sheet, const QString& name) : m_sheet(sheet), m_name(name) {}

    QByteArray build()
    {
        collectFonts();
        collectColours();
        collectStrings();
        QByteArray out;
        const qsizetype sheetOffsetAt = globals(out);
        le::put32(out, sheetOffsetAt, static_cast<std::uint32_t>(out.size()));
        worksheet(out);
        return out;
    }

private:
    // Fonts: the sheet's effective fonts (bold under style 2) in order of first use.
    void collectFonts()
    {
        for (int i = 0; i < m_sheet.formatCount(); ++i) {
            const FontSpec f = m_sheet.effectiveFont(m_sheet.format(i));
            if (!m_fontIds.contains(f)) {
                m_fontIds.insert(f, static_cast<int>(m_fonts.size()));
                m_fonts.push_back(f);
            }
        }
    }
    // BIFF skips font index 4.
    unsigned fontIndex(const CellFormat& format) const
    {
        const int i = m_fontIds.value(m_sheet.effectiveFont(format));
        return static_cast<unsigned>(i < 4 ? i : i + 1);
    }

    std::uint32_t fillOf(const CellFormat& f) const
    {
        return f.fill ? f.fill : (f.style == StyleEmphasis ? EmphasisFill : 0);
    }
    void collectColours()
    {
        for (int i = 0; i < m_sheet.formatCount(); ++i) {
            const std::uint32_t fill = fillOf(m_sheet.format(i));
            if (fill && !m_colours.contains(fill) && m_colours.size() < PaletteSize - FirstCustomColour + 8)
                m_colours.insert(fill, FirstCustomColour + static_cast<int>(m_colours.size()));
        }
    }

    void collectStrings()
    {
        for (int r = 1; r <= m_sheet.rowCount(); ++r)
            for (int c = 1; c <= m_sheet.columnCount(); ++c)
                if (m_sheet.kind(c, r) == CellKind::Text) {
                    ++m_stringRefs;
                    const QString t = m_sheet.text(c, r);
                    if (!m_stringIds.contains(t)) {
                        m_stringIds.insert(t, static_cast<std::uint32_t>(m_strings.size()));
                        m_strings.push_back(t.left(MaxCellText)); // Excel's limit for one cell
                    }
                }
    }

    qsizetype globals(QByteArray& out)
    {
        bof(out, 0x0005);
        QByteArray d;
        le::u16(d, 1200); // text is UTF-16
        record(out, 0x0042, d);
        d.clear();
        for (unsigned v : {0u, 0u, 0x4000u, 0x2800u, 0x0038u, 0u, 0u, 1u, 0x0258u})
            le::u16(d, v);
        record(out, 0x003D, d); // WINDOW1
        d.clear();
        le::u16(d, 0);
        record(out, 0x0022, d); // DATEMODE: 1900
        fonts(out);
        xfs(out);
        d.clear();
        le::u16(d, 0x8000);
        le::u8(d, 0);
        le::u8(d, 0xFF);
        record(out, 0x0293, d); // STYLE: Normal
        if (!m_colours.isEmpty())
            palette(out);
        d.clear();
        const qsizetype offsetAt = out.size() + 4;
        le::u32(d, 0); // the sheet's offset, filled in once known
        le::u16(d, 0);
        le::u8(d, static_cast<unsigned>(m_name.size()));
        le::u8(d, 1);
        le::utf16(d, m_name);
        record(out, 0x0085, d); // BOUNDSHEET
        printTitles(out);
        sst(out);
        record(out, 0x000A, {});
        return offsetAt;
    }

    void bof(QByteArray& out, unsigned kind)
    {
        QByteArray d;
        le::u16(d, 0x0600);
        le::u16(d, kind);
        le::u16(d, 0x0DBB);
        le::u16(d, 0x07CC);
        le::u32(d, 0);
        le::u32(d, 0x06);
        record(out, 0x0809, d);
    }

    void fonts(QByteArray& out)
    {
        for (std::size_t i = 0; i < m_fonts.size(); ++i) {
            const FontSpec& f = m_fonts[i];
            QByteArray d;
            le::u16(d, static_cast<unsigned>(std::lround(f.pointSize * 20)));
            le::u16(d, (f.bold ? 0x01 : 0) | (f.italic ? 0x02 : 0)); // bit 0 as older readers expect it
            le::u16(d, AutoColour);
            le::u16(d, f.bold ? 700 : 400);
            le::u16(d, 0);
            le::u8(d, f.underline ? 1 : 0);
            le::u8(d, 0);
            le::u8(d, 0x86); // GB2312 character set
            le::u8(d, 0);
            const QString family = f.family.left(255);
            le::u8(d, static_cast<unsigned>(family.size()));
            le::u8(d, 1);
            le::utf16(d, family);
            record(out, 0x0031, d); // index 4 does not exist: the fifth record is font 5
        }
    }

    void xf(QByteArray& out, unsigned font, unsigned numberFormat, unsigned type, unsigned align, unsigned used,
            std::uint32_t borders, std::uint32_t borders2, unsigned colours)
    {
        QByteArray d;
        le::u16(d, font);
        le::u16(d, numberFormat);
        le::u16(d, type);
        le::u8(d, align);
        le::u8(d, 0);
        le::u8(d, 0);
        le::u8(d, used);
        le::u32(d, borders);
        le::u32(d, borders2);
        le::u16(d, colours);
        record(out, 0x00E0, d);
    }

    void xfs(QByteArray& out)
    {
        const unsigned noColours = 0x40 | (0x41 << 7);
        for (int i = 0; i < 15; ++i)
            xf(out, 0, 0, 0xFFF5, 0x20, i == 0 ? 0 : 0xF4, 0, 0, noColours);
        xf(out, 0, 0, 0x0001, 0x20, 0, 0, 0, noColours);
        for (int i = 0; i < m_sheet.formatCount(); ++i) {
            const CellFormat& f = m_sheet.format(i);
            unsigned h = 0;
            if (f.align & AlignLeft)
                h = 1;
            else if (f.align & AlignCenter)
                h = 2;
            else if (f.align & AlignRight)
                h = 3;
            unsigned v = 1; // vertically centred unless told otherwise
            if (f.align & AlignTop)
                v = 0;
            else if (f.align & AlignBottom)
                v = 2;
            const unsigned align = h | (f.wrap ? 0x08 : 0) | (v << 4);
            const unsigned left = borderCode(f.border[SideLeft]), right = borderCode(f.border[SideRight]);
            const unsigned top = borderCode(f.border[SideTop]), bottom = borderCode(f.border[SideBottom]);
            const std::uint32_t borders = left | (right << 4) | (top << 8) | (bottom << 12)
                | ((left ? Black : 0) << 16) | ((right ? Black : 0) << 23);
            std::uint32_t borders2 = (top ? Black : 0) | ((bottom ? Black : 0) << 7);
            unsigned colours = 0x40 | (0x41 << 7);
            if (const std::uint32_t fill = fillOf(f); fill && m_colours.contains(fill)) {
                borders2 |= 1u << 26; // solid pattern
                colours = static_cast<unsigned>(m_colours.value(fill)) | (0x41 << 7);
            }
            xf(out, fontIndex(f), numberFormatIndex(f.number), 0x0001, align, 0xFC, borders, borders2, colours);
        }
    }

    void palette(QByteArray& out)
    {
        std::vector<std::uint32_t> colours(PaletteSize, 0xFFFFFF);
        const std::uint32_t base[] = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF};
        std::copy(std::begin(base), std::end(base), colours.begin());
        for (auto it = m_colours.cbegin(); it != m_colours.cend(); ++it)
            colours[static_cast<std::size_t>(it.value() - 8)] = it.key() & 0xFFFFFF;
        QByteArray d;
        le::u16(d, PaletteSize);
        for (std::uint32_t rgb : colours) {
            le::u8(d, (rgb >> 16) & 0xFF);
            le::u8(d, (rgb >> 8) & 0xFF);
            le::u8(d, rgb & 0xFF);
            le::u8(d, 0);
        }
        record(out, 0x0092, d);
    }

    // The repeated heading rows: the built-in name Print_Titles over those rows.
    void printTitles(QByteArray& out)
    {
        const PageSetup& p = m_sheet.pageSetup();
        if (p.headingFirstRow <= 0)
            return;
        QByteArray d;
        le::u16(d, 1);
        le::u16(d, 0x0401);
        record(out, 0x01AE, d); // SUPBOOK: this workbook
        d.clear();
        le::u16(d, 1);
        le::u16(d, 0);
        le::u16(d, 0);
        le::u16(d, 0);
        record(out, 0x0017, d); // EXTERNSHEET
        d.clear();
        le::u16(d, 0x0020); // built-in name
        le::u8(d, 0);
        le::u8(d, 1);
        le::u16(d, 11);
        le::u16(d, 0);
        le::u16(d, 1); // local to sheet 1
        for (int i = 0; i < 4; ++i)
            le::u8(d, 0);
        le::u8(d, 0);
        le::u8(d, 0x07); // Print_Titles
        le::u8(d, 0x3B); // tArea3d
        le::u16(d, 0);
        le::u16(d, static_cast<unsigned>(p.headingFirstRow - 1));
        le::u16(d, static_cast<unsigned>(p.headingLastRow - 1));
        le::u16(d, 0);
        le::u16(d, 0xFF);
        record(out, 0x0018, d);
    }

    // The shared strings, continued over CONTINUE records; a string cut between two
    // records repeats its option byte at the start of the next.
    void sst(QByteArray& out)
    {
        QByteArray current;
        bool first = true;
        auto flush = [&] {
            record(out, first ? 0x00FC : 0x003C, current);
            first = false;
            current.clear();
        };
        le::u32(current, static_cast<std::uint32_t>(m_stringRefs));
        le::u32(current, static_cast<std::uint32_t>(m_strings.size()));
        for (const QString& s : m_strings) {
            if (current.size() + 3 + 2 > MaxRecordData)
                flush();
            le::u16(current, static_cast<unsigned>(s.size()));
            le::u8(current, 1);
            qsizetype done = 0;
            while (done < s.size()) {
                qsizetype room = (MaxRecordData - current.size()) / 2;
                if (room == 0) {
                    flush();
                    le::u8(current, 1);
                    room = (MaxRecordData - current.size()) / 2;
                }
                const qsizetype take = std::min(room, s.size() - done);
                le::utf16(current, s.mid(done, take));
                done += take;
            }
        }
        flush();
    }

    void worksheet(QByteArray& out)
    {
        bof(out, 0x0010);
        QByteArray d;
        le::u16(d, 0);
        le::u16(d, twipsOfPixels(Sheet::DefaultRowHeight));
        record(out, 0x0225, d); // DEFAULTROWHEIGHT
        d.clear();
        le::u16(d, 0x05C1); // WSBOOL: fit to one page wide
        record(out, 0x0081, d);
        pageSetup(out);
        columns(out);
        dimensions(out);
        rowBlocks(out);
        window(out);
        merges(out);
        record(out, 0x000A, {});
    }

    // Header and footer, centring, margins and paper: one page wide, as tall as needed.
    void pageSetup(QByteArray& out)
    {
        const PageSetup& p = m_sheet.pageSetup();
        record(out, 0x0014, {}); // HEADER: none
        QByteArray d;
        const QString footer = PageText::excelFooter(p.textLeft, p.textMiddle, p.textRight).left(255);
        if (!footer.isEmpty()) {
            le::u16(d, static_cast<unsigned>(footer.size()));
            le::u8(d, 1);
            le::utf16(d, footer);
        }
        record(out, 0x0015, d); // FOOTER
        d.clear();
        le::u16(d, 1);
        record(out, 0x0083, d); // HCENTER
        d.clear();
        le::u16(d, 0);
        record(out, 0x0084, d); // VCENTER
        const double margins[] = {p.marginLeftMm, p.marginRightMm, p.marginTopMm, p.marginBottomMm};
        for (int i = 0; i < 4; ++i) {
            d.clear();
            le::f64(d, margins[i] / 25.4);
            record(out, 0x0026 + static_cast<unsigned>(i), d);
        }
        d.clear();
        le::u16(d, p.paper == Paper::A3 ? 8 : 9);
        le::u16(d, 100);
        le::u16(d, 1);
        le::u16(d, 1); // one page wide
        le::u16(d, 0); // as many pages tall as needed
        le::u16(d, p.orientation == Orientation::Portrait ? 0x0002 : 0x0000);
        le::u16(d, 600);
        le::u16(d, 600);
        le::f64(d, 0.3);
        le::f64(d, std::max(0.2, p.marginBottomMm / 25.4 - 0.25));
        le::u16(d, 1);
        record(out, 0x00A1, d); // SETUP
    }

    // One COLINFO per column: its width, hidden when 0.
    void columns(QByteArray& out)
    {
        QByteArray d;
        le::u16(d, 8);
        record(out, 0x0055, d); // DEFCOLWIDTH
        for (int c = 1; c <= m_sheet.columnCount(); ++c) {
            d.clear();
            const int w = m_sheet.columnWidth(c);
            le::u16(d, static_cast<unsigned>(c - 1)); // first column
            le::u16(d, static_cast<unsigned>(c - 1)); // last column
            le::u16(d, columnWidthUnits(w));
            le::u16(d, 15);
            le::u16(d, w == 0 ? 0x0001 : 0x0000); // hidden
            le::u16(d, 0);
            record(out, 0x007D, d); // COLINFO
        }
    }

    void dimensions(QByteArray& out)
    {
        QByteArray d;
        le::u32(d, 0);
        le::u32(d, static_cast<std::uint32_t>(m_sheet.rowCount())); // one past the last row
        le::u16(d, 0);
        le::u16(d, static_cast<unsigned>(m_sheet.columnCount())); // one past the last column
        le::u16(d, 0);
        record(out, 0x0200, d); // DIMENSIONS
    }

    // Rows in blocks of 32: their ROW records, then their cells.
    void rowBlocks(QByteArray& out)
    {
        for (int first = 1; first <= m_sheet.rowCount(); first += 32) {
            const int last = std::min(m_sheet.rowCount(), first + 31);
            for (int r = first; r <= last; ++r)
                rowRecord(out, r);
            for (int r = first; r <= last; ++r)
                cells(out, r);
        }
    }

    // WINDOW2, and a PANE that holds the frozen rows at the top (no split line).
    void window(QByteArray& out)
    {
        const int frozen = std::min(m_sheet.frozenRows(), m_sheet.rowCount());
        const unsigned frozenFlags = frozen > 0 ? 0x0008 | 0x0100 : 0;
        QByteArray d;
        for (unsigned v : {0x06B6u | frozenFlags, 0u, 0u, 0x40u, 0u, 0u, 0u, 0u, 0u})
            le::u16(d, v);
        record(out, 0x023E, d);
        if (frozen == 0)
            return;
        d.clear();
        le::u16(d, 0);                              // no frozen columns
        le::u16(d, static_cast<unsigned>(frozen));  // frozen rows
        le::u16(d, static_cast<unsigned>(frozen));  // first row of the lower pane
        le::u16(d, 0);
        le::u16(d, 2); // the lower pane is active
        record(out, 0x0041, d);
    }

    void rowRecord(QByteArray& out, int r)
    {
        QByteArray d;
        le::u16(d, static_cast<unsigned>(r - 1));
        le::u16(d, 0);
        le::u16(d, static_cast<unsigned>(m_sheet.columnCount()));
        const int h = m_sheet.rowHeight(r);
        le::u16(d, twipsOfPixels(h));
        le::u16(d, 0);
        le::u16(d, 0);
        le::u16(d, 0x0140 | (h == 0 ? 0x0020 : 0)); // custom height; hidden when 0
        le::u16(d, 0x000F);
        record(out, 0x0208, d);
    }

    void cells(QByteArray& out, int r)
    {
        for (int c = 1; c <= m_sheet.columnCount(); ++c) {
            const int format = m_sheet.formatIndex(c, r);
            const unsigned xfIndex = static_cast<unsigned>(FirstCellXf + format);
            QByteArray d;
            le::u16(d, static_cast<unsigned>(r - 1));
            le::u16(d, static_cast<unsigned>(c - 1));
            le::u16(d, xfIndex);
            switch (m_sheet.kind(c, r)) {
            case CellKind::Text:
                le::u32(d, m_stringIds.value(m_sheet.text(c, r)));
                record(out, 0x00FD, d); // LABELSST
                break;
            case CellKind::Number:
                le::f64(d, m_sheet.number(c, r));
                record(out, 0x0203, d); // NUMBER
                break;
            case CellKind::Empty:
                if (format != 0)
                    record(out, 0x0201, d); // BLANK: keeps borders and fills
                break;
            }
        }
    }

    void merges(QByteArray& out)
    {
        const auto& all = m_sheet.merges();
        for (std::size_t start = 0; start < all.size(); start += 1026) {
            const std::size_t end = std::min(all.size(), start + 1026);
            QByteArray d;
            le::u16(d, static_cast<unsigned>(end - start));
            for (std::size_t i = start; i < end; ++i) {
                le::u16(d, static_cast<unsigned>(all[i].firstRow - 1));
                le::u16(d, static_cast<unsigned>(all[i].lastRow - 1));
                le::u16(d, static_cast<unsigned>(all[i].firstCol - 1));
                le::u16(d, static_cast<unsigned>(all[i].lastCol - 1));
            }
            record(out, 0x00E5, d);
        }
    }

    const Sheet& m_sheet;
    QString m_name;
    std::vector<FontSpec> m_fonts;
    QHash<FontSpec, int> m_fontIds;
    QHash<std::uint32_t, int> m_colours;
    std::vector<QString> m_strings;
    QHash<QString, std::uint32_t> m_stringIds;
    qsizetype m_stringRefs = 0;
};

} // namespace

QString XlsWriter::tooManyRows(qint64 rows)
{
    return QStringLiteral("报表有%1行，超过Excel 97-2003工作簿（.xls）最多%2行的限制，请导出为.xlsx文件").arg(rows).arg(MaxRows);
}

QByteArray XlsWriter::build(const Sheet& sheet, const QString& sheetName)
{
    if (!fits(sheet.rowCount()))
        throw SheetError(tooManyRows(sheet.rowCount()));
    return CompoundFile::build(QStringLiteral("Workbook"), BiffBuilder(sheet, sheetName.left(31)).build());
}

bool XlsWriter::write(const Sheet& sheet, const QString& path, QString* error)
{
    QByteArray bytes;
    try {
        bytes = build(sheet);
    } catch (const SheetError& e) {
        if (error)
            *error = QStringLiteral("无法导出“%1”：%2").arg(path, e.message());
        return false;
    }
    return StagedFile::writeAll(path, bytes, error);
}

} // namespace sheet
