#include "common/untSqlDialect.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

bool ContainsAny(const QString& text, std::initializer_list<const char*> parts)
{
    for (const char* part : parts)
        if (text.contains(QLatin1String(part)))
            return true;
    return false;
}

bool AccessText(const QString& upper) { return ContainsAny(upper, {"ACCESS", "JET.OLEDB"}); }
bool SqlServerText(const QString& upper) { return ContainsAny(upper, {"MSSQL", "SQLOLEDB", "SQL SERVER"}); }
bool OracleText(const QString& upper) { return ContainsAny(upper, {"ORACLE", "ORAOLEDB", "MSDAORA"}); }
bool SQLiteText(const QString& upper) { return ContainsAny(upper, {"SQLITE"}); }
bool PostgresText(const QString& upper) { return ContainsAny(upper, {"POSTGRES", "PSQL"}); }

} // namespace

TSqlDialect::TSqlDialect(const QString& provider)
    : FProvider(provider), FUpperProvider(provider.toUpper()), FKind(Classify(FUpperProvider))
{
}

TSqlDialect::Kind TSqlDialect::Classify(const QString& upperProvider)
{
    // The fixed order: the first provider family that matches wins.
    if (OracleText(upperProvider))
        return Kind::Oracle;
    if (AccessText(upperProvider))
        return Kind::Access;
    if (SqlServerText(upperProvider))
        return Kind::SqlServer;
    if (SQLiteText(upperProvider))
        return Kind::SQLite;
    if (PostgresText(upperProvider))
        return Kind::Postgres;
    return Kind::Generic;
}

QString TSqlDialect::DialectName() const
{
    switch (FKind) {
    case Kind::Oracle: return QStringLiteral("Oracle");
    case Kind::Access: return QStringLiteral("Access");
    case Kind::SqlServer: return QStringLiteral("SQL Server");
    case Kind::SQLite: return QStringLiteral("SQLite");
    case Kind::Postgres: return QStringLiteral("PostgreSQL");
    case Kind::Generic: break;
    }
    return QStringLiteral("generic");
}

bool TSqlDialect::IsAccess() const { return AccessText(FUpperProvider); }
bool TSqlDialect::IsSqlServer() const { return SqlServerText(FUpperProvider); }
bool TSqlDialect::IsOracle() const { return OracleText(FUpperProvider); }
bool TSqlDialect::IsSQLite() const { return SQLiteText(FUpperProvider); }
bool TSqlDialect::IsPostgres() const { return PostgresText(FUpperProvider); }

QString TSqlDialect::SubstringFunctionName() const
{
    switch (FKind) {
    case Kind::Oracle:
    case Kind::SQLite:     // SUBSTRING arrived late in SQLite (3.34)
    case Kind::Postgres:
        return QStringLiteral("SUBSTR");
    case Kind::Access:
        return QStringLiteral("MID");
    case Kind::SqlServer:
    case Kind::Generic:
        break;
    }
    return QStringLiteral("SUBSTRING");
}

QString TSqlDialect::NullReplace(const QString& expr, const QString& def) const
{
    const QString quoted = u"'"_s + def + u"'"_s;
    switch (FKind) {
    case Kind::Oracle:
        return u"NVL("_s + expr + u","_s + quoted + u")"_s;
    case Kind::Access:
        return u"IIF(ISNULL("_s + expr + u"),"_s + quoted + u","_s + expr + u")"_s;
    case Kind::SqlServer:
        return u"ISNULL("_s + expr + u","_s + quoted + u")"_s;
    case Kind::SQLite:
    case Kind::Postgres:
    case Kind::Generic:
        break;
    }
    return u"COALESCE("_s + expr + u","_s + quoted + u")"_s;
}

