// The chain of message hooks that check trees build on the application's OnMessage:
// it stays whole whatever order the trees go in, also when another handler chained
// itself in between, when a handler frees a tree while a message is on its way, and
// when a handler fails. And the check box pictures.
#include <QImage>
#include <QPainter>
#include <QTest>
#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <memory>

#include "tests/trees/CheckTreeTestSupport.h"

using namespace checktreetest;

namespace {

// Three views, each with one unchecked node "N", and the recording base handler.
class HookChain : public ::testing::Test {
protected:
    void SetUp() override
    {
        Application->OnMessage = BaseHandler{&seen};
        for (auto& v : views) {
            v = std::make_unique<TestView>();
            v->Build({{"N", "", 1}});
        }
    }
    void TearDown() override
    {
        for (TCheckTree*& t : trees)
            TComponent::FreeAndNil(t);
        Application->OnMessage = nullptr;
    }

    TCheckTree* AddTree(int i)
    {
        trees[i] = new TCheckTree(nullptr);
        trees[i]->SetTreeViewWindow(views[i]->view());
        trees[i]->SetActive(true);
        return trees[i];
    }
    // Clicks the state image of view i's node: true when it flipped (exactly once).
    bool ClickFlips(int i)
    {
        const int before = views[i]->Node(QStringLiteral("N"))->StateIndex();
        views[i]->ClickStateImage(QStringLiteral("N"));
        const int after = views[i]->Node(QStringLiteral("N"))->StateIndex();
        return after != before;
    }
    // The base handler saw one press and one release for view i's last click.
    bool BaseSawOneClick(int i)
    {
        QList<unsigned> ids;
        for (const SeenMessage& m : seen)
            if (m.hwnd == views[i]->view()->Handle())
                ids << m.message;
        seen.clear();
        return ids == QList<unsigned>{WM_LBUTTONDOWN, WM_LBUTTONUP};
    }
    bool HookIsBaseHandler() const { return Application->OnMessage.handler().target<BaseHandler>() != nullptr; }

    QList<SeenMessage> seen;
    std::array<std::unique_ptr<TestView>, 3> views;
    std::array<TCheckTree*, 3> trees{};
};

class DestructionOrder : public HookChain, public ::testing::WithParamInterface<std::array<int, 3>> {};

TEST_P(DestructionOrder, LeavesAWorkingChain)
{
    for (int i = 0; i < 3; ++i)
        AddTree(i);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(ClickFlips(i)) << "tree " << i;
        EXPECT_TRUE(BaseSawOneClick(i));
    }
    const std::array<int, 3> order = GetParam();
    for (int step = 0; step < 3; ++step) {
        TComponent::FreeAndNil(trees[order[step]]);
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(testing::Message() << "after freeing " << step + 1 << " trees, view " << i);
            EXPECT_EQ(ClickFlips(i), trees[i] != nullptr);
            EXPECT_TRUE(BaseSawOneClick(i));
        }
    }
    EXPECT_TRUE(HookIsBaseHandler()) << "the first handler is the application's hook again";
}

std::vector<std::array<int, 3>> AllOrders()
{
    std::array<int, 3> order{0, 1, 2};
    std::vector<std::array<int, 3>> all;
    do
        all.push_back(order);
    while (std::next_permutation(order.begin(), order.end()));
    return all;
}

INSTANTIATE_TEST_SUITE_P(All, DestructionOrder, ::testing::ValuesIn(AllOrders()), [](const auto& tp) {
    return "free_" + std::to_string(tp.param[0]) + std::to_string(tp.param[1]) + std::to_string(tp.param[2]);
});

TEST_F(HookChain, AHandlerChainedInBetweenKeepsItsPlace)
{
    AddTree(0);
    // Another component chains itself the usual way: it keeps the handler it found.
    int outsiderCalls = 0;
    const auto previous = Application->OnMessage.handler();
    Application->OnMessage = [&outsiderCalls, previous](TMsg& msg, bool& handled) {
        ++outsiderCalls;
        previous(msg, handled);
    };
    AddTree(1);

    TComponent::FreeAndNil(trees[0]);
    EXPECT_FALSE(ClickFlips(0));
    EXPECT_TRUE(BaseSawOneClick(0)) << "the freed tree's hook only passes messages on";
    EXPECT_TRUE(ClickFlips(1));
    EXPECT_TRUE(BaseSawOneClick(1));
    EXPECT_EQ(outsiderCalls, 4);

    TComponent::FreeAndNil(trees[1]);
    ASSERT_FALSE(HookIsBaseHandler()) << "the outsider is the application's hook again";
    EXPECT_FALSE(ClickFlips(1));
    EXPECT_TRUE(BaseSawOneClick(1));
    EXPECT_EQ(outsiderCalls, 6);
}

TEST_F(HookChain, ATreeFreedByItsOwnHandlerStillPassesTheMessageOn)
{
    AddTree(0);
    AddTree(1);
    AddTree(2);
    // The middle tree's handler frees it while its message is on the way down the chain.
    trees[1]->OnBeforClickTreeNode = [this](TObject*, TTreeNode*, bool&) { TComponent::FreeAndNil(trees[1]); };
    EXPECT_FALSE(ClickFlips(1)) << "the flip went with the tree";
    EXPECT_EQ(trees[1], nullptr);
    EXPECT_TRUE(BaseSawOneClick(1));
    for (int i : {0, 2}) {
        EXPECT_TRUE(ClickFlips(i));
        EXPECT_TRUE(BaseSawOneClick(i));
    }
}

