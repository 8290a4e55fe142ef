// The check tree on a real tree view: clicks on state images and the space key flip
// nodes, the new state goes down to the descendants and the ancestors are recomputed;
// vetoes, nodes without check boxes, inactivity, hints, properties and form resources.
#include <QApplication>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>
#include <vector>

#include "platform/FormResource.h"
#include "platform/StdCtrls.h"
#include "tests/trees/CheckTreeTestSupport.h"

using namespace checktreetest;

namespace {

// --- flipping and propagation, table-driven ---------------------------------------------

struct FlipCase {
    const char* label;
    std::vector<NodeSpec> nodes;
    const char* clicked;
    QStringList vetoes;
    const char* statesAfter;
    QStringList events;
};

void PrintTo(const FlipCase& c, std::ostream* os) { *os << c.label; }

class Flips : public CheckTreeFixture, public ::testing::WithParamInterface<FlipCase> {};

const FlipCase kFlipCases[] = {
    {"an unchecked node checks every descendant reachable through check boxes",
     {{"R", "", 1}, {"A", "R", 1}, {"A1", "A", 1}, {"A2", "A", 3}, {"Z", "R", 0}, {"Z1", "Z", 1},
      {"N", "R", -1}, {"N1", "N", 1}, {"B", "R", 1}},
     "R", {},
     "R:2 A:2 A1:2 A2:2 Z:0 Z1:1 N:-1 N1:1 B:2",
     {"Before(R)", "Change(R,clk,empty->checked)", "Change(A,cld,empty->checked)",
      "Change(A1,cld,empty->checked)", "Change(A2,cld,grayed->checked)", "Change(B,cld,empty->checked)"}},
    {"a checked node empties its subtree",
     {{"R", "", 2}, {"A", "R", 2}, {"A1", "A", 2}, {"B", "R", 2}},
     "R", {},
     "R:1 A:1 A1:1 B:1",
     {"Before(R)", "Change(R,clk,checked->empty)", "Change(A,cld,checked->empty)",
      "Change(A1,cld,checked->empty)", "Change(B,cld,checked->empty)"}},
    {"a grayed node becomes checked with its whole subtree (asked also where nothing changes)",
     {{"R", "", 3}, {"A", "R", 2}, {"B", "R", 1}, {"B1", "B", 1}},
     "R", {},
     "R:2 A:2 B:2 B1:2",
     {"Before(R)", "Change(R,clk,grayed->checked)", "Change(A,cld,checked->checked)",
      "Change(B,cld,empty->checked)", "Change(B1,cld,empty->checked)"}},
    {"unchecking one of two checked children grays the ancestors up to the first grayed one",
     {{"T", "", 2}, {"G", "T", 3}, {"X", "G", 1}, {"P", "G", 2}, {"Q", "P", 2}, {"C1", "Q", 2}, {"C2", "Q", 2}},
     "C1", {},
     "T:2 G:3 X:1 P:3 Q:3 C1:1 C2:2",
     {"Before(C1)", "Change(C1,clk,checked->empty)", "Change(Q,par,checked->grayed)",
      "Change(P,par,checked->grayed)"}},
    {"unchecking the only child of a checked parent empties the parent, and upwards",
     {{"T", "", 3}, {"P", "T", 2}, {"C", "P", 2}, {"S", "T", 1}},
     "C", {},
     "T:1 P:1 C:1 S:1",
     {"Before(C)", "Change(C,clk,checked->empty)", "Change(P,par,checked->empty)",
      "Change(T,par,grayed->empty)"}},
    {"checking the last unchecked child checks the parent; children without check boxes are ignored",
     {{"T", "", 3}, {"A", "T", 2}, {"Z", "T", 0}, {"B", "T", 1}},
     "B", {},
     "T:2 A:2 Z:0 B:2",
     {"Before(B)", "Change(B,clk,empty->checked)", "Change(T,par,grayed->checked)"}},
    {"a vetoed descendant keeps its subtree, the flipped node its new state, the ancestors are recomputed",
     {{"T", "", 1}, {"R", "T", 1}, {"A", "R", 1}, {"A1", "A", 1}, {"B", "R", 1}, {"B1", "B", 1}, {"S", "T", 1}},
     "R", {"A"},
     "T:3 R:2 A:1 A1:1 B:2 B1:2 S:1",
     {"Before(R)", "Change(R,clk,empty->checked)", "Change(A,cld,empty->checked)",
      "Change(B,cld,empty->checked)", "Change(B1,cld,empty->checked)", "Change(T,par,empty->grayed)"}},
    {"a vetoed flip changes nothing and pushes nothing",
     {{"T", "", 1}, {"R", "T", 1}, {"A", "R", 1}},
     "R", {"R"},
     "T:1 R:1 A:1",
     {"Before(R)", "Change(R,clk,empty->checked)"}},
    {"a vetoed ancestor stops the way up",
     {{"T", "", 2}, {"P", "T", 2}, {"C1", "P", 2}, {"C2", "P", 2}},
     "C1", {"P"},
     "T:2 P:2 C1:1 C2:2",
     {"Before(C1)", "Change(C1,clk,checked->empty)", "Change(P,par,checked->grayed)"}},
    {"an ancestor without a check box is never changed nor passed through",
     {{"T", "", 1}, {"Z", "T", 0}, {"Z1", "Z", 1}, {"Z2", "Z", 1}},
     "Z1", {},
     "T:1 Z:0 Z1:2 Z2:1",
     {"Before(Z1)", "Change(Z1,clk,empty->checked)"}},
};

TEST_P(Flips, ClickOnTheStateImage)
{
    const FlipCase& c = GetParam();
    tv->Build(c.nodes);
    vetoes = c.vetoes;
    tv->ClickStateImage(QString::fromUtf8(c.clicked));
    EXPECT_EQ(tv->States(), QString::fromUtf8(c.statesAfter));
    EXPECT_EQ(TakeEvents(), c.events);
    EXPECT_EQ(BaseMessagesForView(), (QList<unsigned>{WM_LBUTTONDOWN, WM_LBUTTONUP}))
        << "the handler before the check tree gets every message";
}

TEST_P(Flips, SpaceOnTheSelectedNode)
{
    const FlipCase& c = GetParam();
    tv->Build(c.nodes);
    vetoes = c.vetoes;
    tv->view()->SetSelected(tv->Node(QString::fromUtf8(c.clicked)));
    tv->PressSpace();
    EXPECT_EQ(tv->States(), QString::fromUtf8(c.statesAfter));
    EXPECT_EQ(TakeEvents(), c.events);
}

INSTANTIATE_TEST_SUITE_P(Cases, Flips, ::testing::ValuesIn(kFlipCases));

// --- where a click lands --------------------------------------------------------------

TEST_F(CheckTreeFixture, OnlyAClickOnTheStateImageFlips)
{
    tv->Build({{"R", "", 1}, {"A", "R", 1}, {"B", "", 1}});
    TTreeNode* r = tv->Node(QStringLiteral("R"));
    const QRect label = r->DisplayRect(true);
    struct Where {
        const char* what;
        QPoint point;
    };
    const Where misses[] = {
        {"label", label.center()},
        {"icon", r->IconRect().center()},
        {"right of the label", QPoint(label.right() + 20, label.center().y())},
        {"below the nodes", QPoint(label.center().x(), tv->Node(QStringLiteral("B"))->DisplayRect(false).bottom() + 40)},
    };
    for (const Where& w : misses) {
        SCOPED_TRACE(w.what);
        tv->ClickAt(w.point);
        EXPECT_EQ(tv->States(), QStringLiteral("R:1 A:1 B:1"));
        EXPECT_EQ(TakeEvents(), QStringList());
    }
    tv->ClickStateImage(QStringLiteral("R"));
    EXPECT_EQ(tv->States(), QStringLiteral("R:2 A:2 B:1"));
}

TEST_F(CheckTreeFixture, AClickOnTheStateColumnOfANodeWithoutCheckBoxChangesNothing)
{
    tv->Build({{"Z", "", 0}, {"Z1", "Z", 1}, {"D", "", -1}, {"D1", "D", 1}});
    for (const char* name : {"Z", "D"}) {
        SCOPED_TRACE(name);
        tv->ClickStateImage(QString::fromUtf8(name));
        EXPECT_EQ(tv->States(), QStringLiteral("Z:0 Z1:1 D:-1 D1:1"));
        for (const QString& e : TakeEvents())
            EXPECT_TRUE(e.startsWith(QStringLiteral("Before("))) << "no change is asked for: " << e.toStdString();
    }
}

TEST_F(CheckTreeFixture, AHandlerThatTakesTheClickOverCancelsTheFlip)
{
    tv->Build({{"R", "", 1}, {"A", "R", 1}});
    takeOverClicks = true;
    tv->ClickStateImage(QStringLiteral("R"));
    tv->view()->SetSelected(tv->Node(QStringLiteral("A")));
    tv->PressSpace();
    EXPECT_EQ(tv->States(), QStringLiteral("R:1 A:1"));
    EXPECT_EQ(TakeEvents(), (QStringList{"Before(R)", "Before(A)"}));
}

// --- the space key ----------------------------------------------------------------------

struct SpaceCase {
    const char* label;
    Qt::KeyboardModifiers modifiers;
    bool flips;
};

class SpaceKey : public CheckTreeFixture, public ::testing::WithParamInterface<SpaceCase> {};

TEST_P(SpaceKey, FlipsOnlyWithoutCtrlAltOrShift)
{
    const SpaceCase& c = GetParam();
    tv->Build({{"R", "", 1}, {"A", "R", 1}});
    tv->view()->SetSelected(tv->Node(QStringLiteral("R")));
    tv->PressSpace(c.modifiers);
    EXPECT_EQ(tv->States(), c.flips ? QStringLiteral("R:2 A:2") : QStringLiteral("R:1 A:1"));
    EXPECT_EQ(TakeEvents().isEmpty(), !c.flips);
    EXPECT_EQ(BaseMessagesForView(), (QList<unsigned>{WM_KEYDOWN, WM_KEYUP}));
}

INSTANTIATE_TEST_SUITE_P(Cases, SpaceKey,
                         ::testing::Values(SpaceCase{"plain", Qt::NoModifier, true},
                                           SpaceCase{"ctrl", Qt::ControlModifier, false},
                                           SpaceCase{"alt", Qt::AltModifier, false},
                                           SpaceCase{"shift", Qt::ShiftModifier, false},
                                           SpaceCase{"ctrl+shift", Qt::ControlModifier | Qt::ShiftModifier, false}),
                         [](const auto& tp) {
                             std::string name = tp.param.label;
                             std::replace(name.begin(), name.end(), '+', '_');
                             return name;
                         });

TEST_F(CheckTreeFixture, SpaceWithoutASelectedNodeAsksWithNilAndFlipsNothing)
{
    tv->Build({{"R", "", 1}, {"A", "R", 2}});
    tv->view()->SetSelected(nullptr);
    ASSERT_EQ(tv->view()->Selected(), nullptr);
    tv->PressSpace();
    EXPECT_EQ(TakeEvents(), QStringList{"Before(nil)"});
    EXPECT_EQ(tv->States(), QStringLiteral("R:1 A:2"));
}

TEST_F(CheckTreeFixture, OtherKeysDoNothing)
{
    tv->Build({{"R", "", 1}});
    tv->view()->SetSelected(tv->Node(QStringLiteral("R")));
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_A, Qt::Key_Left})
        QTest::keyClick(tv->view()->Handle(), key);
    EXPECT_EQ(TakeEvents(), QStringList());
    EXPECT_EQ(tv->States(), QStringLiteral("R:1"));
}

