// The indicator report of the print window on a large generated budget database, against
// the bare report statement on the same connection and against the floor: the statement
// through the database's own C library.
//
//   ShowReport      the print window (offscreen, with the host's context records and "Def"
//                   connection, the virtual top node selected) builds its report again for
//                   the chosen fund nature, as when the user picks it: unit levels, statement,
//                   template, special accounts, every row written, the progress panel shown;
//                   first_paint_ms: from the pick to the panel's first paint; paints_per_s
//                   and max_gap_ms: while the report is built, the panel is asked to repaint
//                   every 16 ms (as a window being moved or uncovered is), and these count
//                   the paints it got and the longest wait between two
//                   resident_mb: the process's resident size once the report is on screen
//   ShowReportBesideFloor  ShowReport and Floor in turn, PairsPerRun times: ratio is the
//                   median of the pairs' ratios (ratio_min, ratio_max beside it)
//   WindowCancel    the same pick, stopped with Esc half a second in: cancel_ms, from the key
//                   to the handler's return with the window ready again
//   BareStatement   the same statement text (BuildDetailSql for the window's selection) run
//                   through the same "Def" connection, every field of every row read
//   OpenStatement   the same statement, rows counted only
//   Floor           the same statement through SQLite's C library or libpq, no Qt: every
//                   field of every row read, amounts as numbers and the rest as text
//   JobCancel       the report job on the window's selection, cancelled half a second into
//                   its statement (/rows:0) or after its first 10,000 rows (/rows:1):
//                   cancel_ms, the time from the cancel to the worker's end
//   BuildReport     the window's report without the window: the selection the window shows,
//                   filled into the window's sheet control as FillSheet does (statement,
//                   look-ups, template, rows in bulk into a sheet model the control then
//                   takes), or /calls: through the control's operations, one call per cell,
//                   as the window filled it before; no progress panel
//
// The database is made once, outside the source tree, with tools/tallyleaf-datagen:
//   tallyleaf-datagen --connection sqlite:/work/bigdata/big.db --units 20000 --rows 1000000
// and named by TALLYLEAF_BENCH_DB (a file, taken as SQLite, or a connection string). Without
// it every benchmark is skipped with a message that says so.
//
// The login unit is none by default, so that the top node covers every unit of the
// database; TALLYLEAF_BENCH_LOGIN names one instead. TALLYLEAF_BENCH_YEAR picks the year
// (2024 by default, the generator's last). TALLYLEAF_BENCH_FUND names a fund nature ("" for
// none: every fund nature summed); by default the window's own first one is kept.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTimer>
#include <QThread>
#include <QWidget>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <algorithm>
#include <memory>
#include <vector>

#include "bench/report/StatementFloor.h"
#include "print/gunSelectList.h"
#include "common/untDataBase.h"
#include "host/HostDatabase.h"
#include "host/HostEnvironment.h"
#include "platform/Forms.h"
#include "common/PlugInGlobals.h"
#include "plugin/untDefConnection.h"
#include "print/CELL50Lib_TLB.h"
#include "print/bwnTallyleaf.h"
#include "print/untReportFill.h"
#include "print/untReportJob.h"
#include "trees/untDynamicTree.h"

namespace {

// The pairs that ShowReportBesideFloor takes.
constexpr int PairsPerRun = 5;

double ResidentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

// Counts the paints a widget gets while armed: how long until the first one and the longest
// stretch between two of them.
class TPaintCounter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && FClock.isValid()) {
            const qint64 since = FClock.restart();
            if (FPaints++ == 0)
                FFirstMs = since;
            else
                FLongestGapMs = std::max(FLongestGapMs, since);
        }
        return QObject::eventFilter(watched, event);
    }
    void Arm()
    {
        FPaints = 0;
        FFirstMs = 0;
        FLongestGapMs = 0;
        FClock.start();
    }
    void Disarm() { FClock.invalidate(); }
    qint64 Paints() const { return FPaints; }
    qint64 FirstMs() const { return FFirstMs; }
    qint64 LongestGapMs() const { return FLongestGapMs; }

