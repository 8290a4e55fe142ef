// Quotes in every value that reaches SQL. Units, a fund nature and budget rows whose codes
// and names hold an apostrophe or an injection attempt are added to the demo database;
// the print window is then driven over them, so that tree ids, login codes, unit code
// prefixes, unit names and fund names all go through the statements the product builds.
// Every statement must run, return exactly the rows of those values, and leave every
// table in place.
#include <QSqlError>
#include <QSqlQuery>

#include "print/gunSelectList.h"
#include "common/untDataBase.h"
#include "common/PlugInGlobals.h"
#include "plugin/untDefConnection.h"
#include "print/CELL50Lib_TLB.h"
#include "print/bwnTallyleaf.h"
#include "print/untDetailSql.h"
#include "print/untReportFill.h"
#include "tests/TestSupport.h"
#include "tests/support/DbTestSupport.h"
#include "tests/faults/FaultFixture.h"
#include "trees/untDynamicTree.h"

namespace faulttest {
namespace {

struct QuoteCase {
    const char* name;
    QString text;   // a name as given; codes are this text padded to whole levels
};

const QList<QuoteCase> Cases{
    {"apostrophe", "O'Brien"},
    {"injection", "'; drop table pubdept; --"},
    {"quote_pairs", "''''"},
};

// The branch of units the case adds: top (3 characters), branch (the padded text), and
// two leaves below the branch; the second leaf is a special account.
struct Branch {
    QString text;
    QString branch;
    QString top;
    QString leaf1;
    QString leaf2;
    QString fundMid = QStringLiteral("99");

    explicit Branch(const QString& t) : text(t)
    {
        branch = t;
        while (branch.size() % 3 != 0)
            branch += '-';
        top = branch.left(3);
        leaf1 = branch + "001";
        leaf2 = branch + "002";
    }
    QString LeafName(int i) const { return text + (i == 1 ? "一处" : "二处"); }
    QString TopName() const { return text + "总部"; }
    QString BranchName() const { return text + "分局"; }
};

class SqlQuoteTest : public WindowFixture {
protected:
    // Bound parameters: the test data go in without the product's quoting.
    void Insert(const Branch& b)
    {
        QSqlDatabase db = Host()->Def()->Database();
        QSqlQuery q(db);
        auto run = [&](const QVariantList& values) {
            for (const QVariant& v : values)
                q.addBindValue(v);
            ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
        };
        ASSERT_TRUE(q.prepare("insert into pubdept (eid, peid, ename, leafflag, replaceflag, useflag, class, "
                              "specialaccount) values (?, ?, ?, ?, '0', '0', ?, ?)"));
        // The class of a unit is the length of its code in levels.
        const int branchClass = int(b.branch.size() / 3);
        run({b.top, "", b.TopName(), "1", 1, "否"});
        run({b.branch, b.branch.left(b.branch.size() - 3), b.BranchName(), "1", branchClass, "否"});
        run({b.leaf1, b.branch, b.LeafName(1), "0", branchClass + 1, "否"});
        run({b.leaf2, b.branch, b.LeafName(2), "0", branchClass + 1, "是"});
        ASSERT_TRUE(q.prepare("insert into pubmoneykind (mid, mname, leafflag) values (?, ?, '0')"));
        run({b.fundMid, b.text});
        ASSERT_TRUE(q.prepare("insert into busibudget (id, datayear, eid, status, BType, mid, bid, bname, iid, iname, "
                              "issecret, bkid, ipid, BudgMoney) values (?, 2024, ?, '1', '1', ?, '2010101', ?, ?, ?, "
                              "'0', '21', '11', ?)"));
        run({9000001, b.leaf1, b.fundMid, b.text + "科目", "I1", b.text + "项目", 100.5});
        run({9000002, b.leaf2, b.fundMid, b.text + "科目", "I2", b.text + "项目", 200.25});
    }

