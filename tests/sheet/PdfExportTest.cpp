// The headless PDF of the demo report: page count as the paginator counted it, the
// page text "共N页第K页" at the foot of every page and the heading rows on every page,
// checked with poppler's pdfinfo and pdftotext.
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "sheet/SheetPrinter.h"
#include "tests/sheet/SheetTestSupport.h"

using namespace sheet;

namespace {

// The CJK fonts share one glyph between some ideographs and their radical forms, and
// the PDF's text map gives the radical (U+2EDA for 页): read it as the ideograph.
QString normalised(QString text)
{
    text.replace(QChar(0x2EDA), QChar(0x9875));
    return text.normalized(QString::NormalizationForm_KC);
}

int pdfPages(const QString& path)
{
    const QString info = sheettest::runProgram("pdfinfo", {path});
    const auto m = QRegularExpression(R"(Pages:\s+(\d+))").match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QString pageText(const QString& path, int page)
{
    return normalised(sheettest::runProgram(
        "pdftotext", {"-f", QString::number(page), "-l", QString::number(page), "-layout", path, "-"}));
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
