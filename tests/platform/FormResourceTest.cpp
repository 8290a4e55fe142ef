// Form resources: a class chain reads its resources base first, each derived resource
// changes what the base made, and every error names the resource and the line.
#include <gtest/gtest.h>

#include "platform/ExtCtrls.h"
#include "platform/FormResource.h"
#include "platform/StdCtrls.h"
#include "tests/support/FormsTestSupport.h"

namespace {

class TfrmResBase : public TForm {
    Q_OBJECT
    Q_CLASSINFO("FormResource", "tstResourceBase.form")
public:
    Q_INVOKABLE explicit TfrmResBase(TComponent* AOwner) : TfrmResBase(AOwner, TFormChain{}) { FinishCreate(); }
    Q_INVOKABLE void FormCreate(TObject*) { ++creates; }
    Q_INVOKABLE void btnGoClick(TObject*) { clicks << QStringLiteral("base"); }
    int creates = 0;
    QStringList clicks;
    TButton* btnGo = nullptr;

protected:
    TfrmResBase(TComponent* AOwner, TFormChain chain) : TForm(AOwner, chain) {}
    void BindFields() override { btnGo = FindChild<TButton>(QStringLiteral("btnGo")); }
};

class TfrmResDerived : public TfrmResBase {
    Q_OBJECT
    Q_CLASSINFO("FormResource", "tstResourceDerived.form")
public:
    Q_INVOKABLE explicit TfrmResDerived(TComponent* AOwner) : TfrmResBase(AOwner, TFormChain{}) { FinishCreate(); }
    // Bound by name: the resource of the base names it, the derived class's wins.
    Q_INVOKABLE void btnGoClick(TObject*) { clicks << QStringLiteral("derived"); }
};

class TfrmCreateFails : public TForm {
    Q_OBJECT
    Q_CLASSINFO("FormResource", "tstCreateFails.form")
public:
    Q_INVOKABLE explicit TfrmCreateFails(TComponent* AOwner) : TForm(AOwner, TFormChain{}) { FinishCreate(); }
    Q_INVOKABLE void FormCreate(TObject*) { throw Exception(QStringLiteral("FormCreate failed on purpose")); }
};

class TfrmMissingResource : public TForm {
    Q_OBJECT
    Q_CLASSINFO("FormResource", "noSuchUnit.form")
public:
    Q_INVOKABLE explicit TfrmMissingResource(TComponent* AOwner) : TForm(AOwner, TFormChain{}) { FinishCreate(); }
};

} // namespace

TEST(FormResource, BaseResourceSetsPropertiesNestedValuesSetsAndLists)
{
    auto* form = new TfrmResBase(nullptr);
    EXPECT_EQ(form->Name(), QStringLiteral("frmResBase"));
    EXPECT_EQ(form->Caption(), QStringLiteral("BaseAx"));
    EXPECT_EQ(form->BoundsRect(), QRect(10, 20, 300, 200));
    EXPECT_EQ(form->Font()->Name(), QStringLiteral("宋体"));
    EXPECT_EQ(form->Font()->Height(), -14);
    EXPECT_EQ(form->Font()->Style(), 1u << fsBold);
    EXPECT_EQ(form->BorderIcons(), (1u << biSystemMenu) | (1u << biMaximize));
    EXPECT_EQ(form->creates, 1);

    auto* pnlTop = form->FindChild<TPanel>(QStringLiteral("pnlTop"));
    EXPECT_EQ(pnlTop->Caption(), QStringLiteral("it's"));
    EXPECT_EQ(pnlTop->Parent(), form);
    EXPECT_EQ(form->btnGo->Parent(), pnlTop);
    EXPECT_EQ(form->btnGo->Owner(), form);
    auto* cob = form->FindChild<TComboBox>(QStringLiteral("cobKind"));
    EXPECT_EQ(cob->Items(), (QStringList{QStringLiteral("控制数"), QStringLiteral("预算数")}));
    EXPECT_EQ(cob->ItemIndex(), -1);
    EXPECT_EQ(form->FindChild<TRadioGroup>(QStringLiteral("rgPick"))->ItemIndex(), 1);
    form->Free();
}

TEST(FormResource, DerivedResourceChangesInheritedComponentsAndBindsTheDerivedHandler)
{
    auto* form = new TfrmResDerived(nullptr);
    EXPECT_EQ(form->Name(), QStringLiteral("frmResDerived"));
    EXPECT_EQ(form->Caption(), QStringLiteral("Derived"));
    EXPECT_EQ(form->Width(), 300);   // from the base resource
    EXPECT_EQ(form->FindChild<TPanel>(QStringLiteral("pnlTop"))->Height(), 40);
    auto* client = form->FindChild<TPanel>(QStringLiteral("pnlClient"));
    EXPECT_EQ(client->Align(), alClient);
    EXPECT_EQ(form->creates, 1) << "OnCreate fires once, after the whole chain was read";
    form->btnGo->Click();
    EXPECT_EQ(form->clicks, QStringList{QStringLiteral("derived")});
    form->Free();
}

