#include "tests/support/ScriptedAnswers.h"

#include "platform/Dialogs.h"
#include "platform/Forms.h"

namespace testsupport {

ScriptedAnswers::ScriptedAnswers(QString file, QString folder)
{
    Application->OnException = [this](TObject*, const QString& message) { errors << message; };
    Application->MessageBoxHook = [this](const QString& text, const QString&, int flags) {
        boxes << text;
        return (flags & 0x0F) == MB_YESNO ? IDYES : IDOK;
    };
    Application->DialogHook = [file, folder](TCommonDialog* dialog) {
        if (dialog->inherits("TSaveDialog") && !file.isEmpty())
            return dialog->setProperty("FileName", file);
        if (dialog->inherits("TFolderDialog") && !folder.isEmpty())
            return dialog->setProperty("Folder", folder);
        return false;
    };
}

ScriptedAnswers::~ScriptedAnswers()
{
    Application->OnException = nullptr;
    Application->MessageBoxHook = nullptr;
    Application->DialogHook = nullptr;
}

} // namespace testsupport
