#include "common/untDemoDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "common/untSqlDialect.h"
#include "platform/ADODB.h"

using namespace Qt::StringLiterals;

const char* const PubDeptColumns = "eid,peid,ename,leafflag,replaceflag,useflag,class,specialaccount";
const char* const PubMoneyKindColumns = "mid,mname,leafflag";
const char* const BusiBudgetColumns =
    "id,datayear,eid,status,BType,mid,bid,bname,iid,iname,issecret,bkid,ipid,BudgMoney";

namespace {

// The rows of a tab-separated resource list, without comment and blank lines.
bool ReadList(const QString& name, int minColumns, QList<QStringList>& rows, QString* error)
{
    const QString path = u":/data/demo/"_s + name;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = u"无法读取演示数据文件%1：%2"_s.arg(path, file.errorString());
        return false;
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed().isEmpty() ? QString() : lines.at(i);
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        QStringList cells = line.split(u'\t');
        for (QString& c : cells)
            c = c.trimmed();
        if (cells.size() < minColumns) {
            if (error)
                *error = u"演示数据文件%1第%2行缺少列"_s.arg(path).arg(i + 1);
            return false;
        }
        while (cells.size() < 4)
            cells << QString();
        rows << cells;
    }
    return true;
}

QString Flag(bool on) { return on ? u"1"_s : u"0"_s; }

} // namespace

// ---------------------------------------------------------------- reference lists

void DeriveUnitTree(QList<TDemoUnit>& units)
{
    for (qsizetype i = 0; i < units.size(); ++i) {
        TDemoUnit& u = units[i];
        u.Peid = u.Eid.size() > 3 ? u.Eid.left(u.Eid.size() - 3) : QString();
        u.Class = static_cast<int>(u.Eid.size() / 3);
        // Sorted by code, the units below a code follow it directly.
        u.Leaf = !(i + 1 < units.size() && units.at(i + 1).Eid.startsWith(u.Eid));
    }
}

bool TDemoCatalog::Load(TDemoCatalog& catalog, QString* error)
{
    QList<QStringList> units, funds, functions, items;
    if (!ReadList(u"units.tsv"_s, 2, units, error) || !ReadList(u"moneykinds.tsv"_s, 2, funds, error)
        || !ReadList(u"functions.tsv"_s, 4, functions, error) || !ReadList(u"items.tsv"_s, 3, items, error))
        return false;
    catalog = TDemoCatalog();
    for (const QStringList& r : units) {
        TDemoUnit u;
        u.Eid = r.at(0);
        u.Ename = r.at(1);
        u.Area = r.at(2);
        u.Replaced = r.at(3).contains(u'R');
        u.Unused = r.at(3).contains(u'U');
        u.Special = r.at(3).contains(u'S');
        catalog.Units << u;
    }
    std::sort(catalog.Units.begin(), catalog.Units.end(), [](const auto& a, const auto& b) { return a.Eid < b.Eid; });
    DeriveUnitTree(catalog.Units);
    // A department's area reaches every unit below it.
    QString area;
    for (TDemoUnit& u : catalog.Units) {
        if (u.Class == 1)
            area = u.Area;
        u.Area = area;
    }
    for (const QStringList& r : funds)
        catalog.Funds << TDemoFund{r.at(0), r.at(1), true};
    for (TDemoFund& f : catalog.Funds)
        f.Leaf = std::none_of(catalog.Funds.cbegin(), catalog.Funds.cend(),
                              [&](const TDemoFund& o) { return o.Mid.size() > f.Mid.size() && o.Mid.startsWith(f.Mid); });
    for (const QStringList& r : functions)
        catalog.Functions << TDemoFunction{r.at(0), r.at(1), r.at(2).split(u','), r.at(3).split(u',')};
    for (const QStringList& r : items)
        catalog.Items << TDemoItem{r.at(0), r.at(1), r.at(2).isEmpty() ? u'b' : r.at(2).at(0)};
    return true;
}

