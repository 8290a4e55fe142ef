// tallyleaf-host: the reference host of the plug-in. Builds the environment with the "Def"
// database, shows the MDI main window and loads the plug-in when the user opens "指标打印";
// with an export or print option it runs the print window headless instead and quits.
#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>
#include <QTimer>
#include <cstdio>

#include "host/HeadlessRun.h"
#include "host/HostCommandLine.h"
#include "host/HostDatabase.h"
#include "host/HostEnvironment.h"
#include "host/MainWindow.h"
#include "host/PlugInLoader.h"
#include "platform/Forms.h"

namespace {

QStringList RawArguments(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

void PrintError(const QString& message)
{
    fprintf(stderr, "tallyleaf-host: %s\n", message.toUtf8().constData());
}

// A login code given on the command line must name a unit the tree can show; the default
// one and the empty one ("nobody logged in") are not checked. 0, or the exit status.
int CheckGivenLogin(const HostDatabase& database, const HeadlessOptions& headless, const HostCommandLine& options)
{
    const QString code = options.settings.loginUnitCode;
    if (!(headless.loginSet || options.loginGiven) || code.isEmpty())
        return 0;
    QString message;
    switch (database.checkLoginUnit(code, &message)) {
    case HostDatabase::LoginCheck::Accepted:
        return 0;
    case HostDatabase::LoginCheck::Refused:
        PrintError(message);
        return 2;
    case HostDatabase::LoginCheck::DatabaseFailed:
        break;
    }
    PrintError(message);
    return 1;
}

// The main window and what the command line asked of it. Returns the exit status.
int RunWindows(QApplication& app, const HeadlessOptions& headless, const HostCommandLine& options, HostDatabase& database)
{
    HostEnvironment environment(options.settings);
    environment.pubVariable()->DbManager = database.manager();
    PlugInLoader loader;
    auto* mainWindow = new MainWindow(Application, environment, loader);
    Application->SetMainForm(mainWindow);
    mainWindow->Show();
    int result = 0;
    if (headless.hasAction()) {
        result = RunHeadless(headless, *mainWindow);
    } else {
        result = RunHostActions(options, *mainWindow);
        if (!options.screenshotOnly())
            result = app.exec();
    }
    // Windows of the plug-in are owned by the application object: free them while the
    // plug-in is still loaded.
    Application->SetMainForm(nullptr);
    while (Application->ComponentCount() > 0)
        Application->Components(Application->ComponentCount() - 1)->Free();
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    {
        // A headless run needs no screen, nor does a refused command line: decided before
        // the application object exists.
        QStringList raw = RawArguments(argc, argv);
        const bool noWindow = raw.contains(QStringLiteral("--help")) || raw.contains(QStringLiteral("-h"))
                              || raw.contains(QStringLiteral("--version")) || raw.contains(QStringLiteral("--paths"));
        const HeadlessOptions early = TakeHeadlessOptions(raw);
        if ((early.hasAction() || !early.error.isEmpty() || noWindow) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tallyleaf-host"));
    QApplication::setApplicationVersion(QStringLiteral(TALLYLEAF_VERSION));
    // Every window of the host and of the plug-in shows the icon of the menu entry.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/tallyleaf.svg")));
    // The windows speak Chinese, so do Qt's own dialogs (file, print, preview), whatever the
    // locale. Without the translations package (qt6-translations-l10n) they stay English:
    // a failed load is meant to be silent.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    QStringList arguments = QApplication::arguments();
    const HeadlessOptions headless = TakeHeadlessOptions(arguments);
    if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
        fputs(HostHelpText().toUtf8().constData(), stdout);
        return 0;
    }
    if (!headless.error.isEmpty()) {
        PrintError(headless.error);
        return 2;
    }
    HostCommandLine options = ParseHostCommandLine(arguments);

    InitRuntimeObjects();
    Application->SetTitle(QStringLiteral("预算管理系统"));
    int result = 0;
    if (options.showPaths) {
        ApplyHeadlessSettings(headless, headless.db.isEmpty(), options.settings);
        const QString demo = headless.db.isEmpty() ? HostDatabase::demoConnectionString() : QStringLiteral("（未使用：--db 已给出）");
        fputs(HostPathsText(options.settings, demo).toUtf8().constData(), stdout);
        return 0;
    }
    {
        HostDatabase database(headless.db, headless.provider);
        if (!database.error().isEmpty())
            PrintError(database.error());
        database.setCommandTimeout(headless.timeout);
        ApplyHeadlessSettings(headless, database.isDemo(), options.settings);
        result = CheckGivenLogin(database, headless, options);
        if (result == 0)
            result = RunWindows(app, headless, options, database);
    }
    FreeRuntimeObjects();
    return result;
}
