// The sheet model: sizes, row operations, cell values and formats, merges, heading
// rows, address errors that leave the sheet unchanged, and compact storage.
#include <gtest/gtest.h>

#include "sheet/Sheet.h"
#include "sheet/SheetError.h"
#include "sheet/SheetFonts.h"

using namespace sheet;

namespace {

Sheet numberedSheet(int columns, int rows)
{
    Sheet s;
    s.reset(columns, rows);
    for (int r = 1; r <= rows; ++r)
        s.setText(1, r, QStringLiteral("r%1").arg(r));
    return s;
}

QStringList firstColumn(const Sheet& s)
{
    QStringList out;
    for (int r = 1; r <= s.rowCount(); ++r)
        out << s.text(1, r);
    return out;
}

} // namespace

TEST(SheetRows, GrowingAppendsEmptyRowsWithTheLastRowsFormats)
{
    Sheet s = numberedSheet(3, 2);
    CellFormat bordered;
    bordered.border[SideLeft] = BorderLine::Thin;
    bordered.align = 34;
    s.setCellFormat(2, 2, bordered);
    s.setRowHeight(2, 40);
    s.setRowCount(5);
    EXPECT_EQ(s.rowCount(), 5);
    for (int r = 3; r <= 5; ++r) {
        EXPECT_EQ(s.kind(1, r), CellKind::Empty) << r;
        EXPECT_EQ(s.cellFormat(2, r), bordered) << r;
        EXPECT_EQ(s.rowHeight(r), 40) << r;
    }
    EXPECT_EQ(firstColumn(s).mid(0, 2), (QStringList{"r1", "r2"}));
}

TEST(SheetRows, ShrinkingDropsRowsAtTheEndWithTheirMerges)
{
    Sheet s = numberedSheet(4, 6);
    s.addMerge({1, 5, 2, 6});
    s.addMerge({3, 2, 4, 5});
    s.setRowCount(3);
    EXPECT_EQ(firstColumn(s), (QStringList{"r1", "r2", "r3"}));
    ASSERT_EQ(s.merges().size(), 1u);
    EXPECT_EQ(s.merges()[0], (CellRange{3, 2, 4, 3}));
}

TEST(SheetRows, DeleteRowsMovesLaterRowsUp)
{
    struct Case {
        int first, count;
        QStringList left;
    };
    const Case cases[] = {
        {1, 1, {"r2", "r3", "r4", "r5"}},
        {3, 2, {"r1", "r2", "r5"}},
        {5, 1, {"r1", "r2", "r3", "r4"}},
        {2, 0, {"r1", "r2", "r3", "r4", "r5"}},
        {1, 5, {}},
    };
    for (const Case& c : cases) {
        Sheet s = numberedSheet(2, 5);
        s.deleteRows(c.first, c.count);
        EXPECT_EQ(firstColumn(s), c.left) << c.first << "+" << c.count;
    }
}

TEST(SheetRows, DeleteRowsCarriesMergesAndHeadingRows)
{
    Sheet s = numberedSheet(4, 10);
    s.addMerge({1, 2, 4, 2}); // above: stays
    s.addMerge({1, 8, 2, 9}); // below: moves up
    s.addMerge({3, 4, 4, 6}); // overlaps the deleted rows: shrinks
    s.addMerge({1, 5, 1, 5}); // single cell inside: goes
    s.setHeadingRows(7, 8);
    s.deleteRows(5, 2);
    std::vector<CellRange> expected{{1, 2, 4, 2}, {1, 6, 2, 7}, {3, 4, 4, 4}};
    EXPECT_EQ(s.merges(), expected);
    EXPECT_EQ(s.pageSetup().headingFirstRow, 5);
    EXPECT_EQ(s.pageSetup().headingLastRow, 6);
}

