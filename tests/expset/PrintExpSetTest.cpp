// The export settings dialog: its designed layout, and what it reads and stores when it
// is shown modally and answered with real clicks and keys. The settings file is a real
// INI file named by the host, read back with a separate reader.
#include <QApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

#include "print/bwnPrintExpSet.h"
#include "platform/FormResource.h"
#include "platform/IniFiles.h"
#include "common/PlugInGlobals.h"
#include "tests/QuietRuntime.h"

namespace {

const QString Section = QStringLiteral("bwnHarrowSlate");
const QString ShowKey = QStringLiteral("ShowSaveExpSet");
const QString TypeKey = QStringLiteral("expType");
const QString Missing = QStringLiteral("<missing>");

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new testsupport::QuietRuntime);

struct DialogFree {
    void operator()(TfrmPrintExpSet* d) const { d->Free(); }
};
using DialogPtr = std::unique_ptr<TfrmPrintExpSet, DialogFree>;

class PrintExpSetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        Host.Values = {QStringLiteral("13=") + IniPath()};
        Env.HostSettings = &Host;
        Context.PubVariable = &Env;
        SetPlugInContext(&Context);
    }
    void TearDown() override { SetPlugInContext(nullptr); }

    QString IniPath() const { return Dir.filePath(QStringLiteral("host.INI")); }
    QString Stored(const QString& key) const { return TIniFile(IniPath()).ReadString(Section, key, Missing); }
    void Store(const QString& key, const QString& value) { TIniFile(IniPath()).WriteString(Section, key, value); }

    // Shows the dialog modally and runs `act` once it is on screen; a dialog still open
    // after 10 seconds is cancelled so that a failing test cannot hang the run.
    int ShowAndAnswer(TfrmPrintExpSet* dialog, const std::function<void(TfrmPrintExpSet*)>& act)
    {
        bool acted = false;
        int ticks = 0;
        QTimer timer;
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (++ticks > 1000)
                dialog->SetModalResult(mrCancel);
            if (acted || !dialog->Widget()->isVisible())
                return;
            acted = true;
            act(dialog);
        });
        timer.start();
        const int result = dialog->ShowModal();
        EXPECT_TRUE(acted);
        return result;
    }

    QTemporaryDir Dir;
    THostSettings Host;
    TPubVariable Env;
    TPlugInContext Context;
};

void PressEscape(TfrmPrintExpSet* d) { QTest::keyClick(d->Widget(), Qt::Key_Escape); }
void ClickOK(TfrmPrintExpSet* d) { QTest::mouseClick(d->btnOK->Widget(), Qt::LeftButton); }

TEST_F(PrintExpSetTest, TheDesignedLayout)
{
    DialogPtr d(new TfrmPrintExpSet(nullptr));
    EXPECT_EQ(d->Caption(), QStringLiteral("导出设置"));
    EXPECT_EQ(d->BorderIcons(), 1u << biSystemMenu);
    EXPECT_EQ(QRect(d->Left(), d->Top(), d->Width(), d->Height()), QRect(506, 460, 306, 181));

    struct ControlCase {
        TWinControl* Control;
        QRect Bounds;
        int TabOrder;
    } controls[] = {
        {d->rgExpSet, QRect(16, 8, 265, 81), 0},
        {d->chkbShowDlg, QRect(16, 107, 129, 17), 1},
        {d->btnOK, QRect(205, 104, 75, 25), 2},
    };
    for (const ControlCase& c : controls) {
        ASSERT_NE(c.Control, nullptr);
        EXPECT_EQ(QRect(c.Control->Left(), c.Control->Top(), c.Control->Width(), c.Control->Height()), c.Bounds)
            << c.Control->Name().toStdString();
        EXPECT_EQ(c.Control->TabOrder(), c.TabOrder) << c.Control->Name().toStdString();
    }
    EXPECT_EQ(d->rgExpSet->Items(),
              (QStringList{QStringLiteral("导出当前所选单位"), QStringLiteral("导出当前所选单位及下级单位")}));
    EXPECT_EQ(d->rgExpSet->ItemIndex(), 0);
    EXPECT_EQ(d->chkbShowDlg->Caption(), QStringLiteral("总在导出前选择设置"));
    EXPECT_TRUE(d->chkbShowDlg->Checked());
    EXPECT_EQ(d->btnOK->Caption(), QStringLiteral("确定"));
    EXPECT_TRUE(d->btnOK->FindEvent(QStringLiteral("OnClick"))->Assigned());
    EXPECT_FALSE(QFile::exists(IniPath())) << "creating the dialog touched the settings";
}

