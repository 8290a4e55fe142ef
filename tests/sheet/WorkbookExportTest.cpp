// Workbooks read back with a real reader: texts, numbers as numbers, hidden columns,
// merges, widths, heights, footer, heading rows and frozen rows, in .xls and .xlsx;
// the demo report's amounts in whole cents with totals that add up; long string
// tables and files past the simple allocation table; and failures that leave no file.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cmath>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sheet/SheetError.h"
#include "sheet/WorkbookExport.h"
#include "sheet/XlsWriter.h"
#include "tests/sheet/SheetTestSupport.h"
#include "tests/support/WorkbookReadBack.h"

using namespace sheet;

namespace {

QJsonArray cellOf(const QJsonObject& book, int row, int col)
{
    return book["cells"].toObject()[QStringLiteral("%1,%2").arg(row - 1).arg(col - 1)].toArray();
}

bool hasMerge(const QJsonObject& book, const CellRange& m)
{
    const QJsonArray want{m.firstRow - 1, m.lastRow, m.firstCol - 1, m.lastCol};
    for (const QJsonValue& v : book["merges"].toArray())
        if (v.toArray() == want)
            return true;
    return false;
}

QStringList leftovers(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

Sheet reportSheet()
{
    Sheet s = sheettest::demoSheet(30, true);
    s.setColumnWidth(15, 0);
    s.setColumnWidth(18, 1);
    return s;
}

} // namespace

class WorkbookRoundTrip : public ::testing::TestWithParam<const char*> {};

TEST_P(WorkbookRoundTrip, CellsMergesColumnsAndRowsReadBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("2026年国库集中支付改革预算数一般预算资金指标表.") + GetParam());
    const Sheet s = reportSheet();
    QString error;
    ASSERT_TRUE(WorkbookExport::write(s, path, &error)) << error.toStdString();
    EXPECT_EQ(leftovers(dir.path()), QStringList{QFileInfo(path).fileName()}) << "no staging files remain";
    const QJsonObject book = testsupport::ReadWorkbook(path);
    ASSERT_FALSE(book.isEmpty());

    EXPECT_EQ(book["rows"].toInt(), s.rowCount());
    int texts = 0, numbers = 0;
    for (int r = 1; r <= s.rowCount(); ++r) {
        for (int c = 1; c <= s.columnCount(); ++c) {
            const QJsonArray cell = cellOf(book, r, c);
            switch (s.kind(c, r)) {
            case CellKind::Text:
                ++texts;
                ASSERT_EQ(cell.at(0).toString(), "text") << r << "," << c;
                EXPECT_EQ(cell.at(1).toString(), s.text(c, r)) << r << "," << c;
                break;
            case CellKind::Number:
                ++numbers;
                ASSERT_EQ(cell.at(0).toString(), "number") << r << "," << c;
                EXPECT_DOUBLE_EQ(cell.at(1).toDouble(), s.number(c, r)) << r << "," << c;
                break;
            case CellKind::Empty:
                EXPECT_TRUE(cell.isEmpty()) << r << "," << c;
                break;
            }
        }
    }
    EXPECT_GT(texts, 100);
    EXPECT_GT(numbers, 100);
    EXPECT_EQ(cellOf(book, 4, 2).at(1).toString(), "序号");

    for (const CellRange& m : s.merges())
        EXPECT_TRUE(hasMerge(book, m)) << m.firstCol << "," << m.firstRow;
    EXPECT_EQ(book["merges"].toArray().size(), static_cast<qsizetype>(s.merges().size()));

    const QJsonObject cols = book["columns"].toObject();
    EXPECT_TRUE(cols["14"].toObject()["hidden"].toBool()) << "column 15 (width 0) is hidden";
    for (int c : {1, 2, 5, 12, 17, 18})
        EXPECT_FALSE(cols[QString::number(c - 1)].toObject()["hidden"].toBool()) << c;
    EXPECT_LT(cols["17"].toObject()["width"].toDouble(), cols["1"].toObject()["width"].toDouble())
        << "width 1 is narrow";
    EXPECT_GT(cols["4"].toObject()["width"].toDouble(), cols["1"].toObject()["width"].toDouble())
        << "the unit name column is wider than the number column";

