// The platform's tree view: node collection and node objects, expansion with a
// refusable event, selection and its change event, hit tests, state images, free
// notices and creation from a form resource.
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

#include "platform/FormResource.h"
#include "platform/Forms.h"
#include "platform/ImgList.h"
#include "platform/TreeView.h"

namespace {

// A node that owns its data and logs its destruction, as the dynamic tree's nodes do.
// The data comes with AddNode, which sets it on the node it attaches.
class TLoggedNode : public TTreeNode {
public:
    TLoggedNode(QStringList* log, QString name) : FLog(log), FName(std::move(name)) {}
    ~TLoggedNode() override
    {
        delete static_cast<int*>(Data());
        SetData(nullptr);
        FLog->append(FName);
    }

private:
    QStringList* FLog;
    QString FName;
};

QIcon SolidIcon(const QColor& color)
{
    QPixmap pm(16, 16);
    pm.fill(color);
    return QIcon(pm);
}

class TreeViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        view = new TTreeView(nullptr);
        view->SetName(QStringLiteral("trvList"));
        view->SetBounds(0, 0, 300, 400);
        view->Widget()->show();
    }
    void TearDown() override { TComponent::FreeAndNil(view); }

    QTreeWidget* Widget() const { return static_cast<QTreeWidget*>(view->Widget()); }
    // The nodes the widget itself holds (held-back nodes are not among them).
    int WidgetNodeCount() const
    {
        int n = 0;
        for (QTreeWidgetItemIterator it(Widget()); *it; ++it)
            ++n;
        return n;
    }

    // A: A1 (A1a), A2;  B: B1
    void BuildSample()
    {
        TTreeNodes* items = view->Items();
        a = items->AddChildObject(nullptr, QStringLiteral("A"), nullptr);
        a1 = items->AddChildObject(a, QStringLiteral("A1"), nullptr);
        a1a = items->AddChildObject(a1, QStringLiteral("A1a"), nullptr);
        a2 = items->AddChildObject(a, QStringLiteral("A2"), nullptr);
        b = items->AddObject(a, QStringLiteral("B"), nullptr);
        b1 = items->AddChild(b, QStringLiteral("B1"));
    }

    TTreeView* view = nullptr;
    TTreeNode *a = nullptr, *a1 = nullptr, *a1a = nullptr, *a2 = nullptr, *b = nullptr, *b1 = nullptr;
};

TEST_F(TreeViewTest, NodesKnowTheirPlaceAlsoWhileHeldBack)
{
    for (const bool bulk : {false, true}) {
        SCOPED_TRACE(bulk ? "added in a bulk update" : "added one by one");
        view->Items()->Clear();
        if (bulk)
            view->Items()->BeginUpdate();
        BuildSample();
        EXPECT_EQ(WidgetNodeCount(), bulk ? 0 : 6);   // the two root branches are held back
        struct Case {
            TTreeNode* node;
            TTreeNode* parent;
            TTreeNode* firstChild;
            int count, level, index, absolute;
        };
        const Case cases[] = {
            {a, nullptr, a1, 2, 0, 0, 0}, {a1, a, a1a, 1, 1, 0, 1}, {a1a, a1, nullptr, 0, 2, 0, 2},
            {a2, a, nullptr, 0, 1, 1, 3}, {b, nullptr, b1, 1, 0, 1, 4}, {b1, b, nullptr, 0, 1, 0, 5},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.node->Text().toStdString());
            EXPECT_EQ(c.node->Parent(), c.parent);
            EXPECT_EQ(c.node->getFirstChild(), c.firstChild);
            EXPECT_EQ(c.node->HasChildren(), c.count > 0);
            EXPECT_EQ(c.node->Count(), c.count);
            EXPECT_EQ(c.node->Level(), c.level);
            EXPECT_EQ(c.node->Index(), c.index);
            EXPECT_EQ(view->Items()->Item(c.absolute), c.node);
            EXPECT_EQ(c.node->TreeView(), view);
            EXPECT_EQ(c.node->Owner(), view->Items());
        }
        EXPECT_EQ(view->Items()->GetFirstNode(), a);
        EXPECT_EQ(a->getNextSibling(), b);
        EXPECT_EQ(b->getPrevSibling(), a);
        EXPECT_EQ(a->Item(1), a2);
        EXPECT_EQ(a->Item(2), nullptr);
        EXPECT_EQ(view->Items()->Item(6), nullptr);
        EXPECT_TRUE(a1a->HasAsParent(a));
        EXPECT_FALSE(b1->HasAsParent(a));
        EXPECT_EQ(WidgetNodeCount(), bulk ? 0 : 6);   // walking the nodes needs no widget
        for (const Case& c : cases)
            EXPECT_EQ(c.node->AbsoluteIndex(), c.absolute);
        EXPECT_EQ(view->Items()->Count(), 6);
        if (bulk)
            view->Items()->EndUpdate();
        EXPECT_EQ(WidgetNodeCount(), 6);
    }
}

