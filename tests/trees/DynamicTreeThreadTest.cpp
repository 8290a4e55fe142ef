// The dynamic tree in background mode: levels opened by query threads, rows added on
// the user-interface thread, and pending levels that must deliver nothing once the
// tree, its view or its connection has gone away.
#include <gtest/gtest.h>

#include "platform/ADODB.h"
#include "platform/TreeView.h"
#include "tests/trees/UnitTreeFixture.h"
#include "trees/untDynamicTree.h"
#include "trees/untQueryThread.h"

using namespace unittree;

namespace {

class BackgroundTreeTest : public UnitTableTest {
protected:
    void SetUp() override
    {
        UnitTableTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        view = new TTreeView(nullptr);
        view->SetBounds(0, 0, 300, 800);
        view->Widget()->show();
        tree = new TDynamicTree(nullptr);
        tree->OnLevelQuery = [this](TObject*, const QString&) { ++levels; };
        tree->OnAfterAddNode = [this](TObject*, TFields* fields, TTreeNode*, TItemInfo*) {
            if (fields)
                ++rowsAdded;
        };
        tree->SetAdoConn(conn);
        tree->SetSqlTable({UnitRowSource()});
        tree->SetFieldId(QStringLiteral("eid"));
        tree->SetFieldPid(QStringLiteral("peid"));
        tree->SetFieldIsLeaf(QStringLiteral("leafflag"));
        tree->SetFieldCaption(QStringLiteral("ename"));
        tree->SetFieldText(QStringLiteral("tname"));
        tree->SetValueIsLeaf(QStringLiteral("1"));
        tree->SetTopVirNodeTitle(QStringLiteral("预算单位列表"));
        tree->SetSyncDataLoad(false);
        tree->SetTreeView(view);
    }
    void TearDown() override
    {
        TComponent::FreeAndNil(tree);
        EXPECT_TRUE(WaitForQueryThreads());
        TComponent::FreeAndNil(view);
        UnitTableTest::TearDown();
    }

    bool WaitForLevels()
    {
        return WaitUntil([this] { return tree->PendingLevelCount() == 0 && TQueryThread::LiveCount() == 0; });
    }
    TTreeNode* Top() const { return view->Items()->GetFirstNode(); }
    TTreeNode* FindById(const QString& id) const
    {
        for (TTreeNode* n = Top(); n; n = n->GetNext())
            if (Info(n) && Info(n)->Kind == ikDataNode && Info(n)->Id == id)
                return n;
        return nullptr;
    }
    void ExpectFullTree()
    {
        const auto children = ChildrenByParent(StandardUnits());
        ASSERT_NE(Top(), nullptr);
        EXPECT_EQ(view->Items()->Count(), StandardUnits().size() + 1);
        for (TTreeNode* n = Top(); n; n = n->GetNext()) {
            QStringList ids;
            for (TTreeNode* c = n->getFirstChild(); c; c = c->getNextSibling())
                ids << Info(c)->Id;
            EXPECT_EQ(ids, children.value(Info(n)->Id)) << n->Text().toStdString();
        }
    }

