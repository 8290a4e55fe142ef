// The dialect builders as text: which provider picks which dialect, and the exact
// texts that the report statement splices in.
#include "common/untSqlDialect.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

using Kind = TSqlDialect::Kind;

struct ProviderCase {
    const char* provider;
    Kind kind;
};

class ProviderKindTest : public ::testing::TestWithParam<ProviderCase> {};

TEST_P(ProviderKindTest, PicksTheDialect)
{
    const ProviderCase& c = GetParam();
    EXPECT_EQ(TSqlDialect(QString::fromUtf8(c.provider)).DialectKind(), c.kind) << c.provider;
}

INSTANTIATE_TEST_SUITE_P(
    EverySubstring, ProviderKindTest,
    ::testing::Values(ProviderCase{"Microsoft.Jet.OLEDB.4.0", Kind::Access},
                      ProviderCase{"Microsoft Access Driver (*.mdb)", Kind::Access},
                      ProviderCase{"SQLOLEDB.1", Kind::SqlServer},
                      ProviderCase{"MSSQL", Kind::SqlServer},
                      ProviderCase{"ODBC Driver 18 for SQL Server", Kind::SqlServer},
                      ProviderCase{"OraOLEDB.Oracle.1", Kind::Oracle},
                      ProviderCase{"ORAOLEDB", Kind::Oracle},
                      ProviderCase{"MSDAORA.1", Kind::Oracle},
                      ProviderCase{"Oracle in OraClient19Home1", Kind::Oracle},
                      ProviderCase{"SQLite", Kind::SQLite},
                      ProviderCase{"SQLite3 ODBC Driver", Kind::SQLite},
                      ProviderCase{"PostgreSQL", Kind::Postgres},
                      ProviderCase{"postgres", Kind::Postgres},
                      ProviderCase{"psqlODBC", Kind::Postgres},
                      ProviderCase{"MSDASQL.1", Kind::Generic},
                      ProviderCase{"FreeTDS", Kind::Generic},
                      ProviderCase{"", Kind::Generic}));

INSTANTIATE_TEST_SUITE_P(
    IgnoresCase, ProviderKindTest,
    ::testing::Values(ProviderCase{"microsoft.jet.oledb.4.0", Kind::Access},
                      ProviderCase{"sqloledb", Kind::SqlServer},
                      ProviderCase{"sql server native client 11.0", Kind::SqlServer},
                      ProviderCase{"msdaora", Kind::Oracle},
                      ProviderCase{"oraoledb.oracle", Kind::Oracle},
                      ProviderCase{"sqlite", Kind::SQLite},
                      ProviderCase{"PoStGrEsQl", Kind::Postgres}));

INSTANTIATE_TEST_SUITE_P(
    FirstMatchWins, ProviderKindTest,
    ::testing::Values(ProviderCase{"Oracle bridge to SQL Server", Kind::Oracle},
                      ProviderCase{"SQL Server linked to Oracle", Kind::Oracle},
                      ProviderCase{"Jet.OLEDB over MSSQL", Kind::Access},
                      ProviderCase{"Access via MSDAORA", Kind::Oracle},
                      ProviderCase{"SQL Server export to SQLite", Kind::SqlServer},
                      ProviderCase{"Access import from SQLite", Kind::Access},
                      ProviderCase{"SQLite mirror of PostgreSQL", Kind::SQLite},
                      ProviderCase{"MSSQL with PSQL", Kind::SqlServer},
                      ProviderCase{"Oracle psql", Kind::Oracle}));

struct FlagCase {
    const char* provider;
    bool access, sqlServer, oracle, sqlite, postgres;
};

class ProviderFlagTest : public ::testing::TestWithParam<FlagCase> {};

TEST_P(ProviderFlagTest, EachTestReadsItsOwnSubstrings)
{
    const FlagCase& c = GetParam();
    const TSqlDialect d(QString::fromUtf8(c.provider));
    EXPECT_EQ(d.IsAccess(), c.access) << c.provider;
    EXPECT_EQ(d.IsSqlServer(), c.sqlServer) << c.provider;
    EXPECT_EQ(d.IsOracle(), c.oracle) << c.provider;
    EXPECT_EQ(d.IsSQLite(), c.sqlite) << c.provider;
    EXPECT_EQ(d.IsPostgres(), c.postgres) << c.provider;
}