TEST_F(HookChain, AFailingHandlerIsReportedAndTheMessageStillReachesTheRestOfTheChain)
{
    QStringList reported;
    Application->OnException = [&reported](TObject*, const QString& message) { reported << message; };
    AddTree(0);
    AddTree(1);
    trees[1]->OnChangeStateIndex = [](TObject*, TTreeNode*, TRelationKind, TCheckKind, TCheckKind, bool&) {
        throw Exception(QStringLiteral("节点不能改变"));
    };
    EXPECT_FALSE(ClickFlips(1));
    EXPECT_TRUE(BaseSawOneClick(1)) << "the press still went on to the older handlers";
    EXPECT_EQ(reported, QStringList{QStringLiteral("节点不能改变")});
    EXPECT_TRUE(ClickFlips(0));
    Application->OnException = nullptr;
}

TEST_F(HookChain, WithoutAnEarlierHandlerTheHookEndsTheChain)
{
    Application->OnMessage = nullptr;
    AddTree(0);
    EXPECT_TRUE(ClickFlips(0));
    TComponent::FreeAndNil(trees[0]);
    EXPECT_FALSE(Application->OnMessage.Assigned());
}

// --- the check box pictures ---------------------------------------------------------------

QImage Render(const TImageList* images, int index, qreal dpr)
{
    const QPixmap pm = images->Icon(index).pixmap(QSize(16, 16), dpr);
    return pm.toImage().convertToFormat(QImage::Format_ARGB32);
}

TEST(CheckBoxImages, BlankThenEmptyCheckedAndGrayedBoxesSharpAtEveryScale)
{
    TImageList* images = CreateCheckBoxImages(nullptr);
    ASSERT_EQ(images->Count(), 4);
    for (qreal dpr : {1.0, 1.5, 2.0, 3.0}) {
        SCOPED_TRACE(testing::Message() << "device pixel ratio " << dpr);
        const int size = qRound(16 * dpr);
        const int frame = static_cast<int>(1.5 * dpr);   // a pixel inside the frame line (1 to 2)
        const int mid = size / 2;
        for (int index = 0; index < 4; ++index) {
            const QImage img = Render(images, index, dpr);
            ASSERT_EQ(img.size(), QSize(size, size)) << "index " << index << " is drawn for the screen's pixels";
            if (index == 0) {
                EXPECT_EQ(img.pixelColor(mid, mid).alpha(), 0);
                EXPECT_EQ(img.pixelColor(frame, mid).alpha(), 0);
                continue;
            }
            // The frame is solid where an integer scale puts it on whole pixels.
            EXPECT_GT(img.pixelColor(frame, mid).alpha(), 200) << "index " << index;
            EXPECT_LT(img.pixelColor(frame, mid).lightness(), 100) << "index " << index;
            EXPECT_EQ(img.pixelColor(0, mid).alpha(), 0) << "outside the box";
            if (dpr == qRound(dpr)) {
                const int inside = 3 * static_cast<int>(dpr);   // just inside the frame
                EXPECT_EQ(img.pixelColor(frame, mid), QColor(0x3c, 0x3c, 0x3c)) << "no blur on the frame";
                EXPECT_EQ(img.pixelColor(inside, inside), QColor(Qt::white)) << "index " << index;
            }
        }
        const QImage empty = Render(images, 1, dpr);
        const QImage checked = Render(images, 2, dpr);
        const QImage grayed = Render(images, 3, dpr);
        EXPECT_EQ(empty.pixelColor(mid, mid), QColor(Qt::white));
        EXPECT_EQ(grayed.pixelColor(mid, mid), QColor(0x80, 0x80, 0x80));
        int dark = 0;
        for (int y = 0; y < size; ++y)
            for (int x = qRound(3 * dpr); x < qRound(13 * dpr); ++x)
                if (y > qRound(3 * dpr) && y < qRound(13 * dpr) && checked.pixelColor(x, y).lightness() < 60)
                    ++dark;
        EXPECT_GT(dark, static_cast<int>(10 * dpr * dpr)) << "a check mark inside the checked box";
    }
    images->Free();
}

TEST(CheckBoxImages, TheViewDrawsTheStatePictureOfEachNode)
{
    TestView tv;
    tv.Build({{"E", "", 1}, {"C", "", 2}, {"G", "", 3}});
    QImage shot = tv.view()->Handle()->grab().toImage();
    shot.setDevicePixelRatio(1);
    EXPECT_EQ(shot.pixelColor(tv.Node(QStringLiteral("E"))->StateIconRect().center()), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(tv.Node(QStringLiteral("G"))->StateIconRect().center()), QColor(0x80, 0x80, 0x80));
    const QRect c = tv.Node(QStringLiteral("C"))->StateIconRect();
    int dark = 0;
    for (int y = c.top() + 3; y < c.bottom() - 2; ++y)
        for (int x = c.left() + 3; x < c.right() - 2; ++x)
            if (shot.pixelColor(x, y).lightness() < 60)
                ++dark;
    EXPECT_GT(dark, 5);
}

} // namespace