QList<const TDemoFunction*> TDemoCatalog::FunctionsFor(const QString& dept, const QString& area) const
{
    QList<const TDemoFunction*> list;
    for (const TDemoFunction& f : Functions) {
        const bool mine = f.Users.contains(dept) || (f.Users.contains(u"area"_s) && f.Bid.startsWith(area));
        if (mine || f.Users.contains(u"*"_s))
            list << &f;
    }
    return list;
}

QList<const TDemoItem*> TDemoCatalog::ItemsOfKind(QChar kind) const
{
    QList<const TDemoItem*> list;
    for (const TDemoItem& i : Items)
        if (i.Kind == kind)
            list << &i;
    return list;
}

// ---------------------------------------------------------------- generated rows

quint64 TDemoRandom::Next()
{
    quint64 z = (FState += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

qint64 TDemoRandom::Range(qint64 lo, qint64 hi)
{
    if (hi <= lo)
        return lo;
    return lo + static_cast<qint64>(Next() % static_cast<quint64>(hi - lo + 1));
}

bool TDemoRandom::Chance(int percent) { return Range(0, 99) < percent; }

bool IsSecretDepartment(const QString& dept)
{
    static const QStringList secret{u"106"_s, u"130"_s, u"137"_s, u"138"_s};
    return secret.contains(dept);
}

namespace {

// Personnel costs (pensions, medical insurance, housing fund) are basic expenditure.
bool IsBasicOnly(const QString& bid)
{
    return bid.startsWith(u"20805"_s) || bid.startsWith(u"21011"_s) || bid.startsWith(u"22102"_s);
}

QChar DrawKind(TDemoRandom& rng, const QString& bid)
{
    if (IsBasicOnly(bid))
        return u'b';
    const qint64 r = rng.Range(0, 99);
    return r < 55 ? u'b' : (r < 90 ? u'p' : u'o');
}

QString DrawIpid(TDemoRandom& rng, QChar kind)
{
    if (rng.Chance(2))
        return rng.Chance(50) ? u"13"_s : u"99"_s;   // codes outside the report's six columns
    if (kind == u'b')
        return rng.Chance(80) ? u"11"_s : u"17"_s;
    if (kind == u'p')
        return rng.Chance(80) ? u"12"_s : u"18"_s;
    return rng.Chance(70) ? u"22"_s : u"19"_s;
}

QString DrawBkid(TDemoRandom& rng)
{
    const qint64 r = rng.Range(0, 99);
    return r < 80 ? u"21"_s : (r < 98 ? u"22"_s : u"23"_s);
}

QString DrawStatus(TDemoRandom& rng)
{
    const qint64 r = rng.Range(0, 99);
    return r < 92 ? u"1"_s : (r < 97 ? u"0"_s : u"2"_s);
}

qint64 DrawCents(TDemoRandom& rng, QChar kind)
{
    // Whole hundreds of yuan, now and then with jiao and fen.
    const qint64 hundreds = kind == u'b' ? rng.Range(500, 30000) : (kind == u'p' ? rng.Range(100, 20000) : rng.Range(50, 5000));
    const qint64 fraction = rng.Chance(20) ? rng.Range(1, 9999) : 0;
    return hundreds * 10000 + fraction;
}

} // namespace

void DrawBudgetRow(TDemoRandom& rng, const TDemoCatalog& catalog, const QList<const TDemoFunction*>& functions,
                   bool secretDepartment, TBudgetRow& row)
{
    const TDemoFunction* f = rng.Pick(functions);
    const QChar kind = DrawKind(rng, f->Bid);
    const QList<const TDemoItem*> items = catalog.ItemsOfKind(kind);
    const TDemoItem* item = rng.Pick(items);
    row.Bid = f->Bid;
    row.BName = f->Name;
    row.Iid = item->Iid;
    row.IName = item->Name;
    row.Mid = rng.Pick(f->Funds);
    row.IpId = DrawIpid(rng, kind);
    row.BkId = DrawBkid(rng);
    row.Status = DrawStatus(rng);
    row.IsSecret = (secretDepartment ? rng.Chance(80) : rng.Chance(4)) ? u"0"_s : u"1"_s;
    row.Cents = DrawCents(rng, kind);
}

namespace {

// One school gets every bkid/ipid pair of the report's six amount columns (and the codes
// outside them) in both years, so that every column of the report has figures.
void AddEveryCodePair(const TDemoCatalog& catalog, int year, qint64& id, QList<TBudgetRow>& rows)
{
    const QString eid = u"107002"_s;   // 市第一中学
    const QList<std::pair<QString, QString>> pairs{
        {u"21"_s, u"11"_s}, {u"21"_s, u"17"_s}, {u"21"_s, u"12"_s}, {u"21"_s, u"18"_s}, {u"21"_s, u"22"_s},
        {u"21"_s, u"19"_s}, {u"22"_s, u"11"_s}, {u"22"_s, u"17"_s}, {u"22"_s, u"12"_s}, {u"22"_s, u"18"_s},
        {u"22"_s, u"22"_s}, {u"22"_s, u"19"_s}, {u"23"_s, u"11"_s}, {u"21"_s, u"13"_s}};
    qint64 cents = 12000000;
    for (const auto& [bkid, ipid] : pairs) {
        const QChar kind = (ipid == u"11"_s || ipid == u"17"_s) ? u'b' : ((ipid == u"12"_s || ipid == u"18"_s) ? u'p' : u'o');
        const TDemoItem* item = catalog.ItemsOfKind(kind).first();
        TBudgetRow r;
        r.Id = id++;
        r.DataYear = year;
        r.Eid = eid;
        r.Status = u"1"_s;
        r.BType = u"1"_s;
        r.Mid = u"11"_s;
        r.Bid = u"2050204"_s;
        r.BName = u"高中教育"_s;
        r.Iid = item->Iid;
        r.IName = item->Name;
        r.IsSecret = u"1"_s;
        r.BkId = bkid;
        r.IpId = ipid;
        r.Cents = cents;
        cents += 1500000;
        rows << r;
    }
}

} // namespace

QList<TBudgetRow> DemoBudgetRows(const TDemoCatalog& catalog)
{
    TDemoRandom rng(20240101);
    QList<TBudgetRow> rows;
    qint64 id = 1;
    const QStringList types{u"0"_s, u"1"_s, u"2"_s};
    for (int year : {2023, 2024}) {
        AddEveryCodePair(catalog, year, id, rows);
        for (const TDemoUnit& unit : catalog.Units) {
            if (!unit.Leaf)
                continue;
            // Replaced and retired units keep only the earlier year's budget.
            if ((unit.Replaced || unit.Unused) && year == 2024)
                continue;
            const QString dept = unit.Eid.left(3);
            const QList<const TDemoFunction*> functions = catalog.FunctionsFor(dept, unit.Area);
            if (functions.isEmpty())
                continue;
            for (const QString& type : types) {
                if (type == u"2"_s && !rng.Chance(35))
                    continue;   // temporary indicators are the exception
                const int count = static_cast<int>(type == u"2"_s ? rng.Range(1, 2) : rng.Range(3, 7));
                for (int k = 0; k < count; ++k) {
                    TBudgetRow row;
                    row.Id = id++;
                    row.DataYear = year;
                    row.Eid = unit.Eid;
                    row.BType = type;
                    DrawBudgetRow(rng, catalog, functions, IsSecretDepartment(dept), row);
                    rows << row;
                    // An adjustment that takes part of the amount back.
                    if (type != u"0"_s && rng.Chance(6)) {
                        TBudgetRow cut = row;
                        cut.Id = id++;
                        cut.Cents = -(row.Cents * rng.Range(10, 40) / 100);
                        rows << cut;
                    }
                }
            }
        }
    }
    return rows;
}

// ---------------------------------------------------------------- writing

QString MoneyLiteral(qint64 cents)
{
    const qint64 magnitude = cents < 0 ? -cents : cents;
    return (cents < 0 ? u"-"_s : QString()) + QString::number(magnitude / 100) + u'.'
           + QString::number(magnitude % 100).rightJustified(2, u'0');
}

QStringList UnitLiterals(const TDemoUnit& unit)
{
    return {QuotedStr(unit.Eid), QuotedStr(unit.Peid), QuotedStr(unit.Ename), QuotedStr(unit.Leaf ? u"0"_s : u"1"_s),
            QuotedStr(Flag(unit.Replaced)), QuotedStr(Flag(unit.Unused)), QString::number(unit.Class),
            QuotedStr(unit.Special ? u"是"_s : u"否"_s)};
}

QStringList FundLiterals(const TDemoFund& fund)
{
    return {QuotedStr(fund.Mid), QuotedStr(fund.Name), QuotedStr(fund.Leaf ? u"0"_s : u"1"_s)};
}

QStringList BudgetLiterals(const TBudgetRow& r)
{
    return {QString::number(r.Id), QString::number(r.DataYear), QuotedStr(r.Eid), QuotedStr(r.Status),
            QuotedStr(r.BType), QuotedStr(r.Mid), QuotedStr(r.Bid), QuotedStr(r.BName), QuotedStr(r.Iid),
            QuotedStr(r.IName), QuotedStr(r.IsSecret), QuotedStr(r.BkId), QuotedStr(r.IpId), MoneyLiteral(r.Cents)};
}

int DefaultRowsPerStatement(TADOConnection* conn)
{
    return TSqlDialect(conn->Provider()).IsPostgres() ? 100 : 500;
}

TBatchInsert::TBatchInsert(TADOConnection* conn, QString table, QString columns, int rowsPerStatement)
    : FConn(conn), FHead(u"insert into "_s + table + u" ("_s + columns + u") values "_s),
      FRowsPerStatement(rowsPerStatement > 0 ? rowsPerStatement : DefaultRowsPerStatement(conn))
{
}

void TBatchInsert::Add(const QStringList& literals)
{
    FPending << u"("_s + literals.join(u',') + u")"_s;
    if (FPending.size() >= FRowsPerStatement)
        Flush();
}

void TBatchInsert::Flush()
{
    if (FPending.isEmpty())
        return;
    FConn->Execute(FHead + FPending.join(u','));
    FPending.clear();
}

// ---------------------------------------------------------------- schema and demo data

QStringList SplitSqlScript(const QString& script)
{
    QStringList statements;
    QString current;
    for (const QString& line : script.split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u"--"_s))
            continue;
        current += line + u'\n';
        if (trimmed.endsWith(u';')) {
            current = current.trimmed();
            current.chop(1);
            statements << current;
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty())
        statements << current.trimmed();
    return statements;
}

QStringList BudgetSchemaStatements(TADOConnection* conn, QString* error)
{
    const TSqlDialect dialect(conn->Provider());
    QString file;
    if (dialect.DialectKind() == TSqlDialect::Kind::SQLite)
        file = u"schema-sqlite.sql"_s;
    else if (dialect.DialectKind() == TSqlDialect::Kind::Postgres)
        file = u"schema-postgresql.sql"_s;
    if (file.isEmpty()) {
        if (error)
            *error = u"数据库连接%1的数据库类型（%2）没有预算库结构脚本，只支持SQLite和PostgreSQL"_s.arg(
                conn->DisplayName(), dialect.DialectName());
        return {};
    }
    QFile script(u":/data/sql/"_s + file);
    if (!script.open(QIODevice::ReadOnly)) {
        if (error)
            *error = u"无法读取预算库结构脚本%1：%2"_s.arg(script.fileName(), script.errorString());
        return {};
    }
    return SplitSqlScript(QString::fromUtf8(script.readAll()));
}

void CreateBudgetSchema(TADOConnection* conn)
{
    QString error;
    const QStringList statements = BudgetSchemaStatements(conn, &error);
    if (statements.isEmpty())
        throw EADOError(error);
    for (const QString& sql : statements)
        conn->Execute(sql);
}

void WriteReferenceTables(TADOConnection* conn, const TDemoCatalog& catalog)
{
    TBatchInsert units(conn, u"pubdept"_s, QString::fromLatin1(PubDeptColumns));
    for (const TDemoUnit& u : catalog.Units)
        units.Add(UnitLiterals(u));
    units.Flush();
    TBatchInsert funds(conn, u"pubmoneykind"_s, QString::fromLatin1(PubMoneyKindColumns));
    for (const TDemoFund& f : catalog.Funds)
        funds.Add(FundLiterals(f));
    funds.Flush();
}

bool CreateDemoDatabase(TADOConnection* conn, QString* error)
{
    TDemoCatalog catalog;
    if (!TDemoCatalog::Load(catalog, error))
        return false;
    bool inTransaction = false;
    try {
        conn->BeginTrans();
        inTransaction = true;
        CreateBudgetSchema(conn);
        WriteReferenceTables(conn, catalog);
        TBatchInsert budget(conn, u"busibudget"_s, QString::fromLatin1(BusiBudgetColumns));
        for (const TBudgetRow& row : DemoBudgetRows(catalog))
            budget.Add(BudgetLiterals(row));
        budget.Flush();
        conn->CommitTrans();
        return true;
    } catch (const std::exception& e) {
        if (error)
            *error = ExceptionMessage(e);
        if (inTransaction) {
            try {
                conn->RollbackTrans();
            } catch (const std::exception&) {
                // The first failure is the one to report; a failed rollback adds nothing.
            }
        }
    }
    return false;
}

bool CreateDemoDatabase(const QString& connectionString, QString* error)
{
    auto* conn = new TADOConnection(nullptr);
    conn->SetConnectionString(connectionString);
    const bool ok = CreateDemoDatabase(conn, error);
    conn->Free();
    return ok;
}

// ---------------------------------------------------------------- the demo database file

namespace {

// An exclusive advisory lock on a lock file beside the database. The system drops it when
// its holder dies, so a first run that crashed blocks nobody.
class TDemoLock {
public:
    explicit TDemoLock(const QString& path)
    {
        FFd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (FFd < 0) {
            FError = u"不能打开锁文件%1：%2"_s.arg(path, QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        while (::flock(FFd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                FError = u"不能锁定锁文件%1：%2"_s.arg(path, QString::fromLocal8Bit(std::strerror(errno)));
                return;
            }
        }
    }
    ~TDemoLock()
    {
        if (FFd >= 0)
            ::close(FFd); // closing drops the lock
    }
    TDemoLock(const TDemoLock&) = delete;
    TDemoLock& operator=(const TDemoLock&) = delete;

    QString Error() const { return FError; }

private:
    int FFd = -1;
    QString FError;
};

// True when the file holds the tables and the view of the budget schema and some units.
bool IsCompleteDemoDatabase(const QString& file)
{
    if (QFileInfo(file).size() == 0)
        return false;
    const QString name = u"tallyleaf-demo-check"_s;
    bool complete = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(file);
        db.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
        if (db.open()) {
            QSqlQuery tables(db);
            complete = tables.exec(u"select count(*) from sqlite_master where lower(name) in "
                                   "('pubdept','pubmoneykind','busibudget','vwbudget')"_s)
                && tables.next() && tables.value(0).toInt() == 4;
            QSqlQuery units(db);
            complete = complete && units.exec(u"select 1 from pubdept limit 1"_s) && units.next();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return complete;
}

} // namespace

bool EnsureDemoDatabaseFile(const QString& file, QString* error)
{
    const QString folder = QFileInfo(file).absolutePath();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = u"不能创建文件夹%1"_s.arg(folder);
        return false;
    }
    const TDemoLock lock(file + u".lock"_s);
    if (!lock.Error().isEmpty()) {
        if (error)
            *error = lock.Error();
        return false;
    }
    if (IsCompleteDemoDatabase(file))
        return true;
    // Only the holder of the lock touches the partial file, so what is there is left over
    // from a build that was cut short.
    const QString partial = file + u".partial"_s;
    QFile::remove(partial);
    QFile::remove(partial + u"-journal"_s);
    if (!CreateDemoDatabase(u"sqlite:"_s + partial, error)) {
        QFile::remove(partial);
        return false;
    }
    if (::rename(QFile::encodeName(partial).constData(), QFile::encodeName(file).constData()) != 0) {
        if (error)
            *error = u"不能把%1改名为%2：%3"_s.arg(partial, file, QString::fromLocal8Bit(std::strerror(errno)));
        QFile::remove(partial);
        return false;
    }
    return true;
}
