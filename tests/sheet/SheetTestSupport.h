#pragma once
// Helpers of the sheet tests: the shipped templates, a sheet filled with demo rows, the
// programs that read what we write, and a paint device that keeps what was written on it.
// Workbooks are read back with tests/support/WorkbookReadBack.
#include <QPaintDevice>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "sheet/Sheet.h"

namespace sheettest {

QString templatePath(bool stateCapital);
// The non-state-capital template filled with `rows` demo rows.
sheet::Sheet demoSheet(int rows, bool amountsAsNumbers);
// Cells of the demo report too narrow for their values at full size: large amounts
// in the amount columns and long codes in the code columns, with whether the value
// can show whole (a number with no readable size shows '#'s).
struct WideCell {
    int col;
    QString text;
    bool fits;
};
const std::vector<WideCell>& wideCells();
// Writes them into `row` of a demo sheet and fits the row's height, as the filling does.
void putWideCells(sheet::Sheet& sheet, int row);

// Runs a program; its standard output, or a failed test when it does not exit 0.
QString runProgram(const QString& program, const QStringList& args);

// A paint device that keeps every text painted on it with the box it covers (device
// coordinates, the painter's transform applied): what a reader of the page would see,
// clipping aside, so a text that runs out of its cell shows as a box outside it.
class TextRecorder : public QPaintDevice {
public:
    struct Drawn {
        QString text;
        QRectF box;
    };
    explicit TextRecorder(QSize size);
    ~TextRecorder() override;
    QPaintEngine* paintEngine() const override;
    // The texts whose box's centre lies in `area`, read in lines from the top left.
    std::vector<Drawn> within(const QRectF& area) const;
    std::vector<Drawn> texts;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    QSize m_size;
    std::unique_ptr<QPaintEngine> m_engine;
};

} // namespace sheettest