    // As written, not as a reader settles it: one width record per column, none beyond
    // the last, and dimensions that are the sheet's.
    std::vector<int> widthRecords(static_cast<std::size_t>(s.columnCount()), 0);
    for (const QJsonValue& v : book["columnRecords"].toArray()) {
        const int first = v.toArray().at(0).toInt(), last = v.toArray().at(1).toInt();
        for (int c = first; c <= last; ++c) {
            ASSERT_TRUE(c >= 0 && c < s.columnCount()) << "a width record reaches column " << c + 1;
            ++widthRecords[static_cast<std::size_t>(c)];
        }
    }
    EXPECT_EQ(widthRecords, std::vector<int>(static_cast<std::size_t>(s.columnCount()), 1));
    const QJsonArray dimensions = book["dimensions"].toArray();
    EXPECT_EQ(dimensions.at(1).toInt(), s.rowCount());
    EXPECT_EQ(dimensions.at(3).toInt(), s.columnCount());

    const QJsonObject heights = book["rowHeights"].toObject();
    EXPECT_DOUBLE_EQ(heights["0"].toDouble(), s.rowHeight(1) * 0.75) << "pixels become points";
    EXPECT_EQ(book["footer"].toString(), "&C共&N页第&P页");
    EXPECT_EQ(book["frozenRows"].toInt(), 6) << "titles and column headings stay in view";
}

INSTANTIATE_TEST_SUITE_P(Formats, WorkbookRoundTrip, ::testing::Values("xls", "xlsx"));

TEST(DemoReport, AmountsAreWholeCentsAndTotalsAddUp)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("demo.xlsx");
    const Sheet s = sheettest::demoSheet(60, true);
    QString error;
    ASSERT_TRUE(WorkbookExport::write(s, path, &error)) << error.toStdString();
    const QJsonObject book = testsupport::ReadWorkbook(path);
    // Row by row in cents: 合计 totals every line, each 小计 the lines up to the next total.
    auto cents = [&](int row, int col) {
        const double v = cellOf(book, row, col).at(1).toDouble();
        EXPECT_EQ(v, std::round(v * 100) / 100) << "row " << row << " column " << col << " holds " << v;
        return std::llround(v * 100);
    };
    std::vector<long long> grand(19, 0), level(19, 0);
    int levelRow = 0, grandRow = 0;
    auto closeLevel = [&] {
        for (int c = 12; levelRow > 0 && c <= 18; ++c)
            EXPECT_EQ(cents(levelRow, c), level[c]) << "小计 row " << levelRow << " column " << c;
        level.assign(19, 0);
    };
    for (int r = 7; r <= s.rowCount(); ++r) {
        const QString name = cellOf(book, r, 5).at(1).toString();
        if (name == "合计" || name == "一级预算单位小计") {
            closeLevel();
            (name == "合计" ? grandRow : levelRow) = r;
            continue;
        }
        long long splits = 0;
        for (int c = 13; c <= 18; ++c) {
            const long long v = cellOf(book, r, c).isEmpty() ? 0 : cents(r, c);
            splits += v;
            grand[c] += v;
            level[c] += v;
        }
        EXPECT_EQ(cents(r, 12), splits) << "row " << r << ": 合计 is the sum of its parts";
        grand[12] += splits;
        level[12] += splits;
    }
    closeLevel();
    ASSERT_EQ(grandRow, 7);
    for (int c = 12; c <= 18; ++c)
        EXPECT_EQ(cents(grandRow, c), grand[c]) << "合计 column " << c;
}