// --- activity and the view ---------------------------------------------------------------

struct QuietCase {
    const char* label;
    bool active;
    bool withView;
};

class Quiet : public CheckTreeFixture, public ::testing::WithParamInterface<QuietCase> {};

TEST_P(Quiet, NothingReactsAndThePreviousHandlerGetsEveryMessage)
{
    const QuietCase& c = GetParam();
    tv->Build({{"R", "", 1}, {"A", "R", 1}});
    tree->SetActive(c.active);
    if (!c.withView)
        tree->SetTreeViewWindow(nullptr);
    TTreeNode* r = tv->Node(QStringLiteral("R"));
    tv->view()->SetHint(QStringLiteral("视图提示"));
    tv->MoveMouseTo(r->DisplayRect(true).center());
    tv->ClickStateImage(QStringLiteral("R"));
    tv->view()->SetSelected(r);
    tv->PressSpace();
    EXPECT_EQ(tv->States(), QStringLiteral("R:1 A:1"));
    EXPECT_EQ(TakeEvents(), QStringList());
    EXPECT_EQ(BaseMessagesForView(),
              (QList<unsigned>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_KEYDOWN, WM_KEYUP}));
    EXPECT_EQ(tv->view()->Hint(), QStringLiteral("视图提示"));
}

INSTANTIATE_TEST_SUITE_P(Cases, Quiet,
                         ::testing::Values(QuietCase{"inactive", false, true}, QuietCase{"no_view", true, false},
                                           QuietCase{"inactive_no_view", false, false}),
                         [](const auto& tp) { return std::string(tp.param.label); });

