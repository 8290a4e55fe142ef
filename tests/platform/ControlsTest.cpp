// Controls: the Align layout, change events that code does not raise, the radio
// group's range rules, buttons that end a modal form, splitters and tool bars.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "platform/ComCtrls.h"
#include "platform/Dialogs.h"
#include "platform/ExtCtrls.h"
#include "platform/StdCtrls.h"
#include "tests/support/FormsTestSupport.h"

namespace {

struct ChildSpec {
    TAlign align;
    QRect designed;
    bool visible;
    QRect expected;
};

struct AlignCase {
    const char* label;
    QList<ChildSpec> children;   // in creation order
};

class AlignLayout : public ::testing::TestWithParam<AlignCase> {};

// A 200 × 100 container without bevels.
TEST_P(AlignLayout, PlacesChildrenAsThePlatformDid)
{
    auto* owner = new TComponent(nullptr);
    auto* parent = new TPanel(owner);
    parent->SetBevelOuter(bvNone);
    parent->SetBounds(0, 0, 200, 100);
    QList<TControl*> controls;
    // As while a resource is read: the designed places decide, then one layout.
    parent->DisableAlign();
    for (const ChildSpec& child : GetParam().children) {
        auto* c = new TPanel(owner);
        c->SetBounds(child.designed.x(), child.designed.y(), child.designed.width(), child.designed.height());
        c->SetVisible(child.visible);
        c->SetAlign(child.align);
        c->SetParent(parent);
        controls.append(c);
    }
    parent->EnableAlign();
    for (qsizetype i = 0; i < controls.size(); ++i)
        EXPECT_EQ(controls.at(i)->BoundsRect(), GetParam().children.at(i).expected) << "child " << i;
    owner->Free();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AlignLayout,
    ::testing::Values(
        AlignCase{"top_bottom_client",
                  {{alClient, QRect(0, 0, 10, 10), true, QRect(0, 20, 200, 50)},
                   {alTop, QRect(0, 0, 10, 20), true, QRect(0, 0, 200, 20)},
                   {alBottom, QRect(0, 0, 10, 30), true, QRect(0, 70, 200, 30)}}},
        AlignCase{"tops_by_designed_top_not_creation",
                  {{alTop, QRect(0, 149, 10, 2), true, QRect(0, 40, 200, 2)},
                   {alTop, QRect(0, 0, 10, 40), true, QRect(0, 0, 200, 40)},
                   {alClient, QRect(0, 0, 10, 10), true, QRect(0, 42, 200, 58)}}},
        AlignCase{"lefts_by_designed_left_then_right",
                  {{alLeft, QRect(171, 0, 3, 10), true, QRect(50, 0, 3, 100)},
                   {alLeft, QRect(0, 0, 50, 10), true, QRect(0, 0, 50, 100)},
                   {alRight, QRect(0, 0, 40, 10), true, QRect(160, 0, 40, 100)},
                   {alClient, QRect(0, 0, 10, 10), true, QRect(53, 0, 107, 100)}}},
        AlignCase{"top_spans_before_left",
                  {{alLeft, QRect(0, 0, 30, 10), true, QRect(0, 25, 30, 75)},
                   {alTop, QRect(0, 0, 10, 25), true, QRect(0, 0, 200, 25)}}},
        AlignCase{"hidden_takes_no_room",
                  {{alTop, QRect(0, 0, 10, 25), false, QRect(0, 0, 10, 25)},
                   {alClient, QRect(0, 0, 10, 10), true, QRect(0, 0, 200, 100)}}},
        AlignCase{"none_keeps_its_place",
                  {{alNone, QRect(5, 6, 7, 8), true, QRect(5, 6, 7, 8)},
                   {alClient, QRect(0, 0, 10, 10), true, QRect(0, 0, 200, 100)}}}),
    [](const ::testing::TestParamInfo<AlignCase>& p) { return std::string(p.param.label); });

TEST(Panel, RaisedBevelInsetsTheClientAreaByOne)
{
    auto* owner = new TComponent(nullptr);
    auto* panel = new TPanel(owner);
    panel->SetBounds(0, 0, 171, 293);
    auto* inner = new TPanel(owner);
    inner->SetAlign(alClient);
    inner->SetParent(panel);
    EXPECT_EQ(inner->BoundsRect(), QRect(1, 1, 169, 291));
    panel->SetBevelOuter(bvNone);
    EXPECT_EQ(inner->BoundsRect(), QRect(0, 0, 171, 293));
    owner->Free();
}

class ControlsOnForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        form = new TForm(nullptr);
        form->SetBounds(0, 0, 400, 300);
        form->Show();
    }
    void TearDown() override { form->Free(); }
    TForm* form = nullptr;
};

