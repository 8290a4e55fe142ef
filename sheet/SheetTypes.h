#pragma once
// Value types of the report sheet: alignment codes, style codes, fonts, cell formats,
// cell ranges and the page set-up. Lengths are sheet units: pixels at 96 per inch.
#include <QHashFunctions>
#include <QString>
#include <QtGlobal>
#include <cstdint>

namespace sheet {

// Alignment codes as bit flags; one horizontal and one vertical flag may be combined
// (32 left, 34 right, 36 centred, each vertically centred). A code without a
// horizontal flag aligns texts left and numbers right; without a vertical flag it
// centres vertically.
enum Align : int {
    AlignLeft = 1,
    AlignRight = 2,
    AlignCenter = 4,
    AlignTop = 8,
    AlignBottom = 16,
    AlignVCenter = 32,
};
constexpr int AlignHorizontalMask = AlignLeft | AlignRight | AlignCenter;
constexpr int AlignVerticalMask = AlignTop | AlignBottom | AlignVCenter;
constexpr int AlignAllFlags = AlignHorizontalMask | AlignVerticalMask;

// Style codes. 0 is the normal look of the cell's format; 2 is the emphasised look of
// total rows: the cell's font in bold on a light grey fill (EmphasisFill).
enum CellStyle : int {
    StyleNormal = 0,
    StyleEmphasis = 2,
};
constexpr std::uint32_t EmphasisFill = 0xFFF0F0F0;

enum class BorderLine : std::uint8_t { None = 0, Thin = 1, Medium = 2, Thick = 3 };
enum BorderSide : int { SideLeft = 0, SideTop = 1, SideRight = 2, SideBottom = 3 };

// How a number cell is shown: as Excel's "General", as an amount "#,##0.00" or as an
// integer "0". Workbooks carry the same pattern, so a number stays a number there.
enum class NumberFormat : std::uint8_t { General = 0, Amount = 1, Integer = 2 };

struct FontSpec {
    QString family = QStringLiteral("宋体");
    double pointSize = 10.0;
    bool bold = false;
    bool italic = false;
    bool underline = false;

    bool operator==(const FontSpec&) const = default;
};

struct CellFormat {
    std::uint16_t font = 0;           // index into the sheet's fonts
    std::uint8_t align = 0;           // Align flags
    std::uint8_t style = StyleNormal; // CellStyle code
    BorderLine border[4] = {BorderLine::None, BorderLine::None, BorderLine::None, BorderLine::None};
    bool wrap = true;                 // texts wrap within the cell's width
    NumberFormat number = NumberFormat::General;
    std::uint32_t fill = 0;           // ARGB; 0 = no fill

    bool operator==(const CellFormat&) const = default;
};

inline size_t qHash(const FontSpec& f, size_t seed = 0)
{
    return qHashMulti(seed, f.family, f.pointSize, f.bold, f.italic, f.underline);
}

inline size_t qHash(const CellFormat& f, size_t seed = 0)
{
    return qHashMulti(seed, f.font, f.align, f.style, int(f.border[0]), int(f.border[1]), int(f.border[2]),
                      int(f.border[3]), f.wrap, int(f.number), f.fill);
}

// An inclusive rectangle of cells, counted from 1.
struct CellRange {
    int firstCol = 0;
    int firstRow = 0;
    int lastCol = 0;
    int lastRow = 0;

    bool contains(int col, int row) const
    {
        return col >= firstCol && col <= lastCol && row >= firstRow && row <= lastRow;
    }
    bool intersectsRows(int first, int last) const { return firstRow <= last && lastRow >= first; }
    bool operator==(const CellRange&) const = default;
};

enum class Paper : std::uint8_t { A4, A3 };
enum class Orientation : std::uint8_t { Portrait, Landscape };

struct PageSetup {
    Paper paper = Paper::A4;
    Orientation orientation = Orientation::Landscape;
    double marginLeftMm = 15;
    double marginTopMm = 15;
    double marginRightMm = 15;
    double marginBottomMm = 15;
    int headingFirstRow = 0; // rows repeated at the top of every printed page; 0 = none
    int headingLastRow = 0;
    QString textLeft;   // page text printed at the foot of every page;
    QString textMiddle; // "&S" stands for the page count, "&P" for the page number
    QString textRight;
};

} // namespace sheet
