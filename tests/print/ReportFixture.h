#pragma once
// A host for the report units in tests: a scratch database on one back end registered as the
// "Def" connection of a real TDbManager, with the year, login unit and department mode of a
// host context. Budget data go in either as the budget database's own tables and view (the
// demo data) or as plain tables of the report's columns (generated data sets).
#include "tests/support/DbTestSupport.h"
#include "tests/print/reference/RandomBudget.h"

#include <QString>
#include <memory>

#include "common/PlugInContext.h"
#include "print/untDetailSql.h"

class TAdoConn;

namespace reporttest {

class TFixedLoginUnit : public TLoginUnit {
public:
    TLoginItem Code;
    TLoginItem* GetValue(int) override { return &Code; }
};

// A budget line of indicator type 1 with status 1 and the named split codes; the names of
// bid and iid are made from their codes.
reportref::TBudgetLine BudgetLine(int year, const QString& eid, const QString& ename, const QString& bkid,
                                  const QString& ipid, double money, const QString& bid = QStringLiteral("2050101"),
                                  const QString& iid = QStringLiteral("0001"), const QString& mid = QStringLiteral("11"));

class TReportHost;

// The report's selection for a generated case in the host's year: prefix, indicator type,
// fund nature and unit name; titles and template folder left as they are.
TReportSelection CaseSelection(const TReportHost& host, const reportref::TSelectionCase& c);

class TReportHost {
public:
    explicit TReportHost(const QString& backend, int year = 2026);
    ~TReportHost();
    TReportHost(const TReportHost&) = delete;
    TReportHost& operator=(const TReportHost&) = delete;

    dbtest::ScratchDatabase& Database() { return *FDatabase; }
    TAdoConn* Def() const { return FDef; }
    int Year() const { return FPub.Year; }

    // The login unit (an empty code: nobody logged in) and the host's department mode.
    void SetLogin(const QString& code, const QString& deptMode);

    // Runs statements that return no rows; raises with the database's message.
    void Exec(const QString& sql);
    // Plain tables pubdept and vwbudget with the columns the report reads, emptied.
    void CreateReportTables();
    void LoadData(const reportref::TBudgetData& data);
    // The budget database's own schema (busibudget, pubdept and the view vwbudget over them,
    // with the back end's collations and indexes), filled with the data set.
    void LoadBudgetSchema(const reportref::TBudgetData& data);

private:
    std::unique_ptr<dbtest::ScratchDatabase> FDatabase;
    TDbManager* FManager = nullptr;
    TAdoConn* FDef = nullptr;
    THostOptions FOptions;
    TFixedLoginUnit FLogin;
    TPubVariable FPub;
    TPlugInContext FContext;
};

} // namespace reporttest
