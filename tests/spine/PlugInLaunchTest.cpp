// The plug-in seen from a host: the module is loaded with dlopen, windows are asked for
// by class name through ShowPlugInWindow, and the host's plug-in manager hears when the
// last window has gone.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QStringDecoder>
#include <QTimer>

#include "platform/Forms.h"
#include "common/PlugInContext.h"

namespace {

struct TRecordingPlugInManager : IPlugInManager {
    QList<int32_t> released;
    void ReleasePlugIn(int32_t PlugInId) override { released << PlugInId; }
};

class PlugInLaunch : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitRuntimeObjects();
        Application->OnException = [this](TObject*, const QString& message) { messages << message; };
        module = dlopen(SPINE_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << dlerror();
        show = reinterpret_cast<TShowPlugInWindowProc>(dlsym(module, "ShowPlugInWindow"));
        ASSERT_NE(show, nullptr);
        info.PlugInId = 42;
        pub.Year = 2026;
        context.PubVariable = &pub;
        context.PlugInInfo = &info;
        context.PlugInManager = &manager;
        context.HostApplication = Application;
        context.HostScreen = Screen;
    }
    void TearDown() override
    {
        // Close what the plug-in still has open before the module goes.
        while (Application->ComponentCount() > hostComponentsAtStart())
            Application->Components(Application->ComponentCount() - 1)->Free();
        if (module)
            dlclose(module);
        Application->OnException = nullptr;
    }
    int hostComponentsAtStart() const { return 0; }

    // A window closed with caFree is freed from the event loop, as the platform did.
    static void CloseAndSettle(TCustomForm* form)
    {
        form->Close();
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    // The plug-in's windows are owned by the host's application object.
    QList<TCustomForm*> Windows() const
    {
        QList<TCustomForm*> list;
        for (int i = 0; i < Application->ComponentCount(); ++i)
            if (auto* f = dynamic_cast<TCustomForm*>(Application->Components(i)))
                list << f;
        return list;
    }

    void* module = nullptr;
    TShowPlugInWindowProc show = nullptr;
    TPlugInInfo info;
    TPubVariable pub;
    TPlugInContext context;
    TRecordingPlugInManager manager;
    QStringList messages;
};

} // namespace

TEST_F(PlugInLaunch, TwoCallsShowOneWindow)
{
    EXPECT_EQ(show("TfrmSpineChild", &context), 0);
    ASSERT_EQ(Windows().size(), 1);
    TCustomForm* first = Windows().first();
    EXPECT_TRUE(first->Visible());
    EXPECT_EQ(show("tfrmspinechild", &context), 0);   // the class name in other letter case
    ASSERT_EQ(Windows().size(), 1);
    EXPECT_EQ(Windows().first(), first);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    EXPECT_TRUE(manager.released.isEmpty());
}

TEST_F(PlugInLaunch, ClosingTheLastWindowReleasesThePlugInEveryTime)
{
    show("TfrmSpineChild", &context);
    ASSERT_EQ(Windows().size(), 1);
    CloseAndSettle(Windows().first());
    EXPECT_TRUE(Windows().isEmpty());
    EXPECT_EQ(manager.released, QList<int32_t>{42});

    show("TfrmSpineChild", &context);
    ASSERT_EQ(Windows().size(), 1);
    CloseAndSettle(Windows().first());
    EXPECT_EQ(manager.released, (QList<int32_t>{42, 42}));
}

TEST_F(PlugInLaunch, UnregisteredAndEmptyNamesAreReportedAndMakeNothing)
{
    EXPECT_EQ(show("TNoSuchWindow", &context), 0);
    EXPECT_EQ(show("", &context), 0);
    EXPECT_EQ(show(nullptr, &context), 0);
    EXPECT_EQ(messages,
              (QStringList{QStringLiteral("类TNoSuchWindow没有进行注册或不存在！"), QStringLiteral("类没有进行注册或不存在！"),
                           QStringLiteral("类没有进行注册或不存在！")}));
    EXPECT_TRUE(Windows().isEmpty());
}

