#include "print/CELL50Lib_TLB.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPushButton>
#include <QTimer>

#include "sheet/SheetError.h"
#include "sheet/SheetFonts.h"
#include "sheet/SheetPrinter.h"
#include "sheet/SheetView.h"
#include "sheet/TemplateReader.h"
#include "sheet/WorkbookExport.h"

namespace {

// The print dialog asks of its own, in English, before it prints over an existing file.
// While a print with a question of the sheet's owner runs, the dialog's question is kept
// off the screen and answered with the owner's question instead, so the user is asked
// once, in the owner's words; a file confirmed so is not asked about again afterwards.
class TReplaceQuestion : public QObject {
public:
    explicit TReplaceQuestion(std::function<bool(const QString&)> mayWrite) : FMayWrite(std::move(mayWrite))
    {
        if (FMayWrite)
            qApp->installEventFilter(this);
    }
    ~TReplaceQuestion() override { qApp->removeEventFilter(this); }
    TReplaceQuestion(const TReplaceQuestion&) = delete;
    TReplaceQuestion& operator=(const TReplaceQuestion&) = delete;

    // The question asked after the dialog: only for a file not confirmed in it.
    std::function<bool(const QString&)> AfterDialog()
    {
        if (!FMayWrite)
            return {};
        return [this](const QString& path) { return QDir::cleanPath(path) == FConfirmed || FMayWrite(path); };
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* box = event->type() == QEvent::Polish ? qobject_cast<QMessageBox*>(watched) : nullptr;
        QWidget* dialog = box ? box->parentWidget() : nullptr;
        while (dialog && !qobject_cast<QPrintDialog*>(dialog))
            dialog = dialog->parentWidget();
        const auto* edit = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("filename")) : nullptr;
        if (!edit || box->standardButtons() != (QMessageBox::Yes | QMessageBox::No))
            return false;
        // The dialog takes a relative name as one in the home folder.
        const QString text = edit->text();
        const QString path = QDir::cleanPath(QDir::isRelativePath(text) ? QDir::home().filePath(text) : text);
        box->setAttribute(Qt::WA_DontShowOnScreen);
        QTimer::singleShot(0, box, [this, box, path] {
            const bool replace = FMayWrite(path);
            if (replace)
                FConfirmed = path;
            box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        return false;
    }

private:
    std::function<bool(const QString&)> FMayWrite;
    QString FConfirmed;
};

// Runs a change of the engine, turning its errors into the control's exception.
template <class F>
auto guarded(F&& f) -> decltype(f())
{
    try {
        return f();
    } catch (const sheet::SheetError& e) {
        throw TExceptCell5(e.message());
    }
}

} // namespace

// Argument readers: a value of the wrong kind is a clear error, never a silent 0.
struct TCell5::Args {
    const char* op;
    const QVariantList& list;

    const QVariant& operator[](int i) const { return list[i]; }
    bool isEmpty() const { return list.isEmpty(); }

