// The host's MDI frame with a plug-in loaded by dlopen: the plug-in's child sits in the
// host's MDI area, its menus merge into the host's menu, and closing it frees it and
// sends ReleasePlugIn.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMdiSubWindow>

#include "common/PlugInContext.h"
#include "tests/forms/FormsTestSupport.h"

namespace {

struct RecordingManager : IPlugInManager {
    QList<int32_t> released;
    void ReleasePlugIn(int32_t PlugInId) override { released << PlugInId; }
};

class PlugInMdi : public ::testing::Test {
protected:
    void SetUp() override
    {
        module = dlopen(FORMS_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << dlerror();
        show = reinterpret_cast<TShowPlugInWindowProc>(dlsym(module, "ShowPlugInWindow"));
        ASSERT_NE(show, nullptr);
        info.PlugInId = 7;
        context.PubVariable = &pub;
        context.PlugInInfo = &info;
        context.PlugInManager = &manager;
        context.HostApplication = Application;
        context.HostScreen = Screen;
        Application->OnException = [this](TObject*, const QString& message) { messages << message; };
    }
    void TearDown() override
    {
        while (Application->ComponentCount() > 0)
            Application->Components(Application->ComponentCount() - 1)->Free();
        Application->OnException = nullptr;
        if (module)
            dlclose(module);
    }
    // The plug-in's window among the application's components (it is an object of the
    // plug-in's module: found by name, never by class).
    TCustomForm* PlugInChild() const
    {
        return static_cast<TCustomForm*>(Application->FindComponent(QStringLiteral("frmBsTrvTC")));
    }

    void* module = nullptr;
    TShowPlugInWindowProc show = nullptr;
    TPlugInInfo info;
    TPubVariable pub;
    TPlugInContext context;
    RecordingManager manager;
    QStringList messages;
};

} // namespace

TEST_F(PlugInMdi, ChildOfThePlugInMergesItsMenuAndIsFreedWhenClosed)
{
    formstest::MdiHost host;
    ASSERT_EQ(show("TfrmFormsPlugInChild", &context), 0);
    ASSERT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
    TCustomForm* child = PlugInChild();
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(host.form()->MDIChildCount(), 1);
    EXPECT_EQ(host.form()->ActiveMDIChild(), child);
    EXPECT_TRUE(child->WindowWidget()->isVisible());
    EXPECT_EQ(host.menuCaptions(), (QStringList{QStringLiteral("系统(&X)"), QStringLiteral("辅助功能(&S)"),
                                                QStringLiteral("数据操作(&P)"), QStringLiteral("窗口(&W)"),
                                                QStringLiteral("帮助(&H)")}));

    auto* watcher = new formstest::FreeWatcher(nullptr);
    watcher->Watch(child);
    // The child's own menu command closes it, as a user's click would.
    auto* close = static_cast<TMenuItem*>(child->FindComponent(QStringLiteral("mitemClose")));
    ASSERT_NE(close, nullptr);
    close->Action()->trigger();
    ASSERT_TRUE(formstest::WaitFor([&] { return !watcher->freed.isEmpty(); }));
    EXPECT_EQ(PlugInChild(), nullptr);
    EXPECT_EQ(host.form()->MDIChildCount(), 0);
    EXPECT_EQ(manager.released, QList<int32_t>{7});
    EXPECT_EQ(host.menuCaptions(),
              (QStringList{QStringLiteral("系统(&X)"), QStringLiteral("窗口(&W)"), QStringLiteral("帮助(&H)")}));
    watcher->Free();

    // A second opening makes a new window; closing it through its window's close box
    // releases the plug-in again.
    ASSERT_EQ(show("TfrmFormsPlugInChild", &context), 0);
    child = PlugInChild();
    ASSERT_NE(child, nullptr);
    qobject_cast<QMdiSubWindow*>(child->WindowWidget())->close();
    ASSERT_TRUE(formstest::WaitFor([&] { return manager.released.size() == 2; }));
    EXPECT_EQ(PlugInChild(), nullptr);
}

TEST_F(PlugInMdi, AnExceptionInsideThePlugInReachesTheHostsHandler)
{
    formstest::MdiHost host;
    EXPECT_EQ(show("TfrmNoSuchWindow", &context), 0);
    EXPECT_EQ(messages, QStringList{QStringLiteral("类TfrmNoSuchWindow没有进行注册或不存在！")});
    EXPECT_EQ(host.form()->MDIChildCount(), 0);
}
