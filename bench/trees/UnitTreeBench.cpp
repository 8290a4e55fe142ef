// The unit tree of the print window, at the size of a large province: about 20,000
// units on four levels (10 regions, 200 departments, 1,800 offices, 18,000 leaf units).
//
//   LoadAll           the dynamic tree with LoadAll, as the print window runs it: the
//                     whole row source in one statement, every node added to a tree
//                     view, the first leaf selected
//   FirstLevel        the lazy tree: the top node's level only (one statement)
//   BareQuery         one query of all unit rows, every column read as text
//   LoadAllBesideBareQuery  the two in turn, 15 times: ratio is the median of the pairs'
//                     ratios (ratio_min, ratio_max beside it); the teardown is not timed
//
// SQLite always (a file in a temporary folder); PostgreSQL too when TALLYLEAF_TEST_PG
// names a server (a table of its own in that database, dropped afterwards).
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <algorithm>
#include <memory>
#include <vector>

#include "platform/ADODB.h"
#include "platform/TreeView.h"
#include "trees/untDynamicTree.h"

namespace {

struct TUnitTable {
    TADOConnection* Conn = nullptr;
    QString Table;
    int Units = 0;
    int NonLeaves = 0;
};

// Region "1rr", department +"ddd", office +"ooo", unit +"uuu".
void WriteUnits(TUnitTable& t)
{
    QStringList rows;
    auto add = [&](const QString& eid, const QString& peid, bool leaf) {
        rows << QStringLiteral("('%1','%2','单位%1','%3','0','0')").arg(eid, peid, leaf ? "1" : "0");
        ++t.Units;
        t.NonLeaves += leaf ? 0 : 1;
    };
    auto code = [](int n) { return QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0')); };
    for (int r = 1; r <= 10; ++r) {
        const QString region = QStringLiteral("1") + QStringLiteral("%1").arg(r, 2, 10, QLatin1Char('0'));
        add(region, QString(), false);
        for (int d = 1; d <= 20; ++d) {
            const QString dept = region + code(d);
            add(dept, region, false);
            for (int o = 1; o <= 9; ++o) {
                const QString office = dept + code(o);
                add(office, dept, false);
                for (int u = 1; u <= 10; ++u)
                    add(office + code(u), office, true);
            }
        }
    }
    t.Conn->Execute(QStringLiteral("create table %1 (eid varchar(30) not null primary key, peid varchar(30) not null, "
                                   "ename varchar(100) not null, leafflag varchar(1) not null, "
                                   "replaceflag varchar(1) not null, useflag varchar(1) not null)")
                        .arg(t.Table));
    t.Conn->Execute(QStringLiteral("create index ix_%1_peid on %1 (peid)").arg(t.Table));
    t.Conn->BeginTrans();
    for (qsizetype i = 0; i < rows.size(); i += 500)
        t.Conn->Execute(QStringLiteral("insert into %1 values ").arg(t.Table) + rows.mid(i, 500).join(QLatin1Char(',')));
    t.Conn->CommitTrans();
}

QString RowSource(const TUnitTable& t)
{
    return QStringLiteral("select eid,peid,leafflag,ename,eid||' '||ename as tname from %1 "
                          "where replaceflag='0' and useflag='0'")
        .arg(t.Table);
}

void Configure(TDynamicTree& tree, TTreeView& view, const TUnitTable& t)
{
    tree.SetAdoConn(t.Conn);
    tree.SetSqlTable({RowSource(t)});
    tree.SetFieldId(QStringLiteral("eid"));
    tree.SetFieldPid(QStringLiteral("peid"));
    tree.SetFieldIsLeaf(QStringLiteral("leafflag"));
    tree.SetFieldCaption(QStringLiteral("ename"));
    tree.SetFieldText(QStringLiteral("tname"));
    tree.SetValueIsLeaf(QStringLiteral("1"));
    tree.SetTopVirNodeTitle(QStringLiteral("预算单位列表"));
    tree.SetTreeView(&view);
}

void LoadTree(benchmark::State& state, const TUnitTable* t, bool loadAll)
{
    int nodes = 0;
    int queries = 0;
    for (auto _ : state) {
        // Made and freed outside the timing: the load is measured, not the teardown.
        state.PauseTiming();
        auto view = std::make_unique<TTreeView>(nullptr);
        auto tree = std::make_unique<TDynamicTree>(nullptr);
        Configure(*tree, *view, *t);
        tree->SetLoadAll(loadAll);
        // The print window's choice with LoadAll; the default (title node) for the lazy
        // tree, which then opens nothing beyond the first level.
        tree->SetAutoExpandKind(loadAll ? aekFirstLeaf : aekTitleNode);
        queries = 0;
        tree->OnLevelQuery = [&queries](TObject*, const QString&) { ++queries; };
        state.ResumeTiming();
        tree->SetActive(true);
        state.PauseTiming();
        nodes = view->Items()->Count();
        if (!tree->LastLoadError().isEmpty())
            state.SkipWithError(tree->LastLoadError().toStdString().c_str());
        tree->SetActive(false);
        tree.reset();
        view.reset();
        state.ResumeTiming();
    }
    state.counters["nodes"] = nodes;
    state.counters["queries"] = queries;
}

void BareQuery(benchmark::State& state, const TUnitTable* t)
{
    int rows = 0;
    for (auto _ : state) {
        TADOQuery query(nullptr);
        query.SetConnection(t->Conn);
        query.SetSQLText(RowSource(*t));
        query.Open();
        rows = 0;
        qsizetype chars = 0;
        for (query.First(); !query.Eof(); query.Next(), ++rows)
            for (int i = 0; i < query.FieldCount(); ++i)
                chars += query.Fields()->Field(i)->AsString().size();
        benchmark::DoNotOptimize(chars);
        query.Close();
    }
    state.counters["rows"] = rows;
}

// One tree's LoadAll, timed, made and freed around it.
double LoadAllMs(const TUnitTable& t, QString& error)
{
    auto view = std::make_unique<TTreeView>(nullptr);
    auto tree = std::make_unique<TDynamicTree>(nullptr);
    Configure(*tree, *view, t);
    tree->SetLoadAll(true);
    tree->SetAutoExpandKind(aekFirstLeaf);
    QElapsedTimer clock;
    clock.start();
    tree->SetActive(true);
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    error = tree->LastLoadError();
    return ms;
}

double BareQueryMs(const TUnitTable& t)
{
    QElapsedTimer clock;
    clock.start();
    TADOQuery query(nullptr);
    query.SetConnection(t.Conn);
    query.SetSQLText(RowSource(t));
    query.Open();
    qsizetype chars = 0;
    for (query.First(); !query.Eof(); query.Next())
        for (int i = 0; i < query.FieldCount(); ++i)
            chars += query.Fields()->Field(i)->AsString().size();
    benchmark::DoNotOptimize(chars);
    query.Close();
    return double(clock.nsecsElapsed()) / 1e6;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// LoadAll and BareQuery in turn, each ratio from two runs milliseconds apart: on a shared
// machine whose speed drifts within minutes, ratios of separate benchmarks' medians drift
// with it.
void LoadAllBesideBareQuery(benchmark::State& state, const TUnitTable* t)
{
    constexpr int pairs = 15;
    std::vector<double> ratios;
    std::vector<double> loadMs;
    std::vector<double> bareMs;
    for (auto _ : state) {
        for (int pair = 0; pair < pairs; ++pair) {
            bareMs.push_back(BareQueryMs(*t));
            QString error;
            loadMs.push_back(LoadAllMs(*t, error));
            if (!error.isEmpty()) {
                state.SkipWithError(error.toStdString().c_str());
                return;
            }
            ratios.push_back(loadMs.back() / bareMs.back());
        }
    }
    state.counters["ratio"] = Median(ratios);
    state.counters["ratio_min"] = *std::min_element(ratios.begin(), ratios.end());
    state.counters["ratio_max"] = *std::max_element(ratios.begin(), ratios.end());
    state.counters["load_ms"] = Median(loadMs);
    state.counters["bare_ms"] = Median(bareMs);
}

void RegisterBackend(const QString& name, TUnitTable* t)
{
    const std::string prefix = "UnitTree/" + name.toStdString() + "/";
    benchmark::RegisterBenchmark((prefix + "LoadAll").c_str(), LoadTree, t, true)->Unit(benchmark::kMillisecond)->Iterations(3);
    benchmark::RegisterBenchmark((prefix + "FirstLevel").c_str(), LoadTree, t, false)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((prefix + "BareQuery").c_str(), BareQuery, t)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((prefix + "LoadAllBesideBareQuery").c_str(), LoadAllBesideBareQuery, t)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    QTemporaryDir dir;
    TUnitTable sqlite;
    sqlite.Conn = new TADOConnection(nullptr);
    sqlite.Conn->SetConnectionString(QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("units.db")));
    sqlite.Table = QStringLiteral("pubdept");
    WriteUnits(sqlite);
    RegisterBackend(QStringLiteral("SQLite"), &sqlite);

    TUnitTable pg;
    const QString pgUrl = qEnvironmentVariable("TALLYLEAF_TEST_PG");
    if (!pgUrl.isEmpty()) {
        pg.Conn = new TADOConnection(nullptr);
        pg.Conn->SetConnectionString(pgUrl);
        pg.Table = QStringLiteral("pubdept_bench_%1").arg(QCoreApplication::applicationPid());
        WriteUnits(pg);
        RegisterBackend(QStringLiteral("PostgreSQL"), &pg);
    }

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (pg.Conn) {
        pg.Conn->Execute(QStringLiteral("drop table %1").arg(pg.Table));
        pg.Conn->Free();
    }
    sqlite.Conn->Free();
    return 0;
}
