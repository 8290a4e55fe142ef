#pragma once
// The host's command line. Headless modes and the database connection will add their
// options here; main.cpp only parses and runs what was asked.
#include <QString>
#include <QStringList>

#include "host/HostEnvironment.h"

class MainWindow;

struct HostCommandLine {
    HostSettingsValues settings;
    QStringList openWindows;     // --open NAME: plug-in windows to open at start
    bool demoWindow = false;     // --demo-window: the tree frame demo (no plug-in needed)
    QString screenshotFile;      // --screenshot FILE: save the main window and quit
    bool screenshotOnly() const { return !screenshotFile.isEmpty(); }
};

HostCommandLine ParseHostCommandLine(const QStringList& arguments);
// Opens what the command line asked for and takes the screenshot.
void RunHostActions(const HostCommandLine& options, MainWindow& mainWindow);
