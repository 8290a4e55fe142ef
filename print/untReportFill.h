#pragma once
// Filling the indicator report sheet: titles, template, one sheet row per row of the detail
// statement (sequence numbers, special-account marks, amounts, the look of total rows).
//
// The same filling serves the visible sheet (amounts as text in the pattern "#,###0.00" with
// the user's separators) and the hidden export sheet (amounts as numbers).
#include "print/untDetailSql.h"

#include <QLocale>
#include <QSet>
#include <QString>

class TCell5;
class TDataSet;

// One row of the detail statement.
struct TDetailRow {
    QString issecret;
    QString eid;
    QString ename;
    QString lei;
    QString kuan;
    QString xiang;
    QString bname;
    QString iid;
    QString iname;
    double summ = 0;
    double dnjb = 0;
    double dnxm = 0;
    double dnqt = 0;
    double jyjb = 0;
    double jyxm = 0;
    double jyqt = 0;
};

// What the window shows while rows are written (progress panel, bar, hourglass). Start comes
// once the row count is known; Finish always follows a Start, also when writing fails.
class TReportProgress {
public:
    virtual ~TReportProgress() = default;
    virtual void Start(int max) = 0;
    virtual void Step() = 0;
    virtual void Finish() = 0;
};

// The units of a report that are special accounts, read with one query for the whole report.
class TSpecialAccounts {
public:
    // Every special account whose code starts with the prefix; raises TExceptReport with the
    // database's message when the query fails.
    void Load(const QString& eidPrefix);
    // True when the code, as the report shows it, is a special account's code.
    bool IsSpecialAccount(const QString& eid) const { return FCodes.contains(eid); }

private:
    QSet<QString> FCodes;
};

// The fund label of the title: "一般预算资金" for "11", "政府性基金" for "12", "财政专户管理资金"
// for "21", "国有资本经营预算资金" for "31", empty for any other code.
QString FundLabel(const QString& fundCode);

// Sets FTitle and FSubTitle from the unit name, year, indicator type text and fund code.
void BuildTitles(TReportSelection& selection);

// The template file name for a fund code ("31" has its own template).
QString TemplateFileName(const QString& fundCode);

// True when the template's column widths stay as they are: fund "11", a department login, and
// a prefix equal to the login code or its first three characters. Fund "31" has its own
// template and never changes widths either.
bool KeepTemplateWidths(const QString& fundCode, bool deptLogin, const QString& eidPrefix, const QString& loginCode);

// An amount in the pattern "#,###0.00": thousands grouped by three, at least one integer digit,
// two decimals rounded half away from zero, the locale's group and decimal separators.
QString FormatAmount(double value, const QLocale& locale = QLocale::system());

// The current row of an open detail query.
TDetailRow ReadDetailRow(const TDataSet& query);

// Loads the fund's template into the sheet, sets widths and titles, runs the detail statement
// on the "Def" connection and writes its rows. Raises TExceptReport when the template cannot
// be read (nothing is then written) or a query fails (the database's message included); a
// statement with no rows leaves the template with its titles only.
void FillSheet(TCell5& sheet, const TReportSelection& selection, const QString& fundCode, bool asNumbers,
               TReportProgress* progress = nullptr);

// Writes the rows of an open detail query after the template's rows (the part of FillSheet
// after the query has been opened). Returns the number of rows written.
int WriteDetailRows(TCell5& sheet, TDataSet& query, const TSpecialAccounts& special, bool asNumbers,
                    TReportProgress* progress);