TEST(FormResource, FindChildNamesTheMissingField)
{
    auto* form = new TfrmResBase(nullptr);
    try {
        form->FindChild<TPanel>(QStringLiteral("btnGo"));   // exists, wrong class
        ADD_FAILURE() << "no exception";
    } catch (const EFilerError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("btnGo"))) << e.what();
        EXPECT_TRUE(e.Message().contains(QStringLiteral("TPanel"))) << e.what();
    }
    form->Free();
}

struct BadResourceCase {
    const char* label;
    const char* text;
    int line;
    const char* names;   // what the message must name besides resource and line
};

class FormResourceErrors : public ::testing::TestWithParam<BadResourceCase> {};

TEST_P(FormResourceErrors, NameTheResourceTheLineAndTheCulprit)
{
    const BadResourceCase& c = GetParam();
    auto* form = new TForm(nullptr);
    try {
        ReadComponentResource(form, QStringLiteral("bad.form"), QString::fromUtf8(c.text));
        ADD_FAILURE() << "no exception for " << c.label;
    } catch (const EFilerError& e) {
        const QString m = e.Message();
        EXPECT_TRUE(m.contains(QStringLiteral("bad.form"))) << m.toStdString();
        EXPECT_TRUE(m.contains(QStringLiteral("第%1行").arg(c.line))) << m.toStdString();
        EXPECT_TRUE(m.contains(QString::fromUtf8(c.names))) << m.toStdString();
    }
    form->Free();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormResourceErrors,
    ::testing::Values(
        BadResourceCase{"unknown class", "object f: TForm\n  Left = 1\n  object x: TNoSuchControl\n  end\nend", 3, "TNoSuchControl"},
        BadResourceCase{"unknown property", "object f: TForm\n  Left = 1\n  Colour = clRed\nend", 3, "Colour"},
        BadResourceCase{"unknown nested property", "object f: TForm\n  Font.Weight = 3\nend", 2, "Weight"},
        BadResourceCase{"unknown handler", "object f: TForm\n\n  OnShow = NoSuchHandler\nend", 3, "NoSuchHandler"},
        BadResourceCase{"text for a number", "object f: TForm\n  Left = 'abc'\nend", 2, "Left"},
        BadResourceCase{"unknown value name", "object f: TForm\n  Position = poNowhere\nend", 2, "poNowhere"},
        BadResourceCase{"unknown set element", "object f: TForm\n  BorderIcons = [biSystemMenu, biNothing]\nend", 2, "biNothing"},
        BadResourceCase{"missing end", "object f: TForm\n  Left = 1\n", 3, "end"},
        BadResourceCase{"reference to nothing", "object f: TForm\n  Menu = mnuNothing\nend", 2, "mnuNothing"},
        BadResourceCase{"reference of the wrong class",
                        "object f: TForm\n  Menu = pnl\n  object pnl: TPanel\n  end\nend", 2, "pnl"},
        BadResourceCase{"resource of another class", "object f: TPanel\nend", 1, "TPanel"},
        BadResourceCase{"unterminated text", "object f: TForm\n  Caption = 'abc\nend", 2, "引号"},
        BadResourceCase{"inherited component missing", "inherited f: TForm\n  inherited pnlGone: TPanel\n  end\nend", 2, "pnlGone"},
        BadResourceCase{"duplicate name", "object f: TForm\n  object p: TPanel\n  end\n  object p: TPanel\n  end\nend", 4, "p"}),
    [](const ::testing::TestParamInfo<BadResourceCase>& p) {
        std::string name = p.param.label;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

TEST(FormResource, MissingResourceOrFailingFormCreateLeavesNothingBehind)
{
    const int before = Application->ComponentCount();
    try {
        new TfrmMissingResource(Application);
        ADD_FAILURE() << "no exception";
    } catch (const EFilerError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("noSuchUnit.form"))) << e.what();
    }
    EXPECT_EQ(Application->ComponentCount(), before);

    try {
        new TfrmCreateFails(Application);
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("FormCreate failed on purpose"));
    }
    EXPECT_EQ(Application->ComponentCount(), before);
    EXPECT_EQ(Application->FindComponent(QStringLiteral("frmCreateFails")), nullptr);
}

TEST(FormResource, RegisteredClassesAndValueNamesAreFoundByName)
{
    EXPECT_EQ(FindComponentClass(QStringLiteral("TPanel")), &TPanel::staticMetaObject);
    EXPECT_EQ(FindComponentClass(QStringLiteral("tcombobox")), &TComboBox::staticMetaObject);
    EXPECT_EQ(FindComponentClass(QStringLiteral("TfrmResBase")), nullptr);
    RegisterComponentClass(&TfrmResBase::staticMetaObject);
    EXPECT_EQ(FindComponentClass(QStringLiteral("TfrmResBase")), &TfrmResBase::staticMetaObject);
    int v = 0;
    ASSERT_TRUE(FindResourceIdent(QStringLiteral("clBtnFace"), v));
    EXPECT_EQ(v, clBtnFace);
    RegisterResourceIdent(QStringLiteral("aekTestValue"), 7);
    ASSERT_TRUE(FindResourceIdent(QStringLiteral("AEKTESTVALUE"), v));
    EXPECT_EQ(v, 7);
}

#include "FormResourceTest.moc"
