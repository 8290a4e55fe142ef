#pragma once
// Folder helpers: a modal folder picker, a test whether a folder exists, and file names
// made safe from the data they are built of.
#include <QString>

// Shows a modal folder chooser with the caption ATitle. Only file-system folders can be
// chosen. ARoot, when it names an existing folder, limits the chooser to that folder and
// what lies below it; otherwise the chooser starts at the desktop. AFolder, when it names
// an existing folder (inside the root, if any), is the folder preselected: confirming at
// once returns it. A folder argument that is not an existing folder is cleared before the
// chooser opens. Returns true and the chosen folder's full path in AFolder when the user
// chose one; false when the user cancelled, leaving AFolder as it was after the check
// above. Raises nothing of its own.
bool BrowseForFolder(const QString& ATitle, const QString& ARoot, QString& AFolder);

// True when APath names an existing directory (a file, or nothing, gives false).
bool FolderExists(const QString& APath);

// A file name built from data (unit and fund nature names), usable as one name in a folder:
// path separators ('/' and '\\') and control characters become '_', and so do dots at its
// start, so that the name neither leads into another folder nor hides itself.
QString SafeFileName(const QString& name);
