#include "sheet/SheetPrinter.h"

#include <QFile>
#include <QFileInfo>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScopeGuard>

#include "sheet/PdfTextMap.h"
#include "sheet/SheetFonts.h"
#include "sheet/SheetPainter.h"
#include "files/StagedFile.h"

namespace sheet {

namespace {

constexpr double UnitsPerInch = 96.0;

void applyLayout(QPrinter& printer, const PageSetup& setup)
{
    printer.setPageLayout(SheetPrinter::pageLayout(setup));
    printer.setDocName(QStringLiteral("report"));
}

bool failWith(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

// Qt's PDF of the sheet, painted page by page into `file`. The PDF writer does not
// report a full disk: the file's own error does.
bool paintPdf(const Sheet& sheet, QFile& file, const QPageLayout& layout, int resolution, QString* error)
{
    {
        QPdfWriter writer(&file);
        writer.setResolution(resolution);
        writer.setPageLayout(layout);
        writer.setCreator(QStringLiteral("Tallyleaf"));
        writer.setTitle(QStringLiteral("报表"));
        if (!SheetPrinter(sheet).render(writer, writer.resolution(), error))
            return false;
    }
    if (!file.flush() || file.error() != QFileDevice::NoError)
        return failWith(error, QStringLiteral("写入文件“%1”失败：%2").arg(file.fileName(), file.errorString()));
    return true;
}

// The PDF is painted into a file beside the staged one, in StagedFile's private folder,
// its text then mapped to the ideographs drawn (PdfTextMap) on the way to the staged
// file. Neither is held in memory, whatever the page count. StagedFile checks the
// target, gives a new file the user's default permissions and never writes through a
// link planted at the name.
bool writePdf(const Sheet& sheet, const QString& path, const QPageLayout& layout, int resolution, QString* error)
{
    StagedFile staged(path);
    if (!staged.prepare(error))
        return false;
    {
        QFile painted(QFileInfo(staged.stagingPath()).absolutePath() + QStringLiteral("/painted.pdf"));
        QFile mapped(staged.stagingPath());
        const auto removePainted = qScopeGuard([&] { painted.remove(); });
        if (!painted.open(QIODevice::ReadWrite | QIODevice::NewOnly))
            return failWith(error, QStringLiteral("无法创建文件“%1”：%2").arg(path, painted.errorString()));
        if (!paintPdf(sheet, painted, layout, resolution, error))
            return false;
        painted.close();
        if (!painted.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return failWith(error, QStringLiteral("无法读取文件“%1”：%2").arg(painted.fileName(), painted.errorString()));
        if (!mapped.open(QIODevice::ReadWrite | QIODevice::NewOnly))
            return failWith(error, QStringLiteral("无法创建文件“%1”：%2").arg(path, mapped.errorString()));
        const bool written = PdfTextMap::mapIdeographs(painted, mapped, SheetPainter::fonts(sheet));
        mapped.close();
        if (!written || mapped.error() != QFileDevice::NoError)
            return failWith(error, QStringLiteral("写入文件“%1”失败：%2").arg(path, mapped.errorString()));
    }
    return staged.commit(error);
}

// Printing to a PDF file makes the same file as the headless PDF, never the printer's
// own direct write (which follows a link planted at the name, truncates its target and
// leaves the text map as Qt made it). A preview's printer paints its pages instead.
bool printOn(QPrinter& printer, const Sheet& sheet, QString* error)
{
    const bool previewing = printer.paintEngine() && printer.paintEngine()->type() == QPaintEngine::Picture;
    if (!previewing && printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        return writePdf(sheet, printer.outputFileName(), printer.pageLayout(), printer.resolution(), error);
    return SheetPrinter(sheet).render(printer, printer.resolution(), error);
}

} // namespace

QPageLayout SheetPrinter::pageLayout(const PageSetup& setup)
{
    const QPageSize size(setup.paper == Paper::A3 ? QPageSize::A3 : QPageSize::A4);
    const auto orientation
        = setup.orientation == Orientation::Landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
    return QPageLayout(size, orientation,
                       QMarginsF(setup.marginLeftMm, setup.marginTopMm, setup.marginRightMm, setup.marginBottomMm),
                       QPageLayout::Millimeter);
}

Paginator SheetPrinter::paginate(const QPageLayout& layout, int resolution) const
{
    const QRect paint = layout.paintRectPixels(resolution);
    const double unit = resolution / UnitsPerInch;
    return Paginator(SheetPainter::pageInput(m_sheet, QSizeF(paint.width() / unit, paint.height() / unit)));
}

bool SheetPrinter::render(QPagedPaintDevice& device, int resolution, QString* error) const
{
    const Paginator pages = paginate(device.pageLayout(), resolution);
    QPainter painter;
    if (!painter.begin(&device)) {
        if (error)
            *error = QStringLiteral("无法在打印设备上绘制报表");
        return false;
    }
    SheetFonts fonts(m_sheet, &device);
    SheetPainter paint(m_sheet, fonts);
    const QRect area = device.pageLayout().paintRectPixels(resolution);
    const QRectF target(0, 0, area.width(), area.height());
    for (int i = 0; i < pages.pageCount(); ++i) {
        if (i > 0 && !device.newPage()) {
            if (error)
                *error = QStringLiteral("无法开始第%1页").arg(i + 1);
            painter.end();
            return false;
        }
        paint.paintPage(painter, pages, i, target, resolution / UnitsPerInch);
    }
    return painter.end();
}

bool SheetPrinter::exportPdf(const QString& path, QString* error) const
{
    return writePdf(m_sheet, path, pageLayout(m_sheet.pageSetup()), 600, error);
}

int SheetPrinter::preview(QWidget* parent) const
{
    QPrinter printer(QPrinter::HighResolution);
    applyLayout(printer, m_sheet.pageSetup());
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("打印预览"));
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [this](QPrinter* p) {
        QString ignored;
        // A failed page shows as a blank page in the preview, and a print from the
        // preview has nothing to report to.
        printOn(*p, m_sheet, &ignored);
    });
    return dialog.exec() == QDialog::Accepted ? 1 : 0;
}

bool SheetPrinter::hasPrinter()
{
    return !QPrinterInfo::availablePrinters().isEmpty();
}

int SheetPrinter::print(bool askUser, QWidget* parent, QString* error, PdfFile* pdf) const
{
    const bool printerInstalled = hasPrinter();
    QPrinter printer(QPrinter::HighResolution);
    if (!printerInstalled) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf && !pdf->proposed.isEmpty() ? pdf->proposed : QStringLiteral("report.pdf"));
    }
    applyLayout(printer, m_sheet.pageSetup());
    if (askUser || !printerInstalled) {
        QPrintDialog dialog(&printer, parent);
        dialog.setWindowTitle(QStringLiteral("打印"));
        if (dialog.exec() != QDialog::Accepted)
            return 0;
    }
    // Printing to a file makes the same file as the headless PDF, never the printer's
    // own direct write (which follows a link planted at the name and truncates its target).
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
        const QString path = printer.outputFileName();
        if (pdf && pdf->mayWrite && !pdf->mayWrite(path))
            return 0;
        if (!printOn(printer, m_sheet, error))
            return 0;
        if (pdf)
            pdf->written = path;
        return 1;
    }
    return printOn(printer, m_sheet, error) ? 1 : 0;
}

} // namespace sheet
