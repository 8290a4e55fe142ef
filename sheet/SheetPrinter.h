#pragma once
// Preview, printer and PDF for a sheet: each paints the pages that the paginator cut,
// through SheetPainter, so the three show the same pages.
#include <QPageLayout>
#include <QString>
#include <functional>

#include "sheet/Paginator.h"
#include "sheet/Sheet.h"

class QPagedPaintDevice;
class QPrinter;
class QWidget;

namespace sheet {

class SheetPrinter {
public:
    explicit SheetPrinter(const Sheet& sheet) : m_sheet(sheet) {}

    // Paper, orientation and margins of the sheet's page set-up.
    static QPageLayout pageLayout(const PageSetup& setup);

    // The pages for a device of that layout and resolution (dots per inch).
    Paginator paginate(const QPageLayout& layout, int resolution) const;

    // Paints every page on `device`, whose page layout is already set; false with
    // *error set when the device cannot be painted on.
    bool render(QPagedPaintDevice& device, int resolution, QString* error) const;

    // Writes the pages as a PDF file without any dialog (see StagedFile).
    bool exportPdf(const QString& path, QString* error) const;

    // Modal print preview; returns the dialog's result (1 accepted, 0 closed).
    int preview(QWidget* parent) const;

    // Where a print to a PDF file goes (the machine has no printer): the file the print
    // dialog proposes, a question asked before the chosen file is written (false: nothing
    // is printed), and the file written.
    struct PdfFile {
        QString proposed;
        std::function<bool(const QString& path)> mayWrite;
        QString written;
    };

    // Prints on the default printer; with `askUser`, or where the machine has no
    // printer, the print dialog comes first (it offers printing to a PDF file, `pdf`
    // when given). Returns 1 when printed, 0 when cancelled or failed (*error set on
    // failure).
    int print(bool askUser, QWidget* parent, QString* error, PdfFile* pdf = nullptr) const;

    // True when the machine has a printer installed.
    static bool hasPrinter();

private:
    const Sheet& m_sheet;
};

} // namespace sheet
