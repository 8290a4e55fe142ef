#include "platform/Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QStyle>

TSaveDialog::TSaveDialog(TComponent* AOwner) : TCommonDialog(AOwner) {}

QString TSaveDialog::QtFilter() const
{
    const QStringList parts = FFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts.at(i);
        const QString patterns = QString(parts.at(i + 1)).replace(QLatin1Char(';'), QLatin1Char(' '));
        if (!description.contains(QLatin1Char('(')))
            description += QStringLiteral(" (%1)").arg(patterns);
        filters << description;
    }
    return filters.join(QStringLiteral(";;"));
}

bool TSaveDialog::DoExecute()
{
    QFileDialog dialog(QApplication::activeWindow(), Title());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !OverwritePrompt());
    const QString filter = QtFilter();
    if (!filter.isEmpty()) {
        dialog.setNameFilter(filter);
        const QStringList names = filter.split(QStringLiteral(";;"));
        if (FFilterIndex >= 1 && FFilterIndex <= names.size())
            dialog.selectNameFilter(names.at(FFilterIndex - 1));
    }
    if (!FDefaultExt.isEmpty())
        dialog.setDefaultSuffix(FDefaultExt);
    if (!FInitialDir.isEmpty())
        dialog.setDirectory(FInitialDir);
    else if (!FFileName.isEmpty() && QFileInfo(FFileName).isAbsolute())
        dialog.setDirectory(QFileInfo(FFileName).absolutePath());
    if (!FFileName.isEmpty())
        dialog.selectFile(QFileInfo(FFileName).fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    FFileName = dialog.selectedFiles().first();
    return true;
}

int MessageBoxTitleWidth(const QString& caption)
{
    // Window managers draw the caption in a bold face of about the application's size;
    // beside it go the window's icon and its three buttons, each about a title bar's
    // height wide, and a little space at either end.
    QFont font = QApplication::font();
    font.setBold(true);
    const int bar = QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const int iconAndButtons = 4 * bar;
    const int ends = bar;
    return QFontMetrics(font).horizontalAdvance(caption) + iconAndButtons + ends;
}

int ShowMessageBox(const QString& text, const QString& caption, int flags)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(caption);
    box.setText(text);
    switch (flags & 0xF0) {
    case MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    switch (flags & 0x0F) {
    case MB_OKCANCEL: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MB_YESNOCANCEL: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel); break;
    case MB_YESNO: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    default: box.setStandardButtons(QMessageBox::Ok); break;
    }
    // Qt sizes a message box by its text and buttons only, while the window manager draws
    // the caption in the title bar beside the window's icon and buttons: a short text
    // under a long caption ("Corvalind 7.1-提示信息") had its caption cut off. A spacer
    // across the box's grid keeps the box at least as wide as the whole title bar.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        const QMargins margins = grid->contentsMargins();
        const int spacer = MessageBoxTitleWidth(caption) - margins.left() - margins.right();
        if (spacer > 0)
            grid->addItem(new QSpacerItem(spacer, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0,
                          1, grid->columnCount());
    }
    switch (box.exec()) {
    case QMessageBox::Cancel: return IDCANCEL;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    default: return IDOK;
    }
}

bool RunCommonDialog(TCommonDialog* dialog)
{
    return dialog && dialog->DoExecute();
}
