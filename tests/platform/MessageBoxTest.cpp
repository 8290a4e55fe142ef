// Message boxes as shown: wide enough for the whole caption in the window manager's title
// bar (Qt alone sizes a box by its text and buttons and cut a long caption off), still
// sized by the text when that is the wider, and answered with the button pressed.
#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "platform/Dialogs.h"
#include "tests/support/FormsTestSupport.h"

namespace {

struct ShownBox {
    int width = 0;
    QString title;
    int answer = 0;
};

// Shows the box for real and, once it is on screen, measures it and presses `button`.
ShownBox ShowAndAnswer(const QString& text, const QString& caption, int flags, QMessageBox::StandardButton button)
{
    ShownBox shown;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll.stop();
        shown.width = box->width();
        shown.title = box->windowTitle();
        if (QAbstractButton* b = box->button(button))
            b->click();
        else
            box->reject();
    });
    poll.start();
    shown.answer = ShowMessageBox(text, caption, flags);
    return shown;
}

const QString kCaption = QStringLiteral("Corvalind 7.1-提示信息");

} // namespace

TEST(MessageBox, IsWideEnoughForItsWholeCaption)
{
    const ShownBox done = ShowAndAnswer(QStringLiteral("数据导出成功。"), kCaption, MB_OK | MB_ICONINFORMATION,
                                        QMessageBox::Ok);
    EXPECT_EQ(done.title, kCaption);
    EXPECT_EQ(done.answer, IDOK);
    QFont bold = QApplication::font();
    bold.setBold(true);
    // The title bar holds more than the caption's text: its icon and buttons too.
    EXPECT_GT(MessageBoxTitleWidth(kCaption), QFontMetrics(bold).horizontalAdvance(kCaption));
    EXPECT_GE(done.width, MessageBoxTitleWidth(kCaption));

    // A short caption does not widen the box: the same text under "提示" gives a narrower box.
    const ShownBox shortCaption = ShowAndAnswer(QStringLiteral("数据导出成功。"), QStringLiteral("提示"),
                                                MB_OK | MB_ICONINFORMATION, QMessageBox::Ok);
    EXPECT_LT(shortCaption.width, done.width);
}

TEST(MessageBox, AWideTextStillSizesTheBoxAndTheButtonPressedIsTheAnswer)
{
    const QString text = QStringLiteral("导出文件/tmp/一个很长的文件夹名/另一个很长的文件夹名/报表.xlsx失败：写入文件失败：No space left on device");
    const ShownBox wide = ShowAndAnswer(text, QStringLiteral("提示"), MB_YESNO | MB_ICONQUESTION, QMessageBox::No);
    EXPECT_EQ(wide.answer, IDNO);
    EXPECT_GT(wide.width, MessageBoxTitleWidth(QStringLiteral("提示")));

    const ShownBox cancelled = ShowAndAnswer(QStringLiteral("是否替换？"), kCaption, MB_YESNOCANCEL | MB_ICONQUESTION,
                                             QMessageBox::Cancel);
    EXPECT_EQ(cancelled.answer, IDCANCEL);
    EXPECT_GE(cancelled.width, MessageBoxTitleWidth(kCaption));
}