TEST_F(PrintExpSetTest, TheClassCanBeMadeFromItsName)
{
    const TClass cls = FindComponentClass(QStringLiteral("TfrmPrintExpSet"));
    ASSERT_EQ(cls, &TfrmPrintExpSet::staticMetaObject);
    TComponent* made = CreateComponent(cls, nullptr);
    ASSERT_NE(dynamic_cast<TfrmPrintExpSet*>(made), nullptr);
    EXPECT_NE(static_cast<TfrmPrintExpSet*>(made)->rgExpSet, nullptr);
    made->Free();
}

TEST_F(PrintExpSetTest, TheFirstShowingStoresExpTypeZeroAtOnceAndShowsTheDefaults)
{
    DialogPtr d(new TfrmPrintExpSet(nullptr));
    bool checked = false;
    int entry = -2;
    QString storedWhileOpen;
    const int result = ShowAndAnswer(d.get(), [&](TfrmPrintExpSet* dialog) {
        checked = dialog->chkbShowDlg->Checked();
        entry = dialog->rgExpSet->ItemIndex();
        storedWhileOpen = Stored(TypeKey);
        PressEscape(dialog);
    });
    EXPECT_EQ(result, mrCancel);
    EXPECT_TRUE(checked);
    EXPECT_EQ(entry, 0);
    EXPECT_EQ(storedWhileOpen, QStringLiteral("0"));
    EXPECT_EQ(Stored(TypeKey), QStringLiteral("0"));
    EXPECT_EQ(Stored(ShowKey), Missing);
}

struct StoredCase {
    const char* Label;
    QString Show;   // Missing: not stored
    QString Type;
    bool Checked;
    int Entry;
};

TEST_F(PrintExpSetTest, StoredValuesAreShownGarbageCountsAsTheFirstEntryAndTooHighAsTheLast)
{
    const StoredCase cases[] = {
        {"unchecked, second entry", QStringLiteral("0"), QStringLiteral("1"), false, 1},
        {"checked, first entry", QStringLiteral("1"), QStringLiteral("0"), true, 0},
        {"other text unchecks", QStringLiteral("yes"), QStringLiteral("1"), false, 1},
        {"only expType stored", Missing, QStringLiteral("1"), true, 1},
        {"not a number", QStringLiteral("1"), QStringLiteral("abc"), true, 0},
        {"past the last entry", QStringLiteral("1"), QStringLiteral("7"), true, 1},
        {"just past the last entry", QStringLiteral("0"), QStringLiteral("2"), false, 1},
        {"negative", QStringLiteral("1"), QStringLiteral("-1"), true, 0},
        {"a fraction", QStringLiteral("0"), QStringLiteral("1.5"), false, 0},
    };
    for (const StoredCase& c : cases) {
        QFile::remove(IniPath());
        if (c.Show != Missing)
            Store(ShowKey, c.Show);
        Store(TypeKey, c.Type);
        DialogPtr d(new TfrmPrintExpSet(nullptr));
        bool checked = !c.Checked;
        int entry = -2;
        ShowAndAnswer(d.get(), [&](TfrmPrintExpSet* dialog) {
            checked = dialog->chkbShowDlg->Checked();
            entry = dialog->rgExpSet->ItemIndex();
            PressEscape(dialog);
        });
        EXPECT_EQ(checked, c.Checked) << c.Label;
        EXPECT_EQ(entry, c.Entry) << c.Label;
        EXPECT_EQ(Stored(TypeKey), c.Type) << c.Label << ": showing rewrote a stored value";
        EXPECT_EQ(Stored(ShowKey), c.Show) << c.Label;
    }
}

TEST_F(PrintExpSetTest, ConfirmingWithoutChangesStoresTheShownValues)
{
    DialogPtr d(new TfrmPrintExpSet(nullptr));
    EXPECT_EQ(ShowAndAnswer(d.get(), ClickOK), mrOk);
    EXPECT_EQ(Stored(ShowKey), QStringLiteral("1"));
    EXPECT_EQ(Stored(TypeKey), QStringLiteral("0"));
    EXPECT_EQ(d->ShowSaveExpSetText(), QStringLiteral("1"));
    EXPECT_EQ(d->ExpTypeText(), QStringLiteral("0"));
}

