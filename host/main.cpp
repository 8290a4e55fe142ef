// tallyleaf-host: the reference host of the plug-in. Builds the environment, shows the
// MDI main window and loads the plug-in when the user opens "指标打印".
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include "host/HostEnvironment.h"
#include "host/HostCommandLine.h"
#include "host/MainWindow.h"
#include "host/PlugInLoader.h"
#include "platform/Forms.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tallyleaf-host"));
    const HostCommandLine options = ParseHostCommandLine(app.arguments());

    InitRuntimeObjects();
    Application->SetTitle(QStringLiteral("预算管理系统"));
    int result = 0;
    {
        HostEnvironment environment(options.settings);
        PlugInLoader loader;
        auto* mainWindow = new MainWindow(Application, environment, loader);
        Application->SetMainForm(mainWindow);
        mainWindow->Show();
        RunHostActions(options, *mainWindow);
        result = options.screenshotOnly() ? 0 : app.exec();
        // Windows of the plug-in are owned by the application object: free them while
        // the plug-in is still loaded.
        Application->SetMainForm(nullptr);
        while (Application->ComponentCount() > 0)
            Application->Components(Application->ComponentCount() - 1)->Free();
    }
    FreeRuntimeObjects();
    return result;
}
