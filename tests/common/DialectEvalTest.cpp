// The dialect builders' texts run on real databases: the pieces of the report statement
// must evaluate the same on SQLite, PostgreSQL and SQLite over ODBC.
#include "common/untDataBase.h"

#include <gtest/gtest.h>
#include <memory>

#include "tests/support/DbTestSupport.h"

using namespace Qt::StringLiterals;

namespace {

class DialectEvalTest : public ::testing::TestWithParam<QString> {
protected:
    void SetUp() override
    {
        db = std::make_unique<dbtest::ScratchDatabase>(GetParam());
        DBTEST_REQUIRE_READY(*db);
        conn = new TAdoConn(nullptr);
        conn->SetConnectionString(db->ConnectionString());
        conn->SetProvider(db->Provider());
        conn->Execute(u"create table rows_ (eid varchar(30), issecret varchar(1), bkid varchar(4), ipid varchar(4), "
                      u"bid varchar(7), BudgMoney numeric(18,2))"_s);
        for (const char* row : {"'101','0','21','11','2010101',100.50", "'101','1','21','17','2010101',20",
                                "'101001','1','22','11','2050204',7", "'101001','0','21','12','2050204',3",
                                "'101001002','1','23','99','2080505',1000"})
            conn->Execute(u"insert into rows_ values ("_s + QString::fromUtf8(row) + u")"_s);
    }
    void TearDown() override
    {
        TComponent::FreeAndNil(conn);
        db.reset();
    }
    // The values of one expression per row of rows_, ordered by eid and amount.
    QStringList Column(const QString& expr, const QString& where = {})
    {
        IARQueryPtr q = OpenQuery(conn, u"select "_s + expr + u" as v from rows_ "_s + where + u" order by eid, BudgMoney"_s);
        QStringList values;
        for (TARQuery* query = q->Query(); !query->Eof(); query->Next())
            values << query->FieldByName(u"v"_s)->AsString();
        return values;
    }
    double Amount(const QString& condition)
    {
        const QString expr = conn->NullReplace(
            u"sum("_s + conn->ValueMap(u"bkid"_s, {condition, u"BudgMoney"_s, u"0"_s}) + u")"_s, u"0"_s);
        IARQueryPtr q = OpenQuery(conn, u"select "_s + expr + u" as v from rows_"_s);
        return q->Query()->FieldByName(u"v"_s)->AsFloat();
    }