// Nodes added at the end of a shown node during a bulk update wait beside the widget's
// own and reach it together: one insertion per parent when the update ends.
TEST_F(TreeViewTest, HeldNodesReachTheWidgetOncePerParent)
{
    BuildSample();
    TTreeNodes* items = view->Items();
    QSignalSpy inserted(Widget()->model(), &QAbstractItemModel::rowsInserted);
    items->BeginUpdate();
    TTreeNode* a3 = items->AddChild(a, QStringLiteral("A3"));
    TTreeNode* a3a = items->AddChild(a3, QStringLiteral("A3a"));
    TTreeNode* a4 = items->AddObject(a3, QStringLiteral("A4"), nullptr);
    TTreeNode* c = items->AddChild(nullptr, QStringLiteral("C"));
    EXPECT_EQ(a->Count(), 4);
    EXPECT_EQ(a->GetLastChild(), a4);
    EXPECT_EQ(a2->getNextSibling(), a3);
    EXPECT_EQ(a4->getPrevSibling(), a3);
    EXPECT_EQ(a4->Index(), 3);
    EXPECT_EQ(a3a->Level(), 2);
    EXPECT_EQ(b->getNextSibling(), c);
    EXPECT_EQ(c->Index(), 2);
    EXPECT_EQ(inserted.count(), 0);
    items->EndUpdate();
    ASSERT_EQ(inserted.count(), 2);
    EXPECT_EQ(inserted[0][1].toInt(), 2);   // under A: rows 2 and 3
    EXPECT_EQ(inserted[0][2].toInt(), 3);
    EXPECT_EQ(WidgetNodeCount(), 10);
    EXPECT_EQ(a3a->Parent(), a3);
    EXPECT_EQ(a->GetLastChild(), a4);
}

