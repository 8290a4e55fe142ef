#include "host/HeadlessRun.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "host/MainWindow.h"
#include "host/PlugInWindowDriver.h"
#include "platform/ADOConnectionString.h"
#include "platform/Dialogs.h"
#include "platform/Forms.h"

namespace {

struct OptionSpec {
    const char* name;
    const char* valueName;
    const char* help;
};

const OptionSpec Specs[] = {
    {"db", "CONN", "数据库连接串（sqlite:PATH、postgresql://…、ODBC 连接串）；SQLite 文件须已存在（只有演示数据库会自动创建）；缺省为内置演示数据库"},
    {"provider", "TEXT", "数据库提供者（决定 SQL 方言）；缺省由连接串推定"},
    {"year", "N", "数据年度；缺省为当年，演示数据库为 2024"},
    {"login", "CODE", "登录单位编码，单位表中须有它或它的上级单位；空文本为无人登录；缺省 001001，演示数据库为 105001（市财政局）"},
    {"dept-mode", "TEXT", "部门模式（\"1\"：六位且以 001 结尾的登录单位算作部门）；缺省 0"},
    {"indicator-type", "N", "宿主当前的指标类型：0 控制数，1 预算数，2 临时指标；缺省 1"},
    {"templates", "DIR", "报表模板目录（参数11）；缺省为安装前缀下的 share/tallyleaf/templates"},
    {"ini", "FILE", "设置文件（参数13）；缺省为 $XDG_CONFIG_HOME/tallyleaf/tallyleaf-host.INI（在构建目录中运行时为程序旁的 tallyleaf-host.INI）"},
    {"unit", "EID|top", "选择的单位（缺省为单位树的第一个末级单位；top 为“预算单位列表”）"},
    {"type", "0|1|2", "选择的指标类型（缺省为宿主的类型）"},
    {"fund", "NAME", "选择的资金性质名称（缺省为第一个；空文本为不选）"},
    {"export", "FILE", "导出当前报表为 Excel 文件后退出；FILE 以 .xls 或 .xlsx 结尾"},
    {"export-dir", "DIR", "连续导出每个资金性质的报表到该目录后退出"},
    {"pdf", "FILE", "打印当前报表到 PDF 文件后退出；FILE 以 .pdf 结尾"},
    {"pdf-dir", "DIR", "连续打印每个资金性质的报表为 PDF 文件到该目录后退出"},
    {"timeout", "SECONDS", "每条数据库语句（连同等待锁）最多等待的秒数，超时即报告等待的是什么并失败；缺省不限（SQLite 为 5 秒）"},
};

// The options that may be given once each and exclude each other: one output per run.
const char* const Outputs[] = {"export", "export-dir", "pdf", "pdf-dir"};

bool IsSpec(const QString& name)
{
    for (const OptionSpec& s : Specs)
        if (name == QLatin1String(s.name))
            return true;
    return false;
}

QString Refusal(const QString& name, const QString& value, const QString& why)
{
    return QStringLiteral("选项--%1的值“%2”无效：%3").arg(name, value, why);
}

// An indicator type: 0 控制数, 1 预算数, 2 临时指标; anything else is refused alike.
int IndicatorTypeValue(const QString& name, const QString& value, QString& error)
{
    bool ok = false;
    const int type = value.toInt(&ok);
    if (!ok || type < 0 || type > 2)
        error = Refusal(name, value, QStringLiteral("指标类型只有0（控制数）、1（预算数）、2（临时指标）"));
    return type;
}

// A file the run writes: its name must end with an extension that is written.
QString OutputFile(const QString& name, const QString& value, const QStringList& extensions, QString& error)
{
    for (const QString& extension : extensions)
        if (value.endsWith(extension, Qt::CaseInsensitive) && value.size() > extension.size())
            return QFileInfo(value).absoluteFilePath();
    error = Refusal(name, value, QStringLiteral("文件名应以%1结尾").arg(extensions.join(QStringLiteral("或"))));
    return {};
}

// A database given on the command line must be there: only the demo database is made.
QString DatabaseRefusal(const QString& value)
{
    QString why;
    const TADOConnectionParams params = ParseConnectionString(value, &why);
    if (params.Driver.isEmpty())
        return Refusal(QStringLiteral("db"), HidePassword(value), why);
    if (params.Driver == QLatin1String("QSQLITE") && !QFileInfo::exists(params.DatabaseName))
        return Refusal(QStringLiteral("db"), value,
                       QStringLiteral("数据库文件%1不存在（打开数据库不会新建文件；不给--db时使用内置演示数据库）")
                           .arg(params.DatabaseName));
    return {};
}

void Store(HeadlessOptions& o, const QString& name, const QString& value)
{
    // Empty text means "none" only where the help says so; elsewhere it is an unset
    // variable in a script, which must not turn into a default or a window.
    if (value.isEmpty() && name != QLatin1String("fund") && name != QLatin1String("login")) {
        o.error = QStringLiteral("选项--%1的值为空").arg(name);
        return;
    }
    bool ok = true;
    if (name == "db") {
        o.db = value;
        if (const QString refusal = DatabaseRefusal(value); !refusal.isEmpty())
            o.error = refusal;
    } else if (name == "provider")
        o.provider = value;
    else if (name == "year")
        o.yearSet = true, o.year = value.toInt(&ok);
    else if (name == "login")
        o.loginSet = true, o.login = value;
    else if (name == "dept-mode")
        o.deptMode = value;
    else if (name == "indicator-type")
        o.indicatorTypeSet = true, o.indicatorType = IndicatorTypeValue(name, value, o.error);
    else if (name == "templates")
        o.templates = value;
    else if (name == "ini")
        o.ini = value;
    else if (name == "unit")
        o.unit = value;
    else if (name == "type")
        o.type = IndicatorTypeValue(name, value, o.error);
    else if (name == "fund")
        o.fundSet = true, o.fund = value;
    else if (name == "export")
        o.exportFile = OutputFile(name, value, {QStringLiteral(".xls"), QStringLiteral(".xlsx")}, o.error);
    else if (name == "export-dir")
        o.exportDir = QFileInfo(value).absoluteFilePath();
    else if (name == "pdf")
        o.pdfFile = OutputFile(name, value, {QStringLiteral(".pdf")}, o.error);
    else if (name == "pdf-dir")
        o.pdfDir = QFileInfo(value).absoluteFilePath();
    else if (name == "timeout") {
        o.timeout = value.toInt(&ok);
        if (ok && o.timeout <= 0)
            o.error = Refusal(name, value, QStringLiteral("应为正整数（秒）"));
    }
    if (!ok)
        o.error = QStringLiteral("选项--%1的值%2不是整数").arg(name, value);
}

// What the headless run saw of the window's messages.
struct Outcome {
    bool failed = false;
    bool informed = false;
};

void PrintLine(FILE* stream, const QString& text)
{
    fprintf(stream, "%s\n", text.toUtf8().constData());
    fflush(stream);
}

int Fail(Outcome& outcome, const QString& message)
{
    PrintLine(stderr, "tallyleaf-host: " + message);
    outcome.failed = true;
    return 1;
}

// The window's messages and dialogs, answered through the application object the host
// hands to the plug-in. The dialogs are the plug-in's own objects: they are told apart by
// class name and answered through their properties.
void InstallAnswers(const HeadlessOptions& options, Outcome& outcome)
{
    Application->OnException = [&outcome](TObject*, const QString& message) { Fail(outcome, message); };
    Application->MessageBoxHook = [&outcome](const QString& text, const QString&, int flags) {
        if ((flags & 0x0F) == MB_YESNO) {
            // The file was named on the command line: replacing it is what was asked for.
            PrintLine(stdout, text + " 是");
            return IDYES;
        }
        if ((flags & 0xF0) == MB_ICONINFORMATION) {
            PrintLine(stdout, text);
            outcome.informed = true;
        } else {
            Fail(outcome, text);
        }
        return IDOK;
    };
    const QString folder = options.exportDir;
    Application->DialogHook = [folder](TCommonDialog* dialog) {
        if (dialog->inherits("TFolderDialog") && !folder.isEmpty())
            return dialog->setProperty("Folder", folder);
        return false;
    };
}

void RemoveAnswers()
{
    Application->OnException = nullptr;
    Application->MessageBoxHook = nullptr;
    Application->DialogHook = nullptr;
}

// Chooses type, unit and fund through the window's own controls and handlers.
bool Select(PlugInWindowDriver& window, const HeadlessOptions& options, Outcome& outcome)
{
    if (options.type >= 0) {
        if (options.type >= window.read("cobBType", "Items").toStringList().size())
            return !Fail(outcome, QStringLiteral("指标类型%1不存在").arg(options.type));
        window.write("cobBType", "ItemIndex", options.type);
        window.handle("cobBTypeChange", "cobBType");
    }
    if (!options.unit.isEmpty() && !outcome.failed) {
        const QString code = options.unit == QLatin1String("top")
                                 ? window.read("dtrvEid", "TopVirNodeIdValue").toString()
                                 : options.unit;
        if (!window.ask("SelectUnit", code))
            return !Fail(outcome, QStringLiteral("单位%1不在单位列表中").arg(options.unit));
    }
    if (options.fundSet && !outcome.failed) {
        if (options.fund.isEmpty()) {
            window.write("cobMid", "ItemIndex", -1);
        } else {
            window.write("cobMid", "Text", options.fund);
            if (window.read("cobMid", "ItemIndex").toInt() < 0)
                return !Fail(outcome, QStringLiteral("资金性质%1不在列表中（该单位和指标类型没有这种资金）").arg(options.fund));
        }
        window.handle("cobMidChange", "cobMid");
    }
    return !outcome.failed;
}

void Act(PlugInWindowDriver& window, const HeadlessOptions& options, Outcome& outcome)
{
    window.write("cbNum", "Checked", !options.exportDir.isEmpty() || !options.pdfDir.isEmpty());
    if (!options.exportFile.isEmpty() || !options.exportDir.isEmpty()) {
        if (!window.read("tbtnExcel", "Enabled").toBool()) {
            Fail(outcome, QStringLiteral("导出excel不可用：该单位和指标类型没有资金性质"));
            return;
        }
        // The named file, written without the save dialog: a report too long for its
        // format is refused as soon as its rows are counted.
        window.write(QString(), "ExportFile", options.exportFile);
        window.click("tbtnExcel");
        if (!outcome.failed && !outcome.informed)
            Fail(outcome, QStringLiteral("没有导出任何文件"));
        return;
    }
    // Nobody is at the machine: the window prints into PDF files instead of a printer.
    window.write(QString(), "PdfFile", options.pdfFile);
    window.write(QString(), "PdfFolder", options.pdfDir);
    if (!window.read("tbnPrint", "Enabled").toBool()) {
        Fail(outcome, QStringLiteral("打印不可用：该单位和指标类型没有资金性质"));
        return;
    }
    window.click("tbnPrint");
    if (!outcome.failed && window.read(QString(), "PrintedFiles").toStringList().isEmpty())
        Fail(outcome, QStringLiteral("没有打印任何报表"));
}

// TALLYLEAF_SCREENSHOT=FILE: the main window with the report, saved once the selection is
// made (for the documentation's pictures).
void SaveScreenshot(Outcome& outcome)
{
    const QString file = qEnvironmentVariable("TALLYLEAF_SCREENSHOT");
    if (file.isEmpty() || !Application->MainForm())
        return;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 800)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!Application->MainForm()->Widget()->grab().toImage().save(file))
        Fail(outcome, QStringLiteral("不能保存截图%1").arg(file));
}

