// The dynamic tree on the user-interface thread: activation checks, the level
// statement, what each level adds, lazy and full loading, auto-expansion, and the
// load guard.
#include <QMetaObject>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "platform/ADODB.h"
#include "platform/FormResource.h"
#include "platform/Forms.h"
#include "platform/TreeView.h"
#include "tests/trees/UnitTreeFixture.h"
#include "trees/untDynamicTree.h"

using namespace unittree;

// A record class with one more column, as an application may hand to OnBeforAddNode.
class TUnitInfo : public TItemInfo {
    Q_OBJECT
public:
    Q_INVOKABLE TUnitInfo() = default;
    QString Extra;
};

namespace {

const QString kTitle = QStringLiteral("预算单位列表");

class DynamicTreeTest : public UnitTableTest {
protected:
    void SetUp() override
    {
        UnitTableTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        view = new TTreeView(nullptr);
        view->SetName(QStringLiteral("trvList"));
        view->SetBounds(0, 0, 300, 800);
        view->Widget()->show();
        tree = new TDynamicTree(nullptr);
        tree->OnLevelQuery = [this](TObject*, const QString& sql) { statements << sql; };
    }
    void TearDown() override
    {
        TComponent::FreeAndNil(tree);
        TComponent::FreeAndNil(view);
        UnitTableTest::TearDown();
    }

    // The configuration of the indicator print window.
    void Configure()
    {
        tree->SetAdoConn(conn);
        tree->SetSqlTable({UnitRowSource()});
        tree->SetFieldId(QStringLiteral("eid"));
        tree->SetFieldPid(QStringLiteral("peid"));
        tree->SetFieldIsLeaf(QStringLiteral("leafflag"));
        tree->SetFieldCaption(QStringLiteral("ename"));
        tree->SetFieldText(QStringLiteral("tname"));
        tree->SetTopVirNodeIdValue(QString());
        tree->SetValueIsLeaf(QStringLiteral("1"));
        tree->SetTopVirNodeTitle(kTitle);
        tree->SetTreeView(view);
    }

    TTreeNode* Top() const { return view->Items()->GetFirstNode(); }
    TTreeNode* FindById(const QString& id) const
    {
        for (TTreeNode* n = Top(); n; n = n->GetNext())
            if (Info(n) && Info(n)->Kind == ikDataNode && Info(n)->Id == id)
                return n;
        return nullptr;
    }
    static QStringList ChildIds(TTreeNode* node)
    {
        QStringList ids;
        for (TTreeNode* c = node->getFirstChild(); c; c = c->getNextSibling())
            ids << (Info(c) && Info(c)->Kind == ikDummyNode ? QStringLiteral("【】") : Info(c)->Id);
        return ids;
    }
    // Every loaded node has exactly the children that the table gives its id, and the
    // view's widget shows them all.
    void ExpectFullTree(const QList<Unit>& units)
    {
        const auto children = ChildrenByParent(units);
        ASSERT_NE(Top(), nullptr);
        int inWidget = 0;
        for (QTreeWidgetItemIterator it(static_cast<QTreeWidget*>(view->Widget())); *it; ++it)
            ++inWidget;
        EXPECT_EQ(inWidget, units.size() + 1);
        EXPECT_EQ(view->Items()->Count(), units.size() + 1);
        for (TTreeNode* n = Top(); n; n = n->GetNext()) {
            SCOPED_TRACE(n->Text().toStdString());
            EXPECT_EQ(ChildIds(n), children.value(Info(n)->Id));
        }
    }

