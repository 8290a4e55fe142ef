#pragma once
// The host's headless mode: the plug-in's indicator print window, opened offscreen through
// ShowPlugInWindow and driven as a user drives it (indicator type, unit, fund nature, then
// export or print), with the save dialog, folder picker and message boxes answered from the
// command line through the application object (PlugInWindowDriver says how). Messages
// meant for the user go to standard error (errors) or standard output (information).
//
// Also the options of the host's database ("Def") and environment, which the GUI uses too.
#include <QString>
#include <QStringList>

#include "host/HostEnvironment.h"

class MainWindow;

struct HeadlessOptions {
    QString db;              // --db: connection string; empty: the embedded demo database
    QString provider;        // --provider
    bool yearSet = false;
    int year = 0;            // --year
    bool loginSet = false;
    QString login;           // --login
    QString deptMode;        // --dept-mode
    bool indicatorTypeSet = false;
    int indicatorType = 1;   // --indicator-type
    QString templates;       // --templates (host parameter 11)
    QString ini;             // --ini (host parameter 13)
    QString unit;            // --unit EID|top; empty: the window's first leaf
    int type = -1;           // --type 0|1|2; -1: the host's type
    bool fundSet = false;
    QString fund;            // --fund NAME; "" selects no fund nature
    QString exportFile;      // --export FILE
    QString exportDir;       // --export-dir DIR
    QString pdfFile;         // --pdf FILE
    QString pdfDir;          // --pdf-dir DIR
    int timeout = 0;         // --timeout SECONDS; 0: wait as long as the database does
    QString error;           // a malformed option: the run ends with status 2

    bool hasAction() const
    {
        return !exportFile.isEmpty() || !exportDir.isEmpty() || !pdfFile.isEmpty() || !pdfDir.isEmpty();
    }
};

// Takes the headless and database options out of `arguments` (the rest is the GUI's) and
// checks them: an empty value (but for --fund and --login, where empty text means none),
// two outputs at once, a file name of a kind that is not written, a type out of 0 to 2, a
// timeout that is not a positive number, or a database that is not there (opening one
// never creates it) leaves `error` set.
HeadlessOptions TakeHeadlessOptions(QStringList& arguments);
// The help text of those options.
QString HeadlessHelpText();
// Writes the options into the environment values (year, login, templates, ...).
void ApplyHeadlessSettings(const HeadlessOptions& options, bool demoDatabase, HostSettingsValues& settings);
// The template folder when none is given: the source tree's data/templates/ for a build-tree
// host, else the install prefix's share folder. Ends with a separator.
QString DefaultTemplateFolder();

// Opens the plug-in's print window in the main window, as its menu does, and runs the
// action on it; the environment's context must hold the "Def" database. Returns the process
// exit status (0 success).
int RunHeadless(const HeadlessOptions& options, MainWindow& mainWindow);
