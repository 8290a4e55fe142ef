// MDI children inside the main form: shown by Show, freed when closed, and their main
// menu merged into the main form's by group index while they are active.
#include <QApplication>
#include <QMdiSubWindow>
#include <QTest>
#include <gtest/gtest.h>

#include "plugin/wnBsCld.h"
#include "tests/support/FormsTestSupport.h"

namespace {

const QStringList kHostMenus{QStringLiteral("系统(&X)"), QStringLiteral("窗口(&W)"), QStringLiteral("帮助(&H)")};
const QStringList kMergedMenus{QStringLiteral("系统(&X)"), QStringLiteral("辅助功能(&S)"), QStringLiteral("数据操作(&P)"),
                               QStringLiteral("窗口(&W)"), QStringLiteral("帮助(&H)")};

} // namespace

TEST(MdiChild, IsCreatedHiddenShownByShowAndFreedWhenClosed)
{
    formstest::MdiHost host;
    auto* watcher = new formstest::FreeWatcher(nullptr);
    auto* child = new TfrmBsCld(Application);
    EXPECT_TRUE(child->FormState() & fsCreatedMDIChild);
    EXPECT_FALSE(child->FormState() & fsVisible);
    EXPECT_FALSE(child->WindowWidget()->isVisible());
    EXPECT_FALSE(child->ShowModalFlag());
    EXPECT_EQ(child->WindowState(), wsMaximized) << "from the resource";
    watcher->Watch(child);

    child->Show();
    EXPECT_TRUE(child->WindowWidget()->isVisible());
    EXPECT_EQ(host.form()->MDIChildCount(), 1);
    EXPECT_EQ(host.form()->ActiveMDIChild(), child);
    EXPECT_TRUE(child->WindowWidget()->isMaximized());
    EXPECT_EQ(child->WindowState(), wsMaximized);

    child->Close();
    ASSERT_TRUE(formstest::WaitFor([&] { return !watcher->freed.isEmpty(); }));
    EXPECT_EQ(watcher->freed, QStringList{QStringLiteral("frmBsCld")});
    EXPECT_EQ(Application->FindComponent(QStringLiteral("frmBsCld")), nullptr);
    EXPECT_EQ(host.form()->MDIChildCount(), 0);
    watcher->Free();
}

TEST(MdiChild, TheWindowsCloseBoxFreesItToo)
{
    formstest::MdiHost host;
    auto* watcher = new formstest::FreeWatcher(nullptr);
    auto* child = new TfrmBsCld(Application);
    watcher->Watch(child);
    child->Show();
    auto* sub = qobject_cast<QMdiSubWindow*>(child->WindowWidget());
    ASSERT_NE(sub, nullptr);
    sub->close();
    ASSERT_TRUE(formstest::WaitFor([&] { return !watcher->freed.isEmpty(); }));
    EXPECT_EQ(host.form()->MDIChildCount(), 0);
    watcher->Free();
}

TEST(MdiChild, WithoutAnMdiMainFormCreationFails)
{
    const int before = Application->ComponentCount();
    EXPECT_THROW(new TfrmBsCld(Application), Exception);
    EXPECT_EQ(Application->ComponentCount(), before);
}

TEST(MdiMenu, ChildMenusMergeWhileActiveAndGoWhenClosed)
{
    formstest::MdiHost host;
    EXPECT_EQ(host.menuCaptions(), kHostMenus);
    auto* child = new TfrmBsCld(Application);
    EXPECT_EQ(host.menuCaptions(), kHostMenus) << "not merged before the child is shown";
    child->Show();
    EXPECT_EQ(host.menuCaptions(), kMergedMenus);

    child->Close();
    ASSERT_TRUE(formstest::WaitFor([&] { return Application->FindComponent(QStringLiteral("frmBsCld")) == nullptr; }));
    EXPECT_EQ(host.menuCaptions(), kHostMenus);
}