TEST(SheetRows, BadCountsAndAddressesThrowAndChangeNothing)
{
    Sheet s = numberedSheet(3, 4);
    const auto before = s.revision();
    EXPECT_THROW(s.setRowCount(-1), SheetError);
    EXPECT_THROW(s.deleteRows(0, 1), SheetError);
    EXPECT_THROW(s.deleteRows(3, 3), SheetError);
    EXPECT_THROW(s.deleteRows(1, -1), SheetError);
    EXPECT_THROW(s.setText(4, 1, "x"), SheetError);
    EXPECT_THROW(s.setText(1, 5, "x"), SheetError);
    EXPECT_THROW(s.setNumber(0, 1, 1.0), SheetError);
    EXPECT_THROW(s.setAlign(1, 1, 64), SheetError);
    EXPECT_THROW(s.setStyle(1, 1, 1), SheetError);
    EXPECT_THROW(s.setColumnWidth(4, 10), SheetError);
    EXPECT_THROW(s.setRowHeight(1, -2), SheetError);
    EXPECT_THROW(s.addMerge({1, 1, 2, 5}), SheetError);
    EXPECT_EQ(s.revision(), before);
    EXPECT_EQ(firstColumn(s), (QStringList{"r1", "r2", "r3", "r4"}));
}

// A unit name of 40,000 characters wraps to a fit height of about 72,000 pixels: the row
// takes the tallest height a workbook holds, and the report goes on.
TEST(SheetRows, HeightsBeyondWhatAWorkbookHoldsAreCapped)
{
    Sheet s = numberedSheet(1, 3);
    s.setRowHeight(1, 72022);
    s.setRowHeight(2, Sheet::MaxRowHeight);
    s.setRowHeight(3, Sheet::MaxRowHeight - 1);
    EXPECT_EQ(s.rowHeight(1), Sheet::MaxRowHeight);
    EXPECT_EQ(s.rowHeight(2), Sheet::MaxRowHeight);
    EXPECT_EQ(s.rowHeight(3), Sheet::MaxRowHeight - 1);
}

TEST(SheetRows, ErrorNamesTheCell)
{
    Sheet s = numberedSheet(18, 7);
    try {
        s.setText(19, 3, "x");
        FAIL() << "no error";
    } catch (const SheetError& e) {
        EXPECT_TRUE(e.message().contains("19")) << e.what();
        EXPECT_TRUE(e.message().contains("3")) << e.what();
    }
}

TEST(SheetCells, TextsNumbersAndTheirDisplay)
{
    Sheet s;
    s.reset(3, 2);
    CellFormat amount;
    amount.number = NumberFormat::Amount;
    s.setCellFormat(2, 1, amount);
    s.setNumber(2, 1, 12345.5);
    s.setNumber(3, 1, 7);
    s.setNumber(3, 2, 0.125);
    s.setText(1, 1, "预算");
    EXPECT_EQ(s.kind(2, 1), CellKind::Number);
    EXPECT_DOUBLE_EQ(s.number(2, 1), 12345.5);
    EXPECT_EQ(s.displayText(2, 1), "12,345.50");
    EXPECT_EQ(s.displayText(3, 1), "7");
    EXPECT_EQ(s.displayText(3, 2), "0.125");
    EXPECT_EQ(s.text(1, 1), "预算");
    s.setText(1, 1, QString());
    EXPECT_EQ(s.kind(1, 1), CellKind::Empty);
    s.clearValue(2, 1);
    EXPECT_EQ(s.kind(2, 1), CellKind::Empty);
    EXPECT_EQ(s.cellFormat(2, 1).number, NumberFormat::Amount) << "clearing a value keeps the format";
}

TEST(SheetCells, AlignAndStyleCodesChangeOnlyTheirPart)
{
    Sheet s;
    s.reset(2, 1);
    CellFormat f;
    f.border[SideTop] = BorderLine::Medium;
    f.font = static_cast<std::uint16_t>(s.addFont(FontSpec{"宋体", 9, false, false, false}));
    s.setCellFormat(1, 1, f);
    for (int code : {32, 34, 36, 1 | 8, 4 | 16}) {
        s.setAlign(1, 1, code);
        EXPECT_EQ(s.cellFormat(1, 1).align, code);
        EXPECT_EQ(s.cellFormat(1, 1).border[SideTop], BorderLine::Medium);
    }
    s.setStyle(1, 1, StyleEmphasis);
    EXPECT_TRUE(s.effectiveFont(s.cellFormat(1, 1)).bold);
    EXPECT_FALSE(s.font(s.cellFormat(1, 1).font).bold) << "the font itself stays";
    s.setStyle(1, 1, StyleNormal);
    EXPECT_FALSE(s.effectiveFont(s.cellFormat(1, 1)).bold);
}