TEST_F(ControlsOnForm, ComboItemIndexFromCodeFiresNoChangeButTheUserDoes)
{
    auto* cob = new TComboBox(form);
    cob->SetStyle(csDropDownList);
    cob->SetParent(form);
    int changes = 0;
    cob->OnChange = [&](TObject*) { ++changes; };
    cob->SetItems({QStringLiteral("控制数"), QStringLiteral("预算数"), QStringLiteral("临时指标")});
    cob->SetItemIndex(1);
    cob->SetText(QStringLiteral("临时指标"));
    EXPECT_EQ(cob->ItemIndex(), 2);
    cob->AddItem(QStringLiteral("x"));
    cob->Clear();
    EXPECT_EQ(changes, 0);

    cob->SetItems({QStringLiteral("a"), QStringLiteral("b")});
    cob->SetItemIndex(0);
    cob->SetFocus();
    QTest::keyClick(cob->Widget(), Qt::Key_Down);
    EXPECT_EQ(cob->ItemIndex(), 1);
    EXPECT_EQ(cob->Text(), QStringLiteral("b"));
    EXPECT_EQ(changes, 1);
}

TEST_F(ControlsOnForm, EditableComboReportsTypingOnceAfterStyleChanges)
{
    auto* cob = new TComboBox(form);
    cob->SetParent(form);
    cob->SetStyle(csDropDownList);
    cob->SetStyle(csDropDown);
    cob->SetStyle(csDropDown);
    int changes = 0;
    cob->OnChange = [&](TObject*) { ++changes; };
    cob->SetText(QStringLiteral("from code"));
    EXPECT_EQ(changes, 0);
    QTest::keyClick(static_cast<QComboBox*>(cob->Widget())->lineEdit(), Qt::Key_X);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(cob->Text().endsWith(QLatin1Char('x')));
}

TEST_F(ControlsOnForm, ComboOutOfRangeIndexSelectsNothing)
{
    auto* cob = new TComboBox(form);
    cob->SetStyle(csDropDownList);
    cob->SetParent(form);
    cob->SetItems({QStringLiteral("a")});
    cob->SetItemIndex(3);
    EXPECT_EQ(cob->ItemIndex(), -1);
    EXPECT_EQ(cob->Text(), QString());
}

struct RadioCase {
    int set;
    int expected;
};

class RadioGroupRange : public ::testing::TestWithParam<RadioCase> {};

TEST_P(RadioGroupRange, AboveLastSelectsLastBelowZeroSelectsNone)
{
    auto* owner = new TComponent(nullptr);
    auto* rg = new TRadioGroup(owner);
    rg->SetItems({QStringLiteral("导出当前所选单位"), QStringLiteral("导出当前所选单位及下级单位")});
    rg->SetItemIndex(0);
    rg->SetItemIndex(GetParam().set);
    EXPECT_EQ(rg->ItemIndex(), GetParam().expected);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(static_cast<QAbstractButton*>(rg->Button(i))->isChecked(), i == GetParam().expected);
    owner->Free();
}

INSTANTIATE_TEST_SUITE_P(Cases, RadioGroupRange,
                         ::testing::Values(RadioCase{0, 0}, RadioCase{1, 1}, RadioCase{2, 1}, RadioCase{99, 1},
                                           RadioCase{-1, -1}, RadioCase{-5, -1}));

TEST_F(ControlsOnForm, RadioGroupClickByTheUserSetsItemIndex)
{
    auto* rg = new TRadioGroup(form);
    rg->SetParent(form);
    rg->SetItems({QStringLiteral("a"), QStringLiteral("b")});
    int clicks = 0;
    rg->OnClick = [&](TObject*) { ++clicks; };
    QTest::mouseClick(rg->Button(1), Qt::LeftButton, {}, QPoint(5, 8));
    EXPECT_EQ(rg->ItemIndex(), 1);
    EXPECT_EQ(clicks, 1);
}

TEST_F(ControlsOnForm, CheckBoxClickTogglesAndReportsOnce)
{
    auto* cb = new TCheckBox(form);
    cb->SetParent(form);
    cb->SetCaption(QStringLiteral("连续打印"));
    int clicks = 0;
    cb->OnClick = [&](TObject*) { ++clicks; };
    QTest::mouseClick(cb->Widget(), Qt::LeftButton, {}, QPoint(5, 8));
    EXPECT_TRUE(cb->Checked());
    EXPECT_EQ(clicks, 1);
    cb->SetChecked(false);   // from code: the platform reported this as a click too
    EXPECT_FALSE(cb->Checked());
    EXPECT_EQ(clicks, 2);
}

