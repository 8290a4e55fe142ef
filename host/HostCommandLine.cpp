#include "host/HostCommandLine.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QImage>
#include <cstdio>

#include "host/DemoTreeWindow.h"
#include "host/MainWindow.h"

HostCommandLine ParseHostCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("预算管理系统（指标打印插件的宿主）"));
    parser.addHelpOption();
    const QCommandLineOption year(QStringLiteral("year"), QStringLiteral("数据年度"), QStringLiteral("year"));
    const QCommandLineOption unit(QStringLiteral("login-unit"), QStringLiteral("登录单位编码"), QStringLiteral("eid"));
    const QCommandLineOption unitName(QStringLiteral("login-unit-name"), QStringLiteral("登录单位名称"), QStringLiteral("name"));
    const QCommandLineOption templates(QStringLiteral("template-folder"), QStringLiteral("报表模板目录（参数11）"), QStringLiteral("dir"));
    const QCommandLineOption ini(QStringLiteral("ini"), QStringLiteral("设置文件（参数13）"), QStringLiteral("file"));
    const QCommandLineOption open(QStringLiteral("open"), QStringLiteral("启动后打开的插件窗口类名"), QStringLiteral("class"));
    const QCommandLineOption demo(QStringLiteral("demo-window"), QStringLiteral("打开树形框架示例窗口"));
    const QCommandLineOption shot(QStringLiteral("screenshot"), QStringLiteral("保存主窗口截图后退出"), QStringLiteral("png"));
    parser.addOptions({year, unit, unitName, templates, ini, open, demo, shot});
    parser.process(arguments);

    HostCommandLine options;
    options.settings.year = parser.value(year).toInt();
    options.settings.loginUnitCode = parser.isSet(unit) ? parser.value(unit) : QStringLiteral("001001");
    options.settings.loginUnitName = parser.isSet(unitName) ? parser.value(unitName) : QStringLiteral("市财政局");
    options.settings.templateFolder = parser.value(templates);
    options.settings.iniFileName = parser.value(ini);
    options.openWindows = parser.values(open);
    options.demoWindow = parser.isSet(demo);
    options.screenshotFile = parser.value(shot);
    return options;
}

void RunHostActions(const HostCommandLine& options, MainWindow& mainWindow)
{
    // Nobody answers a message box in a screenshot run: messages go to stderr.
    if (options.screenshotOnly())
        Application->OnException = [](TObject*, const QString& message) {
            fprintf(stderr, "tallyleaf-host: %s\n", message.toLocal8Bit().constData());
        };
    for (const QString& name : options.openWindows)
        mainWindow.showPlugInWindow(name);
    if (options.demoWindow) {
        auto* demo = new DemoTreeWindow(Application);
        demo->Show();
    }
    if (!options.screenshotOnly())
        return;
    // Let the window system lay everything out and paint once.
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 800)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    const QImage image = mainWindow.Widget()->grab().toImage();
    if (!image.save(options.screenshotFile))
        Application->HandleException(&mainWindow, Exception(QStringLiteral("不能保存截图%1").arg(options.screenshotFile)));
}