    [[noreturn]] void bad(int i, const char* kind) const
    {
        throw TExceptCell5(QStringLiteral("操作%1的第%2个参数“%3”不是%4")
                               .arg(QString::fromLatin1(op))
                               .arg(i + 1)
                               .arg(list[i].toString(), QString::fromUtf8(kind)));
    }
    int toInt(int i) const
    {
        bool ok = false;
        const int v = list[i].toInt(&ok);
        if (!ok)
            bad(i, "整数");
        return v;
    }
    double toDouble(int i) const
    {
        bool ok = false;
        const double v = list[i].toDouble(&ok);
        if (!ok)
            bad(i, "数值");
        return v;
    }
    QString toText(int i) const { return list[i].toString(); }
};

TCell5::TCell5(TComponent* AOwner)
    : TWinControl(AOwner, new sheet::SheetView), FFonts(std::make_unique<sheet::SheetFonts>(FSheet))
{
    View()->setSheet(&FSheet, &FSheet);
    SetAlign(alClient);
}

TCell5::~TCell5()
{
    if (View())
        View()->setSheet(nullptr);
}

sheet::SheetView* TCell5::View() const
{
    return static_cast<sheet::SheetView*>(Widget());
}

const QHash<int, TCell5::Operation>& TCell5::Operations()
{
    static const QHash<int, Operation> table{
        {dispWorkbookReadonly, {"WorkbookReadonly", -1, [](TCell5& c, const Args& a) -> QVariant {
             if (a.isEmpty())
                 return c.FSheet.isReadOnly();
             c.FSheet.setReadOnly(a[0].toBool());
             c.Changed();
             return {};
         }}},
        {dispOpenSheetFile, {"OpenSheetFile", 2, [](TCell5& c, const Args& a) -> QVariant {
             const QString path = a.toText(0);
             try {
                 sheet::Sheet loaded = sheet::TemplateReader::read(path);
                 loaded.setReadOnly(c.FSheet.isReadOnly());
                 c.FSheet = std::move(loaded);
             } catch (const sheet::SheetError& e) {
                 return c.Failed(e.message());
             }
             c.Changed();
             return c.Succeeded();
         }}},
        {dispGetRowCount, {"GetRowCount", 1, [](TCell5& c, const Args& a) -> QVariant {
             c.CheckSheet(a.toInt(0));
             return c.FSheet.rowCount() + 1;
         }}},
        {dispSetRowCount, {"SetRowCount", 2, [](TCell5& c, const Args& a) -> QVariant {
             const int count = a.toInt(0);
             c.CheckSheet(a.toInt(1));
             if (count < 0)
                 throw TExceptCell5(QStringLiteral("行数%1不能小于0").arg(count));
             guarded([&] { c.FSheet.setRowCount(std::max(0, count - 1)); });
             c.Changed();
             return {};
         }}},
        {dispDeleteRows, {"DeleteRows", 3, [](TCell5& c, const Args& a) -> QVariant {
             c.CheckSheet(a.toInt(2));
             guarded([&] { c.FSheet.deleteRows(a.toInt(0), a.toInt(1)); });
             c.Changed();
             return {};
         }}},
        {dispSetCellText, {"SetCellText", 4, [](TCell5& c, const Args& a) -> QVariant {
             c.CheckSheet(a.toInt(2));
             guarded([&] { c.FSheet.setText(a.toInt(0), a.toInt(1), a.toText(3)); });
             c.Changed();
             return {};
         }}},
        {dispSetCellNumber, {"SetCellNumber", 4, [](TCell5& c, const Args& a) -> QVariant {
             c.CheckSheet(a.toInt(2));
             guarded([&] { c.FSheet.setNumber(a.toInt(0), a.toInt(1), a.toDouble(3)); });
             c.Changed();
             return {};
         }}},
        {dispSetCellAlign, {"SetCellAlign", 4, [](TCell5& c, const Args& a) -> QVariant {
             c.CheckSheet(a.toInt(2));
             guarded([&] { c.FSheet.setAlign(a.toInt(0), a.toInt(1), a.toInt(3)); });
             c.Changed();
             return {};
         }}},
        {dispSetCellStyle, {"SetCellStyle", 4, [](TCell5& c, const Args& a) -> QVariant {
             c.CheckSheet(a.toInt(2));
             guarded([&] { c.FSheet.setStyle(a.toInt(0), a.toInt(1), a.toInt(3)); });
             c.Changed();
             return {};
         }}},
        {dispGetRowFitHeight, {"GetRowFitHeight", 1, [](TCell5& c, const Args& a) -> QVariant {
             const int row = a.toInt(0);
             return guarded([&] { return c.FFonts->fitRowHeight(row); });
         }}},
        {dispSetRowHeight, {"SetRowHeight", 4, [](TCell5& c, const Args& a) -> QVariant {
             c.CheckSheet(a.toInt(3));
             guarded([&] { c.FSheet.setRowHeight(a.toInt(2), a.toInt(1)); });
             c.Changed();
             return {};
         }}},
        {dispSetColumnWidth, {"SetColumnWidth", 4, [](TCell5& c, const Args& a) -> QVariant {
             c.CheckSheet(a.toInt(3));
             guarded([&] { c.FSheet.setColumnWidth(a.toInt(2), a.toInt(1)); });
             c.Changed();
             return {};
         }}},
        {dispSetPageText, {"SetPageText", 3, [](TCell5& c, const Args& a) -> QVariant {
             sheet::PageSetup& p = c.FSheet.pageSetup();
             p.textLeft = a[0].toString();
             p.textMiddle = a[1].toString();
             p.textRight = a[2].toString();
             return {};
         }}},
        {dispPrintPreview, {"PrintPreview", 2, [](TCell5& c, const Args&) -> QVariant {
             sheet::SheetPrinter(c.FSheet).preview(c.View());
             return c.Succeeded();
         }}},
        {dispPrintSheet, {"PrintSheet", 2, [](TCell5& c, const Args& a) -> QVariant {
             QString error;
             TReplaceQuestion question(c.FPrintMayWrite);
             sheet::SheetPrinter::PdfFile pdf{c.FPrintProposal, question.AfterDialog(), QString()};
             const int printed
                 = sheet::SheetPrinter(c.FSheet).print(a.toInt(0) != 0, c.View(), &error, &pdf);
             c.FPrintedFile = pdf.written;
             if (printed)
                 return c.Succeeded();
             // Cancelled in the print dialog: nothing failed, nothing printed.
             c.FLastError = error;
             return 0;
         }}},
        {dispExportXlsFile, {"ExportXlsFile", 1, [](TCell5& c, const Args& a) -> QVariant {
             QString error;
             if (!sheet::WorkbookExport::write(c.FSheet, a[0].toString(), &error))
                 return c.Failed(error);
             return c.Succeeded();
         }}},
        {dispExportPdfFile, {"ExportPdfFile", 1, [](TCell5& c, const Args& a) -> QVariant {
             QString error;
             if (!sheet::SheetPrinter(c.FSheet).exportPdf(a[0].toString(), &error))
                 return c.Failed(error);
             return c.Succeeded();
         }}},
    };
    return table;
}

bool TCell5::HasOperation(int dispId)
{
    return Operations().contains(dispId);
}

QVariant TCell5::Invoke(int dispId, const QVariantList& args)
{
    const auto it = Operations().constFind(dispId);
    if (it == Operations().constEnd())
        throw TExceptCell5(QStringLiteral("报表控件没有编号为%1的操作").arg(dispId));
    const Operation& op = it.value();
    const bool countOk = op.argCount < 0 ? args.size() <= 1 : args.size() == op.argCount;
    if (!countOk)
        throw TExceptCell5(QStringLiteral("操作%1需要%2个参数，调用时给了%3个")
                               .arg(QString::fromLatin1(op.name))
                               .arg(op.argCount < 0 ? 1 : op.argCount)
                               .arg(args.size()));
    return op.handler(*this, Args{op.name, args});
}

void TCell5::CheckSheet(int sheet) const
{
    if (sheet != 0)
        throw TExceptCell5(QStringLiteral("表页%1不存在（报表只有表页0）").arg(sheet));
}

int TCell5::Succeeded()
{
    FLastError.clear();
    return 1;
}

int TCell5::Failed(const QString& message)
{
    FLastError = message;
    return 0;
}

void TCell5::Changed()
{
    if (View())
        View()->sheetChanged();
}

int TCell5::OpenSheetFile(const QString& path, const QString& second)
{
    return Invoke(dispOpenSheetFile, {path, second}).toInt();
}

int TCell5::GetRowCount(int sheet)
{
    return Invoke(dispGetRowCount, {sheet}).toInt();
}

void TCell5::SetRowCount(int count, int sheet)
{
    Invoke(dispSetRowCount, {count, sheet});
}

void TCell5::DeleteRows(int firstRow, int count, int sheet)
{
    Invoke(dispDeleteRows, {firstRow, count, sheet});
}

void TCell5::SetCellText(int col, int row, int sheet, const QString& text)
{
    Invoke(dispSetCellText, {col, row, sheet, text});
}

void TCell5::SetCellNumber(int col, int row, int sheet, double value)
{
    Invoke(dispSetCellNumber, {col, row, sheet, value});
}

void TCell5::SetCellAlign(int col, int row, int sheet, int code)
{
    Invoke(dispSetCellAlign, {col, row, sheet, code});
}

void TCell5::SetCellStyle(int col, int row, int sheet, int style)
{
    Invoke(dispSetCellStyle, {col, row, sheet, style});
}

int TCell5::GetRowFitHeight(int row)
{
    return Invoke(dispGetRowFitHeight, {row}).toInt();
}

void TCell5::SetRowHeight(int one, int height, int row, int sheet)
{
    Invoke(dispSetRowHeight, {one, height, row, sheet});
}

void TCell5::SetColumnWidth(int one, int width, int col, int sheet)
{
    Invoke(dispSetColumnWidth, {one, width, col, sheet});
}

void TCell5::SetPageText(const QString& left, const QString& middle, const QString& right)
{
    Invoke(dispSetPageText, {left, middle, right});
}

int TCell5::PrintPreview(int a, int b)
{
    return Invoke(dispPrintPreview, {a, b}).toInt();
}

int TCell5::PrintSheet(int askUser, int b)
{
    return Invoke(dispPrintSheet, {askUser, b}).toInt();
}

int TCell5::ExportXlsFile(const QString& path)
{
    return Invoke(dispExportXlsFile, {path}).toInt();
}

int TCell5::ExportPdfFile(const QString& path)
{
    return Invoke(dispExportPdfFile, {path}).toInt();
}

void TCell5::SetSheet(sheet::Sheet&& filled)
{
    FSheet = std::move(filled);
    Changed();
}

void TCell5::SetPrintFile(const QString& proposed, std::function<bool(const QString&)> mayWrite)
{
    FPrintProposal = proposed;
    FPrintMayWrite = std::move(mayWrite);
}

bool TCell5::PrinterInstalled()
{
    return sheet::SheetPrinter::hasPrinter();
}

bool TCell5::WorkbookReadonly() const
{
    return FSheet.isReadOnly();
}

void TCell5::SetWorkbookReadonly(bool value)
{
    Invoke(dispWorkbookReadonly, {value});
}
