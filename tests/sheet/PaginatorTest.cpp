// The paginator: pages of long and wide sheets, repeated heading rows, and the page
// text codes.
#include <gtest/gtest.h>

#include "sheet/PageText.h"
#include "sheet/Paginator.h"

using namespace sheet;

namespace {

PaginatorInput input(int columns, int columnWidth, int rows, int rowHeight, double pageWidth, double pageHeight,
                     int headFirst = 0, int headLast = 0)
{
    PaginatorInput in;
    in.columnWidths.assign(static_cast<std::size_t>(columns), columnWidth);
    in.rowHeights.assign(static_cast<std::size_t>(rows), rowHeight);
    in.pageWidth = pageWidth;
    in.pageHeight = pageHeight;
    in.headingFirstRow = headFirst;
    in.headingLastRow = headLast;
    return in;
}

// Every row appears exactly once in the body of the pages of one column band.
void expectEveryRowOnce(const Paginator& p, int rows, int firstColumn)
{
    std::vector<int> seen(static_cast<std::size_t>(rows) + 1, 0);
    for (const PrintPage& page : p.pages())
        if (page.firstColumn == firstColumn && !page.body.isEmpty())
            for (int r = page.body.firstRow; r <= page.body.lastRow; ++r)
                ++seen[static_cast<std::size_t>(r)];
    for (int r = 1; r <= rows; ++r)
        EXPECT_EQ(seen[static_cast<std::size_t>(r)], 1) << "row " << r;
}

} // namespace

TEST(Paginator, PageCounts)
{
    const struct {
        const char* name;
        PaginatorInput in;
        int pages;
        double scale;
    } cases[] = {
        {"empty sheet still prints one page", input(3, 50, 0, 20, 500, 400), 1, 1.0},
        {"fits one page", input(3, 50, 10, 20, 500, 400), 1, 1.0},
        {"exactly one page", input(3, 50, 20, 20, 500, 400), 1, 1.0},
        {"one row more", input(3, 50, 21, 20, 500, 400), 2, 1.0},
        {"long sheet", input(3, 50, 1000, 20, 500, 400), 50, 1.0},
        {"wide sheet shrinks to the width", input(10, 100, 40, 20, 500, 400), 1, 0.5},
        {"shrunk rows take less height", input(8, 100, 40, 20, 400, 400), 1, 0.5},
        {"too wide: bands of columns at the least scale", input(20, 100, 10, 20, 500, 400), 2, 0.5},
        {"bands times row pages", input(20, 100, 100, 20, 500, 400), 6, 0.5},
        {"a row taller than the page gets a page of its own", input(2, 50, 3, 500, 500, 400), 3, 1.0},
    };
    for (const auto& c : cases) {
        const Paginator p(c.in);
        EXPECT_EQ(p.pageCount(), c.pages) << c.name;
        EXPECT_DOUBLE_EQ(p.scale(), c.scale) << c.name;
    }
}

TEST(Paginator, LongSheetRepeatsHeadingRowsOnLaterPages)
{
    // rows 1-3 titles, 4-6 headings (20 each), data rows of 20: 400 high pages.
    const Paginator p(input(5, 50, 206, 20, 500, 400, 4, 6));
    ASSERT_GT(p.pageCount(), 2);
    const PrintPage& first = p.page(0);
    EXPECT_TRUE(first.heading.isEmpty()) << "the headings print in place on page 1";
    EXPECT_EQ(first.body.firstRow, 1);
    EXPECT_EQ(first.body.lastRow, 20);
    for (int i = 1; i < p.pageCount(); ++i) {
        const PrintPage& page = p.page(i);
        EXPECT_EQ(page.heading.firstRow, 4) << i;
        EXPECT_EQ(page.heading.lastRow, 6) << i;
        EXPECT_EQ(page.body.firstRow, p.page(i - 1).body.lastRow + 1) << i;
        if (i + 1 < p.pageCount()) {
            EXPECT_EQ(page.body.lastRow - page.body.firstRow + 1, 17) << "20 rows less 3 heading rows, page " << i;
        }
    }
    EXPECT_EQ(p.page(p.pageCount() - 1).body.lastRow, 206);
    expectEveryRowOnce(p, 206, 1);
}

TEST(Paginator, HeadingsTallerThanHalfAPageAreNotRepeated)
{
    const Paginator p(input(2, 50, 40, 20, 500, 100, 1, 3));
    for (const PrintPage& page : p.pages())
        EXPECT_TRUE(page.heading.isEmpty());
    expectEveryRowOnce(p, 40, 1);
}

TEST(Paginator, WideSheetBandsCoverEveryColumnOnce)
{
    PaginatorInput in = input(20, 100, 30, 20, 500, 400, 1, 2);
    in.columnWidths[3] = 0; // hidden columns take no room
    const Paginator p(in);
    std::vector<int> bands;
    int next = 1;
    for (const PrintPage& page : p.pages()) {
        if (page.body.firstRow != 1)
            continue;
        EXPECT_EQ(page.firstColumn, next);
        EXPECT_LE(p.columnsWidth(page.firstColumn, page.lastColumn) * p.scale(), 500.0);
        next = page.lastColumn + 1;
        expectEveryRowOnce(p, 30, page.firstColumn);
    }
    EXPECT_EQ(next, 21);
}

TEST(Paginator, VaryingRowHeightsNeverOverflowAPage)
{
    PaginatorInput in = input(3, 50, 300, 20, 500, 400, 2, 3);
    for (std::size_t i = 0; i < in.rowHeights.size(); ++i)
        in.rowHeights[i] = 15 + static_cast<int>(i * 37 % 50);
    const Paginator p(in);
    for (const PrintPage& page : p.pages())
        EXPECT_LE(p.bandHeight(page.heading) + p.bandHeight(page.body), 400.0);
    expectEveryRowOnce(p, 300, 1);
}

TEST(PageText, CodesExpandAndConvert)
{
    const struct {
        const char* text;
        const char* printed;
        const char* excel;
    } cases[] = {
        {"共&S页第&P页", "共12页第3页", "共&N页第&P页"},
        {"&P/&S", "3/12", "&P/&N"},
        {"R&D部 &s", "R&D部 12", "R&&D部 &N"},
        {"", "", ""},
        {"末尾&", "末尾&", "末尾&&"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PageText::expand(QString::fromUtf8(c.text), 3, 12), QString::fromUtf8(c.printed)) << c.text;
        EXPECT_EQ(PageText::toExcel(QString::fromUtf8(c.text)), QString::fromUtf8(c.excel)) << c.text;
    }
    EXPECT_EQ(PageText::excelFooter("", "共&S页", "右"), "&C共&N页&R右");
}