INSTANTIATE_TEST_SUITE_P(
    Substrings, ProviderFlagTest,
    ::testing::Values(FlagCase{"JET.OLEDB", true, false, false, false, false},
                      FlagCase{"access", true, false, false, false, false},
                      FlagCase{"sqloledb", false, true, false, false, false},
                      FlagCase{"Oracle SQL Server", false, true, true, false, false},
                      FlagCase{"msdaora", false, false, true, false, false},
                      FlagCase{"SQLITE", false, false, false, true, false},
                      FlagCase{"PSQL", false, false, false, false, true},
                      FlagCase{"MSDASQL", false, false, false, false, false},
                      // "SQL" alone is no SQL Server; "MSSQL" does not contain "PSQL".
                      FlagCase{"MySQL", false, false, false, false, false}));

struct TextCase {
    const char* provider;
    const char* expected;
};

class NullReplaceTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(NullReplaceTest, QuotesTheDefault)
{
    const TextCase& c = GetParam();
    EXPECT_EQ(TSqlDialect(QString::fromUtf8(c.provider)).NullReplace(QStringLiteral("sum(x)"), QStringLiteral("0")),
              QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(PerDialect, NullReplaceTest,
                         ::testing::Values(TextCase{"OraOLEDB.Oracle", "NVL(sum(x),'0')"},
                                           TextCase{"Microsoft.Jet.OLEDB.4.0", "IIF(ISNULL(sum(x)),'0',sum(x))"},
                                           TextCase{"SQLOLEDB", "ISNULL(sum(x),'0')"},
                                           TextCase{"MSDASQL", "COALESCE(sum(x),'0')"},
                                           TextCase{"SQLite", "COALESCE(sum(x),'0')"},
                                           TextCase{"PostgreSQL", "COALESCE(sum(x),'0')"}));

class SubstringNameTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(SubstringNameTest, NamesTheFunction)
{
    const TextCase& c = GetParam();
    EXPECT_EQ(TSqlDialect(QString::fromUtf8(c.provider)).SubstringFunctionName(), QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(PerDialect, SubstringNameTest,
                         ::testing::Values(TextCase{"MSDAORA", "SUBSTR"}, TextCase{"Jet.OLEDB", "MID"},
                                           TextCase{"SQL Server", "SUBSTRING"}, TextCase{"MSDASQL", "SUBSTRING"},
                                           TextCase{"SQLite", "SUBSTR"}, TextCase{"PostgreSQL", "SUBSTR"}));

class LengthAndConcatTest : public ::testing::TestWithParam<std::tuple<const char*, const char*, const char*>> {};

TEST_P(LengthAndConcatTest, UseTheDialectForms)
{
    const auto& [provider, length, concat] = GetParam();
    const TSqlDialect d(QString::fromUtf8(provider));
    EXPECT_EQ(d.LengthFunction(QStringLiteral("eid")), QString::fromUtf8(length));
    EXPECT_EQ(d.Concat(QStringLiteral("eid"), QStringLiteral("'001'")), QString::fromUtf8(concat));
}

INSTANTIATE_TEST_SUITE_P(
    PerDialect, LengthAndConcatTest,
    ::testing::Values(std::make_tuple("SQLOLEDB", "len(eid)", "eid+'001'"),
                      std::make_tuple("Microsoft.Jet.OLEDB.4.0", "len(eid)", "eid+'001'"),
                      std::make_tuple("OraOLEDB.Oracle", "LENGTH(eid)", "eid||'001'"),
                      std::make_tuple("PostgreSQL", "LENGTH(eid)", "eid||'001'"),
                      std::make_tuple("SQLite", "CAST(LENGTH(eid) AS INTEGER)", "eid||'001'"),
                      std::make_tuple("MSDASQL", "LENGTH(eid)", "eid||'001'")));

QStringList Values(int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << QStringLiteral("v%1").arg(i);
    return list;
}

TEST(ValueMapTest, AccessWithThreeValuesIsOneIif)
{
    const TSqlDialect access(QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
    EXPECT_EQ(access.ValueMap(QStringLiteral("e"), Values(3)), QStringLiteral(" IIF(e=v0,v1,v2)"));
}

TEST(ValueMapTest, AccessWithSevenValuesNestsThreeLevels)
{
    const TSqlDialect access(QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
    const QString text = access.ValueMap(QStringLiteral("e"), Values(7));
    EXPECT_EQ(text, QStringLiteral(" IIF(e=v0,v1,( IIF(e=v2,v3,( IIF(e=v4,v5,v6)))))"));
    EXPECT_EQ(text.count(QStringLiteral(" IIF(")), 3);
    EXPECT_TRUE(text.endsWith(QStringLiteral(",v6)))))"))) << "the last value sits in the innermost else";
}

TEST(ValueMapTest, AccessWithEvenCountFallsBackToNull)
{
    const TSqlDialect access(QStringLiteral("Jet.OLEDB"));
    EXPECT_EQ(access.ValueMap(QStringLiteral("e"), Values(4)), QStringLiteral(" IIF(e=v0,v1,( IIF(e=v2,v3,NULL)))"));
}

TEST(ValueMapTest, SqlServerOddCountEndsWithElse)
{
    const TSqlDialect mssql(QStringLiteral("SQLOLEDB"));
    EXPECT_EQ(mssql.ValueMap(QStringLiteral("e"), Values(5)),
              QStringLiteral(" CASE   WHEN e=v0 THEN v1  WHEN e=v2 THEN v3  ELSE v4  END  "));
}

TEST(ValueMapTest, SqlServerEvenCountHasNoElse)
{
    const TSqlDialect mssql(QStringLiteral("SQLOLEDB"));
    const QString text = mssql.ValueMap(QStringLiteral("e"), Values(4));
    EXPECT_EQ(text, QStringLiteral(" CASE   WHEN e=v0 THEN v1  WHEN e=v2 THEN v3  END  "));
    EXPECT_FALSE(text.contains(QStringLiteral(" ELSE ")));
}

TEST(ValueMapTest, OracleDecodeListsEveryValue)
{
    const TSqlDialect oracle(QStringLiteral("MSDAORA"));
    EXPECT_EQ(oracle.ValueMap(QStringLiteral("e"), Values(5)), QStringLiteral("DECODE(e,v0,v1,v2,v3,v4)"));
}

TEST(ValueMapTest, GenericAndOracleConditionsBuildTheWholeCaseChain)
{
    const QString fivePairs = QStringLiteral(" CASE   WHEN e=v0 THEN v1  WHEN e=v2 THEN v3  ELSE v4  END  ");
    const QString sevenPairs =
        QStringLiteral(" CASE   WHEN e=v0 THEN v1  WHEN e=v2 THEN v3  WHEN e=v4 THEN v5  ELSE v6  END  ");
    const TSqlDialect generic(QStringLiteral("MSDASQL"));
    EXPECT_EQ(generic.ValueMap(QStringLiteral("e"), Values(5)), fivePairs);
    EXPECT_EQ(generic.ValueMap(QStringLiteral("e"), Values(7)), sevenPairs);
    // Oracle keeps DECODE for plain values; a condition in a compared value takes CASE.
    const TSqlDialect oracle(QStringLiteral("OraOLEDB.Oracle"));
    EXPECT_EQ(oracle.ValueMap(QStringLiteral("e"), {u"'a'"_s, u"1"_s, u"-2.5"_s, u"x.y"_s, u"NULL"_s}),
              QStringLiteral("DECODE(e,'a',1,-2.5,x.y,NULL)"));
    for (const QString& condition : {u"'21' and ipid in ('11','17') "_s, u"'it''s' or 1=1"_s, u"x+1"_s}) {
        EXPECT_EQ(oracle.ValueMap(QStringLiteral("e"), {u"v0"_s, u"v1"_s, condition, u"v3"_s, u"v4"_s}),
                  u" CASE   WHEN e=v0 THEN v1  WHEN e="_s + condition + u" THEN v3  ELSE v4  END  "_s)
            << condition.toStdString();
    }
}

TEST(ValueMapTest, SQLiteAndPostgresUseSearchedCase)
{
    for (const char* provider : {"SQLite", "PostgreSQL"}) {
        const TSqlDialect d(QString::fromUtf8(provider));
        EXPECT_EQ(d.ValueMap(QStringLiteral("e"), Values(3)), QStringLiteral(" CASE   WHEN e=v0 THEN v1  ELSE v2  END  "))
            << provider;
    }
}

TEST(ValueMapTest, DegenerateListsGiveValidSql)
{
    for (const char* provider : {"SQLOLEDB", "Jet.OLEDB", "MSDAORA", "MSDASQL", "SQLite", "PostgreSQL"}) {
        const TSqlDialect d(QString::fromUtf8(provider));
        EXPECT_EQ(d.ValueMap(QStringLiteral("e"), {}), QStringLiteral("NULL")) << provider;
    }
    for (const char* provider : {"Jet.OLEDB", "MSDAORA", "MSDASQL", "SQLite", "PostgreSQL"})
        EXPECT_EQ(TSqlDialect(QString::fromUtf8(provider)).ValueMap(QStringLiteral("e"), Values(1)), QStringLiteral("v0"))
            << provider;
}

// The report statement's pieces, built the way the statement builder builds them.
QString AmountSum(const TSqlDialect& d, const QString& condition)
{
    return d.NullReplace(u"sum("_s + d.ValueMap(QStringLiteral("bkid"), {condition, QStringLiteral("BudgMoney"), QStringLiteral("0")}) + u")"_s,
                         QStringLiteral("0"));
}

QString SecretExpr(const TSqlDialect& d)
{
    return d.ValueMap(QStringLiteral("issecret"), {QStringLiteral("'0'"), QStringLiteral("'是'"), QStringLiteral("'否'")});
}

QString CodeExpr(const TSqlDialect& d)
{
    return d.ValueMap(d.LengthFunction(QStringLiteral("eid")),
                      {QStringLiteral("'3'"), d.Concat(QStringLiteral("eid"), QStringLiteral("'001'")), QStringLiteral("eid")});
}

TEST(ReportPiecesTest, SqlServerTextsAreByteIdentical)
{
    const TSqlDialect mssql(QStringLiteral("SQLOLEDB.1"));
    EXPECT_EQ(AmountSum(mssql, QStringLiteral("'21' and ipid in ('11','17') ")).toUtf8(),
              QByteArray("ISNULL(sum( CASE   WHEN bkid='21' and ipid in ('11','17')  THEN BudgMoney  ELSE 0  END  ),'0')"));
    EXPECT_EQ(SecretExpr(mssql).toUtf8(), QString::fromUtf8(" CASE   WHEN issecret='0' THEN '是'  ELSE '否'  END  ").toUtf8());
    EXPECT_EQ(CodeExpr(mssql).toUtf8(), QByteArray(" CASE   WHEN len(eid)='3' THEN eid+'001'  ELSE eid  END  "));
    EXPECT_EQ(mssql.SubstringFunctionName(), QStringLiteral("SUBSTRING"));
}

TEST(ReportPiecesTest, AccessAndOracleForms)
{
    const TSqlDialect access(QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
    EXPECT_EQ(CodeExpr(access), QStringLiteral(" IIF(len(eid)='3',eid+'001',eid)"));
    EXPECT_EQ(AmountSum(access, QStringLiteral("'22' ")),
              QStringLiteral("IIF(ISNULL(sum( IIF(bkid='22' ,BudgMoney,0))),'0',sum( IIF(bkid='22' ,BudgMoney,0)))"));
    const TSqlDialect oracle(QStringLiteral("OraOLEDB.Oracle"));
    EXPECT_EQ(CodeExpr(oracle), QStringLiteral("DECODE(LENGTH(eid),'3',eid||'001',eid)"));
    EXPECT_EQ(SecretExpr(oracle), QStringLiteral("DECODE(issecret,'0','是','否')"));
    // DECODE cannot take the split amounts' condition.
    EXPECT_EQ(AmountSum(oracle, QStringLiteral("'21' and ipid in ('11','17') ")),
              QStringLiteral("NVL(sum( CASE   WHEN bkid='21' and ipid in ('11','17')  THEN BudgMoney  ELSE 0  END  ),'0')"));
}

} // namespace
