#pragma once
// Demo rows for a report template: what a city finance bureau's indicator detail
// report holds (a grand total, level totals, units with their indicators; amounts in
// whole cents, each total the sum of the lines it totals), written in
// the call pattern of the report filling: one appended row at a time, the texts and
// amounts, the 18 styles, the alignments and the fitted height.
#include <QString>

namespace sheet {
class Sheet;
}

namespace demo {

struct DemoOptions {
    int rows = 40;
    bool amountsAsNumbers = false; // the export sheet holds numbers, the screen sheet text
    QString title = QStringLiteral("市本级2026年国库集中支付改革一般预算资金指标表");
    QString subtitle = QStringLiteral("（按部门预算数核定）");
    int year = 2026;
};

// Fills `sheet` (a freshly read template) with `options.rows` data rows after its
// last row, then removes the spare row 7, as the report filling does.
void fillDemoRows(sheet::Sheet& sheet, const DemoOptions& options);

// An amount as the screen sheet shows it: "#,###0.00" with thousands separators.
QString amountText(double value);

} // namespace demo