private:
    QElapsedTimer FClock;
    qint64 FPaints = 0;
    qint64 FFirstMs = 0;
    qint64 FLongestGapMs = 0;
};

struct TBenchWindow {
    std::unique_ptr<HostDatabase> Database;
    std::unique_ptr<HostEnvironment> Environment;
    TForm* Main = nullptr;
    TbfrmTallyleaf* Form = nullptr;
    QString Connection;   // the connection string of "Def"
    QString Statement;    // the report statement of the window's selection
    QString Error;        // why the benchmarks are skipped
    QString WindowError;  // why the window's own report is skipped (the others still run)
    QStringList Messages; // what the window reported while it ran
    TPaintCounter PanelPaints;
};

TBenchWindow* GBench = nullptr;

// Lets the window system's events in (expose, then the paints they ask for), as the event
// loop does between two user actions: a window that was never exposed paints nothing.
void LetWindowSettle(int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    do
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    while (clock.elapsed() < milliseconds);
}

QString ConnectionString(const QString& named)
{
    return named.contains(QStringLiteral("://")) || named.startsWith(QStringLiteral("sqlite:")) ? named
                                                                                                : "sqlite:" + named;
}

TTreeNode* TopNode(TTreeView* tree)
{
    TTreeNodes* nodes = tree->Items();
    for (int i = 0; i < nodes->Count(); ++i)
        if (nodes->Item(i)->AbsoluteIndex() == 0)
            return nodes->Item(i);
    return nullptr;
}

// The window's selection as the report takes it.
TReportSelection WindowSelection(TbfrmTallyleaf& form)
{
    TReportSelection selection;
    selection.Year = PubVariable()->Year;
    selection.FEidPrefix = form.EidPrefix();
    selection.FBType = form.BType();
    selection.FundName = form.cobMid->Text();
    FundKindCodeByName(selection.FundName, selection.FundCode);
    selection.FUnitName = form.UnitName();
    selection.BTypeText = form.cobBType->Text();
    selection.TemplateFolder = QStringLiteral(TALLYLEAF_SOURCE_DIR "/data/templates/");
    BuildTitles(selection);
    return selection;
}

// The statement the window's report runs, from what the window shows.
QString WindowStatement(TbfrmTallyleaf& form)
{
    return BuildDetailSql(WindowSelection(form));
}

void SelectFund(TbfrmTallyleaf& form)
{
    if (!qEnvironmentVariableIsSet("TALLYLEAF_BENCH_FUND"))
        return;
    const QString fund = qEnvironmentVariable("TALLYLEAF_BENCH_FUND");
    if (fund.isEmpty())
        form.cobMid->SetItemIndex(-1);
    else
        form.cobMid->SetText(fund);
    form.cobMidChange(form.cobMid);
}

