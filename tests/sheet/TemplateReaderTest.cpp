// Report templates: the two shipped templates read with the layout the report filling
// writes into, and malformed templates are errors naming the file and the line.
#include <QTemporaryDir>
#include <QFile>
#include <QStringEncoder>
#include <gtest/gtest.h>

#include "sheet/SheetError.h"
#include "sheet/TemplateReader.h"
#include "tests/sheet/SheetTestSupport.h"

using namespace sheet;

class ShippedTemplate : public ::testing::TestWithParam<bool> {};

TEST_P(ShippedTemplate, HasTheReportLayout)
{
    const QString path = sheettest::templatePath(GetParam());
    ASSERT_TRUE(TemplateReader::check(path).isEmpty()) << TemplateReader::check(path).join('\n').toStdString();
    const Sheet s = TemplateReader::read(path);
    EXPECT_EQ(s.columnCount(), 18);
    EXPECT_EQ(s.rowCount(), 7);
    EXPECT_EQ(s.pageSetup().headingFirstRow, 4);
    EXPECT_EQ(s.pageSetup().headingLastRow, 6);
    EXPECT_EQ(s.pageSetup().orientation, Orientation::Landscape);
    EXPECT_EQ(s.pageSetup().textMiddle, "共&S页第&P页");
    ASSERT_NE(s.mergeAt(18, 1), nullptr);
    EXPECT_EQ(*s.mergeAt(18, 1), (CellRange{2, 1, 18, 1})) << "the title spans the table";
    EXPECT_EQ(s.mergeAt(6, 2)->firstCol, 6);
    EXPECT_EQ(s.mergeAt(6, 3)->firstCol, 6);
    const struct {
        int col, row;
        const char* text;
    } headings[] = {{2, 4, "序号"},        {3, 4, "涉密"},     {4, 4, "单位编码"}, {5, 4, "单位名称"},
                    {6, 5, "类"},          {7, 5, "款"},       {8, 5, "项"},       {9, 5, "功能分类名称"},
                    {10, 4, "指标编码"},   {11, 4, "指标名称"}, {12, 4, "合计"},     {13, 5, "当年"},
                    {16, 5, "结转"},       {13, 6, "基本支出"}, {14, 6, "项目支出"}, {15, 6, "其他"},
                    {16, 6, "基本支出"},   {17, 6, "项目支出"}, {18, 6, "其他"}};
    for (const auto& h : headings)
        EXPECT_EQ(s.text(h.col, h.row), QString::fromUtf8(h.text)) << h.col << "," << h.row;
    EXPECT_LT(s.columnWidth(1), 12) << "column 1 is a narrow margin";
    for (int c = 2; c <= 18; ++c) {
        EXPECT_GT(s.columnWidth(c), 0) << c;
        EXPECT_NE(s.cellFormat(c, 7).border[SideBottom], BorderLine::None) << "spare row, column " << c;
    }
    EXPECT_EQ(s.cellFormat(12, 7).number, NumberFormat::Amount);
}

INSTANTIATE_TEST_SUITE_P(BothFundKinds, ShippedTemplate, ::testing::Values(false, true));

namespace {

QString writeTemplate(const QTemporaryDir& dir, const QString& body)
{
    const QString path = dir.filePath("t.cll");
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(body.toUtf8());
    return path;
}

} // namespace

TEST(TemplateErrors, EachNamesFileAndLine)
{
    const QString head = "cll-template 1\nsize 4 3\nfont f \"宋体\" 9\nformat x font=f\n";
    const struct {
        QString body;
        int line;
        QString word;
    } cases[] = {
        {"size 4 3\n", 1, "cll-template"},
        {head + "cell 5 1 x \"a\"\n", 5, "5"},
        {head + "cell 1 1 nosuch \"a\"\n", 5, "nosuch"},
        {head + "merge 1 1 2\n", 5, "merge"},
        {head + "width 2 wide\n", 5, "wide"},
        {head + "format y font=f align=99\n", 5, "99"},
        {head + "format y font=f border=dotted\n", 5, "dotted"},
        {head + "cell 1 1 x \"open\n", 5, "引号"},
        {head + "paper B5 landscape\n", 5, "B5"},
        {head + "frobnicate 1\n", 5, "frobnicate"},
        {head + "heading-rows 2 9\n", 5, "9"},
        {"cll-template 1\nfont f \"宋体\" 9\n", 2, "size"},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        const QString path = writeTemplate(dir, c.body);
        try {
            TemplateReader::read(path);
            ADD_FAILURE() << "read: " << c.body.toStdString();
        } catch (const SheetError& e) {
            EXPECT_TRUE(e.message().startsWith(QStringLiteral("%1:%2:").arg(path).arg(c.line))) << e.what();
            EXPECT_TRUE(e.message().contains(c.word)) << e.what();
        }
    }
}