// TALLYLEAF_PREVIEW_SCREENSHOT=FILE: the print preview of the report, opened with the
// window's preview button once the selection is made, saved the same way and closed. The
// preview is modal, so the picture is taken from a timer inside its own event loop.
void SavePreviewScreenshot(PlugInWindowDriver& window, Outcome& outcome)
{
    const QString file = qEnvironmentVariable("TALLYLEAF_PREVIEW_SCREENSHOT");
    if (file.isEmpty() || outcome.failed || !window.read("tbnPrintView", "Enabled").toBool())
        return;
    QTimer timer;
    int ticks = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget* preview = QApplication::activeModalWidget();
        if (!preview)
            return;
        if (ticks++ == 0)
            preview->resize(1100, 760);
        if (ticks < 8)   // laid out and its pages painted at the new size
            return;
        timer.stop();
        if (!preview->grab().toImage().save(file))
            Fail(outcome, QStringLiteral("不能保存截图%1").arg(file));
        preview->close();
    });
    timer.start(100);
    window.click("tbnPrintView");
}

} // namespace

HeadlessOptions TakeHeadlessOptions(QStringList& arguments)
{
    HeadlessOptions options;
    QStringList rest;
    QStringList outputs;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        QString name = arg.startsWith("--") ? arg.mid(2) : QString();
        QString value;
        const int eq = int(name.indexOf('='));
        const bool inlineValue = eq >= 0;
        if (inlineValue) {
            value = name.mid(eq + 1);
            name = name.left(eq);
        }
        if (i == 0 || !IsSpec(name)) {
            rest << arg;
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= arguments.size()) {
                options.error = QStringLiteral("选项--%1缺少值").arg(name);
                continue;
            }
            value = arguments.at(++i);
        }
        if (std::find(std::begin(Outputs), std::end(Outputs), name) != std::end(Outputs))
            outputs << "--" + name;
        Store(options, name, value);
    }
    // Doing one output and dropping the other would report success for work not done.
    if (outputs.size() > 1)
        options.error = QStringLiteral("选项%1和%2不能同时给出：一次运行只做一种导出或打印").arg(outputs.at(0), outputs.at(1));
    arguments = rest;
    return options;
}

