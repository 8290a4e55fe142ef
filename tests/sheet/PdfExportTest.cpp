// The headless PDF of the demo report: page count as the paginator counted it, the
// page text "共N页第K页" at the foot of every page and the heading rows on every page,
// text that reads as the ideographs drawn, large amounts and long codes whole within
// their cells; checked with poppler's pdfinfo, pdftotext and pdftoppm, and qpdf.
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cmath>

#include "sheet/PdfTextMap.h"
#include "sheet/SheetPrinter.h"
#include "tests/sheet/SheetTestSupport.h"

using namespace sheet;

namespace {

int pdfPages(const QString& path)
{
    const QString info = sheettest::runProgram("pdfinfo", {path});
    const auto m = QRegularExpression(R"(Pages:\s+(\d+))").match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QString pageText(const QString& path, int page)
{
    return sheettest::runProgram("pdftotext",
                                 {"-f", QString::number(page), "-l", QString::number(page), "-layout", path, "-"});
}

// What a reader takes from a rectangle of page 1 (points from the top left), the
// rectangle's edges moved in by a point so that no neighbour's character counts.
QString textIn(const QString& path, const QRectF& area)
{
    const int x = static_cast<int>(std::ceil(area.left() + 1)), y = static_cast<int>(std::ceil(area.top() + 1));
    const int w = static_cast<int>(std::floor(area.right() - 1)) - x;
    const int h = static_cast<int>(std::floor(area.bottom() - 1)) - y;
    const QStringList crop{"-f", "1", "-l", "1", "-x", QString::number(x), "-y", QString::number(y),
                           "-W", QString::number(w), "-H", QString::number(h), path, "-"};
    return sheettest::runProgram("pdftotext", crop).simplified().remove(' ');
}

// Where cell (col, row) of the first page prints, in points: the page's printable
// area, the table centred in it and scaled to its width, as the painter lays it out.
QRectF cellOnFirstPage(const Sheet& s, int col, int row)
{
    const QPageLayout layout = SheetPrinter::pageLayout(s.pageSetup());
    const Paginator pages = SheetPrinter(s).paginate(layout, 600);
    const PrintPage& page = pages.page(0);
    const double scale = pages.scale(), pointsPerUnit = 0.75;
    const QRectF paint = layout.paintRect(QPageLayout::Point);
    const double table = pages.columnsWidth(page.firstColumn, page.lastColumn) * scale;
    const double left = std::max(0.0, (paint.width() / pointsPerUnit - table) / 2);
    const double x = left + pages.columnsWidth(page.firstColumn, col - 1) * scale;
    const double y = pages.bandHeight({1, row - 1}) * scale;
    return {paint.left() + x * pointsPerUnit, paint.top() + y * pointsPerUnit,
            s.columnWidth(col) * scale * pointsPerUnit, s.rowHeight(row) * scale * pointsPerUnit};
}

// Straight lines drawn on page `page` (counted from 1), read from the file made plain by qpdf.
int linesOnPage(const QString& path, int page, const QString& plainPath)
{
    sheettest::runProgram("qpdf", {"--qdf", "--object-streams=disable", path, plainPath});
    QFile file(plainPath);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QString all = QString::fromLatin1(file.readAll());
    const auto m = QRegularExpression(QStringLiteral("%% Contents for page %1\\n.*?stream\\n(.*?)endstream")
                                          .arg(page),
                                      QRegularExpression::DotMatchesEverythingOption)
                       .match(all);
    return m.hasMatch() ? static_cast<int>(m.captured(1).count(QRegularExpression(QStringLiteral(" l\\n")))) : -1;
}

} // namespace

TEST(PdfExport, DemoReportOfTwoHundredRows)
{
    const Sheet s = sheettest::demoSheet(200, false);
    QTemporaryDir dir;
    const QString path = dir.filePath("report.pdf");
    QString error;
    ASSERT_TRUE(SheetPrinter(s).exportPdf(path, &error)) << error.toStdString();

    const Paginator expected = SheetPrinter(s).paginate(SheetPrinter::pageLayout(s.pageSetup()), 600);
    const int pages = pdfPages(path);
    EXPECT_GT(pages, 3);
    EXPECT_EQ(pages, expected.pageCount());

    for (int k = 1; k <= pages; ++k) {
        const QString text = pageText(path, k);
        QStringList lines = text.split('\n', Qt::SkipEmptyParts);
        while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
            lines.removeLast();
        ASSERT_FALSE(lines.isEmpty()) << "page " << k;
        EXPECT_EQ(lines.last().trimmed(), QStringLiteral("共%1页第%2页").arg(pages).arg(k)) << "page " << k;
        EXPECT_TRUE(text.contains("单位名称")) << "heading rows on page " << k;
        EXPECT_EQ(text.contains("国库集中支付改革"), k == 1) << "the title only on page " << k;
    }

    // Borders go along whole lines, each edge once, not four strokes for every cell.
    const PrintPage& second = expected.page(1);
    const int rows = second.heading.lastRow - second.heading.firstRow + second.body.lastRow - second.body.firstRow + 2;
    const int columns = second.lastColumn - second.firstColumn + 1;
    const int lines = linesOnPage(path, 2, dir.filePath("plain.pdf"));
    EXPECT_GT(lines, rows);
    EXPECT_LE(lines, 2 * (rows + columns + 2)) << rows << " rows, " << columns << " columns";
}

TEST(PdfExport, FailsCleanlyWhereItCannotWrite)
{
    const Sheet s = sheettest::demoSheet(5, false);
    QTemporaryDir dir;
    const QString path = dir.filePath("no/such/folder/report.pdf");
    QString error;
    EXPECT_FALSE(SheetPrinter(s).exportPdf(path, &error));
    EXPECT_TRUE(error.contains(dir.filePath("no/such/folder"))) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST(PdfExport, TextReadsAsTheIdeographsDrawn)
{
    Sheet s = sheettest::demoSheet(30, false);
    const QStringList words{"二级单位合计", "实验小学", "支出", "门诊", "金额"};
    for (int i = 0; i < words.size(); ++i)
        s.setText(5, 9 + i, words[i]);
    QTemporaryDir dir;
    const QString path = dir.filePath("report.pdf");
    QString error;
    ASSERT_TRUE(SheetPrinter(s).exportPdf(path, &error)) << error.toStdString();

    const QString text = sheettest::runProgram("pdftotext", {path, "-"});
    for (const QString& w : words)
        EXPECT_TRUE(text.contains(w)) << w.toStdString() << " can be found";
    EXPECT_TRUE(text.contains("页第1页"));
    for (QChar c : text)
        EXPECT_FALSE(c.unicode() >= 0x2E80 && c.unicode() <= 0x2FDF) << "radical U+" << std::hex << int(c.unicode());
    // The rewritten file is sound and still renders.
    EXPECT_TRUE(sheettest::runProgram("qpdf", {"--check", path}).contains("No syntax or stream encoding errors"));
    sheettest::runProgram("pdftoppm", {"-r", "20", "-png", path, dir.filePath("page")});
    EXPECT_TRUE(QFileInfo(dir.filePath("page-1.png")).size() > 0);
}

TEST(PdfTextMap, RadicalDestinationsBecomeIdeographs)
{
    auto ideographOf = [](char32_t radical) -> char32_t { return radical == 0x2F06 ? 0x4E8C : 0; }; // ⼆ → 二
    const struct {
        const char* map;
        const char* expected; // empty: unchanged
    } cases[] = {
        {"1 beginbfchar\n<0005> <2F06>\nendbfchar", "1 beginbfchar\n<0005> <4E8C>\nendbfchar"},
        {"beginbfrange\n<0001> <0003> [<0031> <2F06> <2EDA>]\nendbfrange",
         "beginbfrange\n<0001> <0003> [<0031> <4E8C> <2EDA>]\nendbfrange"},
        {"beginbfrange\n<0007> <0008> <2F05>\nendbfrange", "beginbfrange\n<0007> <0008> [<2F05> <4E8C>]\nendbfrange"},
        {"beginbfrange\n<0000> <0000> <0000>\n<0009> <000A> <0030>\nendbfrange", ""},
        {"beginbfchar\n<0002> <2F062F06>\n<0003> <0041>\nendbfchar", ""}, // two code units: no radical
        {"begincodespacerange\n<2F06> <2F06>\nendcodespacerange", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PdfTextMap::remapRadicals(c.map, ideographOf), QByteArray(c.expected)) << c.map;
}

TEST(PdfExport, LargeAmountsAndLongCodesPrintWholeWithinTheirCells)
{
    Sheet s = sheettest::demoSheet(30, false);
    const int row = 9;
    sheettest::putWideCells(s, row);
    QTemporaryDir dir;
    const QString path = dir.filePath("report.pdf");
    QString error;
    ASSERT_TRUE(SheetPrinter(s).exportPdf(path, &error)) << error.toStdString();
    for (const sheettest::WideCell& c : sheettest::wideCells()) {
        const QString shown = textIn(path, cellOnFirstPage(s, c.col, row));
        if (c.fits)
            EXPECT_EQ(shown, c.text) << c.col;
        else
            EXPECT_TRUE(!shown.isEmpty() && shown == QString(shown.size(), '#')) << shown.toStdString();
    }
}
