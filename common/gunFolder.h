#pragma once
// Folder helpers: a modal folder picker, a test whether a folder exists, and file names
// made safe from the data they are built of.
#include <QString>

#include "platform/Dialogs.h"

// The folder chooser as a common dialog: Execute asks the application object, so a host or a
// test answers it through Application->DialogHook as it answers the save dialog (it sets
// Folder and confirms); otherwise the chooser that BrowseForFolder describes is shown.
class TFolderDialog : public TCommonDialog {
    Q_OBJECT
    Q_PROPERTY(QString Root READ Root WRITE SetRoot)
    Q_PROPERTY(QString Folder READ Folder WRITE SetFolder)
public:
    Q_INVOKABLE explicit TFolderDialog(TComponent* AOwner) : TCommonDialog(AOwner) {}

    QString Root() const { return FRoot; }
    void SetRoot(const QString& root) { FRoot = root; }
    QString Folder() const { return FFolder; }
    void SetFolder(const QString& folder) { FFolder = folder; }
    bool DoExecute() override;

private:
    QString FRoot;
    QString FFolder;
};

// Shows a modal folder chooser with the caption ATitle. Only file-system folders can be
// chosen. ARoot, when it names an existing folder, limits the chooser to that folder and
// what lies below it; otherwise the chooser starts at the desktop. AFolder, when it names
// an existing folder (inside the root, if any), is the folder preselected: confirming at
// once returns it. A folder argument that is not an existing folder is cleared before the
// chooser opens. Returns true and the chosen folder's full path in AFolder when the user
// chose one; false when the user cancelled, leaving AFolder as it was after the check
// above. Where the application's DialogHook answers the TFolderDialog, AFolder is the folder
// it gave. Raises nothing of its own.
bool BrowseForFolder(const QString& ATitle, const QString& ARoot, QString& AFolder);

// True when APath names an existing directory (a file, or nothing, gives false).
bool FolderExists(const QString& APath);

// A file name built from data (unit and fund nature names), usable as one name in a folder:
// path separators ('/' and '\\') and control characters become '_', and so do dots at its
// start, so that the name neither leads into another folder nor hides itself.
QString SafeFileName(const QString& name);