TEST_F(PlugInLaunch, WithoutAPlugInManagerClosingSendsNothing)
{
    context.PlugInManager = nullptr;
    show("TfrmSpineChild", &context);
    ASSERT_EQ(Windows().size(), 1);
    EXPECT_NO_THROW(CloseAndSettle(Windows().first()));
    EXPECT_TRUE(Windows().isEmpty());
    EXPECT_TRUE(manager.released.isEmpty());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(PlugInLaunch, DescriptionTextsAreGb2312AndTheIdIsLeftAlone)
{
    show("TNoSuchWindow", &context);
    EXPECT_EQ(info.PlugInId, 42);
    QStringDecoder gb2312("GB2312");
    ASSERT_TRUE(gb2312.isValid());
    EXPECT_EQ(QString(gb2312(QByteArray(info.ModuleName))), QStringLiteral("授权支出模块"));
    EXPECT_EQ(QString(gb2312(QByteArray(info.SubsystemName))), QStringLiteral("支付管理子系统"));
    EXPECT_EQ(QString(gb2312(QByteArray(info.Description))), QStringLiteral("完成授权支付的支出、查询等功能"));
}

TEST_F(PlugInLaunch, AWindowThatFailsToBeMadeIsReportedAndNothingStays)
{
    EXPECT_EQ(show("TfrmSpineBroken", &context), 0);
    EXPECT_EQ(messages, QStringList{QStringLiteral("创建对象失败！")});
    EXPECT_TRUE(Windows().isEmpty());
    EXPECT_EQ(Application->ComponentCount(), 0);
    // The manager still works afterwards.
    show("TfrmSpineChild", &context);
    EXPECT_EQ(Windows().size(), 1);
}

TEST_F(PlugInLaunch, AFailureWhileShowingPassesUnchangedAndTheWindowStaysCounted)
{
    EXPECT_EQ(show("TfrmSpineShowFails", &context), 0);
    EXPECT_EQ(messages, QStringList{QStringLiteral("显示失败")});
    ASSERT_EQ(Windows().size(), 1);
    Windows().first()->Free();
    EXPECT_EQ(manager.released, QList<int32_t>{42});
}

TEST_F(PlugInLaunch, NamesOfClassesThatAreNotWindowsMakeNothingAndReleaseNothing)
{
    const char* const names[] = {"TComponent", "TForm", "TPersistent"};
    const auto askForAll = [&] {
        for (const char* name : names)
            EXPECT_EQ(show(name, &context), 0) << name;
    };
    askForAll();
    EXPECT_EQ(messages, (QStringList{QStringLiteral("类TComponent不是窗口类，不能显示！"),
                                     QStringLiteral("类TForm不是窗口类，不能显示！"),
                                     QStringLiteral("类TPersistent不是窗口类，不能显示！")}));
    EXPECT_TRUE(manager.released.isEmpty()) << "the host heard of a window it never saw";
    EXPECT_EQ(Application->ComponentCount(), 0);

    // With a window open the same: its reference stays the only one.
    show("TfrmSpineChild", &context);
    ASSERT_EQ(Windows().size(), 1);
    askForAll();
    EXPECT_EQ(Application->ComponentCount(), 1);
    CloseAndSettle(Windows().first());
    EXPECT_EQ(manager.released, QList<int32_t>{42});
}

TEST_F(PlugInLaunch, AModalWindowReturnsWhenClosedAndStaysRegistered)
{
    QTimer::singleShot(0, [this] {
        ASSERT_EQ(Windows().size(), 1);
        Windows().first()->SetModalResult(mrOk);
    });
    EXPECT_EQ(show("TfrmSpineDialog", &context), 0);
    ASSERT_EQ(Windows().size(), 1);
    TCustomForm* dialog = Windows().first();
    EXPECT_FALSE(dialog->Visible());
    show("TfrmSpineDialog", &context);   // shown again, modeless
    EXPECT_EQ(Windows().first(), dialog);
    EXPECT_TRUE(dialog->Visible());
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

TEST_F(PlugInLaunch, ANullOrIncompleteContextIsReported)
{
    // Before a context is adopted the plug-in's own application object reports.
    auto probe = reinterpret_cast<void* (*)()>(dlsym(module, "SpineProbeApplication"));
    ASSERT_NE(probe, nullptr);
    auto* own = static_cast<TApplication*>(probe());
    QStringList ownMessages;
    own->OnException = [&ownMessages](TObject*, const QString& message) { ownMessages << message; };

    EXPECT_EQ(show("TfrmSpineChild", nullptr), 0);
    TPlugInContext noApplication = context;
    noApplication.HostApplication = nullptr;
    EXPECT_EQ(show("TfrmSpineChild", &noApplication), 0);
    EXPECT_EQ(ownMessages, (QStringList{QStringLiteral("宿主没有提供插件上下文！"),
                                        QStringLiteral("宿主提供的插件上下文不完整：缺少HostApplication！")}));
    EXPECT_TRUE(Windows().isEmpty());
    EXPECT_TRUE(messages.isEmpty());
    own->OnException = nullptr;

    EXPECT_EQ(show("TfrmSpineChild", &context), 0);   // a good context afterwards still works
    EXPECT_EQ(Windows().size(), 1);
}

TEST_F(PlugInLaunch, DetachPutsThePlugInsOwnRuntimeObjectsBack)
{
    using Probe = void* (*)();
    auto application = reinterpret_cast<Probe>(dlsym(module, "SpineProbeApplication"));
    auto screen = reinterpret_cast<Probe>(dlsym(module, "SpineProbeScreen"));
    auto detach = reinterpret_cast<void (*)()>(dlsym(module, "SpineProbeDetach"));
    ASSERT_TRUE(application && screen && detach);
    // The module may stay mapped between tests of one process (Qt's unique symbols keep
    // it), so start from a detach: the plug-in's own objects are in place.
    detach();
    void* ownApplication = application();
    void* ownScreen = screen();
    EXPECT_NE(ownApplication, static_cast<void*>(Application));
    EXPECT_NE(ownScreen, static_cast<void*>(Screen));
    show("TNoSuchWindow", &context);
    EXPECT_EQ(application(), static_cast<void*>(Application));
    EXPECT_EQ(screen(), static_cast<void*>(Screen));
    TApplication otherHost;
    otherHost.OnException = [this](TObject*, const QString& message) { messages << message; };
    TPlugInContext second = context;
    second.HostApplication = &otherHost;
    show("TNoSuchWindow", &second);
    EXPECT_EQ(application(), static_cast<void*>(&otherHost));
    detach();
    EXPECT_EQ(application(), ownApplication);
    EXPECT_EQ(screen(), ownScreen);
    EXPECT_EQ(messages.size(), 2);
}

TEST(PlugInModule, ExportsExactlyOneSymbol)
{
    QProcess nm;
    nm.start(QStringLiteral("nm"), {QStringLiteral("-D"), QStringLiteral("--defined-only"), QStringLiteral(REAL_PLUGIN_PATH)});
    ASSERT_TRUE(nm.waitForFinished(30000));
    QStringList symbols;
    for (const QString& line : QString::fromLocal8Bit(nm.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList parts = line.split(u' ', Qt::SkipEmptyParts);
        if (parts.size() == 3 && parts.at(1) != QStringLiteral("A"))
            symbols << parts.at(2);
    }
    EXPECT_EQ(symbols, QStringList{QStringLiteral("ShowPlugInWindow")});
}
