#pragma once
// The SQL dialect of one database provider.
//
// The same report statement runs on Microsoft Access (Jet), Microsoft SQL Server,
// Oracle, SQLite, PostgreSQL and, through a generic form, on anything else. The provider
// text (the ADO provider name, or what the connection string implies) picks the dialect;
// each builder returns SQL text in that dialect, to be spliced into a statement as is.
//
// The provider tests run in a fixed order, and a provider that matches several takes the
// first: Oracle, Access, SQL Server, SQLite, PostgreSQL, then the generic fallback.
// The Access, SQL Server, Oracle and generic texts are fixed to the blank, because the
// report statement's SQL Server form is compared byte for byte.
#include <QString>
#include <QStringList>

class TSqlDialect {
public:
    enum class Kind { Oracle, Access, SqlServer, SQLite, Postgres, Generic };

    explicit TSqlDialect(const QString& provider);

    // The provider text as given, and its upper-cased form that the tests read.
    const QString& Provider() const { return FProvider; }
    const QString& UpperProvider() const { return FUpperProvider; }
    Kind DialectKind() const { return FKind; }
    // "Oracle", "Access", "SQL Server", "SQLite", "PostgreSQL" or "generic".
    QString DialectName() const;

    // Substring tests on the upper-cased provider; each is independent of the others.
    bool IsAccess() const;      // "ACCESS" or "JET.OLEDB"
    bool IsSqlServer() const;   // "MSSQL", "SQLOLEDB" or "SQL SERVER"
    bool IsOracle() const;      // "ORACLE", "ORAOLEDB" or "MSDAORA"
    bool IsSQLite() const;      // "SQLITE"
    bool IsPostgres() const;    // "POSTGRES" or "PSQL"

    // "SUBSTR" on Oracle, SQLite and PostgreSQL; "MID" on Access; "SUBSTRING" otherwise.
    QString SubstringFunctionName() const;
    // expr, or the quoted default when expr is Null. The default is always quoted.
    QString NullReplace(const QString& expr, const QString& def) const;
    // expr = values[0] gives values[1], expr = values[2] gives values[3], ...; an odd
    // count ends with the otherwise value. Values are spliced as given (callers put
    // whole condition tails into a value), so no quoting or spacing is added. Nested IIF
    // on Access; DECODE on Oracle while every compared value is a plain value (a quoted
    // text, a number, a name); the searched CASE of SQL Server everywhere else.
    QString ValueMap(const QString& expr, const QStringList& values) const;
    // The length of a text: "len(expr)" on SQL Server and Access. On SQLite the length
    // carries INTEGER affinity, so that it compares equal to a quoted number ('3').
    QString LengthFunction(const QString& expr) const;
    // Text concatenation: "a+b" on SQL Server and Access, "a||b" elsewhere.
    QString Concat(const QString& a, const QString& b) const;
    // The sum of an amount: "sum(expr)", except on SQLite. SQLite keeps a numeric(18,2)
    // value such as 0.10 as a binary fraction and adds those, so lines that cancel
    // (0.10 + 0.20 - 0.30) leave about 1e-16 instead of 0 and pass a "> 0" test. There the
    // amounts are added as whole ten-thousandths, exactly, and divided back: the sum of
    // amounts with up to four decimals is then the nearest double to the decimal sum, as
    // the decimal column types of the other databases give it. Null when there is no row.
    QString AmountSum(const QString& expr) const;
    // A text to sort by, in character-code order whatever the database's collation: on
    // PostgreSQL "expr COLLATE \"C\"" (a server set up with a language collation would
    // otherwise put "a2" before "B1" and skip hyphens), elsewhere expr as it is. SQLite's
    // default collation already compares by character code.
    QString CodeOrder(const QString& expr) const;

private:
    static Kind Classify(const QString& upperProvider);
    static QString AccessValueMap(const QString& expr, const QStringList& values, qsizetype from);
    static QString CaseValueMap(const QString& expr, const QStringList& values);
    // Whether every compared value (values[0], values[2], ...) is a plain value.
    static bool ComparesOnlyValues(const QStringList& values);

    QString FProvider;
    QString FUpperProvider;
    Kind FKind;
};
