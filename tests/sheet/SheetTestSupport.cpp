#include "tests/sheet/SheetTestSupport.h"

#include <QPaintEngine>
#include <QPainter>
#include <QProcess>
#include <QTextItem>
#include <algorithm>
#include <gtest/gtest.h>

#include "sheet/SheetFonts.h"
#include "sheet/TemplateReader.h"
#include "tests/TestSupport.h"
#include "tools/tallyleaf-sheet/DemoRows.h"

namespace sheettest {

QString templatePath(bool stateCapital)
{
    return testsupport::SourceDir() + QStringLiteral("/data/templates/")
        + (stateCapital ? QStringLiteral("指标明细表_国有资本cll5.cll") : QStringLiteral("指标明细表_非国有资本cll5.cll"));
}

sheet::Sheet demoSheet(int rows, bool amountsAsNumbers)
{
    sheet::Sheet s = sheet::TemplateReader::read(templatePath(false));
    demo::DemoOptions options;
    options.rows = rows;
    options.amountsAsNumbers = amountsAsNumbers;
    demo::fillDemoRows(s, options);
    return s;
}

const std::vector<WideCell>& wideCells()
{
    static const std::vector<WideCell> cells{
        {12, QStringLiteral("100,000,000,000.00"), true},         // 10^11 in the 合计 column
        {13, QStringLiteral("1,203,898,160.03"), true},           // ten digits before the point
        {14, QStringLiteral("12,345,678,901,234,567.89"), false}, // no readable size fits
        {4, QStringLiteral("101100200300"), true},                // a 12-digit unit code
        {10, QStringLiteral("ZB2026000123456789"), true},         // a long indicator code
    };
    return cells;
}

void putWideCells(sheet::Sheet& sheet, int row)
{
    for (const WideCell& c : wideCells())
        sheet.setText(c.col, row, c.text);
    sheet.setRowHeight(row, sheet::SheetFonts(sheet).fitRowHeight(row));
}

QString runProgram(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(280000)) {
        ADD_FAILURE() << program.toStdString() << " did not finish";
        return {};
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << " failed: " << p.readAllStandardError().toStdString();
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

namespace {

class RecordingEngine : public QPaintEngine {
public:
    explicit RecordingEngine(TextRecorder& device) : QPaintEngine(AllFeatures), m_device(device) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawPath(const QPainterPath&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawTextItem(const QPointF& p, const QTextItem& item) override
    {
        const QRectF box(p.x(), p.y() - item.ascent(), item.width(), item.ascent() + item.descent());
        m_device.texts.push_back({item.text(), painter()->combinedTransform().mapRect(box)});
    }
    Type type() const override { return User; }

private:
    TextRecorder& m_device;
};

} // namespace

TextRecorder::TextRecorder(QSize size) : m_size(size), m_engine(std::make_unique<RecordingEngine>(*this)) {}

TextRecorder::~TextRecorder() = default;

QPaintEngine* TextRecorder::paintEngine() const
{
    return m_engine.get();
}

int TextRecorder::metric(PaintDeviceMetric metric) const
{
    switch (metric) {
    case PdmWidth:
        return m_size.width();
    case PdmHeight:
        return m_size.height();
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return 96;
    case PdmWidthMM:
        return m_size.width() * 254 / 960;
    case PdmHeightMM:
        return m_size.height() * 254 / 960;
    case PdmDepth:
        return 32;
    case PdmNumColors:
        return 0x7FFFFFFF;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return static_cast<int>(devicePixelRatioFScale());
    default:
        return QPaintDevice::metric(metric);
    }
}

std::vector<TextRecorder::Drawn> TextRecorder::within(const QRectF& area) const
{
    std::vector<Drawn> found;
    std::copy_if(texts.begin(), texts.end(), std::back_inserter(found),
                 [&](const Drawn& d) { return area.contains(d.box.center()); });
    std::sort(found.begin(), found.end(), [](const Drawn& a, const Drawn& b) {
        return std::abs(a.box.top() - b.box.top()) > 1 ? a.box.top() < b.box.top() : a.box.left() < b.box.left();
    });
    return found;
}

} // namespace sheettest
