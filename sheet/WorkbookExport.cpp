#include "sheet/WorkbookExport.h"

#include "sheet/XlsWriter.h"
#include "sheet/XlsxWriter.h"

namespace sheet {

bool WorkbookExport::isXlsx(const QString& path)
{
    return path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive);
}

bool WorkbookExport::fits(const QString& path, qint64 rows)
{
    return isXlsx(path) || XlsWriter::fits(rows);
}

QString WorkbookExport::rowLimitError(const QString& path, qint64 rows)
{
    if (fits(path, rows))
        return {};
    return QStringLiteral("无法导出“%1”：%2").arg(path, XlsWriter::tooManyRows(rows));
}

bool WorkbookExport::write(const Sheet& sheet, const QString& path, QString* error)
{
    if (const QString refusal = rowLimitError(path, sheet.rowCount()); !refusal.isEmpty()) {
        if (error)
            *error = refusal;
        return false;
    }
    return isXlsx(path) ? XlsxWriter::write(sheet, path, error) : XlsWriter::write(sheet, path, error);
}

} // namespace sheet