TEST_F(CheckTreeFixture, SwitchingActiveOnAndOffTakesEffectAtTheNextMessage)
{
    tv->Build({{"R", "", 1}});
    tree->SetActive(false);
    tv->ClickStateImage(QStringLiteral("R"));
    EXPECT_EQ(tv->States(), QStringLiteral("R:1"));
    tree->SetActive(true);
    tv->ClickStateImage(QStringLiteral("R"));
    EXPECT_EQ(tv->States(), QStringLiteral("R:2"));
}

TEST_F(CheckTreeFixture, AFreedViewClearsTreeViewWindowAndMessagesStillPass)
{
    ASSERT_EQ(tree->TreeViewWindow(), tv->view());
    tv->FreeView();
    EXPECT_EQ(tree->TreeViewWindow(), nullptr);

    QWidget other;
    other.resize(50, 50);
    other.show();
    seen.clear();
    QTest::mouseClick(&other, Qt::LeftButton, {}, QPoint(5, 5));
    QList<unsigned> ids;
    for (const SeenMessage& m : seen)
        if (m.hwnd == &other)
            ids << m.message;
    EXPECT_EQ(ids, (QList<unsigned>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
}

TEST_F(CheckTreeFixture, AnotherViewTakesOverAndTheOldOneNoLongerNotifies)
{
    TestView second;
    second.Build({{"S", "", 1}});
    tv->Build({{"R", "", 1}});
    tree->SetTreeViewWindow(second.view());
    tv->ClickStateImage(QStringLiteral("R"));
    second.ClickStateImage(QStringLiteral("S"));
    EXPECT_EQ(tv->States(), QStringLiteral("R:1"));
    EXPECT_EQ(second.States(), QStringLiteral("S:2"));
    tv->FreeView();   // the old view: no notice reaches the tree any more
    EXPECT_EQ(tree->TreeViewWindow(), second.view());
    tree->SetTreeViewWindow(nullptr);
}

// A check tree that lets the test ask which control a message is addressed to.
class TProbeCheckTree : public TCheckTree {
public:
    using TCheckTree::FindMessageControl;
    TProbeCheckTree() : TCheckTree(nullptr) {}
};

TEST_F(CheckTreeFixture, MessagesForTheViewsChildWindowsAreFoundButNotActedOn)
{
    tv->Build({{"R", "", 1}});
    TCustomTreeView* view = tv->view();
    auto* editor = new TCustomControl(view);
    editor->SetParent(view);
    editor->Widget()->setGeometry(view->Handle()->geometry());
    editor->Widget()->show();
    editor->Widget()->raise();
    QWidget stranger;

    auto* probe = new TProbeCheckTree;
    probe->SetTreeViewWindow(view);
    EXPECT_EQ(probe->FindMessageControl(view->Handle()), view);
    EXPECT_EQ(probe->FindMessageControl(editor->Handle()), editor);
    EXPECT_EQ(probe->FindMessageControl(view->Widget()), nullptr) << "the frame is not the view's window";
    EXPECT_EQ(probe->FindMessageControl(&stranger), nullptr);
    probe->Free();

    // The editor lies over the viewport: the state image's point, but not the view's window.
    QTest::mouseClick(editor->Handle(), Qt::LeftButton, {}, tv->Node(QStringLiteral("R"))->StateIconRect().center());
    EXPECT_EQ(tv->States(), QStringLiteral("R:1"));
    EXPECT_EQ(TakeEvents(), QStringList());
    editor->Free();
}

// --- hints ------------------------------------------------------------------------------

// Qt hides a hint after a short delay: wait until it is gone.
void HideHint()
{
    QToolTip::hideText();
    ASSERT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 5000));
}