    TTreeView* view = nullptr;
    TDynamicTree* tree = nullptr;
    int levels = 0;
    int rowsAdded = 0;
};

TEST_P(BackgroundTreeTest, LoadsEveryLevelThroughQueryThreads)
{
    tree->SetLoadAll(true);
    tree->SetAutoExpandKind(aekFirstLeaf);
    tree->SetActive(true);
    ASSERT_NE(Top(), nullptr);
    EXPECT_FALSE(Top()->HasChildren());   // the first level is still opening
    EXPECT_EQ(tree->PendingLevelCount(), 1);
    ASSERT_TRUE(WaitForLevels());
    ExpectFullTree();
    EXPECT_EQ(levels, NonLeafCount(StandardUnits()) + 1);
    TTreeNode* firstLeaf = Top();
    while (firstLeaf->getFirstChild())
        firstLeaf = firstLeaf->getFirstChild();
    EXPECT_EQ(view->Selected(), firstLeaf);
    for (TTreeNode* p = firstLeaf->Parent(); p; p = p->Parent())
        EXPECT_TRUE(p->Expanded()) << p->Text().toStdString();
    EXPECT_TRUE(tree->LastLoadError().isEmpty());
}

TEST_P(BackgroundTreeTest, AUserExpansionOpensTheNodeWhenItsFirstRowArrives)
{
    tree->SetActive(true);
    ASSERT_TRUE(WaitForLevels());
    TTreeNode* city = FindById(QStringLiteral("101"));
    ASSERT_NE(city, nullptr);
    city->SetExpanded(true);
    EXPECT_FALSE(city->HasChildren());   // the dummy went, the rows are on their way
    ASSERT_TRUE(WaitForLevels());
    EXPECT_TRUE(city->Expanded());
    EXPECT_EQ(city->Count(), ChildrenByParent(StandardUnits()).value(QStringLiteral("101")).size());
    EXPECT_EQ(levels, 2);
}

TEST_P(BackgroundTreeTest, RowsFollowTheLoadThatDeliversThemNotTheCurrentMode)
{
    tree->SetLoadAll(true);
    tree->SetActive(true);
    tree->SetSyncDataLoad(true);   // deeper levels now load on this thread
    ASSERT_TRUE(WaitForLevels());
    ExpectFullTree();
}

// Every way a pending level can lose its receiver: nothing of it ever appears, the
// threads end and free themselves (and their queries: see the leak-checked run).
TEST_P(BackgroundTreeTest, APendingLevelDeliversNothingOnceItsTreeIsGone)
{
    enum How { Deactivated, ViewFreed, ConnectionClosed, TreeFreed };
    const std::pair<const char*, How> cases[] = {
        {"deactivated", Deactivated},
        {"view freed", ViewFreed},
        {"connection closed", ConnectionClosed},
        {"tree freed", TreeFreed},
    };
    for (const auto& [name, how] : cases) {
        SCOPED_TRACE(name);
        if (!view) {
            view = new TTreeView(nullptr);
            tree->SetTreeView(view);
        }
        if (!tree->AdoConn())
            tree->SetAdoConn(conn);
        if (!conn->Connected())
            conn->Open();
        rowsAdded = 0;
        tree->SetLoadAll(true);
        tree->SetActive(true);
        ASSERT_EQ(tree->PendingLevelCount(), 1);
        switch (how) {
        case Deactivated: tree->SetActive(false); break;
        case ViewFreed: TComponent::FreeAndNil(view); break;
        case ConnectionClosed: conn->Close(); break;
        case TreeFreed: TComponent::FreeAndNil(tree); break;
        }
        ASSERT_TRUE(WaitForQueryThreads());
        EXPECT_EQ(rowsAdded, 0);
        if (view) {
            EXPECT_EQ(view->Items()->Count(), 0);
        }
        if (!tree)
            break;
        EXPECT_FALSE(tree->Active());
        EXPECT_EQ(tree->PendingLevelCount(), 0);
        tree->SetLoadAll(false);
    }
}

TEST_P(BackgroundTreeTest, DeactivatingMidwayStopsTheRemainingLevels)
{
    tree->SetLoadAll(true);
    tree->SetActive(true);
    ASSERT_TRUE(WaitUntil([this] { return rowsAdded > 0; }));
    tree->SetActive(false);
    const int seen = rowsAdded;
    ASSERT_TRUE(WaitForQueryThreads());
    EXPECT_EQ(rowsAdded, seen);
    EXPECT_EQ(view->Items()->Count(), 0);
}

TEST_P(BackgroundTreeTest, ARebuildWhileALevelIsPendingLoadsEachRowOnce)
{
    tree->SetLoadAll(true);
    tree->SetActive(true);
    tree->SetTopVirNodeTitle(QStringLiteral("重建"));   // rebuilds while the first level opens
    ASSERT_TRUE(WaitForLevels());
    ExpectFullTree();
    EXPECT_EQ(Top()->Text(), QStringLiteral("重建"));
}

INSTANTIATE_TEST_SUITE_P(Backends, BackgroundTreeTest, ::testing::ValuesIn(testsupport::Backends()), BackendName);

} // namespace