// What a template file must not hold: text in another encoding (a template saved as GBK,
// bytes no UTF-8 text has, an overlong form, a surrogate) and numbers that are not finite.
// Each is an error of its line; before, the bytes became U+FFFD and "nan" reached the
// workbook as <v>NAN</v>.
TEST(TemplateErrors, TextThatIsNotUtf8AndNumbersThatAreNotFiniteAreRefusedWithTheLine)
{
    const QByteArray head = "cll-template 1\nsize 4 3\nformat x\n";
    const struct {
        const char* name;
        QByteArray body;
        int line;
        QString word;
    } cases[] = {
        {"saved as GBK", head + "cell 1 1 x \"" + QStringEncoder("GBK").encode(QStringLiteral("合计")) + "\"\n", 4,
         "UTF-8"},
        {"byte 0xFF", head + "page-text \"\xFF\" \"\" \"\"\n", 4, "UTF-8"},
        {"overlong slash", head + "cell 1 1 x \"\xC0\xAF\"\n", 4, "UTF-8"},
        {"surrogate", head + "cell 1 1 x \"\xED\xA0\x80\"\n", 4, "UTF-8"},
        {"cell nan", head + "cell 1 1 x nan\n", 4, "nan"},
        {"cell inf", head + "cell 1 1 x -inf\n", 4, "inf"},
        {"margin nan", "cll-template 1\nmargins 10 nan 10 10\nsize 4 3\n", 2, "nan"},
        {"font size nan", "cll-template 1\nsize 4 3\nfont f \"宋体\" nan\n", 3, "nan"},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath("t.cll");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(c.body);
        f.close();
        const QStringList errors = TemplateReader::check(path);
        EXPECT_EQ(errors.size(), 1) << errors.join('\n').toStdString();
        if (errors.isEmpty())
            continue;
        EXPECT_TRUE(errors[0].startsWith(QStringLiteral("%1:%2:").arg(path).arg(c.line))) << errors[0].toStdString();
        EXPECT_TRUE(errors[0].contains(c.word)) << errors[0].toStdString();
        EXPECT_THROW(TemplateReader::read(path), SheetError);
    }
}

TEST(TemplateErrors, CheckListsEveryError)
{
    QTemporaryDir dir;
    const QString path = writeTemplate(dir, "cll-template 1\nsize 4 3\nwidth 9 10\nheight 1 x\ncell 1 1 none\n");
    const QStringList errors = TemplateReader::check(path);
    ASSERT_EQ(errors.size(), 3) << errors.join('\n').toStdString();
    EXPECT_TRUE(errors[0].startsWith(path + ":3:"));
    EXPECT_TRUE(errors[1].startsWith(path + ":4:"));
    EXPECT_TRUE(errors[2].startsWith(path + ":5:"));
}

TEST(TemplateErrors, MissingFileIsNamed)
{
    const QString path = "/nonexistent/指标明细表_国有资本cll5.cll";
    try {
        TemplateReader::read(path);
        FAIL() << "read a missing file";
    } catch (const SheetError& e) {
        EXPECT_TRUE(e.message().contains(path)) << e.what();
    }
    EXPECT_EQ(TemplateReader::check(path).size(), 1);
}

TEST(TemplateReading, ValuesQuotesAndComments)
{
    QTemporaryDir dir;
    const QString path = writeTemplate(
        dir, "# a comment\ncll-template 1\nsize 3 2   # columns rows\nfont f \"宋体\" 9 bold\n"
             "format n font=f number=amount align=34 fill=#F0F0F0\ncell 1 1 n 1234.5\ncell 2 1 n \"a \\\"q\\\" # b\"\n"
             "width 1-3 50\nheight 2 30\npage-text \"左\" \"共&S页\" \"\"\r\n");
    const Sheet s = TemplateReader::read(path);
    EXPECT_EQ(s.kind(1, 1), CellKind::Number);
    EXPECT_DOUBLE_EQ(s.number(1, 1), 1234.5);
    EXPECT_EQ(s.displayText(1, 1), "1,234.50");
    EXPECT_EQ(s.text(2, 1), "a \"q\" # b");
    EXPECT_EQ(s.columnWidth(3), 50);
    EXPECT_EQ(s.rowHeight(2), 30);
    EXPECT_TRUE(s.font(s.cellFormat(1, 1).font).bold);
    EXPECT_EQ(s.cellFormat(1, 1).fill, 0xFFF0F0F0u);
    EXPECT_EQ(s.pageSetup().textLeft, "左");
    EXPECT_EQ(s.pageSetup().textMiddle, "共&S页");
}
