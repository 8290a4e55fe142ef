#pragma once
// Filling the indicator report sheet: titles, template, one sheet row per row of the detail
// statement (sequence numbers, special-account marks, amounts, the look of total rows).
//
// The same filling serves the visible sheet (amounts as text in the pattern "#,###0.00" with
// the user's separators) and the hidden export sheet (amounts as numbers).
//
// Rows are written in one of two ways, with the same rules and to the same result, cell for
// cell: through the report control's operations (TCell5, one call per cell, style and height,
// as the control is driven), or in bulk straight into a sheet model that nobody shows yet,
// which a report built off the user-interface thread fills and the control then takes over.
#include "print/untDetailSql.h"

#include <QLocale>
#include <QSet>
#include <QString>
#include <array>

class TCell5;
class TDataSet;
class TField;

namespace sheet {
class Sheet;
}

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

// How many rows of the statement were read so far, as the sheet will count them.
struct TRowCount {
    int Records = 0;     // the statement's rows read
    int SheetRows = 0;   // the rows of the sheet once they are written
    bool All = false;    // the statement has no more rows
};

// What the window shows while rows are written (progress panel, bar, hourglass). The rows are
// written while the statement is still read, on a thread of their own: Counted comes on the
// reading thread, before the rows it counts are written, and last with All; Start, Step and
// Finish come on the writing thread. Start comes before the first row is written, with the
// number of rows to write when they are all read by then, else -1; Finish always follows a
// Start, also when writing fails. Whoever runs a report may stop it by raising from any.
// A report too long for where it goes is refused by an answer from Counted: no further row is
// written, the rest are only counted, and the answer to the last count is raised
// (TExceptReport), so that the refusal tells the whole count.
class TReportProgress {
public:
    virtual ~TReportProgress() = default;
    virtual QString Counted(const TRowCount& /*count*/) { return {}; }
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

// Amounts in the pattern "#,###0.00": thousands grouped by three, at least one integer digit,
// two decimals rounded half away from zero, the locale's group and decimal separators. The
// value is first taken to 15 significant digits, so 1.005 (stored a hair below) rounds as
// written. The separators are read once, for a whole report.
class TAmountFormat {
public:
    explicit TAmountFormat(const QLocale& locale = QLocale::system());
    QString operator()(double value) const;

private:
    QString FGroup;
    QString FDecimal;
};

// One amount in the pattern of TAmountFormat.
QString FormatAmount(double value, const QLocale& locale = QLocale::system());

// The current row of an open detail query.
TDetailRow ReadDetailRow(const TDataSet& query);

// The fields of an open detail query, found by name once: reads row after row into the same
// record. Raises what the data set raises for a missing field.
class TDetailRowReader {
public:
    explicit TDetailRowReader(const TDataSet& query);
    void Read(TDetailRow& row) const;

private:
    std::array<const TField*, 9> FTexts{};
    std::array<const TField*, 7> FAmounts{};
};

// The report of a selection as a sheet model that nobody shows yet: the fund's template with
// its widths and titles, then the look-ups and the detail statement on this thread's "Def"
// connection, and every row written in bulk. The rows are written on a second thread while
// the statement is still read, handed over in parts of partRows rows. Raises TExceptReport
// when the template cannot be read or a query fails (the database's message included), and
// whatever the progress raises; a statement with no rows gives the template with its titles
// only.
constexpr int ReportPartRows = 2048;
sheet::Sheet BuildReportSheet(const TReportSelection& selection, const QString& fundCode, bool asNumbers,
                              TReportProgress* progress = nullptr, int partRows = ReportPartRows);

// Builds the report as BuildReportSheet does and shows it in the sheet control, which keeps
// what it showed until the report is whole. When building fails or is stopped the control
// shows no rows of it: the titled template once the template has been read (as for a
// failing statement), an empty sheet when the template itself failed.
void FillSheet(TCell5& sheet, const TReportSelection& selection, const QString& fundCode, bool asNumbers,
               TReportProgress* progress = nullptr);

// What the control shows of a report that failed: its titled template (the template read
// again with widths and titles), or an empty sheet when the template itself cannot be read.
void ShowNoReportRows(TCell5& cell, const TReportSelection& selection, const QString& fundCode);

// Writes the rows of an open detail query after the template's rows, then removes the
// template's spare row. Returns the number of rows written.
// Through the control's operations, one call per cell:
int WriteDetailRows(TCell5& sheet, TDataSet& query, const TSpecialAccounts& special, bool asNumbers,
                    TReportProgress* progress);
// In bulk into a sheet model, to the same cells, formats and heights:
int WriteDetailRows(sheet::Sheet& sheet, TDataSet& query, const TSpecialAccounts& special, bool asNumbers,
                    TReportProgress* progress);
