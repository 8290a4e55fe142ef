#pragma once
// The budget database: its schema on SQLite and PostgreSQL, the demo city's data, and
// the pieces that the large data set generator shares (the reference lists, a
// deterministic random source, batch inserts).
//
// The schema and the reference lists are embedded resources (data/sql, data/demo). The
// demo budget rows are generated from a fixed seed, so every back end gets the same rows.
#include <QList>
#include <QString>
#include <QStringList>

class TADOConnection;

// ---------------------------------------------------------------- reference lists

struct TDemoUnit {
    QString Eid;
    QString Peid;      // the code less its last three characters; empty at the top
    QString Ename;
    QString Area;      // the functional class of the unit's department ("205")
    int Class = 1;     // level counted from 1: a three-character code has class 1
    bool Leaf = true;  // no unit below it (leafflag '0')
    bool Replaced = false;   // replaceflag '1'
    bool Unused = false;     // useflag '1'
    bool Special = false;    // specialaccount '是'
};

struct TDemoFund {
    QString Mid;
    QString Name;
    bool Leaf = true;
};

struct TDemoFunction {
    QString Bid;         // seven digits: class, section, item
    QString Name;
    QStringList Users;   // "*", "area" or level-1 department codes
    QStringList Funds;   // the fund natures that pay for it
};

struct TDemoItem {
    QString Iid;
    QString Name;
    QChar Kind;          // 'b' basic, 'p' project, 'o' other
};

struct TDemoCatalog {
    QList<TDemoUnit> Units;   // ordered by code; tree columns derived from the codes
    QList<TDemoFund> Funds;
    QList<TDemoFunction> Functions;
    QList<TDemoItem> Items;

    // Reads data/demo/*.tsv from the resources; false with *error naming the file.
    static bool Load(TDemoCatalog& catalog, QString* error);
    // The classifications that a department (level-1 code and its area) spends on.
    QList<const TDemoFunction*> FunctionsFor(const QString& dept, const QString& area) const;
    QList<const TDemoItem*> ItemsOfKind(QChar kind) const;
};

// Sets Peid, Class and Leaf of every unit from the codes (the list must be sorted).
void DeriveUnitTree(QList<TDemoUnit>& units);

// ---------------------------------------------------------------- generated rows

// splitmix64: the same numbers on every platform and compiler.
class TDemoRandom {
public:
    explicit TDemoRandom(quint64 seed) : FState(seed) {}
    quint64 Next();
    // A whole number from lo to hi, both included.
    qint64 Range(qint64 lo, qint64 hi);
    // True in `percent` of the calls.
    bool Chance(int percent);
    template <class T>
    const T& Pick(const QList<T>& list) { return list.at(static_cast<qsizetype>(Range(0, list.size() - 1))); }

private:
    quint64 FState;
};

struct TBudgetRow {
    qint64 Id = 0;
    int DataYear = 0;
    QString Eid, Status, BType, Mid, Bid, BName, Iid, IName, IsSecret, BkId, IpId;
    qint64 Cents = 0;   // BudgMoney in hundredths
};

// Draws the columns of one ordinary budget row of `unit` (Id, DataYear, Eid and BType
// are the caller's): classification, item, fund, codes, status, secrecy and amount.
void DrawBudgetRow(TDemoRandom& rng, const TDemoCatalog& catalog, const QList<const TDemoFunction*>& functions,
                   bool secretDepartment, TBudgetRow& row);

// The demo city's budget rows: data years 2023 and 2024, all three indicator types.
QList<TBudgetRow> DemoBudgetRows(const TDemoCatalog& catalog);

// Departments whose rows are mostly secret (public security, courts, procuratorate, justice).
bool IsSecretDepartment(const QString& dept);

// ---------------------------------------------------------------- writing

// SQL literals of the rows, in the column order of the insert statements below.
QStringList UnitLiterals(const TDemoUnit& unit);
QStringList FundLiterals(const TDemoFund& fund);
QStringList BudgetLiterals(const TBudgetRow& row);
QString MoneyLiteral(qint64 cents);

extern const char* const PubDeptColumns;
extern const char* const PubMoneyKindColumns;
extern const char* const BusiBudgetColumns;

// Rows per multi-row insert that load fastest on the connection's database: PostgreSQL
// parses long VALUES lists more than proportionally slower, SQLite does not.
int DefaultRowsPerStatement(TADOConnection* conn);

// Collects rows and writes them with multi-row inserts of `rowsPerStatement` rows
// (0: the connection's default).
class TBatchInsert {
public:
    TBatchInsert(TADOConnection* conn, QString table, QString columns, int rowsPerStatement = 0);
    void Add(const QStringList& literals);
    void Flush();

private:
    TADOConnection* FConn;
    QString FHead;
    int FRowsPerStatement;
    QStringList FPending;
};

// ---------------------------------------------------------------- schema and demo data

// The schema script for the connection's dialect (SQLite or PostgreSQL), split into
// statements; empty with *error set for other dialects.
QStringList BudgetSchemaStatements(TADOConnection* conn, QString* error);
// Splits a script at the semicolons that end a line; "--" comment lines are dropped.
QStringList SplitSqlScript(const QString& script);

// Drops and creates the budget tables and view (no rows). Raises EADOError.
void CreateBudgetSchema(TADOConnection* conn);
// Writes the reference tables (pubdept, pubmoneykind) of `catalog`. Raises EADOError.
void WriteReferenceTables(TADOConnection* conn, const TDemoCatalog& catalog);

// Creates the budget database with the demo data in one transaction. False with *error
// (naming the connection) on failure; a failed run leaves the database as it was where
// the back end can roll DDL back (SQLite and PostgreSQL both can).
bool CreateDemoDatabase(TADOConnection* conn, QString* error);
bool CreateDemoDatabase(const QString& connectionString, QString* error);

// Makes sure that the SQLite file `file` holds the whole demo database, as the host's first
// run needs it: several hosts may start at once on a fresh data folder. Under an exclusive
// lock on "<file>.lock" (flock, dropped by the system when its holder dies), a file that is
// missing, empty, not a database or without the budget tables and units is built again
// into "<file>.partial" and renamed into place, so the name never shows a part-built
// database. The folder is created when missing. False with *error on failure.
bool EnsureDemoDatabaseFile(const QString& file, QString* error);
