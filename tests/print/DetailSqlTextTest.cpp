// The report statement as text. For a SQL Server connection the text is the designed
// statement byte for byte: a few selections are kept as literal statements in
// tests/print/detail-sql/ (one statement a file, then a line break), and for every
// selection the level range, one select per level and the total names are checked.
#include "common/untSqlDialect.h"
#include "print/untDetailSql.h"
#include "tests/TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

const QString SqlServer = QStringLiteral("SQLOLEDB.1");

// The statement kept in tests/print/detail-sql/<name>.sql.
QString GoldenStatement(const QString& name)
{
    QFile file(testsupport::SourceDir() + "/tests/print/detail-sql/" + name + ".sql");
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << file.fileName().toStdString();
        return QString();
    }
    QString text = QString::fromUtf8(file.readAll());
    if (text.endsWith('\n'))
        text.chop(1);
    return text;
}

// One case: the inputs, the level range the statement must cover, the total names as they
// appear between quotes, and the file of the whole statement where one is kept.
struct SqlCase {
    const char* label;
    TDetailSqlInputs in;
    int first, last;
    QStringList levelNames; // first to last level
    const char* golden = nullptr;
};

TDetailSqlInputs Inputs(const QString& p, const QString& t, const QString& m, const QString& u, bool small,
                        int maxLeaf, bool ownLines = false)
{
    TDetailSqlInputs in;
    in.Year = 2026;
    in.EidPrefix = p;
    in.BType = t;
    in.FundCode = m;
    in.UnitName = u;
    in.Small = small;
    in.MaxLeafClass = maxLeaf;
    in.OwnLines = ownLines;
    return in;
}

std::vector<SqlCase> Cases()
{
    return {
        {"empty prefix: level 0 first, named without numeral", Inputs("", "1", "11", "全市", false, 2), 0, 2,
         {"级单位合计", "全市本级合计", "二级单位合计"}, "sqlserver-whole-city"},
        {"prefix ending in 001: its own level first", Inputs("101001", "0", "12", "教育局", false, 3), 1, 3,
         {"教育局本级合计", "二级单位合计", "三级单位合计"}, "sqlserver-own-level-first"},
        {"six characters not ending in 001", Inputs("101002", "2", "21", "第一中学", false, 2), 2, 2, {"二级单位合计"}},
        {"deepest leaf above the prefix raises nothing", Inputs("101002003", "1", "11", "某校", false, 1), 3, 3,
         {"三级单位合计"}},
        {"nine characters ending in 001", Inputs("101002001", "1", "11", "某校本级", false, 3), 2, 3,
         {"二级单位合计", "三级单位合计"}},
        {"three-character prefix", Inputs("101", "1", "11", "市本级", false, 2), 1, 2, {"市本级本级合计", "二级单位合计"}},
        {"levels from ten upwards have no numeral",
         Inputs("101002003004005006007008009010", "1", "31", "深层", false, 11), 10, 11, {"级单位合计", "级单位合计"}},
        {"level nine is the last with a numeral", Inputs("101002003004005006007008", "1", "", "八级", false, 9), 8, 9,
         {"八级单位合计", "九级单位合计"}},
        {"small branch: no grand total", Inputs("101001", "1", "11", "教育局", true, 2), 1, 2,
         {"教育局本级合计", "二级单位合计"}, "sqlserver-small-branch"},
        {"no fund nature: all funds summed", Inputs("101002", "1", "", "第一中学", false, 3), 2, 3,
         {"二级单位合计", "三级单位合计"}, "sqlserver-all-funds"},
        {"six characters not ending in 001, with lines of its own: its own level first",
         Inputs("101002", "1", "11", "卫生局", false, 2, true), 1, 2, {"卫生局本级合计", "二级单位合计"}},
        {"nine characters not ending in 001, with lines of its own: the end stays",
         Inputs("101002003", "1", "11", "某校", false, 1, true), 2, 3, {"二级单位合计", "三级单位合计"}},
        {"own lines change nothing for a prefix ending in 001", Inputs("101002001", "1", "11", "某校本级", false, 3, true),
         2, 3, {"二级单位合计", "三级单位合计"}},
        {"own lines change nothing at level 1", Inputs("101", "1", "11", "市本级", false, 2, true), 1, 2,
         {"市本级本级合计", "二级单位合计"}},
        {"quotes in every spliced value are doubled", Inputs("10'001", "1'", "1'1", "O'Brien's 单位", false, 1), 1, 1,
         {"O''Brien''s 单位本级合计"}, "sqlserver-quotes-doubled"},
    };
}

