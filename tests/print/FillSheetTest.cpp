// Filling the report sheet: the real sheet control with the real templates, on SQLite and
// PostgreSQL. A small data set is checked cell by cell against values worked out by hand;
// generated data sets are checked against the filling rules applied to the statement's rows.
#include "print/CELL50Lib_TLB.h"
#include "print/untReportFill.h"
#include "tests/print/ReportCompare.h"
#include "tests/print/ReportFixture.h"

#include <QDir>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>
#include <QFile>
#include <limits>
#include <optional>

#include "common/untDataBase.h"
#include "plugin/untDefConnection.h"
#include "sheet/Sheet.h"
#include "sheet/TemplateReader.h"
#include "tests/TestSupport.h"

using namespace reportref;
using namespace reporttest;

namespace {

const QLocale Display = QLocale::system();
const std::optional<double> no;   // an amount that is not written

QString Money(double v) { return FormatAmount(v, Display); }

class TRecordingProgress : public TReportProgress {
public:
    int Starts = 0, Steps = 0, Finishes = 0, Max = -1, ThrowAtStep = -1;
    void Start(int max) override
    {
        ++Starts;
        Max = max;
    }
    void Step() override
    {
        if (++Steps == ThrowAtStep)
            throw Exception("progress stopped");
    }
    void Finish() override { ++Finishes; }
};

QString TemplateFolder() { return testsupport::SourceDir() + "/data/templates/"; }

// A host with data and a sheet control.
class SheetHost {
public:
    explicit SheetHost(const QString& backend) : Host(backend), Cell(new TCell5(nullptr)) {}
    ~SheetHost() { Cell->Free(); }

    TReportSelection Selection(const QString& prefix, const QString& unitName, const QString& fund) const
    {
        TReportSelection s;
        s.Year = Host.Year();
        s.FEidPrefix = prefix;
        s.FBType = "1";
        s.FundCode = fund;
        s.FUnitName = unitName;
        s.BTypeText = "预算数";
        s.TemplateFolder = TemplateFolder();
        BuildTitles(s);
        return s;
    }

    const sheet::Sheet& Sheet() const { return Cell->Sheet(); }
    // The text a cell shows; empty for a cell that holds nothing (writing an empty text
    // leaves a cell empty, so the two cannot be told apart).
    QString Shown(int col, int row) const
    {
        return Sheet().kind(col, row) == sheet::CellKind::Text ? Sheet().text(col, row) : QString();
    }
    bool Holds(int col, int row) const { return Sheet().kind(col, row) != sheet::CellKind::Empty; }