TEST_F(ControlsOnForm, SplitterDragResizesTheControlBeforeIt)
{
    auto* left = new TPanel(form);
    left->SetBounds(0, 0, 100, 10);
    left->SetAlign(alLeft);
    left->SetParent(form);
    auto* splitter = new TSplitter(form);
    splitter->SetBounds(100, 0, 3, 10);
    splitter->SetParent(form);
    auto* client = new TPanel(form);
    client->SetAlign(alClient);
    client->SetParent(form);
    const int clientWidth = form->ClientWidth();
    EXPECT_EQ(splitter->FindResizeControl(), left);

    QTest::mousePress(splitter->Widget(), Qt::LeftButton, {}, QPoint(1, 5));
    QMouseEvent move(QEvent::MouseMove, QPointF(21, 5), splitter->Widget()->mapToGlobal(QPointF(21, 5)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(splitter->Widget(), &move);
    QTest::mouseRelease(splitter->Widget(), Qt::LeftButton, {}, QPoint(21, 5));

    EXPECT_EQ(left->Width(), 120);
    EXPECT_EQ(splitter->Left(), 120);
    EXPECT_EQ(client->Left(), 123);
    EXPECT_EQ(client->Width(), clientWidth - 123);
    splitter->MoveBy(-200);   // never below MinSize
    EXPECT_EQ(left->Width(), splitter->MinSize());
}

TEST_F(ControlsOnForm, ToolBarPlacesButtonsAndSeparatorsInOrderOfLeft)
{
    auto* bar = new TToolBar(form);
    bar->SetParent(form);
    bar->SetButtonHeight(35);
    bar->SetShowCaptions(true);
    auto addButton = [&](int left, const QString& caption, TToolButtonStyle style, int width) {
        auto* b = new TToolButton(form);
        b->SetBounds(left, 0, width, 22);
        b->SetStyle(style);
        b->SetCaption(caption);
        b->SetParent(bar);
        return b;
    };
    bar->DisableAlign();   // as while a resource is read
    auto* exit = addButton(200, QStringLiteral(" 退出 "), tbsButton, 50);
    auto* sep = addButton(61, QString(), tbsSeparator, 8);
    auto* excel = addButton(0, QStringLiteral("导出excel"), tbsButton, 61);
    bar->SetButtonWidth(61);
    bar->EnableAlign();
    EXPECT_EQ(bar->Buttons(), (QList<TToolButton*>{excel, sep, exit}));
    EXPECT_EQ(excel->BoundsRect(), QRect(0, 0, 61, 35));
    EXPECT_EQ(sep->BoundsRect(), QRect(61, 0, 8, 35));
    EXPECT_EQ(exit->Left(), 69);
    int clicks = 0;
    exit->OnClick = [&](TObject*) { ++clicks; };
    QTest::mouseClick(exit->Widget(), Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
}

TEST(ProgressBar, PositionStaysWithinMinAndMax)
{
    auto* owner = new TComponent(nullptr);
    auto* bar = new TProgressBar(owner);
    bar->SetMax(50);
    bar->SetPosition(80);
    EXPECT_EQ(bar->Position(), 50);
    bar->SetPosition(-3);
    EXPECT_EQ(bar->Position(), 0);
    bar->SetStep(7);
    bar->StepIt();
    EXPECT_EQ(bar->Position(), 7);
    owner->Free();
}

TEST(SaveDialog, ExecuteIsAnsweredByTheApplicationsHook)
{
    auto* owner = new TComponent(nullptr);
    auto* sd = new TSaveDialog(owner);
    sd->SetFilter(QStringLiteral("文件类型 (*.xls)|*.xls|所有文件|*.*"));
    sd->SetFileName(QStringLiteral("指标表.xls"));
    EXPECT_EQ(sd->QtFilter(), QStringLiteral("文件类型 (*.xls);;所有文件 (*.*)"));
    QString seen;
    Application->DialogHook = [&](TCommonDialog* d) {
        auto* save = static_cast<TSaveDialog*>(d);
        seen = save->FileName();
        save->SetFileName(QStringLiteral("/tmp/out.xls"));
        return true;
    };
    EXPECT_TRUE(sd->Execute());
    EXPECT_EQ(seen, QStringLiteral("指标表.xls"));
    EXPECT_EQ(sd->FileName(), QStringLiteral("/tmp/out.xls"));
    Application->DialogHook = [](TCommonDialog*) { return false; };
    EXPECT_FALSE(sd->Execute());
    Application->DialogHook = nullptr;
    owner->Free();
}

} // namespace
