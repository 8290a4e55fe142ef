#include "tests/trees/CheckTreeTestSupport.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPixmap>
#include <QTest>
#include "tests/QuietRuntime.h"

namespace checktreetest {

namespace {

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new testsupport::QuietRuntime);

QIcon SolidIcon(const QColor& color)
{
    QPixmap pm(16, 16);
    pm.fill(color);
    return QIcon(pm);
}

const char* KindName(TCheckKind kind)
{
    switch (kind) {
    case ckEmpty: return "empty";
    case ckChecked: return "checked";
    case ckGrayed: return "grayed";
    case ckNone: return "none";
    }
    return "?";
}

const char* RelationName(TRelationKind relation)
{
    switch (relation) {
    case rkClkNode: return "clk";
    case rkCldNode: return "cld";
    case rkParNode: return "par";
    }
    return "?";
}

} // namespace

QString NodeName(const TTreeNode* node)
{
    return node ? node->Text() : QStringLiteral("nil");
}

// --- TestView ------------------------------------------------------------------------

TestView::TestView()
{
    FView = new TTreeView(nullptr);
    FView->SetName(QStringLiteral("trvList"));
    FView->SetBounds(0, 0, 300, 400);
    FStateImages = CreateCheckBoxImages(nullptr);
    FNodeImages = new TImageList(nullptr);
    FNodeImages->Add(SolidIcon(Qt::blue));
    FView->SetStateImages(FStateImages);
    FView->SetImages(FNodeImages);
    FView->Widget()->show();
}

TestView::~TestView()
{
    TComponent::FreeAndNil(FView);
    TComponent::FreeAndNil(FStateImages);
    TComponent::FreeAndNil(FNodeImages);
}

void TestView::Build(const std::vector<NodeSpec>& nodes)
{
    for (const NodeSpec& entry : nodes) {
        const QString name = QString::fromUtf8(entry.name);
        const QString parentName = QString::fromUtf8(entry.parent);
        TTreeNode* parent = parentName.isEmpty() ? nullptr : FNodes.value(parentName);
        if (!parentName.isEmpty() && !parent)
            throw std::logic_error("parent listed after its child: " + name.toStdString());
        TTreeNode* node = FView->Items()->AddChild(parent, name);
        node->SetStateIndex(entry.state);
        FNodes.insert(name, node);
        FOrder.append(name);
    }
    FView->FullExpand();
}

TTreeNode* TestView::Node(const QString& name) const
{
    TTreeNode* node = FNodes.value(name);
    if (!node)
        throw std::logic_error("no node " + name.toStdString());
    return node;
}

QString TestView::States() const
{
    QStringList parts;
    for (const QString& name : FOrder)
        parts << QStringLiteral("%1:%2").arg(name).arg(FNodes.value(name)->StateIndex());
    return parts.join(QLatin1Char(' '));
}

void TestView::ClickAt(const QPoint& point, Qt::KeyboardModifiers modifiers)
{
    QTest::mouseClick(FView->Handle(), Qt::LeftButton, modifiers, point);
}

void TestView::PressSpace(Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(FView->Handle(), Qt::Key_Space, modifiers);
}

void TestView::MoveMouseTo(const QPoint& point)
{
    QWidget* window = FView->Handle();
    QMouseEvent move(QEvent::MouseMove, QPointF(point), window->mapToGlobal(QPointF(point)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(window, &move);
}

// --- CheckTreeFixture ----------------------------------------------------------------

void CheckTreeFixture::SetUp()
{
    Application->OnMessage = BaseHandler{&seen};
    tv = new TestView;
    tree = new TCheckTree(nullptr);
    tree->SetTreeViewWindow(tv->view());
    tree->SetActive(true);
    tree->OnBeforClickTreeNode = [this](TObject* sender, TTreeNode* node, bool& handled) {
        EXPECT_EQ(sender, tree);
        EXPECT_FALSE(handled) << "Handled is false on entry";
        events << QStringLiteral("Before(%1)").arg(NodeName(node));
        handled = takeOverClicks;
    };
    tree->OnChangeStateIndex = [this](TObject* sender, TTreeNode* node, TRelationKind relation, TCheckKind cur,
                                      TCheckKind will, bool& toChange) {
        EXPECT_EQ(sender, tree);
        EXPECT_TRUE(toChange) << "boolToChange is true on entry";
        events << QStringLiteral("Change(%1,%2,%3->%4)")
                      .arg(NodeName(node), QLatin1String(RelationName(relation)), QLatin1String(KindName(cur)),
                           QLatin1String(KindName(will)));
        if (vetoes.contains(NodeName(node)))
            toChange = false;
    };
}

void CheckTreeFixture::TearDown()
{
    TComponent::FreeAndNil(tree);
    delete tv;
    tv = nullptr;
    Application->OnMessage = nullptr;
}

QStringList CheckTreeFixture::TakeEvents()
{
    QStringList taken = events;
    events.clear();
    return taken;
}

QList<unsigned> CheckTreeFixture::BaseMessagesForView() const
{
    QList<unsigned> ids;
    for (const SeenMessage& m : seen)
        if (m.hwnd == tv->view()->Handle())
            ids << m.message;
    return ids;
}

} // namespace checktreetest
