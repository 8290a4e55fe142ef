// What leaves the print window: a PDF file, a job in the print queue, a workbook (with
// the question before one is replaced), a folder of workbooks; each read back with real
// readers. The education bureau's report (login 107001) fills several pages.
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>

#include "tests/scenario/FilesRead.h"
#include "tests/scenario/PersonSteps.h"

namespace scenario {
namespace {

const QStringList Bureau{QStringLiteral("--login"), QStringLiteral("107001")};
const QString BureauUnit = QStringLiteral("107 市教育局");
const QString Saved = QStringLiteral("数据导出成功。");

// Waits for a file that another process writes; returns once its size holds still.
void WaitForFile(Host& host, const QString& path, int seconds = 120)
{
    qint64 size = -1;
    host.waitUntil(QStringLiteral("the file %1").arg(path), [&](const Screen&) {
        const QFileInfo info(path);
        const bool settled = info.exists() && info.size() > 0 && info.size() == size;
        size = info.exists() ? info.size() : -1;
        return settled;
    }, seconds);
}

// Every page carries its footer "共N页第K页" and the page size of the template's paper.
// Our own PDFs map their text to the ideographs drawn, so the footer reads exactly; a job
// for a print queue is Qt's own PDF, whose text map may give a look-alike radical for 页,
// so there the page word is matched as any one character.
enum class PageWord { Exact, AnyCharacter };

void ExpectPagesOfTheReport(const PdfDocument& pdf, int pages, PageWord word)
{
    EXPECT_EQ(pdf.pages, pages);
    const QSizeF paper = TemplatePaperSize(DemoTemplateFile());
    EXPECT_NEAR(pdf.pageSize.width(), paper.width(), 1.0);
    EXPECT_NEAR(pdf.pageSize.height(), paper.height(), 1.0);
    const QString page = word == PageWord::Exact ? QStringLiteral("页") : QStringLiteral(".");
    for (int k = 1; k <= pdf.pageTexts.size(); ++k) {
        const QRegularExpression footer(QStringLiteral("共%1%3第%2%3").arg(pages).arg(k).arg(page));
        EXPECT_TRUE(footer.match(pdf.pageTexts.at(k - 1)).hasMatch()) << "page " << k;
    }
}

// The number of pages 预览 shows.
int PreviewPages(Host& host, Person& person)
{
    person.clickTool(QStringLiteral("tbnPrintView"));
    const Widget label = host.waitFor(QStringLiteral("the preview's page count"), [](const Screen& s) {
        const Widget* preview = s.window(QStringLiteral("打印预览"));
        return preview ? s.find([&](const Widget& w) {
            return w.window == preview->id && w.is("QLabel") && w.text.startsWith(QStringLiteral("/ "));
        })
                       : nullptr;
    });
    host.key(QStringLiteral("Escape"));
    host.waitUntil(QStringLiteral("the preview closed"), [](const Screen& s) { return !s.window(QStringLiteral("打印预览")); });
    return label.text.mid(2).toInt();
}

// Types into a line edit of a dialog (found by object name) what a person types there.
void FillIn(Host& host, const QString& dialogTitle, const QString& field, const QString& text)
{
    const Widget edit = host.waitFor(QStringLiteral("the field %1 of “%2”").arg(field, dialogTitle), [&](const Screen& s) {
        const Widget* dialog = s.window(dialogTitle);
        return dialog ? s.find([&](const Widget& w) { return w.window == dialog->id && w.name == field && w.enabled; })
                      : nullptr;
    });
    host.click(edit);
    host.key(QStringLiteral("ctrl+a"));
    host.type(text);
    host.waitUntil(QStringLiteral("“%1” typed").arg(text), [&](const Screen& s) {
        const Widget* w = s.find([&](const Widget& x) { return x.name == field; });
        return w && w->text == text;
    });
    // A file dialog offers the names it knows as one types; the offer is put away first,
    // or it takes the next click.
    if (host.screen().popup()) {
        host.key(QStringLiteral("Escape"));
        host.waitUntil(QStringLiteral("the offered names put away"), [](const Screen& s) { return !s.popup(); });
    }
}

TEST(OutputScenario, PrintToAPdfFileWithoutPrinter)
{
    Host host(Bureau);
    Person person(host);
    person.openPrintWindow();
    person.pickUnit(BureauUnit);
    person.waitForReport();
    const int pages = PreviewPages(host, person);

    person.clickTool(QStringLiteral("tbnPrint"));
    const QString pdf = host.scratch() + QStringLiteral("/printed.pdf");
    FillIn(host, QStringLiteral("打印"), QStringLiteral("filename"), pdf);
    person.answer(host.waitFor(QStringLiteral("the print dialog"), [](const Screen& s) { return s.window(QStringLiteral("打印")); }),
                  QStringLiteral("打印(&P)"));
    WaitForFile(host, pdf);
    ExpectPagesOfTheReport(ReadPdf(pdf), pages, PageWord::Exact);
}

TEST(OutputScenario, PrintToTheDefaultPrintQueue)
{
    const QString spool = qEnvironmentVariable("TALLYLEAF_SCENARIO_CUPS_SPOOL");
    ASSERT_FALSE(spool.isEmpty()) << "TALLYLEAF_SCENARIO_CUPS_SPOOL is not set (scripts/scenario-env)";
    const QStringList jobsBefore = QDir(spool).entryList({QStringLiteral("d*")}, QDir::Files);
    Host host(Bureau, Printers::TestQueue);
    Person person(host);
    person.openPrintWindow();
    person.pickUnit(BureauUnit);
    person.waitForReport();
    const int pages = PreviewPages(host, person);

    // With a printer, 打印 prints at once to the default queue.
    person.clickTool(QStringLiteral("tbnPrint"));
    QString job;
    host.waitUntil(QStringLiteral("a new job in the queue"), [&](const Screen&) {
        for (const QString& file : QDir(spool).entryList({QStringLiteral("d*")}, QDir::Files))
            if (!jobsBefore.contains(file))
                job = file;
        return !job.isEmpty();
    }, 120);
    WaitForFile(host, spool + QLatin1Char('/') + job);
    ExpectPagesOfTheReport(ReadPdf(spool + QLatin1Char('/') + job), pages, PageWord::AnyCharacter);

    // The queue's printer, cups-pdf, prints every page into its folder.
    const int id = job.mid(1, job.indexOf(QLatin1Char('-')) - 1).toInt();
    const QString outFolder = qEnvironmentVariable("TALLYLEAF_SCENARIO_CUPS_PDF");
    QString printed;
    host.waitUntil(QStringLiteral("job %1 printed into %2").arg(id).arg(outFolder), [&](const Screen&) {
        const QStringList done = QDir(outFolder).entryList({QStringLiteral("*-job_%1.pdf").arg(id)}, QDir::Files);
        printed = done.isEmpty() ? QString() : QDir(outFolder).filePath(done.first());
        return !printed.isEmpty();
    }, 180);
    WaitForFile(host, printed);
    EXPECT_EQ(ReadPdf(printed).pages, pages);
    QFile::remove(printed);
}

TEST(OutputScenario, ExportAsksBeforeReplacingAWorkbook)
{
    Host host;
    Person person(host);
    person.openPrintWindow();
    const QString path = host.scratch() + QStringLiteral("/report.xls");
    const QString title = QStringLiteral("市财政局本级2024年国库集中支付改革一般预算资金指标表");
    auto exportTo = [&] {
        person.clickTool(QStringLiteral("tbtnExcel"));
        FillIn(host, QStringLiteral("另存为"), QStringLiteral("fileNameEdit"), path);
        person.answer(host.waitFor(QStringLiteral("the save dialog"), [](const Screen& s) { return s.window(QStringLiteral("另存为")); }),
                      QStringLiteral("保存(&S)"));
    };
    exportTo();
    person.answer(person.waitForMessage(Saved), QStringLiteral("确定"));
    QJsonObject workbook = ReadWorkbook(path);
    EXPECT_EQ(CellText(workbook, 0, 1), title);
    EXPECT_EQ(CellText(workbook, 1, 5), QStringLiteral("（按部门预算数核定）"));

    // Another type, the same file: “否” keeps the file, “是” replaces it.
    person.pick(QStringLiteral("cobBType"), QStringLiteral("控制数"));
    person.waitForReport();
    for (const QString& answer : {QStringLiteral("否(&N)"), QStringLiteral("是(&Y)")}) {
        SCOPED_TRACE(answer.toStdString());
        exportTo();
        person.answer(person.waitForMessage(QStringLiteral("已存在，是否替换？")), answer);
        if (answer.startsWith(QStringLiteral("是")))
            person.answer(person.waitForMessage(Saved), QStringLiteral("确定"));
        workbook = ReadWorkbook(path);
        EXPECT_EQ(CellText(workbook, 1, 5), answer.startsWith(QStringLiteral("是")) ? QStringLiteral("（按部门控制数核定）")
                                                                                  : QStringLiteral("（按部门预算数核定）"));
    }
    EXPECT_TRUE(host.screen().findAll([](const Widget& w) { return w.is("QMessageBox"); }).isEmpty());
}

TEST(OutputScenario, ContinuousExportIntoAFolderThenQuit)
{
    Host host;
    Person person(host);
    person.openPrintWindow();
    person.pickUnit(QStringLiteral("105 市财政局"));
    const Widget funds = host.waitFor(QStringLiteral("two fund natures"), [](const Screen& s) {
        const Widget* w = s.named(QStringLiteral("cobMid"));
        return w && w->entries.size() == 2 ? w : nullptr;
    });
    const Widget continuous = host.waitFor(QStringLiteral("连续打印"), [](const Screen& s) { return s.named(QStringLiteral("cbNum")); });
    host.click(continuous);
    host.waitUntil(QStringLiteral("连续打印 ticked"), [](const Screen& s) {
        const Widget* w = s.named(QStringLiteral("cbNum"));
        return w && w->checked == std::optional<bool>(true);
    });
    const QString folder = host.scratch() + QStringLiteral("/out");
    QDir().mkpath(folder);
    person.clickTool(QStringLiteral("tbtnExcel"));
    const QString chooser = QStringLiteral("请选择保存路径");
    FillIn(host, chooser, QStringLiteral("fileNameEdit"), folder);
    host.key(QStringLiteral("Return"));
    person.answer(person.waitForMessage(Saved, 120), QStringLiteral("确定"));

    QStringList expected;
    for (const QString& fund : funds.entries)
        expected << QStringLiteral("2024年国库集中支付改革预算数%1指标表.xls").arg(fund);
    QStringList written = QDir(folder).entryList(QDir::Files);
    expected.sort();
    written.sort();
    EXPECT_EQ(written, expected);
    for (const QString& fund : funds.entries)
        EXPECT_EQ(CellText(ReadWorkbook(QStringLiteral("%1/2024年国库集中支付改革预算数%2指标表.xls").arg(folder, fund)), 0, 1),
                  QStringLiteral("市财政局2024年国库集中支付改革%1指标表").arg(fund));

    // Quitting with the window open ends the host cleanly.
    const Widget system = person.openMenu(QStringLiteral("系统(&X)"));
    host.click(*system.item(QStringLiteral("退出(&X)")));
    EXPECT_EQ(host.waitForExit(), 0);
}

} // namespace
} // namespace scenario
