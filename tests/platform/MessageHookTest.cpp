// The application's message hook: key and mouse events as the platform's messages,
// one message per event, Handled keeps the event from its window, handlers chain.
#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include "platform/StdCtrls.h"
#include "tests/support/FormsTestSupport.h"

namespace {

class MessageHook : public ::testing::Test {
protected:
    void SetUp() override
    {
        form = new TForm(nullptr);
        form->SetBounds(0, 0, 300, 200);
        target = new TCustomControl(form);
        target->SetBounds(10, 10, 100, 50);
        target->SetParent(form);
        form->Show();
        Application->OnMessage = [this](TMsg& msg, bool& handled) {
            if (msg.hwnd == target->Widget() || msg.hwnd == inner)
                messages.append(msg);
            handled = handleWhat != 0 && msg.message == handleWhat;
        };
    }
    void TearDown() override
    {
        Application->OnMessage = nullptr;
        form->Free();
    }
    QList<unsigned> ids() const
    {
        QList<unsigned> list;
        for (const TMsg& m : messages)
            list << m.message;
        return list;
    }

    TForm* form = nullptr;
    TCustomControl* target = nullptr;
    QWidget* inner = nullptr;
    QList<TMsg> messages;
    unsigned handleWhat = 0;
};

} // namespace

TEST_F(MessageHook, MouseMessagesCarryTheWindowAndClientCoordinates)
{
    QTest::mousePress(target->Widget(), Qt::LeftButton, {}, QPoint(7, 9));
    QTest::mouseRelease(target->Widget(), Qt::LeftButton, {}, QPoint(40, 30));
    ASSERT_EQ(ids(), (QList<unsigned>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    EXPECT_EQ(messages[0].hwnd, target->Widget());
    EXPECT_EQ(LoWord(messages[0].lParam), 7);
    EXPECT_EQ(HiWord(messages[0].lParam), 9);
    EXPECT_EQ(LoWord(messages[1].lParam), 40);
    EXPECT_EQ(HiWord(messages[1].lParam), 30);
    EXPECT_TRUE(messages[0].wParam & MK_LBUTTON);

    QMouseEvent move(QEvent::MouseMove, QPointF(12, 34), target->Widget()->mapToGlobal(QPointF(12, 34)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target->Widget(), &move);
    ASSERT_EQ(messages.size(), 3);
    EXPECT_EQ(messages[2].message, WM_MOUSEMOVE);
    EXPECT_EQ(messages[2].lParam, MakeLParam(12, 34));
}

TEST_F(MessageHook, KeyMessagesCarryTheVirtualKeyAndTheModifierState)
{
    short controlState = 0;
    Application->OnMessage = [&](TMsg& msg, bool& handled) {
        handled = false;
        if (msg.hwnd == target->Widget())
            messages.append(msg);
        if (msg.message == WM_KEYUP)
            controlState = GetKeyState(VK_CONTROL);
    };
    QTest::keyClick(target->Widget(), Qt::Key_Space);
    ASSERT_EQ(ids(), (QList<unsigned>{WM_KEYDOWN, WM_KEYUP}));
    EXPECT_EQ(messages[1].wParam, static_cast<WPARAM>(VK_SPACE));
    EXPECT_GE(controlState, 0);
    QTest::keyClick(target->Widget(), Qt::Key_Space, Qt::ControlModifier);
    EXPECT_LT(controlState, 0) << "Ctrl is down while the key message is handled";
    QTest::keyClick(target->Widget(), Qt::Key_A);
    EXPECT_EQ(messages.last().wParam, static_cast<WPARAM>('A'));
}

TEST_F(MessageHook, OneEventIsOneMessageEvenWhenQtHandsItToTheParents)
{
    // A plain child widget ignores mouse presses, so Qt offers the event to its parents.
    inner = new QWidget(target->Widget());
    inner->setGeometry(5, 5, 20, 20);
    inner->show();
    QTest::mousePress(inner, Qt::LeftButton, {}, QPoint(3, 4));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].hwnd, inner);
    QTest::mouseRelease(inner, Qt::LeftButton, {}, QPoint(3, 4));
    QTest::mousePress(inner, Qt::LeftButton, {}, QPoint(3, 4));
    EXPECT_EQ(ids(), (QList<unsigned>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN}));
    QTest::mouseRelease(inner, Qt::LeftButton, {}, QPoint(3, 4));
}

TEST_F(MessageHook, HandledKeepsTheEventFromItsWindow)
{
    auto* button = new TButton(form);
    button->SetParent(form);
    int clicks = 0;
    button->OnClick = [&](TObject*) { ++clicks; };
    handleWhat = WM_LBUTTONDOWN;
    QTest::mouseClick(button->Widget(), Qt::LeftButton);
    EXPECT_EQ(clicks, 0);
    handleWhat = 0;
    QTest::mouseClick(button->Widget(), Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
}

TEST_F(MessageHook, HandlersChainAndAFailingHandlerDoesNotStopTheEvent)
{
    formstest::ExceptionRecorder recorder;
    auto previous = Application->OnMessage.handler();
    int chained = 0;
    Application->OnMessage = [&](TMsg& msg, bool& handled) {
        ++chained;
        previous(msg, handled);
    };
    QTest::mousePress(target->Widget(), Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_GE(chained, 1);
    EXPECT_EQ(messages.size(), 1);

    Application->OnMessage = [&](TMsg&, bool&) { throw Exception(QStringLiteral("hook failed")); };
    QTest::mouseRelease(target->Widget(), Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_TRUE(recorder.messages.contains(QStringLiteral("hook failed")));
}

TEST(Application, HandleExceptionShowsTheMessageInAMessageBox)
{
    QStringList shown;
    auto saved = Application->MessageBoxHook;
    Application->MessageBoxHook = [&](const QString& text, const QString&, int flags) {
        shown << text;
        EXPECT_EQ(flags & 0xF0, MB_ICONERROR);
        return IDOK;
    };
    Application->HandleException(nullptr, Exception(QStringLiteral("类TNoSuch没有进行注册或不存在！")));
    Application->HandleException(nullptr, std::runtime_error("plain failure"));
    Application->MessageBoxHook = saved;
    EXPECT_EQ(shown, (QStringList{QStringLiteral("类TNoSuch没有进行注册或不存在！"), QStringLiteral("plain failure")}));
}

TEST(Screen, HourGlassCursorUntilDefault)
{
    Screen->SetCursor(crHourGlass);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    Screen->SetCursor(crHourGlass);   // twice: still one override
    Screen->SetCursor(crDefault);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(Screen->Cursor(), crDefault);
    EXPECT_GT(Screen->Width(), 0);
    EXPECT_GT(Screen->Height(), 0);
}
