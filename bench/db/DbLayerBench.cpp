// The database layer on a generated budget database of 20,000 units and 200,000 budget
// rows (SQLite in a temporary folder; PostgreSQL too when TALLYLEAF_TEST_PG names a
// server, in a database of its own that is dropped afterwards).
//
//   FundList        the print window's fund nature list for one department
//   LevelBlock      one level block of the detail report (dialect pieces, six amounts,
//                   grouped by unit, classification and item) for one department
//   MaxLeafClass    the report's level count
//   OpenAllUnits    every pubdept row into the client-side cursor
//   ReadAllUnits    the same, then every field of every row read as text by name
//   InterfaceCopy   one IARQuery reference taken and dropped
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QUrl>
#include <QUuid>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>

#include "common/untDataBase.h"
#include "common/untDemoDatabase.h"
#include "tools/tallyleaf-datagen/SyntheticDataSet.h"

using namespace Qt::StringLiterals;

namespace {

struct TBenchDatabase {
    TAdoConn* Conn = nullptr;
    QString AdminDrop;   // PostgreSQL: the statement that drops the bench database
};

QTemporaryDir* GDir = nullptr;
TBenchDatabase GSqlite;
TBenchDatabase GPostgres;

bool Fill(TAdoConn* conn)
{
    TDemoCatalog catalog;
    QString error;
    if (!TDemoCatalog::Load(catalog, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    TSyntheticSize size;
    size.Units = 20000;
    size.BudgetRows = 200000;
    try {
        TSyntheticDataSet(catalog, size).Write(conn, {});
        return true;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", qPrintable(ExceptionMessage(e)));
        return false;
    }
}

TAdoConn* Connect(const QString& connectionString)
{
    auto* conn = new TAdoConn(nullptr);
    conn->SetConnectionString(connectionString);
    return conn;
}

void SetUpSqlite()
{
    GDir = new QTemporaryDir;
    GSqlite.Conn = Connect(u"sqlite:"_s + GDir->filePath(u"bench.db"_s));
    if (!Fill(GSqlite.Conn))
        TComponent::FreeAndNil(GSqlite.Conn);
}

void SetUpPostgres()
{
    const QString server = qEnvironmentVariable("TALLYLEAF_TEST_PG");
    if (server.isEmpty())
        return;
    const QString name = u"bench_db_"_s + QUuid::createUuid().toString(QUuid::Id128).left(12);
    TAdoConn* admin = Connect(server);
    try {
        admin->Execute(u"create database "_s + name);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", qPrintable(ExceptionMessage(e)));
        admin->Free();
        return;
    }
    admin->Free();
    QUrl url(server);
    url.setPath(u"/"_s + name);
    GPostgres.Conn = Connect(url.toString());
    GPostgres.AdminDrop = u"drop database if exists "_s + name + u" with (force)"_s;
    if (!Fill(GPostgres.Conn))
        TComponent::FreeAndNil(GPostgres.Conn);
}

void TearDown()
{
    TComponent::FreeAndNil(GSqlite.Conn);
    TComponent::FreeAndNil(GPostgres.Conn);
    if (!GPostgres.AdminDrop.isEmpty()) {
        TAdoConn* admin = Connect(qEnvironmentVariable("TALLYLEAF_TEST_PG"));
        try {
            admin->Execute(GPostgres.AdminDrop);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", qPrintable(ExceptionMessage(e)));
        }
        admin->Free();
    }
    delete GDir;
}

TAdoConn* ConnOf(const benchmark::State& state) { return state.range(0) == 0 ? GSqlite.Conn : GPostgres.Conn; }

QString Amounts(TAdoConn* c)
{
    static const QStringList conditions{u"'21' and ipid in ('11','17') "_s, u"'21' and ipid in ('12','18') "_s,
                                        u"'21' and ipid in ('22','19') "_s, u"'22' and ipid in ('11','17') "_s,
                                        u"'22' and ipid in ('12','18') "_s, u"'22' and ipid in ('22','19') "_s};
    QStringList parts;
    for (const QString& v : conditions)
        parts << c->NullReplace(u"sum("_s + c->ValueMap(u"bkid"_s, {v, u"BudgMoney"_s, u"0"_s}) + u")"_s, u"0"_s);
    return parts.join(u',');
}

void RunQuery(benchmark::State& state, const QString& sql)
{
    TAdoConn* conn = ConnOf(state);
    if (!conn) {
        state.SkipWithError("back end not available");
        return;
    }
    qint64 rows = 0;
    for (auto _ : state) {
        IARQueryPtr q = OpenQuery(conn, sql);
        rows += q->Query()->RecordCount();
    }
    state.counters["rows"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kAvgIterations);
}

void FundList(benchmark::State& state)
{
    RunQuery(state, u"select mid as id,mname as name from pubmoneykind where leafflag='0'  and mid in (select distinct mid "
                    u"from busibudget  where datayear=2024   and eid like '107%'    and status='1'    and  BType='1' )"_s);
}

void LevelBlock(benchmark::State& state)
{
    TAdoConn* c = ConnOf(state);
    if (!c) {
        state.SkipWithError("back end not available");
        return;
    }
    const QString len = c->LengthFunction(u"eid"_s);
    const QString code = c->ValueMap(len, {u"'3'"_s, c->Concat(u"eid"_s, u"'001'"_s), u"eid"_s});
    const QString secret = c->ValueMap(u"issecret"_s, {u"'0'"_s, u"'是'"_s, u"'否'"_s});
    RunQuery(state, u"select "_s + secret + u" as issecret, "_s + code + u" as eid, ename,bid,bname,iid,iname,"_s
                        + u"sum(BudgMoney) as summ,"_s + Amounts(c) + u" from vwbudget where 1=1  and datayear=2024"_s
                        + u" and eid like '107%'  and status='1'  and BType='1'  and ("_s + len + u"/3-1)=2"_s
                        + u" group by eid,ename,bid,bname,iid,iname,issecret"_s);
}

void MaxLeafClass(benchmark::State& state)
{
    RunQuery(state, u"select max(class) as class from pubdept where eid like '107%'  and leafflag='1' "_s);
}

void OpenAllUnits(benchmark::State& state)
{
    RunQuery(state, u"select eid,peid,leafflag,ename from pubdept"_s);
}

void ReadAllUnits(benchmark::State& state)
{
    TAdoConn* conn = ConnOf(state);
    if (!conn) {
        state.SkipWithError("back end not available");
        return;
    }
    qint64 chars = 0;
    for (auto _ : state) {
        IARQueryPtr q = OpenQuery(conn, u"select eid,peid,leafflag,ename from pubdept"_s);
        for (TARQuery* rows = q->Query(); !rows->Eof(); rows->Next())
            for (const char* name : {"eid", "peid", "leafflag", "ename"})
                chars += rows->FieldByName(QString::fromLatin1(name))->AsString().size();
    }
    benchmark::DoNotOptimize(chars);
}

void InterfaceCopy(benchmark::State& state)
{
    IARQueryPtr held(static_cast<IARQuery*>(new TARQuery(nullptr)));
    for (auto _ : state) {
        IARQueryPtr copy = held;
        benchmark::DoNotOptimize(copy.get());
    }
}

void Backends(benchmark::internal::Benchmark* b)
{
    b->ArgName("pg")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
}

BENCHMARK(FundList)->Apply(Backends);
BENCHMARK(LevelBlock)->Apply(Backends);
BENCHMARK(MaxLeafClass)->Apply(Backends);
BENCHMARK(OpenAllUnits)->Apply(Backends);
BENCHMARK(ReadAllUnits)->Apply(Backends);
BENCHMARK(InterfaceCopy);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    SetUpSqlite();
    SetUpPostgres();
    benchmark::RunSpecifiedBenchmarks();
    TearDown();
    benchmark::Shutdown();
    return 0;
}
