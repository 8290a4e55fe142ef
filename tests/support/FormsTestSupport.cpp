#include "tests/support/FormsTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMenuBar>
#include <gtest/gtest.h>
#include "tests/QuietRuntime.h"

namespace formstest {

namespace {

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new testsupport::QuietRuntime);

TMenuItem* AddMenu(TMainMenu* menu, const QString& caption, int group)
{
    auto* item = new TMenuItem(menu->Owner());
    item->SetCaption(caption);
    item->SetGroupIndex(group);
    menu->Items()->Add(item);
    return item;
}

} // namespace

MdiHost::MdiHost()
{
    FForm = new TForm(Application);
    FForm->SetName(QStringLiteral("frmHostMain"));
    FForm->SetFormStyle(fsMDIForm);
    FForm->SetBounds(0, 0, 800, 600);
    auto* menu = new TMainMenu(FForm);
    AddMenu(menu, QStringLiteral("系统(&X)"), 0);
    AddMenu(menu, QStringLiteral("窗口(&W)"), 5);
    AddMenu(menu, QStringLiteral("帮助(&H)"), 9);
    FForm->SetMenu(menu);
    Application->SetMainForm(FForm);
    FForm->Show();
}

MdiHost::~MdiHost()
{
    Application->SetMainForm(nullptr);
    FForm->Free();
    QCoreApplication::processEvents();
}

QStringList MdiHost::menuCaptions() const
{
    auto* bar = FForm->Widget()->findChild<QMenuBar*>();
    return bar ? MenuBarCaptions(bar->actions()) : QStringList();
}

ExceptionRecorder::ExceptionRecorder()
{
    Application->OnException = [this](TObject*, const QString& message) { messages << message; };
}

ExceptionRecorder::~ExceptionRecorder()
{
    Application->OnException = nullptr;
}

bool WaitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

} // namespace formstest