    struct Counts {
        int units, funds, rows;
        bool operator==(const Counts&) const = default;
    };
    Counts Tables()
    {
        return {CountAside("select count(*) from pubdept"), CountAside("select count(*) from pubmoneykind"),
                CountAside("select count(*) from busibudget")};
    }
};

QStringList Column(const TCell5& sheet, int col)
{
    QStringList texts;
    for (int r = 1; r <= sheet.Sheet().rowCount(); ++r)
        texts << sheet.Sheet().text(col, r);
    return texts;
}

TEST_P(SqlQuoteTest, QuotedCodesAndNamesGoThroughEveryStatement)
{
    for (const QuoteCase& c : Cases) {
        SCOPED_TRACE(c.name);
        const Branch b(c.text);
        ExecAside("delete from busibudget where id>=9000000");
        ExecAside("delete from pubmoneykind where mid='99'");
        ExecAside("delete from pubdept where eid like " + QuotedStr(b.top + "%"));
        Insert(b);
        const Counts before = Tables();
        Host()->SetLogin(b.leaf1, "0");

        // Statement by statement, outside the window.
        QString code;
        EXPECT_TRUE(FundKindCodeByName(b.text, code));
        EXPECT_EQ(code, b.fundMid);
        EXPECT_FALSE(IsSmallBranch());   // the branch and its two leaves: three rows
        EXPECT_EQ(MaxLeafClass(b.top), int(b.branch.size() / 3));   // the deepest unit with units below
        TSpecialAccounts special;
        special.Load(b.top);
        EXPECT_TRUE(special.IsSpecialAccount(b.leaf2));
        EXPECT_FALSE(special.IsSpecialAccount(b.leaf1));

        // The window: login code, tree ids and prefixes, unit and fund names.
        if (FForm)
            FForm->Free();
        FForm = nullptr;
        const Seen shown = Run([this] { ShowWindow(); });
        EXPECT_TRUE(shown.All().isEmpty()) << shown.All().toStdString();
        ASSERT_EQ(FForm->EidPrefix(), b.leaf1);
        EXPECT_EQ(FForm->UnitName(), b.LeafName(1));
        EXPECT_EQ(FForm->trvList->Items()->Count(), 4);   // top node, branch, two leaves
        EXPECT_EQ(FForm->cobMid->Items(), QStringList{b.text});
        const QString title = b.LeafName(1) + "2024年国库集中支付改革指标表";
        EXPECT_EQ(FForm->cllBudget->Sheet().text(2, 1), title);
        QStringList names = Column(*FForm->cllBudget, 5);
        EXPECT_TRUE(names.contains(b.LeafName(1) + "合计")) << names.join('|').toStdString();
        EXPECT_TRUE(names.contains(b.LeafName(1)));
        EXPECT_FALSE(names.contains(b.LeafName(2)));
        EXPECT_TRUE(Column(*FForm->cllBudget, 12).contains("100.50"));

        // The top node: the prefix is the login's first three characters.
        FForm->trvList->SetSelected(FForm->trvList->Items()->GetFirstNode());
        EXPECT_EQ(FForm->EidPrefix(), b.top);
        EXPECT_EQ(FForm->UnitName(), b.TopName());
        names = Column(*FForm->cllBudget, 5);
        EXPECT_TRUE(names.contains(b.TopName() + "合计")) << names.join('|').toStdString();
        EXPECT_TRUE(names.contains(b.LeafName(1)));
        EXPECT_TRUE(names.contains(b.LeafName(2)));
        EXPECT_TRUE(Column(*FForm->cllBudget, 4).contains("*" + b.leaf2));
        EXPECT_TRUE(Column(*FForm->cllBudget, 12).contains("300.75"));

        EXPECT_EQ(Tables(), before);
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, SqlQuoteTest, ::testing::ValuesIn(testsupport::Backends()), dbtest::BackendName);

} // namespace
} // namespace faulttest
