// The loader's side of a plug-in's life in the host: the release notice reaches it each
// time the plug-in's last window goes, the handle is given back, and the next window
// opens. (That the module stays mapped is shown on the real plug-in by the scenario
// WindowLifeScenario: this small plug-in holds unique symbols, which keep it mapped anyway.)
#include <QMdiSubWindow>
#include <QTest>
#include <gtest/gtest.h>

#include "host/HostEnvironment.h"
#include "host/MainWindow.h"
#include "host/PlugInLoader.h"
#include "tests/QuietRuntime.h"

namespace {

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new testsupport::QuietRuntime);

TEST(PlugInLoader, EveryReleaseIsCountedAndTheNextWindowOpens)
{
    HostEnvironment host;
    PlugInLoader loader(QStringLiteral(FORMS_PLUGIN_PATH));
    auto* main = new MainWindow(Application, host, loader);
    Application->SetMainForm(main);
    main->Show();
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        main->showPlugInWindow(QStringLiteral("TfrmFormsPlugInChild"));
        ASSERT_EQ(main->MDIChildCount(), 1);
        auto* sub = qobject_cast<QMdiSubWindow*>(main->MDIChildren(0)->WindowWidget());
        ASSERT_NE(sub, nullptr);
        sub->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return loader.releaseCount() == round && !loader.isLoaded(); }));
        EXPECT_EQ(main->MDIChildCount(), 0);
    }
    Application->SetMainForm(nullptr);
    main->Free();
}

} // namespace
