#pragma once
// A person who agrees to everything, for tests that drive a window in the test's own
// process: every message box is answered yes (a question) or OK, the save dialog is given
// `file` and the folder picker `folder` (either is cancelled when its answer is empty), and
// what was shown is kept. The dialogs are told apart by class name and answered through
// their properties, as a host answers a plug-in's. Installed on the application object for
// the object's life.
#include <QString>
#include <QStringList>

namespace testsupport {

class ScriptedAnswers {
public:
    explicit ScriptedAnswers(QString file = QString(), QString folder = QString());
    ~ScriptedAnswers();
    ScriptedAnswers(const ScriptedAnswers&) = delete;
    ScriptedAnswers& operator=(const ScriptedAnswers&) = delete;

    QStringList boxes;    // message box texts
    QStringList errors;   // messages of exceptions shown through the application object
};

} // namespace testsupport
