// The folder picker, answered by driving the real modal chooser from a timer, and the
// folder test.
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

#include "common/gunFolder.h"

// Readable paths in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

namespace {

const QString Title = QStringLiteral("请选择保存路径");

// Runs `answer` on the chooser once it is up. A chooser still open after 10 seconds is
// cancelled so that a failing test cannot hang the run.
class ChooserDriver {
public:
    explicit ChooserDriver(std::function<void(QFileDialog*)> answer) : FAnswer(std::move(answer))
    {
        FTimer.setInterval(20);
        QObject::connect(&FTimer, &QTimer::timeout, [this] { Poll(); });
        FTimer.start();
    }
    bool Answered() const { return FAnswered; }
    QString SeenTitle;
    QString SeenDirectory;

private:
    void Poll()
    {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (++FIdle > 500)
                FTimer.stop();
            return;
        }
        if (FAnswered) {
            if (++FStuck > 500)
                dialog->reject();
            return;
        }
        FAnswered = true;
        SeenTitle = dialog->windowTitle();
        SeenDirectory = QDir::cleanPath(dialog->directory().absolutePath());
        FAnswer(dialog);
    }

    std::function<void(QFileDialog*)> FAnswer;
    QTimer FTimer;
    bool FAnswered = false;
    int FIdle = 0;
    int FStuck = 0;
};

QPushButton* ChooseButton(QFileDialog* dialog)
{
    auto* box = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    return box ? box->button(QDialogButtonBox::Open) : nullptr;
}

// Types a path as a user pastes it and confirms it. The chooser enables its confirm
// button only once it has looked the path up (in the background), so an existing
// folder waits for that and clicks it; a path that the chooser cannot confirm gets Enter.
void TypeAndConfirm(QFileDialog* dialog, const QString& path)
{
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    // Pasted as a whole: typed key by key, the chooser would follow each "/" into a folder.
    edit->setText(path);
    if (!QFileInfo(path).isDir()) {
        QTest::keyClick(edit, Qt::Key_Return);
        return;
    }
    QPushButton* choose = ChooseButton(dialog);
    ASSERT_NE(choose, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([choose] { return choose->isEnabled(); }, 3000)) << path.toStdString();
    QTest::mouseClick(choose, Qt::LeftButton);
}

void PressEscape(QFileDialog* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); }

// Clicks the chooser's confirm button as a user would.
void ClickChoose(QFileDialog* dialog)
{
    QPushButton* choose = ChooseButton(dialog);
    ASSERT_NE(choose, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([choose] { return choose->isEnabled(); }, 3000));
    QTest::mouseClick(choose, Qt::LeftButton);
}

QString DefaultStart()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return QDir::cleanPath(QFileInfo(desktop).isDir() ? desktop : QDir::homePath());
}

class FolderPickerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        ASSERT_TRUE(QDir(Dir.path()).mkpath(QStringLiteral("root/sub/deeper")));
        ASSERT_TRUE(QDir(Dir.path()).mkpath(QStringLiteral("other")));
        QFile file(Path(QStringLiteral("a-file.txt")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QString Path(const QString& relative) const { return QDir::cleanPath(Dir.filePath(relative)); }

    QTemporaryDir Dir;
};

TEST_F(FolderPickerTest, FolderExistsOnlyForDirectories)
{
    EXPECT_TRUE(FolderExists(Path(QStringLiteral("root"))));
    EXPECT_TRUE(FolderExists(Path(QStringLiteral("root/sub/"))));
    EXPECT_FALSE(FolderExists(Path(QStringLiteral("a-file.txt"))));
    EXPECT_FALSE(FolderExists(Path(QStringLiteral("missing"))));
    EXPECT_FALSE(FolderExists(QString()));
}

TEST_F(FolderPickerTest, AnExistingStartFolderIsPreselectedAndConfirmedAsIs)
{
    QString folder = Path(QStringLiteral("root/sub"));
    ChooserDriver driver(ClickChoose);
    EXPECT_TRUE(BrowseForFolder(Title, QString(), folder));
    EXPECT_TRUE(driver.Answered());
    EXPECT_EQ(driver.SeenTitle, Title);
    EXPECT_EQ(driver.SeenDirectory, Path(QStringLiteral("root/sub")));
    EXPECT_EQ(folder, Path(QStringLiteral("root/sub")));
}

TEST_F(FolderPickerTest, ChoosingAnotherFolderReturnsItsFullPath)
{
    QString folder = Path(QStringLiteral("root"));
    const QString other = Path(QStringLiteral("other"));
    ChooserDriver driver([&](QFileDialog* d) { TypeAndConfirm(d, other); });
    EXPECT_TRUE(BrowseForFolder(Title, QString(), folder));
    EXPECT_EQ(folder, other);
}

struct DroppedStart {
    const char* Label;
    QString Folder;
};

TEST_F(FolderPickerTest, AStartFolderThatIsNoFolderIsClearedAndCancelGivesFalse)
{
    const DroppedStart cases[] = {
        {"a file", Path(QStringLiteral("a-file.txt"))},
        {"missing", Path(QStringLiteral("missing/folder"))},
        {"empty", QString()},
    };
    for (const DroppedStart& c : cases) {
        QString folder = c.Folder;
        ChooserDriver driver(PressEscape);
        EXPECT_FALSE(BrowseForFolder(Title, QString(), folder)) << c.Label;
        EXPECT_TRUE(driver.Answered()) << c.Label;
        EXPECT_TRUE(folder.isEmpty()) << c.Label;
        EXPECT_EQ(driver.SeenDirectory, DefaultStart()) << c.Label;
    }
}

TEST_F(FolderPickerTest, CancelLeavesAnExistingStartFolderInPlace)
{
    QString folder = Path(QStringLiteral("other"));
    ChooserDriver driver(PressEscape);
    EXPECT_FALSE(BrowseForFolder(Title, QString(), folder));
    EXPECT_EQ(folder, Path(QStringLiteral("other")));
}

TEST_F(FolderPickerTest, ARootKeepsTheChoiceInsideIt)
{
    const QString root = Path(QStringLiteral("root"));
    QString folder = Path(QStringLiteral("other")); // outside the root: not preselected
    bool stayedOpen = false;
    QString directoryAfterRefusal;
    ChooserDriver driver([&](QFileDialog* d) {
        TypeAndConfirm(d, Path(QStringLiteral("other")));
        stayedOpen = d->isVisible();
        directoryAfterRefusal = QDir::cleanPath(d->directory().absolutePath());
        TypeAndConfirm(d, Path(QStringLiteral("root/sub/deeper")));
    });
    EXPECT_TRUE(BrowseForFolder(Title, root, folder));
    EXPECT_EQ(driver.SeenDirectory, root);
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(directoryAfterRefusal == root || directoryAfterRefusal.startsWith(root + u'/'))
        << directoryAfterRefusal.toStdString();
    EXPECT_EQ(folder, Path(QStringLiteral("root/sub/deeper")));
}

TEST_F(FolderPickerTest, AStartFolderInsideTheRootIsPreselected)
{
    QString folder = Path(QStringLiteral("root/sub"));
    ChooserDriver driver(ClickChoose);
    EXPECT_TRUE(BrowseForFolder(Title, Path(QStringLiteral("root")), folder));
    EXPECT_EQ(driver.SeenDirectory, Path(QStringLiteral("root/sub")));
    EXPECT_EQ(folder, Path(QStringLiteral("root/sub")));
}

TEST_F(FolderPickerTest, ARootThatIsNoFolderLeavesTheChooserUnlimited)
{
    QString folder;
    const QString other = Path(QStringLiteral("other"));
    ChooserDriver driver([&](QFileDialog* d) { TypeAndConfirm(d, other); });
    EXPECT_TRUE(BrowseForFolder(Title, Path(QStringLiteral("no-such-root")), folder));
    EXPECT_EQ(driver.SeenDirectory, DefaultStart());
    EXPECT_EQ(folder, other);
}

TEST_F(FolderPickerTest, AFileOrAMissingFolderCannotBeChosen)
{
    QString folder = Path(QStringLiteral("root"));
    bool stayedOpen = false;
    ChooserDriver driver([&](QFileDialog* d) {
        TypeAndConfirm(d, Path(QStringLiteral("a-file.txt")));
        TypeAndConfirm(d, Path(QStringLiteral("not-there")));
        stayedOpen = d->isVisible();
        PressEscape(d);
    });
    EXPECT_FALSE(BrowseForFolder(Title, QString(), folder));
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(folder, Path(QStringLiteral("root")));
}

} // namespace
