#include "common/gunFolder.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QStandardPaths>

namespace {

QString CleanAbsolute(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

bool IsInside(const QString& path, const QString& root)
{
    if (root.isEmpty())
        return true;
    const QString p = CleanAbsolute(path);
    return p == root || p.startsWith(root.endsWith(u'/') ? root : root + u'/');
}

// The chooser itself: the platform's non-native dialog (it runs the same everywhere,
// offscreen included), folders only, kept inside the root when there is one.
class TFolderChooser : public QFileDialog {
public:
    TFolderChooser(QWidget* parent, const QString& title, QString root)
        : QFileDialog(parent, title), FRoot(std::move(root))
    {
        setFileMode(QFileDialog::Directory);
        setAcceptMode(QFileDialog::AcceptOpen);
        setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog | QFileDialog::DontResolveSymlinks);
        if (!FRoot.isEmpty())
            connect(this, &QFileDialog::directoryEntered, this, [this](const QString& dir) {
                if (!IsInside(dir, FRoot))
                    setDirectory(FRoot);
            });
    }

    // The folder confirmed by accept().
    QString Chosen() const { return FChosen; }

    // Confirms only an existing folder inside the root; anything else keeps the
    // chooser open. The chooser may still hold an earlier selection beside what the
    // user typed last; the last entry is the user's latest choice.
    void accept() override
    {
        const QStringList chosen = selectedFiles();
        if (chosen.isEmpty() || !FolderExists(chosen.last()))
            return;
        if (!IsInside(chosen.last(), FRoot)) {
            ClearChoice();
            return;
        }
        FChosen = chosen.last();
        QFileDialog::accept();
    }

private:
    // Nothing chosen: a refused choice must not stay selected beside the next one.
    // (Browsing is already kept inside the root by the directoryEntered guard.)
    void ClearChoice()
    {
        for (QAbstractItemView* view : findChildren<QAbstractItemView*>())
            if (view->selectionModel())
                view->selectionModel()->clearSelection();
        if (auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            edit->clear();
    }

    QString FRoot;
    QString FChosen;
};

QString StartFolder(const QString& root, const QString& folder)
{
    if (!folder.isEmpty() && IsInside(folder, root))
        return folder;
    if (!root.isEmpty())
        return root;
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return FolderExists(desktop) ? desktop : QDir::homePath();
}

} // namespace

bool FolderExists(const QString& APath)
{
    return !APath.isEmpty() && QFileInfo(APath).isDir();
}

bool TFolderDialog::DoExecute()
{
    // A root that names no folder leaves the chooser unlimited, starting at the desktop.
    const QString root = FolderExists(FRoot) ? CleanAbsolute(FRoot) : QString();
    TFolderChooser chooser(QApplication::activeWindow(), Title(), root);
    chooser.setDirectory(StartFolder(root, FFolder));
    if (chooser.exec() != QDialog::Accepted || chooser.Chosen().isEmpty())
        return false;
    FFolder = QDir::cleanPath(QFileInfo(chooser.Chosen()).absoluteFilePath());
    return true;
}

bool BrowseForFolder(const QString& ATitle, const QString& ARoot, QString& AFolder)
{
    if (!FolderExists(AFolder))
        AFolder.clear();
    auto* dialog = new TFolderDialog(nullptr);
    const struct FreeOnExit {
        TFolderDialog* d;
        ~FreeOnExit() { d->Free(); }
    } guard{dialog};
    dialog->SetTitle(ATitle);
    dialog->SetRoot(ARoot);
    dialog->SetFolder(AFolder);
    if (!dialog->Execute())
        return false;
    AFolder = dialog->Folder();
    return true;
}

QString SafeFileName(const QString& name)
{
    QString safe = name;
    for (QChar& c : safe)
        if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control)
            c = u'_';
    for (qsizetype i = 0; i < safe.size() && safe[i] == u'.'; ++i)
        safe[i] = u'_';
    return safe;
}