TEST(MdiMenu, ChildItemsReplaceHostItemsOfTheSameGroupInGroupOrder)
{
    formstest::MdiHost host;
    auto* child = new TfrmBsCld(Application);
    auto* window = new TMenuItem(child);
    window->SetCaption(QStringLiteral("子窗口(&C)"));
    window->SetGroupIndex(5);
    child->mnuChildMain->Items()->Insert(0, window);   // first in the child's menu
    auto* last = new TMenuItem(child);
    last->SetCaption(QStringLiteral("末尾"));
    last->SetGroupIndex(12);
    child->mnuChildMain->Items()->Add(last);
    child->Show();
    EXPECT_EQ(host.menuCaptions(), (QStringList{QStringLiteral("系统(&X)"), QStringLiteral("辅助功能(&S)"),
                                                QStringLiteral("数据操作(&P)"), QStringLiteral("子窗口(&C)"),
                                                QStringLiteral("帮助(&H)"), QStringLiteral("末尾")}));
    child->Free();
    EXPECT_EQ(host.menuCaptions(), kHostMenus);
}

TEST(MdiMenu, TheActiveChildDecidesWhichMenuIsMerged)
{
    formstest::MdiHost host;
    auto* first = new TfrmBsCld(Application);
    first->SetName(QStringLiteral("frmFirst"));
    first->mitemOption->SetCaption(QStringLiteral("第一(&1)"));
    first->Show();
    auto* second = new TfrmBsCld(Application);
    second->SetName(QStringLiteral("frmSecond"));
    second->Show();
    EXPECT_EQ(host.form()->ActiveMDIChild(), second);
    EXPECT_EQ(host.menuCaptions(), kMergedMenus);

    first->Show();   // brings it to the front
    EXPECT_EQ(host.form()->ActiveMDIChild(), first);
    EXPECT_TRUE(host.menuCaptions().contains(QStringLiteral("第一(&1)")));

    first->Close();
    ASSERT_TRUE(formstest::WaitFor([&] { return Application->FindComponent(QStringLiteral("frmFirst")) == nullptr; }));
    EXPECT_EQ(host.form()->ActiveMDIChild(), second);
    EXPECT_EQ(host.menuCaptions(), kMergedMenus);
    second->Free();
    EXPECT_EQ(host.menuCaptions(), kHostMenus);
}

TEST(MdiMenu, ItemClicksAndHiddenItems)
{
    formstest::MdiHost host;
    auto* child = new TfrmBsCld(Application);
    auto* print = new TMenuItem(child);
    print->SetCaption(QStringLiteral("打印"));
    print->SetShortCut(QStringLiteral("Ctrl+P"));
    child->mitemDataVind->Add(print);
    auto* hidden = new TMenuItem(child);
    hidden->SetCaption(QStringLiteral("导出设置"));
    hidden->SetVisible(false);
    child->mitemDataVind->Add(hidden);
    int clicks = 0;
    print->OnClick = [&](TObject* sender) {
        EXPECT_EQ(sender, print);
        ++clicks;
    };
    child->Show();
    EXPECT_EQ(print->Action()->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
    EXPECT_FALSE(hidden->Action()->isVisible());
    print->Action()->trigger();
    EXPECT_EQ(clicks, 1);
    child->Free();
}

TEST(MdiMenu, AFreedMenuIsForgottenByItsFormAndByTheMainForm)
{
    formstest::MdiHost host;
    auto* child = new TfrmBsCld(Application);
    child->Show();
    ASSERT_EQ(host.menuCaptions(), kMergedMenus);

    // The child's own menu goes while the child stays: the main form stops merging it and
    // the child may take another menu (before, both kept a pointer to the freed menu).
    TMainMenu* menu = child->mnuChildMain;
    menu->Free();
    EXPECT_EQ(child->Menu(), nullptr);
    EXPECT_EQ(host.menuCaptions(), kHostMenus);

    auto* other = new TMainMenu(child);
    auto* item = new TMenuItem(child);
    item->SetCaption(QStringLiteral("另一个(&O)"));
    item->SetGroupIndex(3);
    other->Items()->Add(item);
    child->SetMenu(other);   // the active child's new menu is merged at once
    EXPECT_TRUE(host.menuCaptions().contains(QStringLiteral("另一个(&O)")));
    child->Free();
    EXPECT_EQ(host.menuCaptions(), kHostMenus);

    // The main form's own menu freed: its bar empties instead of holding freed items.
    host.form()->Menu()->Free();
    EXPECT_EQ(host.form()->Menu(), nullptr);
    EXPECT_TRUE(host.menuCaptions().isEmpty());
}