class DetailSqlTextTest : public ::testing::TestWithParam<SqlCase> {};

TEST_P(DetailSqlTextTest, SqlServerTextIsTheDesignedStatement)
{
    const SqlCase& c = GetParam();
    const QString sql = BuildDetailSql(TSqlDialect(SqlServer), c.in);
    if (c.golden) {
        EXPECT_EQ(sql.toStdString(), GoldenStatement(c.golden).toStdString()) << c.label;
    }
    // The grand total row, when there is one, and then one select per level.
    EXPECT_EQ(sql.count(" as orderid,"), (c.in.Small ? 0 : 1) + c.last - c.first + 1) << c.label;
    for (int level = c.first; level <= c.last; ++level) {
        EXPECT_TRUE(sql.contains("select " + QString::number(level) + " as orderid,")) << c.label << " " << level;
        EXPECT_TRUE(sql.contains("'" + c.levelNames[level - c.first] + "' as ename")) << c.label << " " << level;
    }
}

TEST_P(DetailSqlTextTest, LevelRangeMatchesTheCase)
{
    const SqlCase& c = GetParam();
    const TLevelRange range = LevelRange(c.in.EidPrefix, c.in.MaxLeafClass, c.in.OwnLines);
    EXPECT_EQ(range.First, c.first) << c.label;
    EXPECT_EQ(range.Last, c.last) << c.label;
}

// A provider of no known family gets the generic statement (standard functions only).
TEST(DetailSqlGenericText, UnknownProviderGetsTheGenericStatement)
{
    const QString sql = BuildDetailSql(TSqlDialect("MSDASQL.1"), Inputs("101001", "0", "12", "教育局", false, 3));
    EXPECT_EQ(sql.toStdString(), GoldenStatement("generic-own-level-first").toStdString());
}

INSTANTIATE_TEST_SUITE_P(Selections, DetailSqlTextTest, ::testing::ValuesIn(Cases()));

// Fixed fragments that pin single details of the text.
TEST(DetailSqlFragments, EmptyPrefixHasTwoRowsWithOrderIdZero)
{
    const QString sql = BuildDetailSql(TSqlDialect(SqlServer), Inputs("", "1", "", "全市", false, 0));
    EXPECT_EQ(sql.count("select 0 as orderid"), 2);
    EXPECT_TRUE(sql.contains("'级单位合计' as ename"));
    EXPECT_TRUE(sql.contains(" and (len(eid)/3-1)=0      union all "));
    EXPECT_FALSE(sql.contains("union all ) t"));
    EXPECT_TRUE(sql.endsWith(") b ) t where summ>0 order by orderid,eid,bid,iid"));
}

TEST(DetailSqlFragments, SelfLevelTakesThePrefixUnit)
{
    const QString sql = BuildDetailSql(TSqlDialect(SqlServer), Inputs("101001", "1", "11", "教育局", true, 1));
    EXPECT_TRUE(sql.contains(" and ((len(eid)/3-1)=1 or eid='101001')       union all "));
    EXPECT_TRUE(sql.startsWith("select * from (select 1 as orderid,"));
    EXPECT_TRUE(sql.contains(" and mid='11' and ((len(eid)/3-1)=1"));
}

TEST(DetailSqlFragments, NoFundMeansNoMidCondition)
{
    const QString sql = BuildDetailSql(TSqlDialect(SqlServer), Inputs("101002", "1", "", "x", false, 2));
    EXPECT_FALSE(sql.contains("mid="));
    EXPECT_TRUE(sql.contains(" and BType='1'  and (len(eid)/3-1)=2"));
}

// The other dialects keep the level blocks' shape but take their own length and joining.
struct DialectCase {
    const char* provider;
    const char* length;
    const char* concat;
    const char* substring;
};

