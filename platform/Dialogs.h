#pragma once
// Common dialogs and message boxes.
//
// TSaveDialog::Execute asks the application object (Application->ExecuteDialog, defined
// with it in Forms.cpp, which builds on this unit), so a test or a headless host answers
// through Application->DialogHook instead of a person: the hook reads the dialog's
// settings, sets FileName and returns true to confirm.
#include <QString>
#include <QStringList>

#include "platform/Classes.h"

// Message box flags and results.
constexpr int MB_OK = 0x00;
constexpr int MB_OKCANCEL = 0x01;
constexpr int MB_YESNOCANCEL = 0x03;
constexpr int MB_YESNO = 0x04;
constexpr int MB_ICONERROR = 0x10;
constexpr int MB_ICONQUESTION = 0x20;
constexpr int MB_ICONWARNING = 0x30;
constexpr int MB_ICONINFORMATION = 0x40;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Options of the file dialogs, a set: bit (1 << ofOverwritePrompt) etc.
enum TOpenOption { ofReadOnly, ofOverwritePrompt, ofHideReadOnly, ofNoChangeDir, ofPathMustExist, ofFileMustExist };
using TOpenOptions = unsigned;

class TCommonDialog : public TComponent {
    Q_OBJECT
    Q_PROPERTY(QString Title READ Title WRITE SetTitle)
public:
    Q_INVOKABLE explicit TCommonDialog(TComponent* AOwner) : TComponent(AOwner) {}

    QString Title() const { return FTitle; }
    void SetTitle(const QString& title) { FTitle = title; }
    // Shows the dialog; true when the user confirmed.
    virtual bool Execute();
    // Shows the real dialog (called by the application object when no hook answers).
    virtual bool DoExecute() { return false; }

private:
    QString FTitle;
};

class TSaveDialog : public TCommonDialog {
    Q_OBJECT
    Q_PROPERTY(QString Filter READ Filter WRITE SetFilter)
    Q_PROPERTY(int FilterIndex READ FilterIndex WRITE SetFilterIndex)
    Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)
    Q_PROPERTY(QString DefaultExt READ DefaultExt WRITE SetDefaultExt)
    Q_PROPERTY(QString InitialDir READ InitialDir WRITE SetInitialDir)
    Q_PROPERTY(unsigned Options READ Options WRITE SetOptions)
public:
    Q_INVOKABLE explicit TSaveDialog(TComponent* AOwner);

    // "文件类型 (*.xls)|*.xls|...": description and pattern pairs separated by "|".
    QString Filter() const { return FFilter; }
    void SetFilter(const QString& filter) { FFilter = filter; }
    // 1-based, as on the platform.
    int FilterIndex() const { return FFilterIndex; }
    void SetFilterIndex(int index) { FFilterIndex = index; }
    QString FileName() const { return FFileName; }
    void SetFileName(const QString& name) { FFileName = name; }
    QString DefaultExt() const { return FDefaultExt; }
    void SetDefaultExt(const QString& ext) { FDefaultExt = ext; }
    QString InitialDir() const { return FInitialDir; }
    void SetInitialDir(const QString& dir) { FInitialDir = dir; }
    TOpenOptions Options() const { return FOptions; }
    void SetOptions(TOpenOptions options) { FOptions = options; }
    bool OverwritePrompt() const { return FOptions & (1u << ofOverwritePrompt); }

    // The filter as Qt's file dialog takes it ("文件类型 (*.xls);;...").
    QString QtFilter() const;
    bool DoExecute() override;

private:
    QString FFilter;
    int FFilterIndex = 1;
    QString FFileName;
    QString FDefaultExt;
    QString FInitialDir;
    TOpenOptions FOptions = (1u << ofHideReadOnly);
};

// Shows a message box (MB_ flags above) and answers IDOK, IDCANCEL, IDYES or IDNO.
// Application->MessageBox goes through the application's hook first; use that.
// The box is at least MessageBoxTitleWidth(caption) wide, so that the window manager's
// title bar shows the whole caption.
int ShowMessageBox(const QString& text, const QString& caption, int flags);
int MessageBoxTitleWidth(const QString& caption);
// Runs a common dialog for real (the application object's default).
bool RunCommonDialog(TCommonDialog* dialog);
