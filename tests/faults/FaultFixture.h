#pragma once
// The print window on a fresh demo database (SQLite or PostgreSQL), with the helpers the
// fault tests share: a second connection that changes or breaks the database behind the
// window's back, the export through the window's own save dialog, and the exported
// workbook read back with a real reader.
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

#include "common/PlugInContext.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/print/ReportFixture.h"
#include "tests/support/WorkbookReadBack.h"

class TbfrmTallyleaf;

namespace faulttest {

constexpr int DemoYear = 2024;

// What the user saw while a command ran: message boxes and the messages of exceptions
// shown through the application object.
struct Seen {
    QStringList boxes;
    QStringList errors;
    bool Succeeded() const { return boxes.contains(QStringLiteral("数据导出成功。")); }
    QString All() const { return (boxes + errors).join(QStringLiteral("\n")); }
};

class WindowFixture : public ::testing::TestWithParam<QString> {
protected:
    void SetUp() override;
    void TearDown() override;

    bool Postgres() const { return GetParam() == QStringLiteral("postgresql"); }
    TbfrmTallyleaf* ShowWindow();
    // Runs `command` with message boxes answered "yes"/"ok", the save dialog giving `file`
    // and the folder picker `folder` (cancelled when empty); records what was shown.
    Seen Run(const std::function<void()>& command, const QString& file = QString(),
             const QString& folder = QString());
    // The single export of the current report to `file` through the save dialog.
    Seen ExportTo(const QString& file);

    // Statements on a connection of its own (not the window's "Def").
    void ExecAside(const QString& sql);
    int CountAside(const QString& sql);
    // Widens pubdept.ename to 200 characters (PostgreSQL enforces the demo's 100).
    void WidenUnitNames();

    reporttest::TReportHost* Host() const { return FHost.get(); }
    QString TemplateFolder() const;

    std::unique_ptr<reporttest::TReportHost> FHost;
    THostSettings FSettings;
    formstest::MdiHost FMdi;
    TbfrmTallyleaf* FForm = nullptr;
    QTemporaryDir FDir;
};

using testsupport::CellText;
using testsupport::ReadWorkbook;

QByteArray FileBytes(const QString& path);
// The staging folders an export may leave behind in `folder` (none after any export).
QStringList StagingLeftovers(const QString& folder);

} // namespace faulttest
