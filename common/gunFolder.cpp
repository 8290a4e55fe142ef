#include "common/gunFolder.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
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
class TFolderDialog : public QFileDialog {
public:
    TFolderDialog(QWidget* parent, const QString& title, QString root)
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

    // Confirms only an existing folder inside the root; anything else keeps the
    // chooser open (at the root, when the choice lay outside it).
    void accept() override
    {
        const QStringList chosen = selectedFiles();
        if (chosen.isEmpty() || !FolderExists(chosen.first()))
            return;
        if (!IsInside(chosen.first(), FRoot)) {
            setDirectory(FRoot);
            return;
        }
        QFileDialog::accept();
    }

private:
    QString FRoot;
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

bool BrowseForFolder(const QString& ATitle, const QString& ARoot, QString& AFolder)
{
    if (!FolderExists(AFolder))
        AFolder.clear();
    // A root that names no folder leaves the chooser unlimited, starting at the desktop.
    const QString root = FolderExists(ARoot) ? CleanAbsolute(ARoot) : QString();

    TFolderDialog dialog(QApplication::activeWindow(), ATitle, root);
    dialog.setDirectory(StartFolder(root, AFolder));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return false;
    AFolder = QDir::cleanPath(QFileInfo(chosen.first()).absoluteFilePath());
    return true;
}
