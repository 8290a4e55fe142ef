// The selection lists on a real "Def" connection (SQLite and PostgreSQL): the SQL texts
// they build, the lists they fill, and the fund nature code found from its name.
#include <QSet>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "print/gunSelectList.h"
#include "common/untDataBase.h"
#include "platform/StdCtrls.h"
#include "common/PlugInGlobals.h"
#include "tests/TestSupport.h"
#include "tests/support/DbTestSupport.h"

namespace {

struct Fund {
    const char* Mid;
    const char* Name;
    const char* Leaf;
};

// In code order, so that a select without "order by" returns them in this order too.
const Fund Funds[] = {
    {"1", "预算资金", "1"},
    {"11", "一般预算资金", "0"},
    {"12", "政府性基金", "0"},
    {"21", "财政专户管理资金", "0"},
    {"31", "国有资本经营预算资金", "0"},
    {"41", "其他资金", "0"},
    {"51", "单位'自筹'资金", "0"},
    {"99", "停用的汇总", "1"},
};

QString NameOf(const QString& mid)
{
    for (const Fund& f : Funds)
        if (mid == QLatin1String(f.Mid))
            return QString::fromUtf8(f.Name);
    return {};
}

// The host's side: a registry whose "Def" connection is the scratch database.
class HostEnvironment {
public:
    explicit HostEnvironment(const QString& connectionString)
    {
        Manager = new TDbManager(nullptr);
        Def = Manager->CreateConnection(nullptr);
        Def->SetConnectionString(connectionString);
        Manager->AddConnection(Def, QStringLiteral("Def"));
        Env.Year = 2024;
        Env.DbManager = Manager;
        Env.HostOptions = &Options;
        Context.PubVariable = &Env;
        SetPlugInContext(&Context);
    }
    ~HostEnvironment()
    {
        SetPlugInContext(nullptr);
        Manager->FreeConnections();
        Manager->Free();
    }

    TDbManager* Manager = nullptr;
    TAdoConn* Def = nullptr;
    THostOptions Options;
    TPubVariable Env;
    TPlugInContext Context;
};

struct ComboFree {
    void operator()(TComboBox* c) const { c->Free(); }
};
using ComboPtr = std::unique_ptr<TComboBox, ComboFree>;

ComboPtr NewDropDownList()
{
    ComboPtr combo(new TComboBox(nullptr));
    combo->SetStyle(csDropDownList);
    return combo;
}

class SelectListsTest : public ::testing::TestWithParam<QString> {
protected:
    void SetUp() override
    {
        db = std::make_unique<dbtest::ScratchDatabase>(GetParam());
        DBTEST_REQUIRE_READY(*db);
        host = std::make_unique<HostEnvironment>(db->ConnectionString());
        host->Def->Execute(QStringLiteral("create table pubmoneykind (mid varchar(10), mname varchar(60), leafflag char(1))"));
        for (const Fund& f : Funds)
            host->Def->Execute(QStringLiteral("insert into pubmoneykind values ('%1', %2, '%3')")
                                   .arg(QLatin1String(f.Mid), QuotedStr(QString::fromUtf8(f.Name)), QLatin1String(f.Leaf)));
        host->Def->Close();
    }
    void TearDown() override
    {
        host.reset();
        db.reset();
    }