    std::unique_ptr<dbtest::ScratchDatabase> db;
    TAdoConn* conn = nullptr;
};

TEST_P(DialectEvalTest, ThreeCharacterCodesGet001)
{
    const QString code = conn->ValueMap(conn->LengthFunction(u"eid"_s),
                                        {u"'3'"_s, conn->Concat(u"eid"_s, u"'001'"_s), u"eid"_s});
    EXPECT_EQ(Column(code), (QStringList{u"101001"_s, u"101001"_s, u"101001"_s, u"101001"_s, u"101001002"_s}));
}

TEST_P(DialectEvalTest, LevelArithmeticIsIntegral)
{
    const QString level = u"("_s + conn->LengthFunction(u"eid"_s) + u"/3-1)"_s;
    EXPECT_EQ(Column(level), (QStringList{u"0"_s, u"0"_s, u"1"_s, u"1"_s, u"2"_s}));
    EXPECT_EQ(Column(u"eid"_s, u"where "_s + level + u"=1"_s), (QStringList{u"101001"_s, u"101001"_s}));
}

TEST_P(DialectEvalTest, SecretFlagBecomesYesOrNo)
{
    const QString secret = conn->ValueMap(u"issecret"_s, {u"'0'"_s, u"'是'"_s, u"'否'"_s});
    EXPECT_EQ(Column(secret), (QStringList{u"否"_s, u"是"_s, u"是"_s, u"否"_s, u"否"_s}));
}

TEST_P(DialectEvalTest, AmountColumnsSumTheirCodePairs)
{
    EXPECT_DOUBLE_EQ(Amount(u"'21' and ipid in ('11','17') "_s), 120.5);
    EXPECT_DOUBLE_EQ(Amount(u"'21' and ipid in ('12','18') "_s), 3.0);
    EXPECT_DOUBLE_EQ(Amount(u"'22' and ipid in ('11','17') "_s), 7.0);
    EXPECT_DOUBLE_EQ(Amount(u"'22' and ipid in ('22','19') "_s), 0.0);
}

TEST_P(DialectEvalTest, NullReplaceGivesTheDefaultForAnEmptySum)
{
    const QString expr = conn->NullReplace(u"sum(BudgMoney)"_s, u"0"_s);
    IARQueryPtr q = OpenQuery(conn, u"select "_s + expr + u" as v from rows_ where eid = 'none'"_s);
    EXPECT_EQ(q->Query()->FieldByName(u"v"_s)->AsString(), u"0"_s);
    EXPECT_DOUBLE_EQ(q->Query()->FieldByName(u"v"_s)->AsFloat(), 0.0);
}

TEST_P(DialectEvalTest, SubstringSplitsTheClassification)
{
    const QString s = conn->SubstringFunctionName();
    const QString parts = conn->Concat(conn->Concat(s + u"(bid,1,3)"_s, u"'/'"_s),
                                       conn->Concat(conn->Concat(s + u"(bid,4,2)"_s, u"'/'"_s), s + u"(bid,6,2)"_s));
    EXPECT_EQ(Column(parts, u"where eid = '101001'"_s), (QStringList{u"205/02/04"_s, u"205/02/04"_s}));
}

TEST_P(DialectEvalTest, ValueMapWithSeveralPairsPicksTheRightOne)
{
    const QString mapped = conn->ValueMap(u"bkid"_s, {u"'21'"_s, u"'当年'"_s, u"'22'"_s, u"'结余'"_s, u"'其他'"_s});
    EXPECT_EQ(Column(mapped), (QStringList{u"当年"_s, u"当年"_s, u"当年"_s, u"结余"_s, u"其他"_s}));
}

// The texts made for ODBC back ends without a dialect of their own, and Oracle's split
// amounts, are plain CASE: they run here as they must run there.
TEST_P(DialectEvalTest, OtherProvidersMapEveryPairAndTheSplitAmounts)
{
    const TSqlDialect generic(u"MSDASQL"_s);
    EXPECT_EQ(Column(generic.ValueMap(u"bkid"_s, {u"'21'"_s, u"'当年'"_s, u"'22'"_s, u"'结余'"_s, u"'其他'"_s})),
              (QStringList{u"当年"_s, u"当年"_s, u"当年"_s, u"结余"_s, u"其他"_s}));
    const QStringList seven{u"'21'"_s, u"'a'"_s, u"'22'"_s, u"'b'"_s, u"'23'"_s, u"'c'"_s, u"'d'"_s};
    EXPECT_EQ(Column(generic.ValueMap(u"bkid"_s, seven)), (QStringList{u"a"_s, u"a"_s, u"a"_s, u"b"_s, u"c"_s}));
    const TSqlDialect oracle(u"OraOLEDB.Oracle"_s);
    const QString split = oracle.ValueMap(u"bkid"_s, {u"'21' and ipid in ('11','17') "_s, u"BudgMoney"_s, u"0"_s});
    IARQueryPtr q = OpenQuery(conn, u"select sum("_s + split + u") as v from rows_"_s);
    EXPECT_DOUBLE_EQ(q->Query()->FieldByName(u"v"_s)->AsFloat(), 120.5);
}

INSTANTIATE_TEST_SUITE_P(Backends, DialectEvalTest,
                         ::testing::Values(u"sqlite"_s, u"postgresql"_s, u"odbc-sqlite"_s), dbtest::BackendName);

} // namespace