QString HeadlessHelpText()
{
    QString text = QStringLiteral("数据库与无界面运行选项（给出导出或打印选项时不打开窗口）：\n");
    for (const OptionSpec& s : Specs)
        text += QStringLiteral("  --%1 %2\n      %3\n").arg(QLatin1String(s.name), QLatin1String(s.valueName),
                                                        QString::fromUtf8(s.help));
    text += QStringLiteral("\n");   // the exit statuses follow in the host's help
    return text;
}

QString DefaultTemplateFolder()
{
    const QString source = QStringLiteral(TALLYLEAF_SOURCE_DIR) + "/data/templates/";
    const QString exeDir = QCoreApplication::applicationDirPath();
    // A host run from its build tree reads the source tree's templates.
    if (!exeDir.startsWith(QStringLiteral(TALLYLEAF_SOURCE_DIR) + "/") && QFileInfo::exists(exeDir + "/../share/tallyleaf/templates"))
        return QDir::cleanPath(exeDir + "/../share/tallyleaf/templates") + "/";
    return source;
}

void ApplyHeadlessSettings(const HeadlessOptions& options, bool demoDatabase, HostSettingsValues& settings)
{
    if (options.yearSet)
        settings.year = options.year;
    else if (demoDatabase && settings.year == 0)
        settings.year = 2024; // the last year of the demo city's data
    if (options.loginSet)
        settings.loginUnitCode = options.login;
    else if (demoDatabase && settings.loginUnitCode == QLatin1String("001001"))
        settings.loginUnitCode = QStringLiteral("105001"); // the demo city's finance bureau
    if (!options.deptMode.isEmpty())
        settings.deptMode = options.deptMode;
    if (options.indicatorTypeSet)
        settings.indicatorType = options.indicatorType;
    QString templates = options.templates.isEmpty() ? settings.templateFolder : options.templates;
    if (templates.isEmpty())
        templates = DefaultTemplateFolder();
    // Host parameter 11 is a prefix of the file names: it ends with a separator.
    if (!templates.endsWith('/'))
        templates += '/';
    settings.templateFolder = templates;
    if (!options.ini.isEmpty())
        settings.iniFileName = options.ini;
}

int RunHeadless(const HeadlessOptions& options, MainWindow& mainWindow)
{
    Outcome outcome;
    InstallAnswers(options, outcome);
    TComponent* form = nullptr;
    try {
        // The shipped plug-in opens its window as for a person; its failures come back
        // through the application object.
        mainWindow.showPlugInWindow(QStringLiteral("TbfrmTallyleaf"));
        form = PlugInWindowDriver::Find(QStringLiteral("TbfrmTallyleaf"));
        if (!form && !outcome.failed)
            Fail(outcome, QStringLiteral("插件没有打开指标打印窗口"));
        PlugInWindowDriver window(form);
        if (form && !outcome.failed && Select(window, options, outcome)) {
            SaveScreenshot(outcome);
            SavePreviewScreenshot(window, outcome);
            Act(window, options, outcome);
        }
    } catch (const std::exception& e) {
        Fail(outcome, ExceptionMessage(e));
    }
    // The window is the host's application object's (it owns the plug-in's windows).
    if (form)
        form->Free();
    RemoveAnswers();
    return outcome.failed ? 1 : 0;
}
