// The base windows: the dialog's Enter and Escape keys, CenterForm, the show-modal
// flag, and the tree frame's layout.
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "platform/StdCtrls.h"
#include "plugin/wnBsDialog.h"
#include "plugin/wnBsTrvTC.h"
#include "tests/support/FormsTestSupport.h"

namespace {

// A line edit that remembers the characters it was given.
class RecordingLineEdit : public QLineEdit {
public:
    QStringList received;

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        received << e->text();
        QLineEdit::keyPressEvent(e);
    }
};

class TRecordingEdit : public TWinControl {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TRecordingEdit(TComponent* AOwner) : TWinControl(AOwner, new RecordingLineEdit)
    {
        SetTabStop(true);
        SetBounds(0, 0, 100, 20);
    }
    QStringList Received() const { return static_cast<RecordingLineEdit*>(Widget())->received; }
};

class TfrmShowFails : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmShowFails(TComponent* AOwner) : TfrmBase(AOwner, TFormChain{}) { FinishCreate(); }
    Q_INVOKABLE void FormShow(TObject*) { throw Exception(QStringLiteral("FormShow failed on purpose")); }
};

// A dialog with three fields in tab order 0, 1, 2 (created in another order).
struct DialogWithFields {
    DialogWithFields()
    {
        dialog = new TfrmBsDialog(nullptr);
        for (int order : {2, 0, 1}) {
            auto* edit = new TRecordingEdit(dialog);
            edit->SetName(QStringLiteral("edt%1").arg(order));
            edit->SetBounds(10, 10 + 30 * order, 100, 20);
            edit->SetParent(dialog);
            edit->SetTabOrder(order);
        }
        for (int i = 0; i < 3; ++i)
            fields << static_cast<TRecordingEdit*>(dialog->FindComponent(QStringLiteral("edt%1").arg(i)));
    }
    ~DialogWithFields() { dialog->Free(); }
    TfrmBsDialog* dialog;
    QList<TRecordingEdit*> fields;
};

} // namespace

TEST(BaseForms, BaseResourceGivesFontSizeAndPosition)
{
    auto* form = new TfrmBase(nullptr);
    EXPECT_EQ(form->Name(), QStringLiteral("frmBase"));
    EXPECT_EQ(form->BoundsRect(), QRect(192, 0, 543, 390));
    EXPECT_EQ(form->Font()->Name(), QStringLiteral("宋体"));
    EXPECT_EQ(form->Font()->Height(), -12);
    EXPECT_EQ(form->Font()->Charset(), GB2312_CHARSET);
    EXPECT_EQ(form->Position(), poDesktopCenter);
    EXPECT_TRUE(form->ShowModalFlag());
    form->Free();
}

TEST(BaseForms, DialogResourceAndFlags)
{
    auto* dialog = new TfrmBsDialog(nullptr);
    EXPECT_EQ(dialog->Name(), QStringLiteral("frmBsDialog"));
    EXPECT_EQ(dialog->Caption(), QStringLiteral("frmBsDialog"));
    EXPECT_EQ(dialog->BorderIcons(), 1u << biSystemMenu);
    EXPECT_TRUE(dialog->KeyPreview());
    EXPECT_TRUE(dialog->EnterAsTab());
    EXPECT_TRUE(dialog->ShowModalFlag());
    EXPECT_EQ(dialog->Width(), 543);   // from the base resource
    dialog->Free();
}

TEST(BaseForms, EnterMovesToTheNextFieldAndTheFieldGetsLineFeed)
{
    DialogWithFields d;
    d.dialog->Show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(d.dialog->Widget()));
    d.fields[0]->SetFocus();
    ASSERT_TRUE(formstest::WaitFor([&] { return d.fields[0]->Focused(); }));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(d.fields[1]->Focused());
    EXPECT_EQ(d.fields[0]->Received(), QStringList{QStringLiteral("\n")});

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(d.fields[2]->Focused());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(d.fields[0]->Focused()) << "the tab order wraps round";
    EXPECT_EQ(d.fields[2]->Received(), QStringList{QStringLiteral("\n")});

    // Other keys pass unchanged.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A);
    EXPECT_EQ(d.fields[0]->Received(), (QStringList{QStringLiteral("\n"), QStringLiteral("a")}));
}

TEST(BaseForms, WithoutEnterAsTabEnterStaysACarriageReturn)
{
    DialogWithFields d;
    d.dialog->SetEnterAsTab(false);
    d.dialog->Show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(d.dialog->Widget()));
    d.fields[1]->SetFocus();
    ASSERT_TRUE(formstest::WaitFor([&] { return d.fields[1]->Focused(); }));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(d.fields[1]->Focused());
    EXPECT_EQ(d.fields[1]->Received(), QStringList{QStringLiteral("\r")});
}

struct ModalCase {
    const char* label;
    std::function<void(DialogWithFields&)> act;
    int expected;
};

class DialogModal : public ::testing::TestWithParam<ModalCase> {};

