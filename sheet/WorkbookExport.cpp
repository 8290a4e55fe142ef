#include "sheet/WorkbookExport.h"

#include "sheet/XlsWriter.h"
#include "sheet/XlsxWriter.h"

namespace sheet {

bool WorkbookExport::isXlsx(const QString& path)
{
    return path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive);
}

bool WorkbookExport::write(const Sheet& sheet, const QString& path, QString* error)
{
    return isXlsx(path) ? XlsxWriter::write(sheet, path, error) : XlsWriter::write(sheet, path, error);
}

} // namespace sheet