TEST(XlsWorkbook, HeadingRowsAndTotalRowsKeepTheirLook)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("report.xls");
    const Sheet s = reportSheet();
    QString error;
    ASSERT_TRUE(XlsWriter::write(s, path, &error)) << error.toStdString();
    const QJsonObject book = testsupport::ReadWorkbook(path);
    EXPECT_EQ(book["printTitles"].toString(), "Sheet1!$A$4:$IV$6");
    const QJsonObject bold = book["bold"].toObject();
    // Row 7 is the first data row, a total row (style 2) of the demo; row 9 a unit row.
    EXPECT_EQ(s.cellFormat(12, 7).style, StyleEmphasis);
    EXPECT_TRUE(bold["6,11"].toBool());
    EXPECT_EQ(s.cellFormat(12, 9).style, StyleNormal);
    EXPECT_FALSE(bold["8,11"].toBool());
}

TEST(XlsWorkbook, LongStringTableContinuesAcrossRecords)
{
    Sheet s;
    s.reset(3, 3000);
    for (int r = 1; r <= 3000; ++r) {
        s.setText(1, r, QStringLiteral("第%1行").arg(r) + QString(r % 400, QChar(0x4E00 + r % 2000)));
        s.setText(2, r, QStringLiteral("x%1").arg(r % 7));
    }
    QTemporaryDir dir;
    const QString path = dir.filePath("strings.xls");
    QString error;
    ASSERT_TRUE(XlsWriter::write(s, path, &error)) << error.toStdString();
    const QJsonObject book = testsupport::ReadWorkbook(path);
    for (int r = 1; r <= 3000; ++r) {
        ASSERT_EQ(cellOf(book, r, 1).at(1).toString(), s.text(1, r)) << r;
        ASSERT_EQ(cellOf(book, r, 2).at(1).toString(), s.text(2, r)) << r;
    }
}

TEST(XlsWorkbook, FullRowLimitFitsAndOneMoreIsRefused)
{
    Sheet s;
    s.reset(8, XlsWriter::MaxRows);
    for (int r = 1; r <= s.rowCount(); ++r)
        for (int c = 1; c <= 8; ++c)
            s.setNumber(c, r, r * 10.0 + c);
    QTemporaryDir dir;
    const QString path = dir.filePath("full.xls");
    QString error;
    ASSERT_TRUE(XlsWriter::write(s, path, &error)) << error.toStdString();
    EXPECT_GT(QFileInfo(path).size(), 8 * 1024 * 1024) << "large enough to need DIFAT sectors";
    const QJsonObject book = testsupport::ReadWorkbook(path, true);
    EXPECT_EQ(book["rows"].toInt(), XlsWriter::MaxRows);
    EXPECT_DOUBLE_EQ(cellOf(book, XlsWriter::MaxRows, 8).at(1).toDouble(), XlsWriter::MaxRows * 10.0 + 8);

    s.setRowCount(XlsWriter::MaxRows + 1);
    const QString tooLong = dir.filePath("toolong.xls");
    EXPECT_FALSE(XlsWriter::write(s, tooLong, &error));
    EXPECT_TRUE(error.contains(".xlsx")) << error.toStdString();
    EXPECT_TRUE(error.contains("65536")) << error.toStdString();
    EXPECT_FALSE(QFile::exists(tooLong));
    EXPECT_THROW(XlsWriter::build(s), SheetError);
}

class ExportFailure : public ::testing::TestWithParam<const char*> {};

TEST_P(ExportFailure, MissingFolderOrFileInTheWayIsReportedWithoutAFile)
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath("afile"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const Sheet s = reportSheet();
    for (const QString& path : {dir.filePath(QStringLiteral("missing/out.") + GetParam()),
                                dir.filePath(QStringLiteral("afile/out.") + GetParam())}) {
        QString error;
        EXPECT_FALSE(WorkbookExport::write(s, path, &error)) << path.toStdString();
        EXPECT_FALSE(error.isEmpty());
        EXPECT_TRUE(error.contains(QFileInfo(path).absolutePath()) || error.contains(path)) << error.toStdString();
    }
    EXPECT_EQ(leftovers(dir.path()), QStringList{"afile"});
}

