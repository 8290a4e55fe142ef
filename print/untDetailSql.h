#pragma once
// The one statement behind the indicator detail report.
//
// For a selection (year, unit prefix, indicator type, fund nature, unit name) the statement
// returns, in report order: the grand total, then for every unit level from the chosen unit
// downwards the level's total followed by the detail rows of its units (one row per unit, bid
// and iid, the sum of BudgMoney split six ways by bkid and ipid). Rows whose sum is not above
// zero are dropped, totals included.
//
// The text is written for SQL Server ("len(eid)", "+" joins texts); the pieces that differ per
// database (conditional values, empty-sum defaults, substring, length, concatenation, sums of
// amounts) come from the connection's dialect, so the same report runs on every supported
// provider. Every value spliced into the statement has its quotes doubled.
#include "platform/SysUtils.h"

#include <QString>

class TSqlDialect;

// A failure while building or filling the indicator report; the message names what failed.
TALLYLEAF_DECLARE_EXCEPTION(TExceptReport, Exception);
// A report the user stopped.
TALLYLEAF_DECLARE_EXCEPTION(TExceptReportCancelled, TExceptReport);

// The selection of the print window, as the report reads it. The window fills it from its
// fields and controls; the report functions only read it, except BuildTitles, which writes
// FTitle and FSubTitle. The login unit and department mode are read from the host context.
struct TReportSelection {
    int Year = 0;              // data year of the host
    QString FEidPrefix;        // unit code prefix; "eid like prefix%" selects the unit and below
    QString FBType;            // indicator type code: "0", "1" or "2"
    QString FundName;          // text of the fund nature list (cobMid), may be empty
    QString FundCode;          // its mid code (FundKindCodeByName), empty when none or not found
    QString FUnitName;         // unit name that heads the titles and names the totals
    QString BTypeText;         // text of the indicator type list (cobBType)
    QString TemplateFolder;    // host parameter 11, used unchanged as a prefix of the file name
    QString FTitle;            // written by BuildTitles
    QString FSubTitle;         // written by BuildTitles
};

// Everything the statement text depends on.
struct TDetailSqlInputs {
    int Year = 0;
    QString EidPrefix;   // P
    QString BType;       // T
    QString FundCode;    // M; empty: every fund nature is summed
    QString UnitName;    // U
    bool Small = false;  // IsSmallBranch: no grand total row
    int MaxLeafClass = 0;
    bool OwnLines = false;  // the prefix unit has lines of its own under the report's conditions
};

// The unit levels the report covers, first to last inclusive; never empty.
struct TLevelRange {
    int First = 0;
    int Last = 0;
};

// "一" … "九" for 1 … 9; empty text for any other number.
QString ChineseNumeral(int n);

// First level: the prefix's level count (length / 3), one less when the prefix ends in "001"
// (the unit's own budget is then reported as its "本级" level). Last: the deepest leaf class,
// at least that first level.
// A unit chosen by another code would have its own lines in the grand total but in no block:
// when it has lines of its own (ownLines) and the range would start past level 1 and below
// the unit's own level (length / 3 - 1), the range starts at the unit's own level instead.
// The last level stays as it was.
TLevelRange LevelRange(const QString& eidPrefix, int maxLeafClass, bool ownLines = false);

// True when the range of this prefix could start below the unit's own level, so that
// whether the unit has lines of its own decides where the range starts.
bool OwnLevelMaySkip(const QString& eidPrefix);

// The statement that counts the prefix unit's own lines (eid equal to the prefix) under the
// report's conditions.
QString OwnLinesSql(const TDetailSqlInputs& in);

// The report statement as one block per level, each reading vwbudget twice (its total and
// its rows) after the grand total: the text for every provider without a faster form, and
// for SQL Server exactly as it has always been.
QString BuildLevelBlockSql(const TSqlDialect& dialect, const TDetailSqlInputs& in);
// The same rows, in the same order and with the same sums, from one pass over vwbudget: the
// lines are grouped once and every total is added up from the groups. SQLite and PostgreSQL.
QString BuildSingleScanSql(const TSqlDialect& dialect, const TDetailSqlInputs& in);
// True for the dialects that run BuildSingleScanSql.
bool HasSingleScanForm(const TSqlDialect& dialect);
// The report statement, built from text only: the single scan where the dialect has it,
// the level blocks otherwise.
QString BuildDetailSql(const TSqlDialect& dialect, const TDetailSqlInputs& in);

// The statement that finds the deepest leaf class under a prefix.
QString MaxLeafClassSql(const QString& eidPrefix);

// The deepest leaf class under a prefix, read through the "Def" connection; 0 when there is
// no leaf unit. Raises TExceptReport with the database's message when the query fails (a
// silent 0 would cut the report down to its first level).
int MaxLeafClass(const QString& eidPrefix);

// Whether the prefix unit has lines of its own under the report's conditions, read through
// the "Def" connection. Raises TExceptReport with the database's message when the query fails.
bool HasOwnLines(const TDetailSqlInputs& in);

// The statement's inputs for a selection, with the look-ups on the "Def" connection:
// IsSmallBranch, MaxLeafClass and, where it decides the first level, HasOwnLines.
TDetailSqlInputs DetailSqlInputs(const TReportSelection& selection);

// The report statement for a selection on the "Def" connection: its dialect, IsSmallBranch,
// MaxLeafClass and, where it decides the first level, HasOwnLines.
QString BuildDetailSql(const TReportSelection& selection);