TEST_F(PrintExpSetTest, ConfirmingStoresWhatTheUserChose)
{
    DialogPtr d(new TfrmPrintExpSet(nullptr));
    const int result = ShowAndAnswer(d.get(), [](TfrmPrintExpSet* dialog) {
        QTest::mouseClick(dialog->chkbShowDlg->Widget(), Qt::LeftButton);
        QTest::mouseClick(dialog->rgExpSet->Button(1), Qt::LeftButton);
        ClickOK(dialog);
    });
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(Stored(ShowKey), QStringLiteral("0"));
    EXPECT_EQ(Stored(TypeKey), QStringLiteral("1"));

    // The next showing brings the choice back.
    DialogPtr again(new TfrmPrintExpSet(nullptr));
    bool checked = true;
    int entry = -2;
    ShowAndAnswer(again.get(), [&](TfrmPrintExpSet* dialog) {
        checked = dialog->chkbShowDlg->Checked();
        entry = dialog->rgExpSet->ItemIndex();
        PressEscape(dialog);
    });
    EXPECT_FALSE(checked);
    EXPECT_EQ(entry, 1);
}

struct LeaveCase {
    const char* Label;
    std::function<void(TfrmPrintExpSet*)> Leave;
};

TEST_F(PrintExpSetTest, LeavingWithoutOKStoresNothingOfTheChanges)
{
    const LeaveCase cases[] = {
        {"escape", PressEscape},
        {"close box", [](TfrmPrintExpSet* d) { d->Widget()->close(); }},
    };
    for (const LeaveCase& c : cases) {
        QFile::remove(IniPath());
        DialogPtr d(new TfrmPrintExpSet(nullptr));
        const int result = ShowAndAnswer(d.get(), [&](TfrmPrintExpSet* dialog) {
            QTest::mouseClick(dialog->chkbShowDlg->Widget(), Qt::LeftButton);
            QTest::mouseClick(dialog->rgExpSet->Button(1), Qt::LeftButton);
            c.Leave(dialog);
        });
        EXPECT_EQ(result, mrCancel) << c.Label;
        EXPECT_EQ(Stored(ShowKey), Missing) << c.Label;
        EXPECT_EQ(Stored(TypeKey), QStringLiteral("0")) << c.Label << ": only the default written at show";
    }
}

// The error reaches the application's exception handler; the dialog stays open so
// that the user can still leave it.
TEST_F(PrintExpSetTest, AReadOnlySettingsFileIsAnErrorNamingTheFile)
{
    Store(TypeKey, QStringLiteral("1"));
    ASSERT_TRUE(QFile::setPermissions(IniPath(), QFileDevice::ReadOwner));
    QStringList messages;
    Application->OnException = [&messages](TObject*, const QString& message) { messages << message; };
    DialogPtr d(new TfrmPrintExpSet(nullptr));
    bool stayedOpen = false;
    const int result = ShowAndAnswer(d.get(), [&](TfrmPrintExpSet* dialog) {
        ClickOK(dialog);
        stayedOpen = dialog->Widget()->isVisible();
        PressEscape(dialog);
    });
    Application->OnException = nullptr;
    QFile::setPermissions(IniPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(result, mrCancel);
    EXPECT_TRUE(stayedOpen);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().contains(IniPath())) << messages.first().toStdString();
    EXPECT_EQ(Stored(TypeKey), QStringLiteral("1"));
    EXPECT_EQ(Stored(ShowKey), Missing);
}

// Host parameter 13 may name any file, a database included: opening the dialog names the file it
// cannot use, and the file keeps every byte.
TEST_F(PrintExpSetTest, ASettingsFileThatIsADatabaseIsNamedAndKeepsEveryByte)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("not-settings"));
        db.setDatabaseName(IniPath());
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(QStringLiteral("create table pubdept (eid text, ename text)"));
        QSqlQuery(db).exec(QStringLiteral("insert into pubdept values ('105', '财政局')"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("not-settings"));
    QFile file(IniPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    QStringList messages;
    Application->OnException = [&messages](TObject*, const QString& message) { messages << message; };
    DialogPtr d(new TfrmPrintExpSet(nullptr));
    try {
        ShowAndAnswer(d.get(), [](TfrmPrintExpSet* dialog) {
            ClickOK(dialog);
            PressEscape(dialog);
        });
    } catch (const Exception& e) {
        messages << e.Message(); // the settings are read as it opens; its caller shows this
    }
    Application->OnException = nullptr;
    ASSERT_FALSE(messages.isEmpty());
    for (const QString& message : messages)
        EXPECT_TRUE(message.contains(IniPath()) && message.contains(QStringLiteral("不是单一编码的文本文件")))
            << message.toStdString();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

} // namespace
