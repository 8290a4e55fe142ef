#include "print/untReportTemplate.h"

#include "sheet/Sheet.h"

QString ReportTemplateShortfall(const sheet::Sheet& sheet)
{
    if (sheet.columnCount() < ReportColumns)
        return QStringLiteral("报表模板至少要有%1列，这个模板只有%2列").arg(ReportColumns).arg(sheet.columnCount());
    if (sheet.rowCount() < ReportSpareRow)
        return QStringLiteral("报表模板至少要有%1行（第%1行是备用行），这个模板只有%2行")
            .arg(ReportSpareRow)
            .arg(sheet.rowCount());
    for (int c = ReportFirstAmountColumn; c <= ReportColumns; ++c)
        if (sheet.cellFormat(c, ReportSpareRow).number == sheet::NumberFormat::General)
            return QStringLiteral("报表模板第%1行（备用行）第%2～%3列要有金额格式（number=amount或number=integer），"
                                  "第%4列没有")
                .arg(ReportSpareRow)
                .arg(ReportFirstAmountColumn)
                .arg(ReportColumns)
                .arg(c);
    return {};
}