    TTreeView* view = nullptr;
    TDynamicTree* tree = nullptr;
    QStringList statements;
};

TEST_P(DynamicTreeTest, ActivationReportsTheFirstMissingPropertyAndChangesNothing)
{
    enum Fault { NoView, NoConn, ConnClosed, NoSql, NoId, NoPid, NoLeaf, NoCaption, NoText };
    struct Case {
        Fault first;   // this fault and every later one are present
        QString message;
    };
    const QString missing = QStringLiteral("没有指定%1属性值！");
    const Case cases[] = {
        {NoView, missing.arg("TreeView")},
        {NoConn, missing.arg("AdoConn")},
        {ConnClosed, QStringLiteral("指定的AdoConnection没有打开！")},
        {NoSql, missing.arg("SqlTable")},
        {NoId, missing.arg("FieldId")},
        {NoPid, missing.arg("FieldPid")},
        {NoLeaf, missing.arg("FieldIsLeaf")},
        {NoCaption, missing.arg("FieldCaption")},
        {NoText, missing.arg("FieldText")},
    };
    TTreeNode* existing = view->Items()->AddChild(nullptr, QStringLiteral("already here"));
    int previousHandlerCalls = 0;
    view->OnExpanding = [&](TObject*, TTreeNode*, bool&) { ++previousHandlerCalls; };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        TDynamicTree probe(nullptr);
        auto* other = new TADOConnection(nullptr);
        other->SetConnectionString(db->ConnectionString());
        probe.SetTreeView(c.first <= NoView ? nullptr : view);
        probe.SetAdoConn(c.first <= NoConn ? nullptr : (c.first <= ConnClosed ? other : conn));
        probe.SetSqlTable(c.first <= NoSql ? QStringList{QStringLiteral("  "), QStringLiteral("\t")}
                                           : QStringList{UnitRowSource()});
        probe.SetFieldId(c.first <= NoId ? QString() : QStringLiteral("eid"));
        probe.SetFieldPid(c.first <= NoPid ? QStringLiteral("  ") : QStringLiteral("peid"));
        probe.SetFieldIsLeaf(c.first <= NoLeaf ? QString() : QStringLiteral("leafflag"));
        probe.SetFieldCaption(c.first <= NoCaption ? QString() : QStringLiteral("ename"));
        probe.SetFieldText(QStringLiteral("   "));   // always blank: the last check
        try {
            probe.SetActive(true);
            ADD_FAILURE() << "activation succeeded";
        } catch (const TExceptDynamicTree& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
        EXPECT_FALSE(probe.Active());
        EXPECT_EQ(view->Items()->GetFirstNode(), existing);
        EXPECT_EQ(view->Items()->Count(), 1);
        bool allow = true;
        view->OnExpanding(view, existing, allow);
        probe.SetAdoConn(nullptr);
        other->Free();
    }
    EXPECT_EQ(previousHandlerCalls, std::size(cases));
}

TEST_P(DynamicTreeTest, ARowSourceWithASyntaxErrorLeavesTheTreeActiveAndEmpty)
{
    Configure();
    tree->SetSqlTable({QStringLiteral("select eid,peid,leafflag,ename from pubdept wher useflag='0'")});
    EXPECT_NO_THROW(tree->SetActive(true));
    EXPECT_TRUE(tree->Active());
    EXPECT_EQ(view->Items()->Count(), 0);
    EXPECT_FALSE(tree->LastLoadError().isEmpty());
    EXPECT_EQ(statements.size(), 1);
}

TEST_P(DynamicTreeTest, TheLevelStatementWrapsTheRowSource)
{
    Configure();
    const QStringList twoLines = {QStringLiteral("select eid,peid,leafflag,ename,ename as tname"),
                                  QStringLiteral("from pubdept where useflag='0'  ")};
    struct Case {
        const char* name;
        QString orderBy;   // written after FieldId; "-" leaves FieldId's value
        QString id;
        QString expected;
    };
    const QString body = QStringLiteral("select a.* from (select eid,peid,leafflag,ename,ename as tname\n"
                                        "from pubdept where useflag='0') a where a.peid='");
    const Case cases[] = {
        {"FieldId sorts", "-", QStringLiteral("101"), body + "101' Order by a.eid"},
        {"no order", "", QStringLiteral("101"), body + "101'"},
        {"blank order", "  ", QString(), body + "'"},
        {"other order", " ename ", QStringLiteral("101"), body + "101' Order by a.ename"},
        {"quotes doubled", "", QStringLiteral("1'0'1"), body + "1''0''1'"},
    };
    tree->SetSqlTable(twoLines);
    tree->SetFieldPid(QStringLiteral(" peid\t"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tree->SetFieldId(QStringLiteral("eid"));
        if (c.orderBy != QLatin1String("-"))
            tree->SetFieldOrderBy(c.orderBy);
        EXPECT_EQ(tree->ChildrenStatement(c.id), c.expected);
    }
    // The statement a real activation runs is the same text.
    tree->SetFieldPid(QStringLiteral("peid"));
    tree->SetFieldId(QStringLiteral("eid"));
    tree->SetActive(true);
    ASSERT_FALSE(statements.isEmpty());
    EXPECT_EQ(statements.first(), body + "' Order by a.eid");
    EXPECT_EQ(ChildIds(Top()), ChildrenByParent(StandardUnits()).value(QString()));
    EXPECT_TRUE(tree->LastLoadError().isEmpty());
}

TEST_P(DynamicTreeTest, FieldPidWithSpacesWorksInTheStatementButDropsEveryRow)
{
    Configure();
    tree->SetFieldPid(QStringLiteral(" peid "));
    tree->SetActive(true);
    ASSERT_FALSE(statements.isEmpty());
    EXPECT_TRUE(statements.first().contains(QStringLiteral(" a where a.peid=''")));
    ASSERT_NE(Top(), nullptr);
    EXPECT_EQ(Top()->Text(), kTitle);
    EXPECT_FALSE(Top()->HasChildren());
    EXPECT_TRUE(tree->LastLoadError().contains(QStringLiteral(" peid ")));
}

TEST_P(DynamicTreeTest, UnknownColumnsDropTheirRowsQuietly)
{
    Configure();
    tree->SetFieldCaption(QStringLiteral("no_such_column"));
    EXPECT_NO_THROW(tree->SetActive(true));
    ASSERT_NE(Top(), nullptr);
    EXPECT_FALSE(Top()->HasChildren());
    EXPECT_TRUE(tree->LastLoadError().contains(QStringLiteral("no_such_column")));
}

TEST_P(DynamicTreeTest, NodesAreTitledByTheTextColumnOrByCaptionAndId)
{
    Configure();
    tree->SetActive(true);
    TTreeNode* city = FindById(QStringLiteral("101"));
    ASSERT_NE(city, nullptr);
    EXPECT_EQ(city->Text(), QStringLiteral("101 市本级"));
    EXPECT_EQ(Info(city)->Caption, QStringLiteral("市本级"));
    EXPECT_EQ(Info(city)->Pid, QString());
    EXPECT_EQ(Info(Top())->Pid, QStringLiteral("★"));
    EXPECT_EQ(Info(Top())->Caption, QStringLiteral("^_^"));
    EXPECT_EQ(Info(Top())->Kind, ikTopVirNode);

    tree->SetFieldText(QString());   // emptied after activation: later nodes
    city->SetExpanded(true);
    TTreeNode* finance = FindById(QStringLiteral("101001"));
    ASSERT_NE(finance, nullptr);
    EXPECT_EQ(finance->Text(), QStringLiteral("财政局(101001)"));
    EXPECT_EQ(city->Text(), QStringLiteral("101 市本级"));
}

TEST_P(DynamicTreeTest, TextAndRecordClassFromOnBeforAddNodeStay)
{
    Configure();
    int before = 0, after = 0;
    tree->OnBeforAddNode = [&](TObject* sender, TFields* fields, TTreeNode* node, TItemInfoClass& cls) {
        EXPECT_EQ(sender, tree);
        EXPECT_EQ(node->TreeView(), nullptr);   // not attached yet
        EXPECT_EQ(cls, &TItemInfo::staticMetaObject);
        ++before;
        cls = &TUnitInfo::staticMetaObject;
        node->SetText(fields ? QStringLiteral("单位") + fields->FieldByName(QStringLiteral("eid"))->AsString()
                             : QStringLiteral("自定义标题"));
    };
    tree->OnAfterAddNode = [&](TObject*, TFields* fields, TTreeNode* node, TItemInfo* info) {
        ++after;
        EXPECT_EQ(node->Data(), info);
        EXPECT_EQ(fields == nullptr, info->Kind == ikTopVirNode);
        ASSERT_NE(dynamic_cast<TUnitInfo*>(info), nullptr);
        static_cast<TUnitInfo*>(info)->Extra = QStringLiteral("x");
    };
    tree->SetActive(true);
    EXPECT_EQ(Top()->Text(), QStringLiteral("自定义标题"));
    TTreeNode* city = FindById(QStringLiteral("101"));
    ASSERT_NE(city, nullptr);
    EXPECT_EQ(city->Text(), QStringLiteral("单位101"));
    ASSERT_EQ(city->Count(), 1);
    EXPECT_NE(dynamic_cast<TUnitInfo*>(Info(city->getFirstChild())), nullptr);   // the dummy's record too
    const int firstLevel = ChildrenByParent(StandardUnits()).value(QString()).size();
    EXPECT_EQ(before, 1 + firstLevel);   // dummies fire neither event
    EXPECT_EQ(after, 1 + firstLevel);
}

TEST_P(DynamicTreeTest, ABadRecordClassIsAnError)
{
    Configure();
    tree->OnBeforAddNode = [](TObject*, TFields*, TTreeNode*, TItemInfoClass& cls) { cls = &TDynamicTree::staticMetaObject; };
    // The top node's record is made inside the build, whose errors are quiet.
    EXPECT_NO_THROW(tree->SetActive(true));
    EXPECT_TRUE(tree->Active());
    EXPECT_EQ(view->Items()->Count(), 0);
    EXPECT_EQ(tree->LastLoadError(), QStringLiteral("节点信息类TDynamicTree不是TItemInfo或它的派生类！"));
}

TEST_P(DynamicTreeTest, ActiveTwiceBuildsOnceAndANewTitleRebuilds)
{
    Configure();
    tree->SetActive(true);
    const int queries = statements.size();
    TTreeNode* top = Top();
    tree->SetActive(true);
    EXPECT_EQ(statements.size(), queries);
    EXPECT_EQ(Top(), top);

    tree->SetTopVirNodeTitle(kTitle);   // the same text: nothing
    EXPECT_EQ(statements.size(), queries);
    tree->SetTopVirNodeIdValue(QStringLiteral("101"));   // stored until the next build
    EXPECT_EQ(Info(Top())->Id, QString());
    EXPECT_EQ(statements.size(), queries);

    tree->SetTopVirNodeTitle(QStringLiteral("市本级单位"));
    EXPECT_TRUE(tree->Active());
    EXPECT_EQ(statements.size(), queries + 1);
    EXPECT_EQ(Top()->Text(), QStringLiteral("市本级单位"));
    EXPECT_EQ(Info(Top())->Id, QStringLiteral("101"));
    EXPECT_EQ(ChildIds(Top()), ChildrenByParent(StandardUnits()).value(QStringLiteral("101")));

    tree->SetActive(false);
    EXPECT_EQ(view->Items()->Count(), 0);
    tree->SetTopVirNodeTitle(QStringLiteral("另一个"));   // inactive: stays inactive
    EXPECT_FALSE(tree->Active());
    EXPECT_EQ(view->Items()->Count(), 0);
}

TEST_P(DynamicTreeTest, LazyLevelsCarryOneDummyAndLoadOnce)
{
    Configure();
    tree->SetActive(true);
    const auto children = ChildrenByParent(StandardUnits());
    EXPECT_EQ(statements.size(), 1);
    int nonLeaves = 0;
    for (TTreeNode* n = Top()->getFirstChild(); n; n = n->getNextSibling()) {
        SCOPED_TRACE(Info(n)->Id.toStdString());
        if (Info(n)->IsLeaf) {
            EXPECT_FALSE(n->HasChildren());
            EXPECT_TRUE(static_cast<TNodeItem*>(n)->ChildrenLoaded);
            continue;
        }
        ++nonLeaves;
        ASSERT_EQ(n->Count(), 1);
        EXPECT_EQ(n->getFirstChild()->Text(), QStringLiteral("【】"));
        EXPECT_EQ(Info(n->getFirstChild())->Kind, ikDummyNode);
        EXPECT_EQ(Info(n->getFirstChild())->Node, nullptr);
    }
    EXPECT_EQ(tree->DummyNodeCount(), nonLeaves);

    TTreeNode* city = FindById(QStringLiteral("101"));
    city->SetExpanded(true);
    EXPECT_EQ(statements.size(), 2);
    EXPECT_TRUE(city->Expanded());
    EXPECT_EQ(ChildIds(city), children.value(QStringLiteral("101")));
    city->SetExpanded(false);
    city->SetExpanded(true);
    EXPECT_EQ(statements.size(), 2);
    EXPECT_EQ(ChildIds(city), children.value(QStringLiteral("101")));
}

TEST_P(DynamicTreeTest, LoadAllReadsTheRowSourceOnce)
{
    Configure();
    tree->SetLoadAll(true);
    tree->SetActive(true);
    ExpectFullTree(StandardUnits());
    EXPECT_EQ(statements, QStringList{QStringLiteral("select a.* from (") + UnitRowSource() + ") a Order by a.eid"});
    EXPECT_EQ(tree->DummyNodeCount(), 0);
}

TEST_P(DynamicTreeTest, SwitchingLoadAllOnLoadsEveryPendingLevel)
{
    Configure();
    tree->SetActive(true);
    FindById(QStringLiteral("102"))->SetExpanded(true);
    ASSERT_GT(tree->DummyNodeCount(), 0);
    tree->SetLoadAll(true);
    EXPECT_EQ(tree->DummyNodeCount(), 0);
    ExpectFullTree(StandardUnits());
    // Two before; then the whole row source for every waiting level.
    EXPECT_EQ(statements.size(), 3);
}

// The nodes in view order with their depth, id, position among their siblings and text.
QStringList Dump(TTreeView* view)
{
    QStringList lines;
    for (TTreeNode* n = view->Items()->GetFirstNode(); n; n = n->GetNext())
        lines << QStringLiteral("%1 %2 %3 %4").arg(n->Level()).arg(Info(n)->Id).arg(n->Index()).arg(n->Text());
    return lines;
}

void ExpandAll(TTreeNode* node)
{
    node->SetExpanded(true);
    for (TTreeNode* c = node->getFirstChild(); c; c = c->getNextSibling())
        ExpandAll(c);
}

TEST_P(DynamicTreeTest, LoadAllGivesTheNodesAndEventsOfOneStatementPerNode)
{
    // Region 109 has more offices than one level statement takes ids (levels are read
    // one by one when a unit '0109' stands beside it); table numtree keeps its parent
    // codes as numbers, which read back without their leading zeros.
    QStringList bulk{QStringLiteral("('109','','大区','0')")};
    for (int i = 1; i <= 1050; ++i) {
        const QString office = QStringLiteral("109%1").arg(i, 4, 10, QLatin1Char('0'));
        bulk << QStringLiteral("('%1','109','科%1','0')").arg(office)
             << QStringLiteral("('%1','%2','组%1','1')").arg(office + QStringLiteral("001"), office);
    }
    for (qsizetype i = 0; i < bulk.size(); i += 500)
        conn->Execute(QStringLiteral("insert into pubdept (eid, peid, ename, leafflag) values ")
                      + bulk.mid(i, 500).join(QLatin1Char(',')));
    conn->Execute(QStringLiteral("create table numtree (eid varchar(20), peid integer, ename varchar(20), "
                                 "leafflag varchar(1), tname varchar(20))"));
    conn->Execute(QStringLiteral("insert into numtree values ('07',0,'甲','0','07 甲'),('08',0,'乙','0','08 乙'),"
                                 "('07002',7,'丙','1','07002 丙'),('07001',7,'丁','1','07001 丁'),"
                                 "('08001',8,'戊','0','08001 戊'),('08001001',8001,'己','1','08001001 己')"));
    // Table citree compares parent codes without regard to case: 'AB' lists the children
    // of 'ab' too, so the two never share a statement.
    const bool sqlite = db->Backend() == QLatin1String("sqlite");
    if (!sqlite)
        conn->Execute(QStringLiteral("create extension if not exists citext"));
    conn->Execute(QStringLiteral("create table citree (eid varchar(20), peid %1, ename varchar(20), "
                                 "leafflag varchar(1), tname varchar(20))")
                      .arg(sqlite ? QStringLiteral("varchar(20) collate nocase") : QStringLiteral("citext")));
    conn->Execute(QStringLiteral("insert into citree values ('ab','0','甲','0','ab 甲'),('AB','0','乙','0','AB 乙'),"
                                 "('ab1','ab','丙','1','ab1 丙'),('AB2','AB','丁','1','AB2 丁')"));
    // Table oddtree: a parent id that is NULL (no parent, not the top's ''), a parent
    // that is no row, an id that two rows share, and ids that differ in width only.
    conn->Execute(QStringLiteral("create table oddtree (eid varchar(20), peid varchar(20), ename varchar(20), "
                                 "leafflag varchar(1), tname varchar(20))"));
    conn->Execute(QStringLiteral("insert into oddtree values ('x1','','甲','0','x1 甲'),('x2','','乙','0','x2 乙'),"
                                 "('n1',null,'丙','0','n1 丙'),('o1','zz','丁','1','o1 丁'),"
                                 "('d1','x1','戊','0','d1 戊'),('d1','x2','戊','0','d1 戊'),('d1c','d1','己','1','d1c 己'),"
                                 "('ｂ1','x1','庚','0','ｂ1 庚'),('b1','x2','辛','0','b1 辛'),('b1c','b1','壬','1','b1c 壬'),"
                                 "('b1d','ｂ1','癸','1','b1d 癸')"));
    struct Case {
        const char* name;
        QString rowSource;   // empty: the print window's
        QString orderBy;
        QString topId;
        int maxStatements;   // 1: the whole row source; more: level by level after it
    };
    const Case cases[] = {
        {"code order", {}, QStringLiteral("eid"), {}, 1},
        {"name order", {}, QStringLiteral("ename"), {}, 1},
        {"a branch only", {}, QStringLiteral("eid"), QStringLiteral("101"), 1},
        {"ids that may read as one number: level by level, ids capped per statement",
         UnitRowSource() + QStringLiteral(" union all select '0109','','1','叶','0109 叶'"), QStringLiteral("eid"), {}, 6},
        {"null and missing parents, shared ids", QStringLiteral("select * from oddtree where eid not in ('b1','b1c')"),
         QStringLiteral("eid"), {}, 1},
        {"ids that differ in width only: level by level", QStringLiteral("select * from oddtree"), QStringLiteral("eid"),
         {}, 6},
        {"numeric parent column: node by node", QStringLiteral("select * from numtree"), QStringLiteral("eid"),
         QStringLiteral("0"), 6},
        {"case-blind parent column", QStringLiteral("select * from citree"), QStringLiteral("eid"), QStringLiteral("0"), 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Configure();
        if (!c.rowSource.isEmpty())
            tree->SetSqlTable({c.rowSource});
        tree->SetFieldOrderBy(c.orderBy);
        tree->SetTopVirNodeIdValue(c.topId);
        // The reference: every node opened by hand, one statement per node.
        tree->SetLoadAll(false);
        tree->SetActive(true);
        ExpandAll(Top());
        const QStringList reference = Dump(view);
        tree->SetActive(false);

        QStringList events;
        tree->OnBeforAddNode = [&](TObject*, TFields* fields, TTreeNode*, TItemInfoClass&) {
            events << QStringLiteral("before ") + (fields ? fields->FieldByName(QStringLiteral("eid"))->AsString() : QString());
        };
        // Each node is attached, and its later siblings are not yet, when its event comes.
        tree->OnAfterAddNode = [&](TObject*, TFields* fields, TTreeNode* node, TItemInfo* info) {
            events << QStringLiteral("after %1 %2 %3%4 %5")
                          .arg(node->Level())
                          .arg(info->Id)
                          .arg(node->Index())
                          .arg(node->TreeView() == view && !node->getNextSibling() ? QString() : QStringLiteral("?"))
                          .arg(fields ? fields->FieldByName(QStringLiteral("tname"))->AsString() : QString());
        };
        statements.clear();
        tree->SetLoadAll(true);
        tree->SetActive(true);
        EXPECT_EQ(Dump(view), reference);
        EXPECT_LE(statements.size(), c.maxStatements);
        // Events depth first, each with the fields of its own row.
        QStringList expected;
        for (const QString& line : reference) {
            const QStringList parts = line.split(QLatin1Char(' '));
            const bool top = parts[0] == QLatin1String("0");
            expected << QStringLiteral("before ") + (top ? QString() : parts[1])
                     << QStringLiteral("after ") + (top ? parts.mid(0, 3).join(QLatin1Char(' ')) + QStringLiteral(" ")
                                                        : line);
        }
        EXPECT_EQ(events, expected);
        tree->OnBeforAddNode = nullptr;
        tree->OnAfterAddNode = nullptr;
        tree->SetActive(false);
    }
}

TEST_P(DynamicTreeTest, FirstLeafIsSelectedAsSoonAsItIsAdded)
{
    Configure();
    tree->SetLoadAll(true);
    tree->SetAutoExpandKind(aekFirstLeaf);
    QList<TTreeNode*> changes;
    int nodesAtChange = -1;
    view->OnChange = [&](TObject*, TTreeNode* node) {
        changes << node;
        nodesAtChange = view->Items()->Count();
    };
    tree->SetActive(true);
    // The node reached by following first children from the top.
    TTreeNode* expected = Top();
    while (expected->getFirstChild())
        expected = expected->getFirstChild();
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes.first(), expected);
    EXPECT_EQ(view->Selected(), expected);
    EXPECT_LT(nodesAtChange, view->Items()->Count());   // before the rest was loaded
    for (TTreeNode* p = expected->Parent(); p; p = p->Parent())
        EXPECT_TRUE(p->Expanded()) << p->Text().toStdString();
    EXPECT_TRUE(static_cast<TNodeItem*>(expected)->AutoExpanded);
    EXPECT_FALSE(Top()->Selected());
}

TEST_P(DynamicTreeTest, FirstLeafWalkOpensLazyLevels)
{
    Configure();
    tree->SetAutoExpandKind(aekFirstLeaf);
    tree->SetActive(true);
    TTreeNode* selected = view->Selected();
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(Info(selected)->Kind, ikDataNode);
    EXPECT_FALSE(selected->HasChildren());
    // The first branch: every node on it is the first child of its parent.
    for (TTreeNode* n = selected; n->Parent(); n = n->Parent()) {
        EXPECT_EQ(n->Parent()->getFirstChild(), n);
        EXPECT_TRUE(n->Parent()->Expanded());
    }
}

TEST_P(DynamicTreeTest, TitleNodeIsOpenedOnceAndStaysClosedWhenTheUserClosesIt)
{
    Configure();
    tree->SetActive(true);   // aekTitleNode after construction
    EXPECT_TRUE(Top()->Selected());
    EXPECT_TRUE(Top()->Expanded());
    Top()->SetExpanded(false);
    FindById(QStringLiteral("101"))->SetExpanded(true);   // more rows arrive
    EXPECT_FALSE(Top()->Expanded());

    tree->SetAutoExpandKind(aekNone);
    tree->SetActive(false);
    tree->SetActive(true);
    EXPECT_FALSE(Top()->Selected());
    EXPECT_FALSE(Top()->Expanded());
    tree->SetAutoExpandKind(aekTitleNode);   // applied at once while active
    EXPECT_TRUE(Top()->Selected());
    EXPECT_TRUE(Top()->Expanded());
}

TEST_P(DynamicTreeTest, ClosingTheConnectionDeactivatesAtTheNextLoadStep)
{
    Configure();
    int previousHandlerCalls = 0;
    view->OnExpanding = [&](TObject*, TTreeNode*, bool&) { ++previousHandlerCalls; };
    tree->SetActive(true);
    const int callsAfterBuild = previousHandlerCalls;   // chained: the old handler still runs
    EXPECT_GT(callsAfterBuild, 0);
    conn->Close();
    EXPECT_TRUE(tree->Active());
    FindById(QStringLiteral("102"))->SetExpanded(true);
    EXPECT_FALSE(tree->Active());
    EXPECT_EQ(view->Items()->Count(), 0);
    TTreeNode* n = view->Items()->AddChild(nullptr, QStringLiteral("other"));
    bool allow = true;
    view->OnExpanding(view, n, allow);   // the old handler is back
    EXPECT_EQ(previousHandlerCalls, callsAfterBuild + 2);
}

TEST_P(DynamicTreeTest, ShuttingDownTheApplicationDeactivates)
{
    Configure();
    tree->SetActive(true);
    // An application object whose terminate flag is set (without ending Qt's loop).
    class TDyingApplication : public TApplication {
    public:
        TDyingApplication() : TApplication(nullptr) {}
        bool Terminated() const override { return true; }
    };
    TApplication* saved = Application;
    TDyingApplication dying;
    Application = &dying;
    FindById(QStringLiteral("101"))->SetExpanded(true);
    Application = saved;
    EXPECT_FALSE(tree->Active());
    EXPECT_EQ(view->Items()->Count(), 0);
}

TEST_P(DynamicTreeTest, IdsWithQuotesLoadTheirChildren)
{
    InsertUnits({{"104'", "", "引号'单位", "0"}, {"104'001", "104'", "下级'单位", "0"}, {"104'001001", "104'001", "末级", "1"}});
    Configure();
    tree->SetLoadAll(true);
    tree->SetActive(true);
    QList<Unit> all = StandardUnits();
    all += {{"104'", "", "", "0"}, {"104'001", "104'", "", "0"}, {"104'001001", "104'001", "", "1"}};
    ExpectFullTree(all);
    EXPECT_EQ(FindById(QStringLiteral("104'001"))->Text(), QStringLiteral("104'001 下级'单位"));
}

TEST_P(DynamicTreeTest, ARowWhoseParentLostItsRecordIsAnError)
{
    Configure();
    tree->SetActive(true);
    TTreeNode* city = FindById(QStringLiteral("101"));
    // After the first child of 101 arrives, 101 loses its record.
    tree->OnAfterAddNode = [&](TObject*, TFields*, TTreeNode* node, TItemInfo*) {
        if (node->Parent() == city && Info(city)) {
            delete Info(city);
            city->SetData(nullptr);
        }
    };
    try {
        city->SetExpanded(true);
        ADD_FAILURE() << "no error";
    } catch (const TExceptDynamicTree& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("节点信息丢失！"));
    }
    EXPECT_EQ(city->Count(), 1);   // the first child stays, the rest was not read
    EXPECT_TRUE(tree->Active());
}

TEST_P(DynamicTreeTest, AFailingDeeperLevelDropsItsBranchUnderLoadAll)
{
    Configure();
    tree->SetLoadAll(true);
    tree->OnBeforAddNode = [](TObject*, TFields* fields, TTreeNode*, TItemInfoClass&) {
        if (fields && fields->FieldByName(QStringLiteral("eid"))->AsString() == QLatin1String("101001001"))
            throw EDatabaseError(QStringLiteral("读取单位101001001失败"));
    };
    tree->SetActive(true);
    // 101001's level failed: the 101001 branch is gone, the rest is whole.
    EXPECT_EQ(FindById(QStringLiteral("101001")), nullptr);
    EXPECT_NE(FindById(QStringLiteral("101002")), nullptr);
    EXPECT_NE(FindById(QStringLiteral("102001001001")), nullptr);
    EXPECT_EQ(tree->LastLoadError(), QStringLiteral("读取单位101001001失败"));
}

TEST_P(DynamicTreeTest, PropertiesTakeEffectAsDesigned)
{
    tree->SetFieldOrderBy(QStringLiteral("ename"));
    tree->SetFieldId(QStringLiteral("eid"));
    EXPECT_EQ(tree->FieldOrderBy(), QStringLiteral("eid"));
    EXPECT_TRUE(tree->SyncDataLoad());
    EXPECT_EQ(tree->AutoExpandKind(), aekTitleNode);
    EXPECT_FALSE(tree->LoadAll());

    Configure();
    tree->SetActive(true);
    // Another view: rebuilt there, the first one cleared.
    auto* second = new TTreeView(nullptr);
    tree->SetTreeView(second);
    EXPECT_TRUE(tree->Active());
    EXPECT_EQ(view->Items()->Count(), 0);
    EXPECT_GT(second->Items()->Count(), 1);
    // The view goes: the tree hears it and deactivates.
    second->Free();
    EXPECT_EQ(tree->TreeView(), nullptr);
    EXPECT_FALSE(tree->Active());

    tree->SetTreeView(view);   // was inactive: stays inactive
    EXPECT_FALSE(tree->Active());
    tree->SetActive(true);
    auto* other = new TADOConnection(nullptr);
    tree->SetAdoConn(other);   // another connection: inactive, view cleared
    EXPECT_FALSE(tree->Active());
    EXPECT_EQ(view->Items()->Count(), 0);
    other->Free();
    EXPECT_EQ(tree->AdoConn(), nullptr);
}

class TTreeHostForm : public TForm {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TTreeHostForm(TComponent* AOwner) : TForm(AOwner) {}
};

TEST_P(DynamicTreeTest, AFormResourceCreatesTheTreeByClassName)
{
    auto* form = new TTreeHostForm(nullptr);
    ReadComponentResource(form, QStringLiteral("dynamic-tree-test"),
                          QStringLiteral("object frmHost: TTreeHostForm\n"
                                         "  object trvList: TTreeView\n"
                                         "    Align = alClient\n"
                                         "  end\n"
                                         "  object dtrvEid: TDynamicTree\n"
                                         "    TreeView = trvList\n"
                                         "    Active = False\n"
                                         "    LoadAll = True\n"
                                         "    AutoExpandKind = aekFirstLeaf\n"
                                         "    SyncDataLoad = True\n"
                                         "  end\n"
                                         "end\n"));
    auto* dtrv = dynamic_cast<TDynamicTree*>(form->FindComponent(QStringLiteral("dtrvEid")));
    ASSERT_NE(dtrv, nullptr);
    EXPECT_EQ(dtrv->TreeView(), form->FindComponent(QStringLiteral("trvList")));
    EXPECT_TRUE(dtrv->LoadAll());
    EXPECT_EQ(dtrv->AutoExpandKind(), aekFirstLeaf);
    EXPECT_TRUE(dtrv->SyncDataLoad());
    EXPECT_FALSE(dtrv->Active());
    form->Free();
}

INSTANTIATE_TEST_SUITE_P(Backends, DynamicTreeTest, ::testing::ValuesIn(testsupport::Backends()), BackendName);

} // namespace

#include "DynamicTreeTest.moc"