// Whatever needs the widget's own tree hands the held nodes over first.
TEST_F(TreeViewTest, WhatNeedsTheWidgetTakesHeldNodesInFirst)
{
    struct Case {
        const char* what;
        std::function<bool(TTreeNode*)> done;   // acts on the held node; true when it took effect
    };
    const Case cases[] = {
        {"select", [&](TTreeNode* n) { n->SetSelected(true); return view->Selected() == n; }},
        {"expand", [&](TTreeNode* n) { n->SetExpanded(true); return n->Expanded(); }},
        {"geometry", [&](TTreeNode* n) { return !n->DisplayRect(true).isEmpty(); }},
        {"hit test", [&](TTreeNode* n) { return view->GetNodeAt(5, a->DisplayRect(false).center().y()) == a && n->Owner(); }},
        {"delete a child", [&](TTreeNode* n) { n->DeleteChildren(); return !n->HasChildren(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        view->Items()->Clear();
        BuildSample();
        a->SetExpanded(true);   // shows the held node's row once it is in
        view->Items()->BeginUpdate();
        TTreeNode* held = view->Items()->AddChild(a, QStringLiteral("A3"));
        view->Items()->AddChild(held, QStringLiteral("A3a"));
        ASSERT_EQ(WidgetNodeCount(), 6);
        EXPECT_TRUE(c.done(held));
        EXPECT_EQ(held->TreeView(), view);
        EXPECT_GE(WidgetNodeCount(), 7);
        view->Items()->EndUpdate();
    }
}

TEST_F(TreeViewTest, CallerCreatedNodesAttachWhereAsked)
{
    BuildSample();
    TTreeNodes* items = view->Items();
    int payload = 7;
    auto* lastChild = new TTreeNode;
    EXPECT_EQ(items->AddNode(lastChild, a, QStringLiteral("A3"), &payload, naAddChild), lastChild);
    EXPECT_EQ(a->GetLastChild(), lastChild);
    EXPECT_EQ(lastChild->Text(), QStringLiteral("A3"));
    EXPECT_EQ(lastChild->Data(), &payload);

    auto* firstChild = items->AddNode(new TTreeNode, a, QStringLiteral("A0"), nullptr, naAddChildFirst);
    EXPECT_EQ(a->getFirstChild(), firstChild);
    auto* firstRoot = items->AddNode(new TTreeNode, nullptr, QStringLiteral("R0"), nullptr, naAddFirst);
    EXPECT_EQ(items->GetFirstNode(), firstRoot);
    auto* lastRoot = items->AddNode(new TTreeNode, nullptr, QStringLiteral("R9"), nullptr, naAddChild);
    EXPECT_EQ(b->getNextSibling(), lastRoot);
    auto* sibling = items->AddNode(new TTreeNode, a1a, QStringLiteral("A1b"), nullptr, naAdd);
    EXPECT_EQ(sibling->Parent(), a1);
    EXPECT_EQ(a1->Count(), 2);
}

TEST_F(TreeViewTest, AttachingTwiceOrUnderAnotherViewIsAnError)
{
    BuildSample();
    EXPECT_THROW(view->Items()->AddNode(a1, b, QStringLiteral("again"), nullptr, naAddChild), ETreeViewError);
    EXPECT_THROW(view->Items()->AddNode(nullptr, b, QStringLiteral("none"), nullptr, naAddChild), ETreeViewError);
    TTreeView other(nullptr);
    TTreeNode* foreign = other.Items()->AddChild(nullptr, QStringLiteral("foreign"));
    auto node = std::make_unique<TTreeNode>();
    EXPECT_THROW(view->Items()->AddNode(node.get(), foreign, QStringLiteral("x"), nullptr, naAddChild), ETreeViewError);
    EXPECT_EQ(node->TreeView(), nullptr);
    EXPECT_EQ(a1->Parent(), a);
}

TEST_F(TreeViewTest, DeletingNodesDeletesTheNodeObjectsParentFirst)
{
    for (const bool bulk : {false, true}) {
        SCOPED_TRACE(bulk ? "held back in a bulk update" : "added one by one");
        if (!view)
            SetUp();
        QStringList log;
        TTreeNodes* items = view->Items();
        auto add = [&](TTreeNode* parent, const QString& name) {
            return items->AddNode(new TLoggedNode(&log, name), parent, name, new int(42), naAddChild);
        };
        TTreeNode* p = add(nullptr, QStringLiteral("P"));
        if (bulk)
            items->BeginUpdate();   // P is in the widget; what comes next waits
        TTreeNode* c1 = add(p, QStringLiteral("C1"));
        add(c1, QStringLiteral("C1a"));
        add(p, QStringLiteral("C2"));
        TTreeNode* q = add(nullptr, QStringLiteral("Q"));
        add(q, QStringLiteral("Q1"));
        add(nullptr, QStringLiteral("R"));

        p->DeleteChildren();
        EXPECT_EQ(log, (QStringList{"C1", "C1a", "C2"}));
        EXPECT_FALSE(p->HasChildren());

        log.clear();
        q->Delete();
        EXPECT_EQ(log, (QStringList{"Q", "Q1"}));
        EXPECT_EQ(items->Count(), 2);

        log.clear();
        add(p, QStringLiteral("P1"));
        add(p, QStringLiteral("P2"));
        delete p;
        EXPECT_EQ(log, (QStringList{"P", "P1", "P2"}));
        log.clear();
        delete add(nullptr, QStringLiteral("T"));
        EXPECT_EQ(log, QStringList{"T"});
        EXPECT_EQ(items->GetFirstNode()->Text(), QStringLiteral("R"));
        EXPECT_EQ(items->GetFirstNode()->getNextSibling(), nullptr);

        log.clear();
        add(nullptr, QStringLiteral("S"));
        items->Clear();
        EXPECT_EQ(log, (QStringList{"R", "S"}));
        EXPECT_EQ(items->GetFirstNode(), nullptr);

        log.clear();
        add(nullptr, QStringLiteral("Last"));
        TComponent::FreeAndNil(view);
        EXPECT_EQ(log, QStringList{"Last"});
    }
}

TEST_F(TreeViewTest, ExpandingAsksTheChainedHandlerWhichMayRefuse)
{
    BuildSample();
    QStringList asked;
    view->OnExpanding = [&](TObject* sender, TTreeNode* node, bool& allow) {
        EXPECT_EQ(sender, view);
        asked << node->Text();
        allow = node != b;
    };
    // A second handler takes the event over and calls the first one before its own work.
    auto previous = view->OnExpanding.handler();
    QStringList loaded;
    view->OnExpanding = [&, previous](TObject* sender, TTreeNode* node, bool& allow) {
        previous(sender, node, allow);
        if (allow && node == a2) {
            loaded << node->Text();
            view->Items()->AddChild(node, QStringLiteral("A2 child"));
        }
    };

    b->SetExpanded(true);
    EXPECT_FALSE(b->Expanded());
    a->SetExpanded(true);
    EXPECT_TRUE(a->Expanded());
    a->SetExpanded(true);   // open already: not asked again
    a2->SetExpanded(true);
    EXPECT_TRUE(a2->Expanded());
    EXPECT_EQ(a2->Count(), 1);
    EXPECT_EQ(asked, (QStringList{"B", "A", "A2"}));
    EXPECT_EQ(loaded, QStringList{"A2"});

    a->SetExpanded(false);
    EXPECT_FALSE(a->Expanded());
}

TEST_F(TreeViewTest, UserClickOnTheExpandButtonAsksFirst)
{
    BuildSample();
    int asked = 0;
    bool allow = false;
    view->OnExpanding = [&](TObject*, TTreeNode*, bool& permit) {
        ++asked;
        permit = allow;
    };
    auto buttonOf = [&](TTreeNode* node) {
        const QRect cell = node->DisplayRect(true);
        return QPoint(cell.left() - view->Indent() / 2 - 1, cell.center().y());
    };
    ASSERT_TRUE(view->GetHitTestInfoAt(buttonOf(b).x(), buttonOf(b).y()).Contains(htOnButton));
    QTest::mouseClick(view->Handle(), Qt::LeftButton, {}, buttonOf(b));
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(b->Expanded());

    allow = true;
    QTest::mouseClick(view->Handle(), Qt::LeftButton, {}, buttonOf(b));
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(b->Expanded());
}

TEST_F(TreeViewTest, ChangeEventFollowsTheSelection)
{
    BuildSample();
    QList<TTreeNode*> changes;
    view->OnChange = [&](TObject* sender, TTreeNode* node) {
        EXPECT_EQ(sender, view);
        EXPECT_EQ(view->Selected(), node);   // the selection is in place when the event comes
        changes << node;
    };
    b->SetSelected(true);
    EXPECT_TRUE(b->Selected());
    EXPECT_EQ(view->Selected(), b);
    b->SetSelected(true);
    a->SetExpanded(true);
    view->SetSelected(a2);
    EXPECT_EQ(changes, (QList<TTreeNode*>{b, a2}));

    // A click on a label selects as the user does.
    const QPoint label = a->DisplayRect(true).center();
    QTest::mouseClick(view->Handle(), Qt::LeftButton, {}, label);
    EXPECT_EQ(view->Selected(), a);
    EXPECT_EQ(changes.size(), 3);

    changes.clear();
    view->Items()->Clear();
    EXPECT_TRUE(changes.isEmpty());
    EXPECT_EQ(view->Selected(), nullptr);
}

TEST_F(TreeViewTest, KeysReachTheViewThroughItsWindow)
{
    BuildSample();
    view->SetSelected(a);
    QTest::keyClick(view->Handle(), Qt::Key_Down);
    EXPECT_EQ(view->Selected(), b);
    EXPECT_EQ(view->Widget()->focusProxy(), view->Handle());

    // F2 edits the label in place.
    QTest::keyClick(view->Handle(), Qt::Key_F2);
    auto* editor = Widget()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("B"));
    editor->setText(QStringLiteral("B renamed"));
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();   // the editor commits through a queued call
    EXPECT_EQ(b->Text(), QStringLiteral("B renamed"));
}

TEST_F(TreeViewTest, HitTestsNameThePartsOfANode)
{
    auto* states = new TImageList(nullptr);
    states->Add(SolidIcon(Qt::white));
    states->Add(SolidIcon(Qt::red));
    auto* images = new TImageList(nullptr);
    images->Add(SolidIcon(Qt::blue));
    view->SetStateImages(states);
    view->SetImages(images);
    BuildSample();
    a->SetStateIndex(1);

    const QRect stateRect = a->StateIconRect();
    const QRect iconRect = a->IconRect();
    const QRect label = a->DisplayRect(true);
    ASSERT_FALSE(stateRect.isEmpty());
    EXPECT_LT(stateRect.right(), iconRect.left());
    EXPECT_LT(iconRect.right(), label.left());

    struct Case {
        const char* where;
        QPoint point;
        TTreeNode* node;
        QList<THitTest> flags;
    };
    const int rowsBottom = b->DisplayRect(false).bottom();
    const Case cases[] = {
        {"state image", stateRect.center(), a, {htOnStateIcon, htOnItem}},
        {"icon", iconRect.center(), a, {htOnIcon, htOnItem}},
        {"label", label.center(), a, {htOnLabel, htOnItem}},
        {"right of the label", QPoint(label.right() + 20, label.center().y()), a, {htOnRight}},
        {"expand button", QPoint(stateRect.left() - view->Indent() / 2 - 1, label.center().y()), a, {htOnButton}},
        {"below the nodes", QPoint(label.center().x(), rowsBottom + 40), nullptr, {htNowhere}},
        {"left of the window", QPoint(-5, label.center().y()), nullptr, {htToLeft}},
        {"above the window", QPoint(10, -5), nullptr, {htAbove}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        THitTests expected;
        for (THitTest f : c.flags)
            expected.Include(f);
        EXPECT_EQ(view->GetHitTestInfoAt(c.point.x(), c.point.y()).Bits(), expected.Bits());
        EXPECT_EQ(view->GetNodeAt(c.point.x(), c.point.y()), c.node);
    }

    // The pictures are where the hit tests say: state image, then icon.
    QImage shot = view->Handle()->grab().toImage();
    shot.setDevicePixelRatio(1);
    EXPECT_EQ(QColor(shot.pixel(stateRect.center())), QColor(Qt::red));
    EXPECT_EQ(QColor(shot.pixel(iconRect.center())), QColor(Qt::blue));
    // b has no state index: no state picture, but the same column stays free.
    EXPECT_NE(QColor(shot.pixel(b->StateIconRect().center())), QColor(Qt::red));

    TComponent::FreeAndNil(states);
    EXPECT_EQ(view->StateImages(), nullptr);
    const QRect movedLabel = a->DisplayRect(true);
    EXPECT_LT(movedLabel.left(), label.left());
    EXPECT_TRUE(view->GetHitTestInfoAt(movedLabel.center().x(), movedLabel.center().y()).Contains(htOnLabel));
    TComponent::FreeAndNil(images);
    EXPECT_EQ(view->Images(), nullptr);
}

// A label that the view's edge cuts shows its whole text as a tooltip; one in full sight
// shows none.
TEST_F(TreeViewTest, CutLabelsShowTheirWholeTextAsTooltip)
{
    const QString longText = QStringLiteral("105001 市财政局本级预算单位（国库集中支付）");
    TTreeNode* cut = view->Items()->AddChild(nullptr, longText);
    TTreeNode* whole = view->Items()->AddChild(nullptr, QStringLiteral("105"));
    view->SetBounds(0, 0, 120, 200);
    QApplication::processEvents();
    // The label in full sight first: Qt hides a tooltip shown before only after a delay.
    for (auto [node, tip] : {std::pair{whole, QString()}, std::pair{cut, longText}}) {
        SCOPED_TRACE(node->Text().toStdString());
        const QPoint at = node->DisplayRect(true).topLeft() + QPoint(8, 4);
        QHelpEvent help(QEvent::ToolTip, at, view->Handle()->mapToGlobal(at));
        QApplication::sendEvent(view->Handle(), &help);
        EXPECT_EQ(QToolTip::isVisible() ? QToolTip::text() : QString(), tip);
    }
    QToolTip::hideText();
}

TEST_F(TreeViewTest, PropertiesShapeTheWidget)
{
    BuildSample();
    EXPECT_EQ(view->Indent(), 19);
    view->SetIndent(25);
    EXPECT_EQ(view->Indent(), 25);

    view->SetMultiSelect(true);
    a->SetSelected(true);
    EXPECT_EQ(view->SelectionCount(), 1);
    QTest::mouseClick(view->Handle(), Qt::LeftButton, Qt::ControlModifier, b->DisplayRect(true).center());
    EXPECT_EQ(view->SelectionCount(), 2);
    EXPECT_EQ(view->SelectedNodes(), (QList<TTreeNode*>{a, b}));
    view->SetMultiSelect(false);

    view->SetAutoExpand(true);
    int asked = 0;
    view->OnExpanding = [&](TObject*, TTreeNode*, bool&) { ++asked; };
    a->SetSelected(true);   // b was current (the last click)
    EXPECT_TRUE(a->Expanded());
    b->SetSelected(true);
    EXPECT_TRUE(b->Expanded());
    EXPECT_FALSE(a->Expanded());   // left behind and not an ancestor of b
    EXPECT_EQ(asked, 2);
    b1->SetSelected(true);   // b1 lies inside b: b stays open
    EXPECT_TRUE(b->Expanded());
}

TEST_F(TreeViewTest, HoldersHearWhenTheViewGoes)
{
    class THolder : public TComponent {
    public:
        THolder() : TComponent(nullptr) {}
        TComponent* held = nullptr;
        void Notification(TComponent* c, TOperation op) override
        {
            TComponent::Notification(c, op);
            if (op == opRemove && c == held) {
                // The view is whole when the notice comes: its nodes are still there.
                nodesAtNotice = static_cast<TCustomTreeView*>(c)->Items()->Count();
                held = nullptr;
            }
        }
        int nodesAtNotice = -1;
    } holder;
    BuildSample();
    holder.held = view;
    view->FreeNotification(&holder);
    TComponent::FreeAndNil(view);
    EXPECT_EQ(holder.held, nullptr);
    EXPECT_EQ(holder.nodesAtNotice, 6);
}

class TTreeTestForm : public TForm {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TTreeTestForm(TComponent* AOwner) : TForm(AOwner) {}
    Q_INVOKABLE void trvListChange(TObject* Sender, TTreeNode* Node)
    {
        lastSender = Sender;
        lastNode = Node;
    }
    TObject* lastSender = nullptr;
    TTreeNode* lastNode = nullptr;
};

TEST(TreeViewResource, FormResourceCreatesTheViewByClassName)
{
    auto* form = new TTreeTestForm(nullptr);
    const QString text = QStringLiteral(
        "object frmTree: TTreeTestForm\n"
        "  object ImageList1: TImageList\n"
        "  end\n"
        "  object trvList: TTreeView\n"
        "    Align = alClient\n"
        "    AutoExpand = True\n"
        "    MultiSelect = True\n"
        "    ReadOnly = True\n"
        "    Indent = 19\n"
        "    Images = ImageList1\n"
        "    StateImages = ImageList1\n"
        "    TabOrder = 0\n"
        "    OnChange = trvListChange\n"
        "  end\n"
        "end\n");
    ReadComponentResource(form, QStringLiteral("tree-test"), text);
    auto* tree = dynamic_cast<TTreeView*>(form->FindComponent(QStringLiteral("trvList")));
    ASSERT_NE(tree, nullptr);
    TComponent* images = form->FindComponent(QStringLiteral("ImageList1"));
    EXPECT_EQ(tree->Images(), images);
    EXPECT_EQ(tree->StateImages(), images);
    EXPECT_TRUE(tree->AutoExpand());
    EXPECT_TRUE(tree->MultiSelect());
    EXPECT_TRUE(tree->ReadOnly());
    EXPECT_EQ(tree->Indent(), 19);
    EXPECT_EQ(tree->Align(), alClient);

    TTreeNode* node = tree->Items()->AddChild(nullptr, QStringLiteral("unit"));
    node->SetSelected(true);
    EXPECT_EQ(form->lastSender, tree);
    EXPECT_EQ(form->lastNode, node);
    form->Free();
}

} // namespace

#include "TreeViewTest.moc"