class DetailSqlDialectTest : public ::testing::TestWithParam<DialectCase> {};

TEST_P(DetailSqlDialectTest, LengthAndJoiningComeFromTheDialect)
{
    const DialectCase& c = GetParam();
    const QString sql = BuildLevelBlockSql(TSqlDialect(c.provider), Inputs("101001", "1", "11", "局", false, 2));
    const QString length = QString::fromUtf8(c.length);
    EXPECT_TRUE(sql.contains("((" + length + "/3-1)=1 or eid='101001')")) << c.provider;
    EXPECT_TRUE(sql.contains(" and (" + length + "/3-1)=2")) << c.provider;
    EXPECT_TRUE(sql.contains(QString::fromUtf8(c.concat))) << c.provider;
    EXPECT_TRUE(sql.contains(QString::fromUtf8(c.substring) + "(b.bid,6,2) as xiang")) << c.provider;
    if (QString::fromUtf8(c.length) != "len(eid)") {
        EXPECT_FALSE(sql.contains("len(eid)")) << c.provider;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Providers, DetailSqlDialectTest,
    ::testing::Values(DialectCase{"SQLOLEDB.1", "len(eid)", "THEN eid+'001' ", "SUBSTRING"},
                      DialectCase{"Microsoft.Jet.OLEDB.4.0", "len(eid)", ",eid+'001',", "MID"},
                      DialectCase{"SQLite", "CAST(LENGTH(eid) AS INTEGER)", "THEN eid||'001' ", "SUBSTR"},
                      DialectCase{"PostgreSQL", "LENGTH(eid)", "THEN eid||'001' ", "SUBSTR"},
                      DialectCase{"OraOLEDB.Oracle", "LENGTH(eid)", ",eid||'001',", "SUBSTR"}));

TEST(ChineseNumeralTest, OneToNineAndNothingElse)
{
    const QStringList expected{"", "一", "二", "三", "四", "五", "六", "七", "八", "九", ""};
    for (int n = 0; n <= 10; ++n)
        EXPECT_EQ(ChineseNumeral(n), expected[n]) << n;
    EXPECT_EQ(ChineseNumeral(-1), QString());
    EXPECT_EQ(ChineseNumeral(11), QString());
}

struct LevelCase {
    const char* prefix;
    int maxLeaf;
    int first, last;
    bool ownLines = false;
};

class LevelRangeTest : public ::testing::TestWithParam<LevelCase> {};

TEST_P(LevelRangeTest, FirstFromPrefixLastFromDeepestLeaf)
{
    const LevelCase& c = GetParam();
    const TLevelRange r = LevelRange(c.prefix, c.maxLeaf, c.ownLines);
    EXPECT_EQ(r.First, c.first) << c.prefix << (c.ownLines ? " with own lines" : "");
    EXPECT_EQ(r.Last, c.last) << c.prefix << (c.ownLines ? " with own lines" : "");
}

INSTANTIATE_TEST_SUITE_P(Prefixes, LevelRangeTest,
                         ::testing::Values(LevelCase{"", 0, 0, 0}, LevelCase{"", 3, 0, 3}, LevelCase{"001", 2, 0, 2},
                                           LevelCase{"101", 0, 1, 1}, LevelCase{"101001", 0, 1, 1},
                                           LevelCase{"101001", 4, 1, 4}, LevelCase{"101002", 1, 2, 2},
                                           LevelCase{"10", 1, 0, 1}, LevelCase{"1010010", 1, 2, 2},
                                           LevelCase{"101002001", 2, 2, 2}, LevelCase{"101002002", -1, 3, 3},
                                           LevelCase{"", 2, 0, 2, true}, LevelCase{"101", 0, 1, 1, true},
                                           LevelCase{"101001", 3, 1, 3, true}, LevelCase{"101002", 0, 1, 2, true},
                                           LevelCase{"101002", 4, 1, 4, true}, LevelCase{"101002001", 2, 2, 2, true},
                                           LevelCase{"101002002", 0, 2, 3, true}, LevelCase{"1010010", 1, 1, 2, true}));

} // namespace