TEST_P(ExportFailure, FullDiskKeepsThePreviousFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.") + GetParam());
    QFile previous(path);
    ASSERT_TRUE(previous.open(QIODevice::WriteOnly));
    previous.write("previous workbook");
    previous.close();

    // A file size limit makes writes fail as a full disk does.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool written = WorkbookExport::write(reportSheet(), path, &error);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_TRUE(error.contains(path)) << error.toStdString();
    QFile kept(path);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "previous workbook");
    EXPECT_EQ(leftovers(dir.path()), QStringList{"report." + QString(GetParam())});
}

TEST_P(ExportFailure, ReadOnlyFolderIsRefused)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    QTemporaryDir dir;
    const QString folder = dir.filePath("ro");
    ASSERT_TRUE(QDir().mkdir(folder));
    ASSERT_EQ(chmod(QFile::encodeName(folder).constData(), 0555), 0);
    QString error;
    EXPECT_FALSE(WorkbookExport::write(reportSheet(), folder + "/out." + GetParam(), &error));
    EXPECT_TRUE(error.contains(folder)) << error.toStdString();
    EXPECT_TRUE(leftovers(folder).isEmpty());
    chmod(QFile::encodeName(folder).constData(), 0755);
}

INSTANTIATE_TEST_SUITE_P(Formats, ExportFailure, ::testing::Values("xls", "xlsx"));

TEST(ExportTarget, NewFilesGetTheDefaultPermissions)
{
    QTemporaryDir dir;
    const mode_t mask = umask(022);
    const QString path = dir.filePath("report.xls");
    QString error;
    const bool ok = WorkbookExport::write(reportSheet(), path, &error);
    umask(mask);
    ASSERT_TRUE(ok) << error.toStdString();
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(ExportTarget, FormatAndRowLimitFollowTheEnding)
{
    const struct {
        const char* path;
        bool xlsx;
        qint64 rows;
        bool fits;
    } cases[] = {
        {"a.xlsx", true, 1048576, true},   {"A.XLSX", true, 154627, true}, {"a.xls", false, 65536, true},
        {"a.xls", false, 65537, false},    {"指标表", false, 65537, false},
    };
    for (const auto& c : cases) {
        const QString path = QString::fromUtf8(c.path);
        EXPECT_EQ(WorkbookExport::isXlsx(path), c.xlsx) << c.path;
        EXPECT_EQ(WorkbookExport::fits(path, c.rows), c.fits) << c.path << " " << c.rows;
        const QString refusal = WorkbookExport::rowLimitError(path, c.rows);
        EXPECT_EQ(refusal.isEmpty(), c.fits) << c.path;
        if (!c.fits) {
            EXPECT_TRUE(refusal.contains(path) && refusal.contains(QString::number(c.rows)) && refusal.contains(".xlsx"))
                << refusal.toStdString();
        }
    }
    QTemporaryDir dir;
    const QString path = dir.filePath("指标表");
    QString error;
    ASSERT_TRUE(WorkbookExport::write(reportSheet(), path, &error)) << error.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.read(8), QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) << "a name without .xlsx gets .xls content";
}

TEST_P(WorkbookRoundTrip, OverlongTextIsCutToExcelsCellLimit)
{
    Sheet s;
    s.reset(2, 2);
    s.setText(1, 1, QString(40000, QChar(0x4E2D)));
    s.setText(2, 2, "尾");
    s.addMerge({2, 1, 2, 1}); // one cell: merges nothing, must not break the export
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.") + GetParam());
    QString error;
    ASSERT_TRUE(WorkbookExport::write(s, path, &error)) << error.toStdString();
    const QJsonObject book = testsupport::ReadWorkbook(path);
    EXPECT_EQ(cellOf(book, 1, 1).at(1).toString(), QString(32767, QChar(0x4E2D)));
    EXPECT_EQ(cellOf(book, 2, 2).at(1).toString(), "尾");
}