void OpenWindow(TBenchWindow& b)
{
    const QString named = qEnvironmentVariable("TALLYLEAF_BENCH_DB");
    if (named.isEmpty()) {
        b.Error = "TALLYLEAF_BENCH_DB is not set: make the database with tallyleaf-datagen and name it there";
        return;
    }
    const QString connection = ConnectionString(named);
    // SQLite would make an empty database at a wrong path.
    if (connection.startsWith(QStringLiteral("sqlite:")) && !QFileInfo::exists(connection.mid(7))) {
        b.Error = "TALLYLEAF_BENCH_DB names no database file: " + connection.mid(7);
        return;
    }
    b.Connection = connection;
    b.Database = std::make_unique<HostDatabase>(connection, QString());
    HostSettingsValues settings;
    settings.year = qEnvironmentVariableIsSet("TALLYLEAF_BENCH_YEAR") ? qEnvironmentVariableIntValue("TALLYLEAF_BENCH_YEAR")
                                                                       : 2024;
    settings.loginUnitCode = qEnvironmentVariable("TALLYLEAF_BENCH_LOGIN");
    settings.templateFolder = QStringLiteral(TALLYLEAF_SOURCE_DIR "/data/templates/");
    b.Environment = std::make_unique<HostEnvironment>(settings);
    b.Environment->pubVariable()->DbManager = b.Database->manager();
    SetPlugInContext(b.Environment->context());
    Application->OnException = [&b](TObject*, const QString& message) { b.Messages << message; };

    b.Main = new TForm(Application);
    b.Main->SetFormStyle(fsMDIForm);
    b.Main->SetBounds(0, 0, 1280, 800);
    Application->SetMainForm(b.Main);
    b.Main->Show();
    b.Form = new TbfrmTallyleaf(Application);
    b.Form->Show();
    LetWindowSettle(500);
    TTreeNode* top = TopNode(b.Form->trvList);
    if (!top) {
        b.Error = "the unit tree has no top node: " + b.Messages.join("; ");
        return;
    }
    b.Form->trvList->SetSelected(top);
    SelectFund(*b.Form);
    // With nobody logged in the top node's own unit name cannot be looked up and the
    // window refuses the report; the statement and the fill can still be measured.
    b.WindowError = b.Messages.join("; ");
    b.Messages.clear();
    LetWindowSettle(500);
    b.Statement = WindowStatement(*b.Form);
    b.Form->Label8->Widget()->installEventFilter(&b.PanelPaints);
    std::fprintf(stderr, "report: prefix '%s', unit '%s', fund '%s', %d sheet rows\n", qPrintable(b.Form->EidPrefix()),
                 qPrintable(b.Form->UnitName()), qPrintable(b.Form->cobMid->Text()),
                 b.Form->cllBudget->GetRowCount(0) - 1);
}

void CloseWindow(TBenchWindow& b)
{
    if (b.Form)
        b.Form->Free();
    Application->SetMainForm(nullptr);
    if (b.Main)
        b.Main->Free();
    Application->OnException = nullptr;
    SetPlugInContext(nullptr);
    b.Environment.reset();
    b.Database.reset();
}

bool Ready(benchmark::State& state)
{
    if (!GBench->Error.isEmpty()) {
        state.SkipWithError(qPrintable(GBench->Error));
        return false;
    }
    return true;
}

// The window's own benchmarks also need the window to have built its report.
bool WindowReady(benchmark::State& state)
{
    if (!Ready(state))
        return false;
    if (!GBench->WindowError.isEmpty()) {
        state.SkipWithError(qPrintable(GBench->WindowError));
        return false;
    }
    return true;
}

void ShowReport(benchmark::State& state)
{
    if (!WindowReady(state))
        return;
    TbfrmTallyleaf& form = *GBench->Form;
    TPaintCounter& panel = GBench->PanelPaints;
    qint64 paints = 0;
    qint64 first = 0;
    qint64 longestGap = 0;
    qint64 buildingMs = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        panel.Arm();
        QTimer expose;
        QObject::connect(&expose, &QTimer::timeout, [&form] { form.Label8->Widget()->update(); });
        expose.start(16);
        form.cobMidChange(form.cobMid);
        expose.stop();
        panel.Disarm();
        buildingMs += clock.elapsed();
        // The report is seen once the window has painted it.
        QApplication::processEvents();
        paints += panel.Paints();
        first = std::max(first, panel.FirstMs());
        longestGap = std::max(longestGap, panel.LongestGapMs());
    }
    if (!GBench->Messages.isEmpty()) {
        state.SkipWithError(qPrintable(GBench->Messages.join("; ")));
        return;
    }
    state.counters["rows"] = form.cllBudget->GetRowCount(0) - 1;
    state.counters["paints_per_s"] = buildingMs > 0 ? double(paints) * 1000.0 / double(buildingMs) : 0.0;
    state.counters["first_paint_ms"] = double(first);
    state.counters["resident_mb"] = ResidentMb();
    state.counters["max_gap_ms"] = double(longestGap);
}
BENCHMARK(ShowReport)->Unit(benchmark::kMillisecond)->Iterations(1);

