#include "tests/faults/FaultFixture.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

#include "common/gunFolder.h"
#include "common/untDataBase.h"
#include "common/untDemoDatabase.h"
#include "platform/Dialogs.h"
#include "common/PlugInGlobals.h"
#include "print/bwnTallyleaf.h"
#include "tests/TestSupport.h"

namespace faulttest {

namespace {

// A connection of its own on the scratch database, freed after one use.
template <class F>
auto OnAsideConnection(const dbtest::ScratchDatabase& db, F&& use)
{
    auto* conn = new TAdoConn(nullptr);
    conn->SetProvider(db.Provider());
    conn->SetConnectionString(db.ConnectionString());
    try {
        auto result = use(conn);
        conn->Free();
        return result;
    } catch (...) {
        conn->Free();
        throw;
    }
}

// The statement that makes the demo's view, as the schema file writes it.
QString ViewStatement(const QString& backend)
{
    QFile schema(testsupport::SourceDir() + "/data/sql/schema-" + backend + ".sql");
    if (!schema.open(QIODevice::ReadOnly))
        throw Exception("schema file not readable: " + schema.fileName());
    const QString text = QString::fromUtf8(schema.readAll());
    const qsizetype start = text.indexOf("create view vwbudget");
    const qsizetype end = text.indexOf(';', start);
    if (start < 0 || end < 0)
        throw Exception("no view in " + schema.fileName());
    return text.mid(start, end - start);
}

} // namespace

void WindowFixture::SetUp()
{
    ASSERT_TRUE(FDir.isValid());
    FHost = std::make_unique<reporttest::TReportHost>(GetParam(), DemoYear);
    DBTEST_REQUIRE_READY(FHost->Database());
    QString error;
    ASSERT_TRUE(CreateDemoDatabase(FHost->Def(), &error)) << error.toStdString();
    FHost->SetLogin("105001", "0");
    FSettings.Values = QStringList{"11=" + TemplateFolder()};
    PubVariable()->HostSettings = &FSettings;
    PubVariable()->HostOptions->IndicatorType = 1;
    PubVariable()->Year = DemoYear;
}

void WindowFixture::TearDown()
{
    if (FForm)
        FForm->Free();
    FForm = nullptr;
    if (PubVariable())
        PubVariable()->HostSettings = nullptr;
    Application->DialogHook = nullptr;
    Application->MessageBoxHook = nullptr;
    Application->OnException = nullptr;
}

QString WindowFixture::TemplateFolder() const
{
    return testsupport::SourceDir() + "/data/templates/";
}

TbfrmTallyleaf* WindowFixture::ShowWindow()
{
    FForm = new TbfrmTallyleaf(Application);
    FForm->Show();
    return FForm;
}

Seen WindowFixture::Run(const std::function<void()>& command, const QString& file, const QString& folder)
{
    Seen seen;
    Application->OnException = [&seen](TObject*, const QString& message) { seen.errors << message; };
    Application->MessageBoxHook = [&seen](const QString& text, const QString&, int flags) {
        seen.boxes << text;
        return (flags & 0x0F) == MB_YESNO ? IDYES : IDOK;
    };
    Application->DialogHook = [file, folder](TCommonDialog* dialog) {
        if (auto* save = dynamic_cast<TSaveDialog*>(dialog); save && !file.isEmpty())
            save->SetFileName(file);
        else if (auto* picker = dynamic_cast<TFolderDialog*>(dialog); picker && !folder.isEmpty())
            picker->SetFolder(folder);
        else
            return false;
        return true;
    };
    command();
    Application->OnException = nullptr;
    Application->MessageBoxHook = nullptr;
    Application->DialogHook = nullptr;
    return seen;
}

Seen WindowFixture::ExportTo(const QString& file)
{
    FForm->cbNum->SetChecked(false);
    return Run([this] { FForm->tbtnExcel->Click(); }, file);
}

void WindowFixture::ExecAside(const QString& sql)
{
    OnAsideConnection(FHost->Database(), [&](TAdoConn* conn) { return conn->Execute(sql); });
}

int WindowFixture::CountAside(const QString& sql)
{
    return OnAsideConnection(FHost->Database(), [&](TAdoConn* conn) {
        IARQueryPtr query = OpenQuery(conn, sql);
        query->Query()->First();
        return query->Query()->Fields()->Field(0)->AsInteger();
    });
}

void WindowFixture::WidenUnitNames()
{
    if (!Postgres())
        return;   // SQLite keeps text of any length in a varchar(100) column
    ExecAside("drop view vwbudget");
    ExecAside("alter table pubdept alter column ename type varchar(200)");
    ExecAside(ViewStatement("postgresql"));
}

QJsonObject ReadWorkbook(const QString& path)
{
    QProcess reader;
    reader.start("/usr/bin/python3", {testsupport::SourceDir() + "/tests/sheet/read_workbook.py", path});
    reader.waitForFinished(60000);
    return QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
}

QString CellText(const QJsonObject& book, int row, int col)
{
    const QJsonArray cell = book.value("cells").toObject().value(QString("%1,%2").arg(row).arg(col)).toArray();
    return cell.isEmpty() ? QString() : cell[1].toVariant().toString();
}

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList StagingLeftovers(const QString& folder)
{
    return QDir(folder).entryList({".tallyleaf-*"}, QDir::AllEntries | QDir::Hidden | QDir::System);
}

} // namespace faulttest