// The hint on the screen, empty when none is shown.
QString OfferedHint()
{
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

TEST_F(CheckTreeFixture, MouseMessagesOfferTheNodeTextAndKeepTheViewsOwnHint)
{
    tv->Build({{"R", "", 1}, {"甲单位", "R", 1}, {"B", "", 1}});
    TCustomTreeView* view = tv->view();
    view->SetHint(QStringLiteral("视图自己的提示"));

    HideHint();
    tv->MoveMouseTo(tv->Node(QStringLiteral("甲单位"))->DisplayRect(true).center());
    EXPECT_EQ(OfferedHint(), QStringLiteral("甲单位"));
    EXPECT_EQ(view->Hint(), QStringLiteral("视图自己的提示"));
    EXPECT_EQ(view->Widget()->toolTip(), QStringLiteral("视图自己的提示"));

    HideHint();
    tv->ClickAt(tv->Node(QStringLiteral("B"))->DisplayRect(true).center());
    EXPECT_EQ(OfferedHint(), QStringLiteral("B"));
    EXPECT_EQ(view->Hint(), QStringLiteral("视图自己的提示"));

    HideHint();
    tv->MoveMouseTo(QPoint(10, tv->Node(QStringLiteral("B"))->DisplayRect(false).bottom() + 40));
    EXPECT_EQ(OfferedHint(), QString()) << "no node, no hint";
    EXPECT_EQ(view->Hint(), QStringLiteral("视图自己的提示"));
}

TEST_F(CheckTreeFixture, WithoutNodeTextAsHintNoHintIsOffered)
{
    tv->Build({{"R", "", 1}});
    tree->SetNodeTextAsHint(false);
    tv->view()->SetHint(QStringLiteral("视图提示"));
    HideHint();
    tv->MoveMouseTo(tv->Node(QStringLiteral("R"))->DisplayRect(true).center());
    EXPECT_EQ(OfferedHint(), QString());
    EXPECT_EQ(tv->view()->Hint(), QStringLiteral("视图提示"));
}

// --- properties -------------------------------------------------------------------------

TEST(CheckTreeProperties, DefaultsAfterConstruction)
{
    auto* tree = new TCheckTree(nullptr);
    EXPECT_FALSE(tree->Active());
    EXPECT_EQ(tree->TreeViewWindow(), nullptr);
    EXPECT_EQ(tree->StateIdxEmpty(), 1);
    EXPECT_EQ(tree->StateIdxChecked(), 2);
    EXPECT_EQ(tree->StateIdxGrayed(), 3);
    EXPECT_TRUE(tree->NodeTextAsHint());
    EXPECT_FALSE(tree->OnChangeStateIndex.Assigned());
    EXPECT_FALSE(tree->OnBeforClickTreeNode.Assigned());
    tree->Free();
}

struct IndexProperty {
    const char* name;
    int (TCheckTree::*get)() const;
    void (TCheckTree::*set)(int);
};

class StateIndexProperties : public ::testing::TestWithParam<IndexProperty> {};

TEST_P(StateIndexProperties, BelowOneRaisesAndKeepsTheOldValue)
{
    const IndexProperty& p = GetParam();
    auto* tree = new TCheckTree(nullptr);
    (tree->*p.set)(7);
    EXPECT_EQ((tree->*p.get)(), 7);
    for (int bad : {0, -1}) {
        try {
            (tree->*p.set)(bad);
            ADD_FAILURE() << "no exception for " << bad;
        } catch (const TExceptCheckTree& e) {
            EXPECT_EQ(e.Message(), QString::fromUtf8(p.name) + QStringLiteral("属性的值必须大于0"));
        }
        EXPECT_EQ((tree->*p.get)(), 7);
    }
    (tree->*p.set)(1);
    EXPECT_EQ((tree->*p.get)(), 1);
    tree->Free();
}

INSTANTIATE_TEST_SUITE_P(
    Each, StateIndexProperties,
    ::testing::Values(IndexProperty{"StateIdxEmpty", &TCheckTree::StateIdxEmpty, &TCheckTree::SetStateIdxEmpty},
                      IndexProperty{"StateIdxChecked", &TCheckTree::StateIdxChecked, &TCheckTree::SetStateIdxChecked},
                      IndexProperty{"StateIdxGrayed", &TCheckTree::StateIdxGrayed, &TCheckTree::SetStateIdxGrayed}),
    [](const auto& tp) { return std::string(tp.param.name); });

TEST_F(CheckTreeFixture, OtherIndicesAreUsedAsConfigured)
{
    tree->SetStateIdxEmpty(4);
    tree->SetStateIdxChecked(5);
    tree->SetStateIdxGrayed(6);
    tv->Build({{"R", "", 4}, {"A", "R", 1}, {"B", "R", 4}});
    tv->ClickStateImage(QStringLiteral("R"));
    EXPECT_EQ(tv->States(), QStringLiteral("R:5 A:1 B:5")) << "index 1 is no check box now";
}

TEST_F(CheckTreeFixture, EqualIndicesPreferCheckedOverEmptyAndTheChangeIsStillAsked)
{
    // Empty and checked share index 2: a node with 2 counts as checked and flips to
    // "empty", which is 2 again; the change is still asked for and made.
    tree->SetStateIdxEmpty(2);
    tv->Build({{"P", "", 2}, {"Q", "P", 2}, {"G", "P", 3}});
    tv->ClickStateImage(QStringLiteral("P"));
    EXPECT_EQ(TakeEvents(), (QStringList{"Before(P)", "Change(P,clk,checked->checked)", "Change(Q,cld,checked->checked)",
                                         "Change(G,cld,grayed->checked)"}));
    EXPECT_EQ(tv->States(), QStringLiteral("P:2 Q:2 G:2"));
}

TEST_F(CheckTreeFixture, EqualIndicesPreferGrayed)
{
    tree->SetStateIdxChecked(3);
    tv->Build({{"P", "", 3}, {"Q", "P", 1}});
    tv->ClickStateImage(QStringLiteral("P"));
    // Index 3 is grayed; grayed flips to checked, whose index 3 again reads as grayed,
    // and a grayed node pushes nothing down.
    EXPECT_EQ(TakeEvents(), (QStringList{"Before(P)", "Change(P,clk,grayed->grayed)"}));
    EXPECT_EQ(tv->States(), QStringLiteral("P:3 Q:1"));
}

TEST_F(CheckTreeFixture, FormResourceCreatesTheCheckTreeOnItsView)
{
    auto* form = new TForm(nullptr);
    const QString text = QStringLiteral(
        "object frmCheck: TForm\n"
        "  object trvList: TTreeView\n"
        "  end\n"
        "  object ctrvList: TCheckTree\n"
        "    Active = True\n"
        "    TreeViewWindow = trvList\n"
        "    StateIdxEmpty = 4\n"
        "    StateIdxChecked = 5\n"
        "    StateIdxGrayed = 6\n"
        "    NodeTextAsHint = False\n"
        "  end\n"
        "end\n");
    ReadComponentResource(form, QStringLiteral("check.form"), text);
    auto* ct = dynamic_cast<TCheckTree*>(form->FindComponent(QStringLiteral("ctrvList")));
    ASSERT_NE(ct, nullptr);
    EXPECT_TRUE(ct->Active());
    EXPECT_EQ(ct->TreeViewWindow(), form->FindComponent(QStringLiteral("trvList")));
    EXPECT_EQ(ct->StateIdxEmpty(), 4);
    EXPECT_EQ(ct->StateIdxChecked(), 5);
    EXPECT_EQ(ct->StateIdxGrayed(), 6);
    EXPECT_FALSE(ct->NodeTextAsHint());
    form->Free();

    auto* bad = new TForm(nullptr);
    try {
        ReadComponentResource(bad, QStringLiteral("bad.form"),
                              QStringLiteral("object frmBad: TForm\n  object ct: TCheckTree\n    StateIdxGrayed = 0\n  end\nend\n"));
        ADD_FAILURE() << "a state index of 0 was read";
    } catch (const EFilerError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("StateIdxGrayed属性的值必须大于0"))) << e.Message().toStdString();
    }
    bad->Free();
}

} // namespace