// The floor on the benchmark's connection; nil, the benchmark skipped and saying why, when
// it can't be had.
std::unique_ptr<TStatementFloor> OpenFloor(benchmark::State& state)
{
    QString error;
    std::unique_ptr<TStatementFloor> floor = TStatementFloor::Open(GBench->Connection, error);
    if (!floor)
        state.SkipWithError(qPrintable(error));
    return floor;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The floor and the window's report taken in turn, each ratio from two runs a few seconds
// apart: on a shared machine whose speed drifts by a fifth within minutes, ratios of
// separate benchmarks' medians drift with it.
void ShowReportBesideFloor(benchmark::State& state)
{
    if (!WindowReady(state))
        return;
    const std::unique_ptr<TStatementFloor> floor = OpenFloor(state);
    if (!floor)
        return;
    TbfrmTallyleaf& form = *GBench->Form;
    std::vector<double> ratios;
    std::vector<double> floorMs;
    std::vector<double> showMs;
    for (auto _ : state) {
        for (int pair = 0; pair < PairsPerRun; ++pair) {
            QElapsedTimer clock;
            clock.start();
            TFloorTotals totals;
            if (!floor->Run(GBench->Statement, totals)) {
                state.SkipWithError(qPrintable(floor->Error()));
                return;
            }
            floorMs.push_back(double(clock.nsecsElapsed()) / 1e6);
            clock.restart();
            form.cobMidChange(form.cobMid);
            QApplication::processEvents();
            showMs.push_back(double(clock.nsecsElapsed()) / 1e6);
            ratios.push_back(showMs.back() / floorMs.back());
        }
    }
    if (!GBench->Messages.isEmpty()) {
        state.SkipWithError(qPrintable(GBench->Messages.join("; ")));
        return;
    }
    state.counters["ratio"] = Median(ratios);
    state.counters["ratio_min"] = *std::min_element(ratios.begin(), ratios.end());
    state.counters["ratio_max"] = *std::max_element(ratios.begin(), ratios.end());
    state.counters["floor_ms"] = Median(floorMs);
    state.counters["show_ms"] = Median(showMs);
}
BENCHMARK(ShowReportBesideFloor)->Unit(benchmark::kMillisecond)->Iterations(1);

void WindowCancel(benchmark::State& state)
{
    if (!WindowReady(state))
        return;
    TbfrmTallyleaf& form = *GBench->Form;
    double latencyMs = 0;
    for (auto _ : state) {
        QElapsedTimer sinceKey;
        QTimer::singleShot(500, [&] {
            sinceKey.start();
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(form.cllBudget->Widget(), &press);
        });
        form.cobMidChange(form.cobMid);
        latencyMs = sinceKey.isValid() ? double(sinceKey.nsecsElapsed()) / 1e6 : -1;
    }
    if (GBench->Messages != QStringList{QStringLiteral("报表已取消，未显示任何数据。")}) {
        state.SkipWithError(qPrintable("the report was not cancelled: " + GBench->Messages.join("; ")));
        return;
    }
    GBench->Messages.clear();
    state.counters["cancel_ms"] = latencyMs;
}
BENCHMARK(WindowCancel)->Unit(benchmark::kMillisecond)->Iterations(1);

void BareStatement(benchmark::State& state)
{
    if (!Ready(state))
        return;
    qint64 rows = 0;
    for (auto _ : state) {
        IARQueryPtr query;
        if (!OpenDefQuery(GBench->Statement, query)) {
            state.SkipWithError(qPrintable(LastDefQueryError()));
            return;
        }
        TARQuery* q = query->Query();
        for (q->First(); !q->Eof(); q->Next()) {
            benchmark::DoNotOptimize(ReadDetailRow(*q));
            ++rows;
        }
    }
    state.counters["rows"] = benchmark::Counter(double(rows), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BareStatement)->Unit(benchmark::kMillisecond)->Iterations(1);

void OpenStatement(benchmark::State& state)
{
    if (!Ready(state))
        return;
    qint64 rows = 0;
    for (auto _ : state) {
        IARQueryPtr query;
        if (!OpenDefQuery(GBench->Statement, query)) {
            state.SkipWithError(qPrintable(LastDefQueryError()));
            return;
        }
        rows += query->Query()->RecordCount();
    }
    state.counters["rows"] = benchmark::Counter(double(rows), benchmark::Counter::kAvgIterations);
}
BENCHMARK(OpenStatement)->Unit(benchmark::kMillisecond)->Iterations(1);

void Floor(benchmark::State& state)
{
    if (!Ready(state))
        return;
    const std::unique_ptr<TStatementFloor> floor = OpenFloor(state);
    if (!floor)
        return;
    TFloorTotals totals;
    for (auto _ : state) {
        totals = {};
        if (!floor->Run(GBench->Statement, totals)) {
            state.SkipWithError(qPrintable(floor->Error()));
            return;
        }
    }
    benchmark::DoNotOptimize(totals);
    state.counters["rows"] = double(totals.Rows);
}
BENCHMARK(Floor)->Unit(benchmark::kMillisecond)->Iterations(1);
// The report written through the control's operations, as FillSheet did before it wrote
// in bulk: template and titles into the control, then one call per cell.
void FillThroughCalls(TCell5& cell, const TReportSelection& s)
{
    cell.OpenSheetFile(s.TemplateFolder + TemplateFileName(s.FundCode), QString());
    // The narrowed amount columns of a report that does not keep the template's widths.
    const std::pair<int, int> widths[] = {{13, 112}, {14, 112}, {15, 0}, {16, 112}, {17, 112}, {18, 1}};
    for (const auto& [column, width] : widths)
        cell.SetColumnWidth(1, width, column, 0);
    cell.SetCellText(2, 1, 0, s.FTitle);
    cell.SetCellText(6, 2, 0, s.FSubTitle);
    IARQueryPtr query;
    if (!OpenDefQuery(BuildDetailSql(s), query))
        throw TExceptReport(LastDefQueryError());
    TSpecialAccounts special;
    special.Load(s.FEidPrefix);
    WriteDetailRows(cell, *query->Query(), special, false, nullptr);
}

void BuildReport(benchmark::State& state)
{
    if (!Ready(state))
        return;
    const bool calls = state.range(0) == 1;
    TbfrmTallyleaf& form = *GBench->Form;
    const TReportSelection selection = WindowSelection(form);
    for (auto _ : state) {
        try {
            if (calls)
                FillThroughCalls(*form.cllBudget, selection);
            else
                FillSheet(*form.cllBudget, selection, selection.FundCode, false, nullptr);
        } catch (const std::exception& e) {
            state.SkipWithError(qPrintable(ExceptionMessage(e)));
            return;
        }
        QApplication::processEvents();
    }
    state.counters["rows"] = form.cllBudget->GetRowCount(0) - 1;
}
BENCHMARK(BuildReport)->ArgName("calls")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

void JobCancel(benchmark::State& state)
{
    if (!Ready(state))
        return;
    const bool inRows = state.range(0) == 1;
    const TReportSelection selection = WindowSelection(*GBench->Form);
    double latencyMs = 0;
    for (auto _ : state) {
        TReportJob job(selection, selection.FundCode, false);
        job.Start();
        if (inRows) {
            while (job.RowsWritten() < 10000 && !job.Ended())
                QThread::msleep(1);
        } else {
            while (job.Phase() == TReportJob::TPhase::Waiting)
                QThread::msleep(1);
            QThread::msleep(500);
        }
        QElapsedTimer clock;
        clock.start();
        job.Cancel();
        job.Wait();
        latencyMs = double(clock.nsecsElapsed()) / 1e6;
        if (job.Phase() != TReportJob::TPhase::Cancelled) {
            state.SkipWithError("the job ended before the cancel reached it");
            return;
        }
    }
    state.counters["cancel_ms"] = latencyMs;
}
BENCHMARK(JobCancel)->ArgName("rows")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    InitRuntimeObjects();
    TBenchWindow bench;
    GBench = &bench;
    try {
        OpenWindow(bench);
    } catch (const std::exception& e) {
        bench.Error = ExceptionMessage(e);
    }
    if (!bench.Error.isEmpty())
        std::fprintf(stderr, "bench_report: %s\n", qPrintable(bench.Error));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    CloseWindow(bench);
    GBench = nullptr;
    FreeRuntimeObjects();
    return 0;
}