TEST(SheetCells, FormatsAndFontsAreShared)
{
    Sheet s;
    s.reset(18, 100);
    for (int r = 1; r <= 100; ++r)
        for (int c = 1; c <= 18; ++c)
            s.setAlign(c, r, 34);
    EXPECT_EQ(s.formatCount(), 2);
    EXPECT_EQ(s.addFont(FontSpec{}), 0);
}

TEST(SheetCells, MergesMayNotOverlap)
{
    Sheet s;
    s.reset(5, 5);
    s.addMerge({2, 1, 5, 1});
    EXPECT_THROW(s.addMerge({1, 1, 2, 2}), SheetError);
    ASSERT_NE(s.mergeAt(4, 1), nullptr);
    EXPECT_EQ(s.mergeAt(4, 1)->firstCol, 2);
    EXPECT_EQ(s.mergeAt(1, 1), nullptr);
}

TEST(SheetStorage, FiftyThousandRowsOfEighteenColumnsStayCompact)
{
    Sheet s;
    s.reset(18, 7);
    for (int i = 0; i < 50000; ++i) {
        s.setRowCount(s.rowCount() + 1);
        const int r = s.rowCount();
        for (int c = 2; c <= 11; ++c)
            s.setText(c, r, QStringLiteral("单位%1-%2").arg(i % 500).arg(c));
        for (int c = 12; c <= 18; ++c)
            s.setText(c, r, QStringLiteral("%1.00").arg(i * 13 + c));
        for (int c = 1; c <= 18; ++c)
            s.setStyle(c, r, i % 10 == 0 ? 2 : 0);
    }
    EXPECT_EQ(s.rowCount(), 50007);
    const double mb = s.memoryUsage() / (1024.0 * 1024.0);
    EXPECT_LT(mb, 60.0) << mb << " MB";
    EXPECT_GT(mb, 10.0) << "the count covers the cells";
}

// Numbers live apart from their cells: rewriting a cell over and over must not pile
// up dead values, and moving the live ones together must keep each with its cell.
TEST(SheetStorage, NumbersStayWithTheirCellsWhileCellsAreRewrittenAndRowsGo)
{
    Sheet s;
    s.reset(4, 3000);
    for (int r = 1; r <= 3000; ++r)
        for (int c = 1; c <= 4; ++c)
            s.setNumber(c, r, r * 10 + c);
    const std::size_t filled = s.memoryUsage();
    for (int i = 0; i < 50000; ++i) {
        s.setText(1, 3000, QStringLiteral("x"));
        s.setNumber(1, 3000, i);
    }
    EXPECT_LT(s.memoryUsage(), filled + 100 * 1024) << "dead numbers are reclaimed";
    s.deleteRows(1, 2500);
    s.setColumnCount(3);
    for (int r = 1; r <= 500; ++r)
        for (int c = 1; c <= 3; ++c) {
            const double expected = r == 500 && c == 1 ? 49999 : (r + 2500) * 10 + c;
            ASSERT_EQ(s.number(c, r), expected) << c << "," << r;
        }
}

TEST(SheetFit, FitHeightGrowsWithWrappedText)
{
    Sheet s;
    s.reset(3, 2);
    s.setColumnWidth(2, 80);
    s.setText(2, 1, "短");
    const QString longText = QStringLiteral("农村公路养护及危桥改造专项资金与高标准农田建设配套资金");
    s.setText(2, 2, longText);
    SheetFonts fonts(s);
    const int one = fonts.fitRowHeight(1);
    const int many = fonts.fitRowHeight(2);
    EXPECT_GE(one, Sheet::DefaultRowHeight);
    EXPECT_LT(one, 2 * Sheet::DefaultRowHeight);
    EXPECT_GT(many, 2 * one);
    s.setColumnWidth(2, 2000);
    EXPECT_EQ(fonts.fitRowHeight(2), one) << "a wide column needs one line";
    s.setColumnWidth(2, 0);
    s.setText(2, 1, QString());
    EXPECT_EQ(fonts.fitRowHeight(2), Sheet::DefaultRowHeight) << "a hidden column sets no height";
}