QString TSqlDialect::ValueMap(const QString& expr, const QStringList& values) const
{
    // Nothing to map: the value of an empty mapping is Null on every provider.
    if (values.isEmpty())
        return QStringLiteral("NULL");
    // A single value is only the otherwise value (CASE needs a WHEN, DECODE a pair). The
    // SQL Server text stays as designed.
    if (values.size() == 1 && FKind != Kind::SqlServer)
        return values.first();
    switch (FKind) {
    case Kind::Oracle: {
        // DECODE compares values only; a condition tail in a compared value needs CASE.
        if (!ComparesOnlyValues(values))
            break;
        QString text = u"DECODE("_s + expr;
        for (const QString& v : values)
            text += u","_s + v;
        return text + u")"_s;
    }
    case Kind::Access:
        return AccessValueMap(expr, values, 0);
    case Kind::SqlServer:
    case Kind::SQLite:      // no IIF before SQLite 3.32
    case Kind::Postgres:    // PostgreSQL has no IIF
    case Kind::Generic:     // most ODBC back ends have no IIF either; CASE is standard SQL
        break;
    }
    return CaseValueMap(expr, values);
}

bool TSqlDialect::ComparesOnlyValues(const QStringList& values)
{
    // A quoted text, a number, a name or NULL; anything else (an "and ..." tail, an
    // operator) turns expr=value into a condition.
    static const QRegularExpression plain(
        u"^\\s*(?:'(?:[^']|'')*'|[+-]?\\d+(?:\\.\\d+)?|[A-Za-z_][A-Za-z0-9_.]*)\\s*$"_s);
    for (qsizetype i = 0; i + 1 < values.size(); i += 2)
        if (!plain.match(values.at(i)).hasMatch())
            return false;
    return true;
}

QString TSqlDialect::AccessValueMap(const QString& expr, const QStringList& values, qsizetype from)
{
    const qsizetype remaining = values.size() - from;
    if (remaining == 1)
        return values.at(from);
    const QString head = u" IIF("_s + expr + u"="_s + values.at(from) + u","_s + values.at(from + 1) + u","_s;
    if (remaining == 2)   // an even count has no otherwise value: Null, as CASE without ELSE
        return head + u"NULL)"_s;
    if (remaining == 3)
        return head + values.at(from + 2) + u")"_s;
    return head + u"("_s + AccessValueMap(expr, values, from + 2) + u"))"_s;
}

QString TSqlDialect::CaseValueMap(const QString& expr, const QStringList& values)
{
    const qsizetype count = values.size();
    QString text = QStringLiteral(" CASE  ");
    for (qsizetype k = 0; k < count / 2; ++k)
        text += u" WHEN "_s + expr + u"="_s + values.at(2 * k) + u" THEN "_s + values.at(2 * k + 1) + u" "_s;
    if (count % 2 == 1)
        text += u" ELSE "_s + values.last() + u" "_s;
    return text + u" END "_s + u" "_s;
}

QString TSqlDialect::LengthFunction(const QString& expr) const
{
    switch (FKind) {
    case Kind::Access:
    case Kind::SqlServer:
        return u"len("_s + expr + u")"_s;
    case Kind::SQLite:
        // LENGTH() has no affinity in SQLite, so LENGTH(eid)='3' compares an integer with
        // a text and is never true. A CAST gives the value INTEGER affinity: the quoted
        // number on the other side is then converted, and arithmetic stays integral.
        return u"CAST(LENGTH("_s + expr + u") AS INTEGER)"_s;
    case Kind::Oracle:
    case Kind::Postgres:
    case Kind::Generic:
        break;
    }
    return u"LENGTH("_s + expr + u")"_s;
}

QString TSqlDialect::Concat(const QString& a, const QString& b) const
{
    if (FKind == Kind::Access || FKind == Kind::SqlServer)
        return a + u"+"_s + b;
    return a + u"||"_s + b;
}

QString TSqlDialect::AmountSum(const QString& expr) const
{
    if (FKind == Kind::SQLite)
        return u"(sum(CAST(ROUND(("_s + expr + u")*10000) AS INTEGER))/10000.0)"_s;
    return u"sum("_s + expr + u")"_s;
}

QString TSqlDialect::CodeOrder(const QString& expr) const
{
    if (FKind == Kind::Postgres)
        return expr + u" COLLATE \"C\""_s;
    return expr;
}
