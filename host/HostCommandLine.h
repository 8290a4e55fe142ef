#pragma once
// The host's own command line (the window options); the database and headless options
// are HeadlessRun's. main.cpp takes those out first, then parses the rest here.
#include <QString>
#include <QStringList>

#include "host/HostEnvironment.h"

class MainWindow;

struct HostCommandLine {
    HostSettingsValues settings;
    bool loginGiven = false;     // --login-unit was given (the default login is not checked)
    QStringList openWindows;     // --open CLASS: plug-in windows to open at start
    QString screenshotFile;      // --screenshot FILE: save the main window and quit
    bool showPaths = false;      // --paths: print where the files are and quit
    bool screenshotOnly() const { return !screenshotFile.isEmpty(); }
};

// Parses the window options; an unknown option or --version ends the process as
// QCommandLineParser does (status 1 with a message, or 0 with the version). The template
// folder and the settings file default to HostInstallLayout's.
HostCommandLine ParseHostCommandLine(const QStringList& arguments);
// The whole --help text: every option of the host, its environment variables, files,
// exit statuses and examples.
QString HostHelpText();
// The --paths text: plug-in, templates, settings file and demo database as this copy sees
// them, with the settings as the whole command line left them.
QString HostPathsText(const HostSettingsValues& settings, const QString& demoConnectionString);
// Opens what the command line asked for and takes the screenshot. Returns the exit status
// of a screenshot run: 0, or 1 when an error was reported meanwhile (a plug-in that could
// not be loaded, a picture that could not be saved).
int RunHostActions(const HostCommandLine& options, MainWindow& mainWindow);
