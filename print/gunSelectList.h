#pragma once
// Drop-down lists filled from the database, and the way back from a chosen fund nature to
// its code. Every query runs on the host's "Def" connection through OpenDefQuery; a
// query that cannot be run counts as no rows (nothing is shown here: the caller decides).
//
// A filled list holds display texts only. "<全部>" ("all"), when asked for, is the first
// entry and stands for no row.
#include <QString>

class TComboBox;

// The entry that stands for every row.
extern const QString SAllEntry;

// " select FIELD from TABLE where 1=1", followed by " and " and the condition (blanks
// kept) when the condition is not blank.
QString SelectFirstValueSql(const QString& ATable, const QString& AField, const QString& ACondition);

// The first column of the first row of that select, as text. False with an empty value
// when the query fails or yields no rows.
bool SelectFirstValue(const QString& ATable, const QString& AField, const QString& ACondition, QString& AValue);

// Replaces the entries of ACombo with column "name" of the rows of ASql, in row order,
// "<全部>" first when AAddAll, and selects entry 0. Returns the number of rows. No rows,
// or a query that fails: the list is left empty with nothing selected, and 0.
int FillComboFromQuery(TComboBox* ACombo, const QString& ASql, bool AAddAll);

// The code (Mid) of the fund nature whose name (MName) is AName without its outer blanks.
// The name is a quoted SQL literal with its quotes doubled.
bool FundKindCodeByName(const QString& AName, QString& ACode);

// The select of the fund natures of AKindSet (0 all leaves; 1 "11", "12", "31"; 2 "11",
// "21"; 3 "11", "12"), with AExtraCondition appended as given (it brings its own leading
// blank) and "order by mid desc " for set 2 or when AOrderDesc. AKindSet must be 0 to 3.
QString FundKindSql(int AKindSet, bool AOrderDesc, const QString& AExtraCondition);

// Fills ACombo with the fund natures of FundKindSql; returns what FillComboFromQuery returns.
int FillFundKindCombo(TComboBox* ACombo, bool AAddAll, int AKindSet, bool AOrderDesc,
                      const QString& AExtraCondition);

// Fills ACombo with "控制数", "预算数" and, when AWithTemporary, "临时指标" (after "<全部>"
// when AAddAll) and selects the host's current indicator type (HostOptions.IndicatorType;
// 0 without a host). Without the temporary type, a current type 2 selects "控制数".
void FillIndicatorTypeCombo(TComboBox* ACombo, bool AAddAll, bool AWithTemporary);
