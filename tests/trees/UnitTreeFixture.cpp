#include "tests/trees/UnitTreeFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>

#include "platform/ADODB.h"
#include "platform/TreeView.h"
#include "trees/untDynamicTree.h"
#include "trees/untQueryThread.h"

namespace unittree {

const QList<Unit>& StandardUnits()
{
    static const QList<Unit> units = {
        {"101", "", "市本级", "0"},
        {"101001", "101", "财政局", "0"},
        {"101001001", "101001", "财政局机关", "0"},
        {"101001001001", "101001001", "预算科", "1"},
        {"101001001002", "101001001", "国库科", "1"},
        {"101001002", "101001", "国库支付中心", "0"},
        {"101001002001", "101001002", "支付一科", "1"},
        {"101002", "101", "教育局", "0"},
        {"101002001", "101002", "第一中学", "1"},
        {"101002002", "101002", "第二中学", "1"},
        {"101003", "101", "卫生局", "1"},
        {"102", "", "东区", "0"},
        {"102001", "102", "东区财政局", "0"},
        {"102001001", "102001", "东区预算股", "0"},
        {"102001001001", "102001001", "东区预算一组", "1"},
        {"103", "", "西区", "1"},
    };
    return units;
}

QMap<QString, QStringList> ChildrenByParent(const QList<Unit>& units)
{
    QMap<QString, QStringList> children;
    for (const Unit& u : units)
        children[u.peid].append(u.eid);
    for (QStringList& list : children)
        list.sort();
    return children;
}

int NonLeafCount(const QList<Unit>& units)
{
    int n = 0;
    for (const Unit& u : units)
        n += u.leafflag == QLatin1String("1") ? 0 : 1;
    return n;
}

QString UnitRowSource()
{
    return QStringLiteral(
        "select eid,peid,leafflag,ename,eid||' '||ename as tname from pubdept where replaceflag='0' and useflag='0'");
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return done();
}

bool WaitForQueryThreads(int timeoutMs)
{
    return WaitUntil([] { return TQueryThread::LiveCount() == 0; }, timeoutMs);
}

TItemInfo* Info(TTreeNode* node) { return node ? static_cast<TItemInfo*>(node->Data()) : nullptr; }

void UnitTableTest::SetUp()
{
    db = std::make_unique<dbtest::ScratchDatabase>(GetParam());
    DBTEST_REQUIRE_READY(*db);
    conn = new TADOConnection(nullptr);
    conn->SetConnectionString(db->ConnectionString());
    conn->Open();
    conn->Execute(QStringLiteral("create table pubdept (eid varchar(30) not null primary key, "
                                 "peid varchar(30) not null, ename varchar(100) not null, "
                                 "leafflag varchar(1) not null, replaceflag varchar(1) not null default '0', "
                                 "useflag varchar(1) not null default '0')"));
    InsertUnits(StandardUnits());
}

void UnitTableTest::InsertUnits(const QList<Unit>& units)
{
    for (const Unit& u : units)
        conn->Execute(QStringLiteral("insert into pubdept (eid, peid, ename, leafflag) values (%1, %2, %3, %4)")
                          .arg(QuotedStr(u.eid), QuotedStr(u.peid), QuotedStr(u.ename), QuotedStr(u.leafflag)));
}

void UnitTableTest::TearDown()
{
    EXPECT_TRUE(WaitForQueryThreads());
    TComponent::FreeAndNil(conn);
    db.reset();
}

std::string BackendName(const ::testing::TestParamInfo<QString>& info) { return info.param.toStdString(); }

} // namespace unittree
