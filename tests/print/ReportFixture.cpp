#include "tests/print/ReportFixture.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include "common/untDataBase.h"
#include "common/PlugInGlobals.h"
#include "common/untDemoDatabase.h"

namespace reporttest {

reportref::TBudgetLine BudgetLine(int year, const QString& eid, const QString& ename, const QString& bkid,
                                  const QString& ipid, double money, const QString& bid, const QString& iid,
                                  const QString& mid)
{
    reportref::TBudgetLine l;
    l.DataYear = year;
    l.Eid = eid;
    l.Ename = ename;
    l.Status = "1";
    l.BType = "1";
    l.Mid = mid;
    l.Bid = bid;
    l.Bname = "科目" + bid;
    l.Iid = iid;
    l.Iname = "项目" + iid;
    l.IsSecret = "1";
    l.Bkid = bkid;
    l.Ipid = ipid;
    l.Money = money;
    return l;
}

TReportHost::TReportHost(const QString& backend, int year)
    : FDatabase(std::make_unique<dbtest::ScratchDatabase>(backend))
{
    FManager = new TDbManager(nullptr);
    FManager->SetLoginPrompt(false);
    FDef = FManager->CreateConnection(nullptr);
    FDef->SetProvider(FDatabase->Provider());
    FDef->SetConnectionString(FDatabase->ConnectionString());
    FManager->AddConnection(FDef, "Def");
    FPub.Year = year;
    FPub.DbManager = FManager;
    FPub.HostOptions = &FOptions;
    FPub.LoginUnit = nullptr;
    FContext.PubVariable = &FPub;
    SetPlugInContext(&FContext);
}

TReportHost::~TReportHost()
{
    SetPlugInContext(nullptr);
    FManager->FreeConnections();
    FManager->Free();
}

void TReportHost::SetLogin(const QString& code, const QString& deptMode)
{
    FLogin.Code.Value = code.isEmpty() ? QVariant() : QVariant(code);
    FPub.LoginUnit = code.isEmpty() ? nullptr : &FLogin;
    FOptions.DeptMode = deptMode;
}

void TReportHost::Exec(const QString& sql)
{
    FDef->Execute(sql);
}

void TReportHost::CreateReportTables()
{
    const bool pg = FDatabase->Backend() == "postgresql";
    const QString money = pg ? "numeric(18,3)" : "numeric(18,3)";
    Exec("drop table if exists pubdept");
    Exec("drop table if exists vwbudget");
    Exec("create table pubdept (eid varchar(40) primary key, peid varchar(40), ename varchar(200), "
         "leafflag varchar(1), replaceflag varchar(1), useflag varchar(1), class integer, specialaccount varchar(4))");
    Exec("create table vwbudget (datayear integer, eid varchar(40), ename varchar(200), status varchar(2), "
         "BType varchar(2), mid varchar(4), bid varchar(10), bname varchar(100), iid varchar(20), "
         "iname varchar(200), issecret varchar(2), bkid varchar(4), ipid varchar(4), BudgMoney " + money + ")");
}

namespace {

QList<QVariantList> DeptRows(const reportref::TBudgetData& data)
{
    QList<QVariantList> rows;
    for (const reportref::TDeptLine& d : data.Depts)
        rows << QVariantList{d.Eid, d.Eid.left(d.Eid.size() - 3), d.Ename, d.LeafFlag, d.Class, d.SpecialAccount};
    return rows;
}

QList<QVariantList> LineRows(const reportref::TBudgetData& data, bool withId)
{
    QList<QVariantList> rows;
    int id = 0;
    for (const reportref::TBudgetLine& l : data.Lines) {
        QVariantList row{l.DataYear, l.Eid,    l.Ename,    l.Status, l.BType, l.Mid,  l.Bid,
                         l.Bname,    l.Iid,    l.Iname,    l.IsSecret, l.Bkid, l.Ipid, l.Money};
        if (withId) {
            row.removeAt(2);   // the budget table has no unit name: the view joins it
            row.prepend(++id);
        }
        rows << row;
    }
    return rows;
}

void Insert(QSqlDatabase& db, const QString& sql, const QList<QVariantList>& rows)
{
    QSqlQuery q(db);
    q.prepare(sql);
    for (const QVariantList& row : rows) {
        for (const QVariant& v : row)
            q.addBindValue(v);
        if (!q.exec())
            throw Exception("test data not written: " + q.lastError().text());
    }
}

const char* const DeptInsert = "insert into pubdept (eid, peid, ename, leafflag, replaceflag, useflag, class, "
                               "specialaccount) values (?, ?, ?, ?, '0', '0', ?, ?)";

} // namespace

void TReportHost::LoadData(const reportref::TBudgetData& data)
{
    QSqlDatabase db = FDef->Database();
    db.transaction();
    Insert(db, DeptInsert, DeptRows(data));
    Insert(db,
           "insert into vwbudget (datayear, eid, ename, status, BType, mid, bid, bname, iid, iname, issecret, "
           "bkid, ipid, BudgMoney) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
           LineRows(data, false));
    db.commit();
}

void TReportHost::LoadBudgetSchema(const reportref::TBudgetData& data)
{
    CreateBudgetSchema(FDef);
    QSqlDatabase db = FDef->Database();
    db.transaction();
    Insert(db, DeptInsert, DeptRows(data));
    Insert(db,
           "insert into busibudget (id, datayear, eid, status, BType, mid, bid, bname, iid, iname, issecret, "
           "bkid, ipid, BudgMoney) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
           LineRows(data, true));
    db.commit();
}

TReportSelection CaseSelection(const TReportHost& host, const reportref::TSelectionCase& c)
{
    TReportSelection s;
    s.Year = host.Year();
    s.FEidPrefix = c.Prefix;
    s.FBType = c.BType;
    s.FundCode = c.Fund;
    s.FUnitName = c.UnitName;
    return s;
}

} // namespace reporttest