    TReportHost Host;
    TCell5* Cell;
};

TBudgetData HandData(int year)
{
    TBudgetData data;
    data.Year = year;
    data.Funds = {"11", "31"};
    data.Depts = {{"101", "市财政局", "0", 0, "否"},       {"101001", "教育局", "0", 1, "是"},
                  {"101001001", "一中", "1", 2, "否"},     {"101002", "卫生局", "0", 1, "否"},
                  {"101002001", "一院", "1", 2, "否"},     {"101002002", "二院", "1", 2, "是"},
                  {"101002002001", "分院", "1", 3, "否"},  {"201", "区财政", "0", 0, "否"},
                  {"201001", "区本级", "1", 1, "否"},      {"301", "小数", "0", 0, "否"},
                  {"301001", "小数单位", "1", 1, "否"}};
    data.Lines = {BudgetLine(year, "101", "市财政局", "21", "12", 30, "2010101"),
                  BudgetLine(year, "101001", "教育局", "21", "17", 40),
                  BudgetLine(year, "101001", "教育局", "22", "22", 5, "2050101", "0002"),
                  BudgetLine(year, "101001001", "一中", "21", "18", 60),
                  BudgetLine(year, "101002001", "一院", "21", "11", 70),
                  BudgetLine(year, "101002001", "一院", "21", "11", -70, "2050101", "0002"),
                  BudgetLine(year, "101002002", "二院", "21", "11", -25),
                  BudgetLine(year, "101002002001", "分院", "23", "11", 15),
                  // a lone positive row under a total that comes out below zero
                  BudgetLine(year, "201001", "区本级", "21", "11", 50, "2010101"),
                  BudgetLine(year, "201001", "区本级", "21", "11", -60, "2050101"),
                  // split amounts at the threshold
                  BudgetLine(year, "301001", "小数单位", "21", "11", 0.001),
                  BudgetLine(year, "301001", "小数单位", "21", "12", 0.002),
                  BudgetLine(year, "301001", "小数单位", "23", "11", 100)};
    return data;
}

// One expected sheet row: nullptr where the cell keeps nothing, an empty optional where an
// amount is not written.
struct Row {
    const char* seq;
    const char* code;
    const char* name;
    const char* bid;   // the bid code of detail rows (empty for totals)
    double summ;
    std::array<std::optional<double>, 6> splits;
    bool total;
};

void ExpectRows(const SheetHost& h, const std::vector<Row>& rows, bool asNumbers)
{
    ASSERT_EQ(h.Sheet().rowCount(), 6 + int(rows.size()));
    for (size_t i = 0; i < rows.size(); ++i) {
        const int r = 7 + int(i);
        const Row& e = rows[i];
        auto expectCell = [&](int col, const char* text) {
            EXPECT_EQ(h.Shown(col, r).toStdString(), text ? text : "") << "row " << r << " col " << col;
        };
        expectCell(2, e.seq);
        expectCell(4, e.code);
        expectCell(5, e.name);
        EXPECT_EQ(h.Shown(3, r), e.total ? "" : "否") << "row " << r;
        const QString bid = QString::fromUtf8(e.bid);
        EXPECT_EQ(h.Shown(6, r), bid.mid(0, 3)) << "row " << r;
        EXPECT_EQ(h.Shown(7, r), bid.mid(3, 2)) << "row " << r;
        EXPECT_EQ(h.Shown(8, r), bid.mid(5, 2)) << "row " << r;
        EXPECT_EQ(h.Shown(9, r), bid.isEmpty() ? "" : "科目" + bid) << "row " << r;
        auto expectAmount = [&](int col, double value) {
            if (asNumbers) {
                ASSERT_EQ(h.Sheet().kind(col, r), sheet::CellKind::Number) << "row " << r << " col " << col;
                EXPECT_DOUBLE_EQ(h.Sheet().number(col, r), value) << "row " << r << " col " << col;
            } else {
                EXPECT_EQ(h.Shown(col, r), Money(value)) << "row " << r << " col " << col;
            }
            EXPECT_EQ(h.Sheet().cellFormat(col, r).align, 34) << "row " << r << " col " << col;
        };
        expectAmount(12, e.summ);
        for (size_t k = 0; k < 6; ++k) {
            if (e.splits[k])
                expectAmount(13 + int(k), *e.splits[k]);
            else
                EXPECT_FALSE(h.Holds(13 + int(k), r)) << "row " << r << " col " << 13 + k;
        }
        for (int c = 1; c <= 18; ++c)
            EXPECT_EQ(h.Sheet().cellFormat(c, r).style, e.total ? 2 : 0) << "row " << r << " col " << c;
        EXPECT_EQ(h.Sheet().cellFormat(5, r).align, e.total ? 36 : 32) << "row " << r;
    }
}

const std::vector<Row>& HandRows()
{
    using S = std::array<std::optional<double>, 6>;
    static const std::vector<Row> rows{
        {nullptr, "", "市财政局合计", "", 125, S{15, 90, no, no, no, 5}, true},
        {nullptr, "", "市财政局本级合计", "", 75, S{40, 30, no, no, no, 5}, true},
        {"1", "*101001", "市财政局", "2010101", 30, S{no, 30, no, no, no, no}, false},
        {nullptr, nullptr, nullptr, "2050101", 40, S{40, no, no, no, no, no}, false},
        {nullptr, nullptr, nullptr, "2050101", 5, S{no, no, no, no, no, 5}, false},
        {nullptr, "", "二级单位合计", "", 35, S{no, 60, no, no, no, no}, true},
        {"2", "101001001", "一中", "2050101", 60, S{no, 60, no, no, no, no}, false},
        {"3", "101002001", "一院", "2050101", 70, S{70, no, no, no, no, no}, false},
        {nullptr, "", "三级单位合计", "", 15, S{}, true},
        {"4", "101002002001", "分院", "2050101", 15, S{}, false}};
    return rows;
}

class FillSheetTest : public ::testing::TestWithParam<QString> {
protected:
    void SetUp() override
    {
        FHost = std::make_unique<SheetHost>(GetParam());
        if (FHost->Host.Database().Skipped())
            GTEST_SKIP() << FHost->Host.Database().Error().toStdString();
        ASSERT_TRUE(FHost->Host.Database().Ready()) << FHost->Host.Database().Error().toStdString();
        FHost->Host.CreateReportTables();
        FHost->Host.LoadData(HandData(FHost->Host.Year()));
        FHost->Host.SetLogin("101001", "0");
    }
    SheetHost& H() { return *FHost; }
    std::unique_ptr<SheetHost> FHost;
};

TEST_P(FillSheetTest, DisplaySheetCellByCell)
{
    const TReportSelection s = H().Selection("101", "市财政局", "11");
    TRecordingProgress progress;
    FillSheet(*H().Cell, s, "11", false, &progress);
    EXPECT_EQ(H().Shown(2, 1), "市财政局2026年国库集中支付改革一般预算资金指标表");
    EXPECT_EQ(H().Shown(6, 2), "（按部门预算数核定）");
    EXPECT_EQ(H().Shown(6, 3), "2026年预算构成");
    EXPECT_TRUE(H().Cell->WorkbookReadonly());
    ExpectRows(H(), HandRows(), false);
    EXPECT_EQ(progress.Starts, 1);
    EXPECT_EQ(progress.Max, 10);
    EXPECT_EQ(progress.Steps, 10);
    EXPECT_EQ(progress.Finishes, 1);
}

TEST_P(FillSheetTest, ExportSheetHoldsNumbers)
{
    FillSheet(*H().Cell, H().Selection("101", "市财政局", "11"), "11", true, nullptr);
    ExpectRows(H(), HandRows(), true);
}

TEST_P(FillSheetTest, NoFundTitleHasNoLabel)
{
    FillSheet(*H().Cell, H().Selection("101", "市财政局", ""), "", false, nullptr);
    EXPECT_EQ(H().Shown(2, 1), "市财政局2026年国库集中支付改革指标表");
    EXPECT_GT(H().Sheet().rowCount(), 7);
}

TEST_P(FillSheetTest, SplitsAtTheThresholdAreNotWritten)
{
    H().Host.SetLogin("301001", "0");   // parent "301" covers two units: a small branch
    FillSheet(*H().Cell, H().Selection("301001", "小数单位", "11"), "11", false, nullptr);
    using S = std::array<std::optional<double>, 6>;
    ExpectRows(H(), {{nullptr, "", "小数单位本级合计", "", 100.003, S{no, 0.002, no, no, no, no}, true},
                     {"1", "301001", "小数单位", "2050101", 100.003, S{no, 0.002, no, no, no, no}, false}},
               false);
    EXPECT_EQ(H().Shown(12, 8), "100.00");
    EXPECT_EQ(H().Shown(14, 8), "0.00");
}

TEST_P(FillSheetTest, LoneRowIsWritten)
{
    // A small branch whose level total comes out below zero: one positive row remains.
    H().Host.SetLogin("201001", "0");
    TRecordingProgress progress;
    FillSheet(*H().Cell, H().Selection("201001", "区本级", "11"), "11", false, &progress);
    using S = std::array<std::optional<double>, 6>;
    ExpectRows(H(), {{"1", "201001", "区本级", "2010101", 50, S{50, no, no, no, no, no}, false}}, false);
    EXPECT_EQ(progress.Max, 1);
}

TEST_P(FillSheetTest, NoRowsLeavesTheTemplateWithTitles)
{
    TCell5* fresh = new TCell5(nullptr);
    ASSERT_EQ(fresh->OpenSheetFile(TemplateFolder() + TemplateFileName("12"), QString()), 1);
    const int templateRows = fresh->Sheet().rowCount();
    fresh->Free();
    TRecordingProgress progress;
    FillSheet(*H().Cell, H().Selection("101", "市财政局", "12"), "12", false, &progress);
    EXPECT_EQ(H().Sheet().rowCount(), templateRows);
    EXPECT_EQ(H().Shown(2, 1), "市财政局2026年国库集中支付改革政府性基金指标表");
    EXPECT_EQ(progress.Starts, 0);
    EXPECT_EQ(progress.Finishes, 0);
}

TEST_P(FillSheetTest, MissingTemplateIsAnErrorNamingTheFile)
{
    QTemporaryDir empty;
    TReportSelection s = H().Selection("101", "市财政局", "11");
    s.TemplateFolder = empty.path() + "/";
    try {
        FillSheet(*H().Cell, s, "11", false, nullptr);
        FAIL() << "no error";
    } catch (const TExceptReport& e) {
        EXPECT_TRUE(e.Message().contains(empty.path() + "/指标明细表_非国有资本cll5.cll")) << e.Message().toStdString();
    }
}

TEST_P(FillSheetTest, UnreadableTemplateIsAnError)
{
    QTemporaryDir folder;
    QFile broken(folder.filePath("指标明细表_国有资本cll5.cll"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a template\n");
    broken.close();
    TReportSelection s = H().Selection("101", "市财政局", "31");
    s.TemplateFolder = folder.path() + "/";
    EXPECT_THROW(FillSheet(*H().Cell, s, "31", false, nullptr), TExceptReport);
}

TEST_P(FillSheetTest, FailedQueryCarriesTheDatabaseMessage)
{
    H().Host.Exec("drop table vwbudget");
    TRecordingProgress progress;
    try {
        FillSheet(*H().Cell, H().Selection("101", "市财政局", "11"), "11", false, &progress);
        FAIL() << "no error";
    } catch (const TExceptReport& e) {
        EXPECT_TRUE(e.Message().startsWith("提取指标明细数据失败")) << e.Message().toStdString();
        EXPECT_TRUE(e.Message().contains("vwbudget")) << e.Message().toStdString();
    }
    EXPECT_EQ(progress.Starts, 0);
}

TEST_P(FillSheetTest, ProgressFinishesWhenWritingFails)
{
    TRecordingProgress progress;
    progress.ThrowAtStep = 3;
    EXPECT_THROW(FillSheet(*H().Cell, H().Selection("101", "市财政局", "11"), "11", false, &progress), Exception);
    EXPECT_EQ(progress.Starts, 1);
    EXPECT_EQ(progress.Finishes, 1);
}

// Through the control's operations: while rows are written the sheet on screen is not
// repainted (each cell would ask for a repaint); afterwards it paints again, also when
// writing fails half-way.
class TViewWatchingProgress : public TRecordingProgress {
public:
    explicit TViewWatchingProgress(const QWidget* view) : FView(view) {}
    void Step() override
    {
        ViewPaintsDuringRows = ViewPaintsDuringRows || FView->updatesEnabled();
        TRecordingProgress::Step();
    }
    bool ViewPaintsDuringRows = false;

private:
    const QWidget* FView;
};

TEST_P(FillSheetTest, CallPathPaintsTheSheetAgainAfterWritingEndsOrFails)
{
    QWidget* view = H().Cell->Widget();
    view->show();
    const TReportSelection s = H().Selection("101", "市财政局", "11");
    for (const int throwAt : {-1, 3}) {
        SCOPED_TRACE(throwAt);
        ASSERT_EQ(H().Cell->OpenSheetFile(TemplateFolder() + TemplateFileName("11"), QString()), 1);
        IARQueryPtr query;
        ASSERT_TRUE(OpenDefQuery(BuildDetailSql(s), query)) << LastDefQueryError().toStdString();
        TViewWatchingProgress progress(view);
        progress.ThrowAtStep = throwAt;
        if (throwAt < 0)
            WriteDetailRows(*H().Cell, *query->Query(), TSpecialAccounts(), false, &progress);
        else
            EXPECT_THROW(WriteDetailRows(*H().Cell, *query->Query(), TSpecialAccounts(), false, &progress), Exception);
        EXPECT_GT(progress.Steps, 0);
        EXPECT_FALSE(progress.ViewPaintsDuringRows);
        EXPECT_TRUE(view->updatesEnabled());
    }
}

// The control shows whole reports only: while the next one is built it keeps the last; a
// build that fails shows none of its rows: the titled template when the rows fail, nothing
// when the template does.
class TShownRowsProgress : public TRecordingProgress {
public:
    explicit TShownRowsProgress(const TCell5& cell) : FCell(cell), FShown(cell.Sheet().rowCount()) {}
    void Step() override
    {
        ShownChanged = ShownChanged || FCell.Sheet().rowCount() != FShown;
        TRecordingProgress::Step();
    }
    bool ShownChanged = false;

private:
    const TCell5& FCell;
    const int FShown;
};

TEST_P(FillSheetTest, ControlShowsOnlyWholeReports)
{
    struct Case {
        int throwAt;
        bool templateMissing;
        int rowsAfter;   // -1: the whole report
    };
    QTemporaryDir empty;
    for (const Case c : {Case{3, false, 7}, Case{-1, true, 0}, Case{-1, false, -1}}) {
        SCOPED_TRACE(c.throwAt);
        FillSheet(*H().Cell, H().Selection("101002", "卫生局", "11"), "11", false, nullptr);
        TShownRowsProgress progress(*H().Cell);
        progress.ThrowAtStep = c.throwAt;
        TReportSelection s = H().Selection("101", "市财政局", "11");
        if (c.templateMissing)
            s.TemplateFolder = empty.path() + "/";
        if (c.rowsAfter < 0) {
            FillSheet(*H().Cell, s, "11", false, &progress);
            EXPECT_EQ(H().Sheet().rowCount(), 6 + int(HandRows().size()));
        } else {
            EXPECT_THROW(FillSheet(*H().Cell, s, "11", false, &progress), Exception);
            EXPECT_EQ(H().Sheet().rowCount(), c.rowsAfter);
        }
        if (c.rowsAfter != 0) {
            EXPECT_EQ(H().Shown(2, 1), s.FTitle);
        }
        EXPECT_EQ(progress.Steps > 0, !c.templateMissing);
        EXPECT_FALSE(progress.ShownChanged);
    }
}

// Column widths of the split amounts: kept for fund "31" (its own template) and for fund "11"
// with a department login reporting its own unit or top-level code; narrowed otherwise.
struct WidthCase {
    const char* fund;
    const char* login;
    const char* deptMode;
    const char* prefix;
    bool keep;
};

class ColumnWidthTest : public ::testing::TestWithParam<std::tuple<QString, WidthCase>> {};

TEST_P(ColumnWidthTest, KeptOrNarrowed)
{
    const auto& [backend, c] = GetParam();
    SheetHost h(backend);
    DBTEST_REQUIRE_READY(h.Host.Database());
    h.Host.CreateReportTables();
    h.Host.LoadData(HandData(h.Host.Year()));
    h.Host.SetLogin(c.login, c.deptMode);
    FillSheet(*h.Cell, h.Selection(c.prefix, "单位", c.fund), c.fund, false, nullptr);

    TCell5* plain = new TCell5(nullptr);
    ASSERT_EQ(plain->OpenSheetFile(TemplateFolder() + TemplateFileName(c.fund), QString()), 1);
    const std::array<int, 6> narrowed{112, 112, 0, 112, 112, 1};
    for (int col = 13; col <= 18; ++col) {
        const int expected = c.keep ? plain->Sheet().columnWidth(col) : narrowed[size_t(col - 13)];
        EXPECT_EQ(h.Sheet().columnWidth(col), expected) << c.fund << " " << c.login << " " << c.prefix << " col " << col;
    }
    for (int col = 1; col <= 12; ++col)
        EXPECT_EQ(h.Sheet().columnWidth(col), plain->Sheet().columnWidth(col)) << "col " << col;
    plain->Free();
}

INSTANTIATE_TEST_SUITE_P(
    FundsAndLogins, ColumnWidthTest,
    ::testing::Combine(::testing::ValuesIn(dbtest::SqlBackends()),
                       ::testing::Values(WidthCase{"31", "101002", "0", "101002", true},
                                         WidthCase{"31", "101001", "1", "101001", true},
                                         WidthCase{"11", "101001", "1", "101001", true},
                                         WidthCase{"11", "101001", "1", "101", true},
                                         WidthCase{"11", "101001", "1", "101002", false},
                                         WidthCase{"11", "101001", "0", "101001", false},
                                         WidthCase{"11", "101002001", "1", "101002001", false},
                                         WidthCase{"12", "101001", "1", "101001", false},
                                         WidthCase{"", "101001", "1", "101001", false})));

INSTANTIATE_TEST_SUITE_P(Backends, FillSheetTest, ::testing::ValuesIn(dbtest::SqlBackends()),
                         [](const auto& backend) { return backend.param.toStdString(); });

// Generated data sets: the sheet against the filling rules applied to the statement's rows.
void ExpectSheetFollowsRows(const SheetHost& h, const QList<TReportLine>& rows, const QList<TDeptLine>& depts,
                            const QString& label)
{
    ASSERT_EQ(h.Sheet().rowCount(), rows.isEmpty() ? 7 : 6 + int(rows.size())) << label.toStdString();
    QString previous;
    int counter = 1;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const TReportLine& row = rows[i];
        const int r = 7 + int(i);
        const bool head = row.Eid != previous || row.Eid.isEmpty();
        QString seq, code, name;
        if (head) {
            previous = row.Eid;
            if (!row.Eid.isEmpty())
                seq = QString::number(counter++);
            code = (!row.Eid.isEmpty() && MarkedSpecial(depts, row.Eid) ? "*" : "") + row.Eid;
            name = row.Ename;
        }
        const std::string where = label.toStdString() + " row " + std::to_string(r);
        EXPECT_EQ(h.Shown(2, r), seq) << where;
        EXPECT_EQ(h.Shown(3, r), row.IsSecret) << where;
        EXPECT_EQ(h.Shown(4, r), code) << where;
        EXPECT_EQ(h.Shown(5, r), name) << where;
        const QStringList texts{row.Lei, row.Kuan, row.Xiang, row.Bname, row.Iid, row.Iname};
        for (int k = 0; k < 6; ++k)
            EXPECT_EQ(h.Shown(6 + k, r), texts[k]) << where << " col " << 6 + k;
        EXPECT_EQ(h.Shown(12, r), Money(row.Summ)) << where;
        for (size_t k = 0; k < 6; ++k) {
            const QString split = row.Split[k] > 0.001 ? Money(row.Split[k]) : QString();
            EXPECT_EQ(h.Shown(13 + int(k), r), split) << where << " col " << 13 + k;
            EXPECT_EQ(h.Holds(13 + int(k), r), row.Split[k] > 0.001) << where << " col " << 13 + k;
        }
        EXPECT_EQ(h.Sheet().cellFormat(1, r).style, row.Eid.isEmpty() ? 2 : 0) << where;
    }
}

class FillSheetRandomTest : public ::testing::TestWithParam<QString> {};

TEST_P(FillSheetRandomTest, SheetFollowsTheStatementRows)
{
    SheetHost h(GetParam());
    DBTEST_REQUIRE_READY(h.Host.Database());
    const std::uint32_t seeds = GetParam() == "sqlite" ? 12 : 5;
    int filled = 0;
    for (std::uint32_t seed = 100; seed < 100 + seeds; ++seed) {
        const TBudgetData data = RandomBudgetData(seed, h.Host.Year());
        h.Host.CreateReportTables();
        h.Host.LoadData(data);
        for (const TSelectionCase& c : RandomSelections(data, seed, 4)) {
            h.Host.SetLogin(c.LoginCode, c.DeptMode);
            TReportSelection s = h.Selection(c.Prefix, c.UnitName, c.Fund);
            s.FBType = c.BType;
            FillSheet(*h.Cell, s, c.Fund, false, nullptr);
            QString error;
            const QList<TReportLine> rows = RunDetailQuery(BuildDetailSql(s), &error);
            ASSERT_TRUE(error.isEmpty()) << error.toStdString();
            const QString label = QString("seed %1 prefix '%2' fund '%3'").arg(seed).arg(c.Prefix, c.Fund);
            ExpectSheetFollowsRows(h, rows, data.Depts, label);
            filled += int(rows.size());
            if (HasFailure())
                return;
        }
    }
    EXPECT_GT(filled, 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, FillSheetRandomTest, ::testing::ValuesIn(dbtest::SqlBackends()),
                         [](const auto& backend) { return backend.param.toStdString(); });

// Both ways of writing rows, through the control's operations and in bulk into a sheet model,
// give the same sheet cell for cell (SheetDifference).

// Names long enough to wrap, some over several lines, so that heights differ between rows.
TBudgetData WithLongNames(TBudgetData data)
{
    QHash<QString, QString> names;
    for (qsizetype i = 0; i < data.Depts.size(); i += 3) {
        TDeptLine& d = data.Depts[i];
        d.Ename = i % 2 ? d.Ename.repeated(4) : d.Ename + "\n" + d.Ename;
        names.insert(d.Eid, d.Ename);
    }
    for (TBudgetLine& l : data.Lines)
        l.Ename = names.value(l.Eid, l.Ename);
    return data;
}

// The general template with its spare row's amounts aligned otherwise (33): a row then shows
// in its alignment which amounts the rows above it wrote, as rows take the formats of the
// row above them.
QString TemplateWithOtherAmountAlign(const QTemporaryDir& dir)
{
    QFile original(TemplateFolder() + TemplateFileName("11"));
    if (!original.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(original.readAll());
    text.replace("format amount font=body align=34", "format amount font=body align=33");
    const QString path = dir.filePath(TemplateFileName("11"));
    QFile copy(path);
    if (!copy.open(QIODevice::WriteOnly) || copy.write(text.toUtf8()) < 0)
        return {};
    return path;
}

class BulkFillTest : public ::testing::TestWithParam<QString> {};

TEST_P(BulkFillTest, SameSheetAsTheControlsOperations)
{
    SheetHost h(GetParam());
    DBTEST_REQUIRE_READY(h.Host.Database());
    const std::uint32_t seeds = GetParam() == "sqlite" ? 12 : 4;
    int compared = 0;
    int tall = 0;   // rows higher than one line
    QTemporaryDir dir;
    const QString otherAlign = TemplateWithOtherAmountAlign(dir);
    ASSERT_FALSE(otherAlign.isEmpty());
    for (std::uint32_t seed = 300; seed < 300 + seeds; ++seed) {
        const TBudgetData data = WithLongNames(RandomBudgetData(seed, h.Host.Year()));
        h.Host.CreateReportTables();
        h.Host.LoadData(data);
        for (const TSelectionCase& c : RandomSelections(data, seed, 6)) {
            h.Host.SetLogin(c.LoginCode, c.DeptMode);
            TReportSelection s = h.Selection(c.Prefix, c.UnitName, c.Fund);
            s.FBType = c.BType;
            IARQueryPtr query;
            ASSERT_TRUE(OpenDefQuery(BuildDetailSql(s), query)) << LastDefQueryError().toStdString();
            TSpecialAccounts special;
            special.Load(c.Prefix);
            for (const bool asNumbers : {false, true}) {
                const QString path = asNumbers ? TemplateFolder() + TemplateFileName(c.Fund) : otherAlign;
                ASSERT_EQ(h.Cell->OpenSheetFile(path, QString()), 1);
                sheet::Sheet bulk = sheet::TemplateReader::read(path);
                if (asNumbers)   // the narrowed amount columns: one hidden, one a pixel wide
                    for (const auto& [col, width] : {std::pair{15, 0}, std::pair{18, 1}, std::pair{13, 112}}) {
                        h.Cell->SetColumnWidth(1, width, col, 0);
                        bulk.setColumnWidth(col, width);
                    }
                const int rows = WriteDetailRows(*h.Cell, *query->Query(), special, asNumbers, nullptr);
                EXPECT_EQ(WriteDetailRows(bulk, *query->Query(), special, asNumbers, nullptr), rows);
                const QString difference = SheetDifference(h.Sheet(), bulk);
                ASSERT_TRUE(difference.isEmpty()) << "seed " << seed << " prefix '" << c.Prefix.toStdString()
                                                  << "' numbers " << asNumbers << ": " << difference.toStdString();
                compared += rows;
                for (int r = 7; r <= bulk.rowCount(); ++r)
                    tall += bulk.rowHeight(r) > sheet::Sheet::DefaultRowHeight ? 1 : 0;
            }
        }
    }
    EXPECT_GT(compared, 100);
    EXPECT_GT(tall, 10);
}

// The rows are written on a second thread while the statement is read, part by part: parts of
// any size make the sheet of one part, counted before they are written; a failure on either
// side stops both, and the next report is whole.
class TPartsProgress : public TRecordingProgress {
public:
    int Counts = 0, Records = 0, ThrowAtRecords = -1, RefuseAtRecords = -1;
    bool All = false;
    QString Counted(const TRowCount& count) override
    {
        ++Counts;
        Records = count.Records;
        All = count.All;
        if (ThrowAtRecords >= 0 && count.Records >= ThrowAtRecords)
            throw Exception("reading stopped");
        return RefuseAtRecords >= 0 && count.Records >= RefuseAtRecords ? QString("%1 rows").arg(count.Records)
                                                                        : QString();
    }
};

// A generated data set with long names whose report of every unit and fund nature has more
// than `rows` rows, and that report's selection.
std::optional<TReportSelection> SelectionOfRows(SheetHost& h, int rows, int& records)
{
    for (std::uint32_t seed = 301; seed < 340; ++seed) {
        const TBudgetData data = WithLongNames(RandomBudgetData(seed, h.Host.Year()));
        h.Host.CreateReportTables();
        h.Host.LoadData(data);
        const TReportSelection s = h.Selection("", "全部单位", "");
        IARQueryPtr query;
        if (OpenDefQuery(BuildDetailSql(s), query) && query->Query()->RecordCount() > rows) {
            records = query->Query()->RecordCount();
            return s;
        }
    }
    return std::nullopt;
}

// A host with the first generated data set whose whole report has more than 40 rows.
class ReportPartsTest : public ::testing::TestWithParam<QString> {
protected:
    void SetUp() override
    {
        FHost = std::make_unique<SheetHost>(GetParam());
        DBTEST_REQUIRE_READY(FHost->Host.Database());
        Selection = SelectionOfRows(*FHost, 40, Records);
        ASSERT_TRUE(Selection.has_value());
    }
    // The report in parts of partRows rows.
    sheet::Sheet Build(bool asNumbers, TReportProgress* progress, int partRows) const
    {
        return BuildReportSheet(*Selection, Selection->FundCode, asNumbers, progress, partRows);
    }

    std::unique_ptr<SheetHost> FHost;
    std::optional<TReportSelection> Selection;
    int Records = 0;
};

TEST_P(ReportPartsTest, PartsOfAnySizeMakeTheSheetOfOne)
{
    const int records = Records;
    const sheet::Sheet whole = Build(true, nullptr, std::numeric_limits<int>::max());
    for (const int partRows : {1, 2, 7, 64, records}) {
        SCOPED_TRACE(partRows);
        TPartsProgress progress;
        const sheet::Sheet parts = Build(true, &progress, partRows);
        EXPECT_EQ(SheetDifference(whole, parts), QString());
        EXPECT_EQ(progress.Counts, (records + partRows - 1) / partRows);
        EXPECT_TRUE(progress.All);
        EXPECT_EQ(progress.Records, records);
        EXPECT_EQ(progress.Max, partRows >= records ? records : -1);
        EXPECT_EQ(progress.Steps, records);
        EXPECT_EQ(progress.Finishes, 1);
    }
}

TEST_P(ReportPartsTest, AFailureWhileReadingOrWritingStopsBoth)
{
    const int records = Records;
    const sheet::Sheet whole = Build(false, nullptr, ReportPartRows);
    struct Case {
        int throwAtStep, throwAtRecords, refuseAtRecords;
    };
    for (const Case c : {Case{3, -1, -1}, Case{1, -1, -1}, Case{-1, 5, -1}, Case{-1, -1, 5}}) {
        SCOPED_TRACE(testing::Message() << c.throwAtStep << " " << c.throwAtRecords << " " << c.refuseAtRecords);
        TPartsProgress progress;
        progress.ThrowAtStep = c.throwAtStep;
        progress.ThrowAtRecords = c.throwAtRecords;
        progress.RefuseAtRecords = c.refuseAtRecords;
        try {
            Build(false, &progress, 1);
            ADD_FAILURE() << "no failure";
        } catch (const TExceptReport& e) {   // a refusal tells the whole count
            EXPECT_EQ(e.Message(), QString("%1 rows").arg(records));
        } catch (const Exception&) {
            EXPECT_LT(c.refuseAtRecords, 0);
        }
        EXPECT_EQ(progress.Starts, progress.Finishes);
        // No row is written before it is counted. A failure stops the reading well before the
        // end (the writer lets few parts wait); a refusal counts every row.
        if (c.throwAtStep > 0)
            EXPECT_EQ(progress.Steps, c.throwAtStep);
        else
            EXPECT_LT(progress.Steps, std::max(c.throwAtRecords, c.refuseAtRecords));
        EXPECT_EQ(progress.All, c.refuseAtRecords > 0);
        EXPECT_EQ(progress.Records < records, c.refuseAtRecords < 0);
    }
    EXPECT_EQ(SheetDifference(whole, Build(false, nullptr, 1)), QString());
}

INSTANTIATE_TEST_SUITE_P(Backends, ReportPartsTest, ::testing::ValuesIn(dbtest::SqlBackends()),
                         [](const auto& backend) { return backend.param.toStdString(); });

INSTANTIATE_TEST_SUITE_P(Backends, BulkFillTest, ::testing::ValuesIn(dbtest::SqlBackends()),
                         [](const auto& backend) { return backend.param.toStdString(); });

} // namespace