    std::unique_ptr<dbtest::ScratchDatabase> db;
    std::unique_ptr<HostEnvironment> host;
};

// ------------------------------------------------------------------ SelectFirstValue

struct SqlTextCase {
    QString Condition;
    QString Expected;
};

TEST(SelectFirstValueSqlTest, TheConditionIsAppendedOnlyWhenItIsNotBlank)
{
    const QString head = QStringLiteral(" select mname from pubmoneykind where 1=1");
    const SqlTextCase cases[] = {
        {QString(), head},
        {QStringLiteral("   "), head},
        {QStringLiteral("\t "), head},
        {QStringLiteral("mid='11'"), head + QStringLiteral(" and mid='11'")},
        {QStringLiteral("  mid='11'  "), head + QStringLiteral(" and   mid='11'  ")},
    };
    for (const SqlTextCase& c : cases)
        EXPECT_EQ(SelectFirstValueSql(QStringLiteral("pubmoneykind"), QStringLiteral("mname"), c.Condition), c.Expected)
            << "condition '" << c.Condition.toStdString() << "'";
}

TEST_P(SelectListsTest, SelectFirstValueGivesTheFirstColumnOfTheFirstRow)
{
    QString value = QStringLiteral("stale");
    EXPECT_TRUE(SelectFirstValue(QStringLiteral("pubmoneykind"), QStringLiteral("mname"), QStringLiteral(" mid='12' "), value));
    EXPECT_EQ(value, NameOf(QStringLiteral("12")));

    EXPECT_TRUE(SelectFirstValue(QStringLiteral("pubmoneykind"), QStringLiteral("count(*)"), QStringLiteral("  "), value));
    EXPECT_EQ(value, QString::number(std::size(Funds)));

    value = QStringLiteral("stale");
    EXPECT_FALSE(SelectFirstValue(QStringLiteral("pubmoneykind"), QStringLiteral("mname"), QStringLiteral("mid='77'"), value));
    EXPECT_TRUE(value.isEmpty());

    value = QStringLiteral("stale");
    EXPECT_FALSE(SelectFirstValue(QStringLiteral("no_such_table"), QStringLiteral("mname"), QString(), value));
    EXPECT_TRUE(value.isEmpty());
}

struct CodeCase {
    QString Name;
    bool Found;
    QString Code;
};

TEST_P(SelectListsTest, FundKindCodeByNameFindsTheTrimmedNameAndQuotesItSafely)
{
    const CodeCase cases[] = {
        {QStringLiteral("政府性基金"), true, QStringLiteral("12")},
        {QStringLiteral("  国有资本经营预算资金 \t"), true, QStringLiteral("31")},
        {QStringLiteral("单位'自筹'资金"), true, QStringLiteral("51")},
        {QStringLiteral("没有的资金"), false, QString()},
        {QStringLiteral("x' or '1'='1"), false, QString()},
        {QString(), false, QString()},
    };
    for (const CodeCase& c : cases) {
        QString code = QStringLiteral("stale");
        EXPECT_EQ(FundKindCodeByName(c.Name, code), c.Found) << c.Name.toStdString();
        EXPECT_EQ(code, c.Code) << c.Name.toStdString();
    }
}

// ------------------------------------------------------------------ FillComboFromQuery

TEST_P(SelectListsTest, FillComboFromQueryPutsTheAllEntryFirstAndCountsRowsOnly)
{
    const QString sql = QStringLiteral("select mname as name from pubmoneykind where mid in ('11','12','21') order by mid");
    const QStringList rows{NameOf(QStringLiteral("11")), NameOf(QStringLiteral("12")), NameOf(QStringLiteral("21"))};
    ComboPtr combo = NewDropDownList();
    int changes = 0;
    combo->OnChange = [&changes](TObject*) { ++changes; };

    EXPECT_EQ(FillComboFromQuery(combo.get(), sql, true), 3);
    EXPECT_EQ(combo->Items(), QStringList{SAllEntry} + rows);
    EXPECT_EQ(combo->ItemIndex(), 0);
    EXPECT_EQ(combo->Text(), SAllEntry);

    EXPECT_EQ(FillComboFromQuery(combo.get(), sql, false), 3);
    EXPECT_EQ(combo->Items(), rows);
    EXPECT_EQ(combo->ItemIndex(), 0);
    EXPECT_EQ(combo->Text(), rows.first());
    EXPECT_EQ(changes, 0) << "filling from code fired OnChange";
}

TEST_P(SelectListsTest, FillComboFromQueryWithNoRowsOrAFailedQueryLeavesTheListEmpty)
{
    const QString queries[] = {
        QStringLiteral("select mname as name from pubmoneykind where 1=0"),
        QStringLiteral("select mname as name from no_such_table"),
    };
    for (const QString& sql : queries) {
        ComboPtr combo = NewDropDownList();
        combo->SetItems({QStringLiteral("old 1"), QStringLiteral("old 2")});
        combo->SetItemIndex(1);
        EXPECT_EQ(FillComboFromQuery(combo.get(), sql, true), 0) << sql.toStdString();
        EXPECT_TRUE(combo->Items().isEmpty()) << sql.toStdString();
        EXPECT_EQ(combo->ItemIndex(), -1) << sql.toStdString();
    }
}

// ------------------------------------------------------------------ FillFundKindCombo

struct KindSetCase {
    int KindSet;
    QStringList Mids;   // the set's codes, before leafflag and the extra condition
};

const QString ExtraCondition = QStringLiteral(" and mid<>'12'");

QStringList ExpectedMids(const KindSetCase& c, bool withExtra)
{
    QStringList mids;
    for (const Fund& f : Funds) {
        const QString mid = QLatin1String(f.Mid);
        if (QLatin1String(f.Leaf) != QLatin1String("0") || (!c.Mids.isEmpty() && !c.Mids.contains(mid)))
            continue;
        if (withExtra && mid == QLatin1String("12"))
            continue;
        mids << mid;
    }
    return mids;
}

TEST_P(SelectListsTest, FillFundKindComboOffersTheSetInTheRightOrder)
{
    const KindSetCase sets[] = {
        {0, {}},
        {1, {QStringLiteral("11"), QStringLiteral("12"), QStringLiteral("31")}},
        {2, {QStringLiteral("11"), QStringLiteral("21")}},
        {3, {QStringLiteral("11"), QStringLiteral("12")}},
    };
    for (const KindSetCase& c : sets)
        for (const bool desc : {false, true})
            for (const bool withExtra : {false, true})
                for (const bool addAll : {false, true}) {
                    const std::string label = "kindSet " + std::to_string(c.KindSet) + (desc ? " desc" : "")
                        + (withExtra ? " extra" : "") + (addAll ? " all" : "");
                    QStringList mids = ExpectedMids(c, withExtra);
                    const bool ordered = desc || c.KindSet == 2;
                    std::sort(mids.begin(), mids.end(), [](const QString& a, const QString& b) { return a > b; });
                    QStringList names;
                    for (const QString& mid : mids)
                        names << NameOf(mid);

                    ComboPtr combo = NewDropDownList();
                    EXPECT_EQ(FillFundKindCombo(combo.get(), addAll, c.KindSet, desc, withExtra ? ExtraCondition : QString()),
                              mids.size())
                        << label;
                    QStringList shown = combo->Items();
                    if (addAll) {
                        ASSERT_FALSE(shown.isEmpty()) << label;
                        EXPECT_EQ(shown.takeFirst(), SAllEntry) << label;
                    }
                    if (!ordered) { // the database's own order: compare as sets
                        std::sort(shown.begin(), shown.end());
                        std::sort(names.begin(), names.end());
                    }
                    EXPECT_EQ(shown, names) << label;
                    EXPECT_EQ(combo->ItemIndex(), 0) << label;
                }
}

struct FundSqlCase {
    int KindSet;
    bool Desc;
    QString Extra;
    QString Expected;
};

TEST(FundKindSqlTest, TheTextIsBuiltToTheBlank)
{
    const QString base0 = QStringLiteral("select mid as id,mname as name from pubmoneykind where leafflag='0' ");
    const QString base1 = QStringLiteral("select mid as id,mname as name from pubmoneykind where leafflag='0' and mid in ('11','12','31')");
    const QString base2 = QStringLiteral("select mid as id,mname as name from pubmoneykind where leafflag='0' and mid in ('11','21')");
    const QString base3 = QStringLiteral("select mid as id,mname as name from pubmoneykind where leafflag='0' and mid in ('11','12')");
    const QString desc = QStringLiteral("order by mid desc ");
    const QString extra = QStringLiteral(" and mid in (select mid from busibudget)");
    const FundSqlCase cases[] = {
        {0, false, QString(), base0},
        {0, true, QString(), base0 + desc},
        {0, true, extra, base0 + extra + desc},
        {0, false, extra, base0 + extra},
        {1, false, QString(), base1},
        {1, true, extra, base1 + extra + desc},
        {2, false, QString(), base2 + desc},
        {2, true, QString(), base2 + desc},
        {2, false, extra, base2 + extra + desc},
        {3, false, QString(), base3},
        {3, true, QString(), base3 + desc},
    };
    for (const FundSqlCase& c : cases)
        EXPECT_EQ(FundKindSql(c.KindSet, c.Desc, c.Extra), c.Expected) << c.KindSet << (c.Desc ? " desc" : "");
    // kindSet 0 with an extra condition and descending order: the condition sits right
    // behind the base text's blank, and "order by" right behind its last character.
    EXPECT_EQ(FundKindSql(0, true, QStringLiteral(" and mid<>'12'")),
              QStringLiteral("select mid as id,mname as name from pubmoneykind where leafflag='0'  and mid<>'12'order by mid desc "));
    EXPECT_THROW(FundKindSql(4, false, QString()), Exception);
    EXPECT_THROW(FundKindSql(-1, false, QString()), Exception);
}

// ------------------------------------------------------------------ FillIndicatorTypeCombo

struct IndicatorCase {
    bool AddAll;
    bool WithTemporary;
    int HostCode;
    int ExpectedIndex;
};

TEST(FillIndicatorTypeComboTest, TheHostsTypeIsSelected)
{
    const QStringList types{QStringLiteral("控制数"), QStringLiteral("预算数")};
    const QString temporary = QStringLiteral("临时指标");
    const IndicatorCase cases[] = {
        {false, true, 0, 0},  {false, true, 1, 1},  {false, true, 2, 2},
        {false, false, 0, 0}, {false, false, 1, 1}, {false, false, 2, 0},
        {true, true, 0, 0},   {true, true, 2, 2},   {true, false, 2, 0},
        {true, false, 1, 1},
    };
    THostOptions options;
    TPubVariable env;
    env.HostOptions = &options;
    TPlugInContext context;
    context.PubVariable = &env;
    SetPlugInContext(&context);
    for (const IndicatorCase& c : cases) {
        options.IndicatorType = c.HostCode;
        ComboPtr combo = NewDropDownList();
        combo->SetItems({QStringLiteral("old")});
        FillIndicatorTypeCombo(combo.get(), c.AddAll, c.WithTemporary);
        QStringList expected = types;
        if (c.WithTemporary)
            expected << temporary;
        if (c.AddAll)
            expected.prepend(SAllEntry);
        const std::string label = std::string(c.AddAll ? "all " : "") + (c.WithTemporary ? "temporary " : "")
            + "code " + std::to_string(c.HostCode);
        EXPECT_EQ(combo->Items(), expected) << label;
        EXPECT_EQ(combo->ItemIndex(), c.ExpectedIndex) << label;
    }
    SetPlugInContext(nullptr);
    ComboPtr combo = NewDropDownList();
    FillIndicatorTypeCombo(combo.get(), false, true);
    EXPECT_EQ(combo->ItemIndex(), 0) << "without a host the first type is selected";
}

INSTANTIATE_TEST_SUITE_P(Backends, SelectListsTest, ::testing::ValuesIn(testsupport::Backends()),
                         dbtest::BackendName);

} // namespace