TEST_P(DialogModal, EndsWithTheExpectedResult)
{
    DialogWithFields d;
    auto* ok = new TButton(d.dialog);
    ok->SetName(QStringLiteral("btnOK"));
    ok->SetParent(d.dialog);
    ok->SetModalResult(mrOk);
    bool acted = false;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (acted || !d.dialog->Widget()->isVisible())
            return;
        acted = true;
        GetParam().act(d);
    });
    timer.start();
    const int result = d.dialog->ShowModal();
    EXPECT_TRUE(acted);
    EXPECT_EQ(result, GetParam().expected);
    EXPECT_FALSE(d.dialog->Widget()->isVisible()) << "a dialog is hidden, not freed, when it closes";
    EXPECT_FALSE(d.dialog->FormState() & fsModal);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DialogModal,
    ::testing::Values(
        ModalCase{"escape_on_a_field",
                  [](DialogWithFields& d) {
                      d.fields[1]->SetFocus();
                      QTest::keyClick(d.fields[1]->Widget(), Qt::Key_Escape);
                  },
                  mrCancel},
        ModalCase{"escape_on_the_window", [](DialogWithFields& d) { QTest::keyClick(d.dialog->Widget(), Qt::Key_Escape); },
                  mrCancel},
        ModalCase{"close_box", [](DialogWithFields& d) { d.dialog->Widget()->close(); }, mrCancel},
        ModalCase{"ok_button",
                  [](DialogWithFields& d) {
                      QTest::mouseClick(static_cast<TButton*>(d.dialog->FindComponent(QStringLiteral("btnOK")))->Widget(),
                                        Qt::LeftButton);
                  },
                  mrOk}),
    [](const ::testing::TestParamInfo<ModalCase>& p) { return std::string(p.param.label); });

struct CenterCase {
    int excess;    // form size minus screen size
    int expected;  // Left (and Top) that CenterForm gives
};

class CenterFormTruncation : public ::testing::TestWithParam<CenterCase> {};

TEST_P(CenterFormTruncation, DividesTowardZero)
{
    auto* form = new TfrmBase(nullptr);
    form->SetBounds(7, 7, Screen->Width() + GetParam().excess, Screen->Height() + GetParam().excess);
    CenterForm(form);
    EXPECT_EQ(form->Left(), GetParam().expected);
    EXPECT_EQ(form->Top(), GetParam().expected);
    form->Free();
}

INSTANTIATE_TEST_SUITE_P(Cases, CenterFormTruncation,
                         ::testing::Values(CenterCase{3, -1}, CenterCase{1, 0}, CenterCase{4, -2}, CenterCase{0, 0},
                                           CenterCase{-51, 25}, CenterCase{-100, 50}));

TEST(BaseForms, ShowingCentresAndAFailingFormShowLeavesTheFormHidden)
{
    auto* form = new TfrmBase(nullptr);
    form->SetPosition(poDesigned);
    form->Show();
    EXPECT_EQ(form->Left(), (Screen->Width() - 543) / 2);
    EXPECT_EQ(form->Top(), (Screen->Height() - 390) / 2);
    form->Free();

    auto* failing = new TfrmShowFails(nullptr);
    EXPECT_THROW(failing->Show(), Exception);
    EXPECT_FALSE(failing->Visible());
    EXPECT_FALSE(failing->Widget()->isVisible());
    failing->Free();
}

// Showing a window asks the window system for nothing that a platform may lack: the
// offscreen platform of headless runs warns at every raise() ("This plugin does not
// support raise()"), and a window just shown is in front anyway.
namespace {
QStringList g_warnings;
} // namespace

TEST(BaseForms, ShowingAWindowWarnsNothingOnTheOffscreenPlatform)
{
    g_warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) {
        g_warnings << m;
    });
    auto* form = new TfrmBase(nullptr);
    form->Show();
    QApplication::processEvents();
    qInstallMessageHandler(previous);
    form->Free();
    EXPECT_TRUE(g_warnings.isEmpty()) << g_warnings.join(QLatin1Char('\n')).toStdString();
}

TEST(BaseForms, TreeFrameLaysOutTreeLeftAndTwoAreasRight)
{
    formstest::MdiHost host;
    auto* form = new TfrmBsTrvTC(Application);
    EXPECT_FALSE(form->ShowModalFlag());
    EXPECT_EQ(form->WindowState(), wsNormal);
    EXPECT_EQ(form->Position(), poScreenCenter);
    EXPECT_EQ(form->Caption(), QString());
    form->Show();
    QApplication::processEvents();

    const QRect client = form->ClientRect();
    EXPECT_EQ(form->ctblChild->BoundsRect(), QRect(0, 0, client.width(), 39));
    EXPECT_EQ(form->tblChildMain->BoundsRect(), QRect(9, 0, client.width() - 13, 35));
    EXPECT_EQ(form->pnlBottom->BoundsRect(), QRect(0, 39, client.width(), client.height() - 39));
    const int h = form->pnlBottom->Height();
    const int w = form->pnlBottom->Width();
    EXPECT_EQ(form->pnlLeft->BoundsRect(), QRect(0, 0, 171, h));
    EXPECT_EQ(form->trvList->BoundsRect(), QRect(1, 1, 169, h - 2));
    EXPECT_EQ(form->Splitter1->BoundsRect(), QRect(171, 0, 3, h));
    EXPECT_EQ(form->pnlNo->BoundsRect(), QRect(174, 0, w - 174, h));
    EXPECT_EQ(form->pnlBTop->BoundsRect(), QRect(0, 0, w - 174, 149));
    EXPECT_EQ(form->Splitter2->BoundsRect(), QRect(0, 149, w - 174, 2));
    EXPECT_EQ(form->pnlBBotton->BoundsRect(), QRect(0, 151, w - 174, h - 151));
    EXPECT_EQ(form->pnlRightTop->BoundsRect(), QRect(0, 0, w - 174, 126));
    EXPECT_EQ(form->pnlTopMessage->BoundsRect(), QRect(0, 126, w - 174, 23));
    EXPECT_EQ(form->pnlBottonMessage->BoundsRect(), QRect(0, h - 151 - 22, w - 174, 22));
    EXPECT_EQ(form->Splitter2->Cursor(), crVSplit);
    form->Free();
}

#include "BaseFormsTest.moc"
