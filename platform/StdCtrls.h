#pragma once
// Standard controls: label, edit, button, check box, drop-down list.
//
// Change events follow the platform: OnChange of a drop-down list fires when the
// user picks an entry, never when code sets ItemIndex or Text.
#include <QLineEdit>
#include <QPointer>
#include <QStringList>

#include "platform/Controls.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

class TLabel : public TControl {
    Q_OBJECT
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
public:
    Q_INVOKABLE explicit TLabel(TComponent* AOwner);

    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value) { FTransparent = value; }
    bool WordWrap() const;
    void SetWordWrap(bool value);

protected:
    void CaptionChanged() override;
    QSize AutoSizeExtent() const override;

private:
    QLabel* Label() const;
    bool FTransparent = false;
};

class TEdit : public TWinControl {
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE SetText)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(int MaxLength READ MaxLength WRITE SetMaxLength)
public:
    Q_INVOKABLE explicit TEdit(TComponent* AOwner);

    QString Text() const;
    void SetText(const QString& text);
    bool ReadOnly() const;
    void SetReadOnly(bool value);
    int MaxLength() const;
    void SetMaxLength(int value);

    // Fires when the user edits the text (not when code sets it).
    TNotifyEvent OnChange;

private:
    QLineEdit* Edit() const;
};

class TButton : public TWinControl {
    Q_OBJECT
    Q_PROPERTY(int ModalResult READ ModalResult WRITE SetModalResult)
    Q_PROPERTY(bool Default READ Default WRITE SetDefault)
    Q_PROPERTY(bool Cancel READ Cancel WRITE SetCancel)
public:
    Q_INVOKABLE explicit TButton(TComponent* AOwner);

    int ModalResult() const { return FModalResult; }
    void SetModalResult(int value) { FModalResult = value; }
    bool Default() const { return FDefault; }
    void SetDefault(bool value) { FDefault = value; }
    bool Cancel() const { return FCancel; }
    void SetCancel(bool value) { FCancel = value; }
    // As a click by the user: the form's ModalResult takes the button's, then OnClick.
    virtual void Click();

protected:
    void CaptionChanged() override;

private:
    int FModalResult = 0;
    bool FDefault = false;
    bool FCancel = false;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCheckBox : public TWinControl {
    Q_OBJECT
    Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)
    Q_PROPERTY(TCheckBoxState State READ State WRITE SetState)
    Q_PROPERTY(bool AllowGrayed READ AllowGrayed WRITE SetAllowGrayed)
public:
    Q_INVOKABLE explicit TCheckBox(TComponent* AOwner);

    bool Checked() const { return State() == cbChecked; }
    // Setting Checked from code fires OnClick, as on the platform.
    void SetChecked(bool value) { SetState(value ? cbChecked : cbUnchecked); }
    TCheckBoxState State() const;
    void SetState(TCheckBoxState state);
    bool AllowGrayed() const;
    void SetAllowGrayed(bool value);

protected:
    void CaptionChanged() override;

private:
    QCheckBox* Box() const;
    bool FSettingState = false;
};

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TComboBox : public TWinControl {
    Q_OBJECT
    Q_PROPERTY(TComboBoxStyle Style READ Style WRITE SetStyle)
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex)
    Q_PROPERTY(QString Text READ Text WRITE SetText)
    Q_PROPERTY(int ItemHeight READ ItemHeight WRITE SetItemHeight)
    Q_PROPERTY(int DropDownCount READ DropDownCount WRITE SetDropDownCount)
public:
    Q_INVOKABLE explicit TComboBox(TComponent* AOwner);

    TComboBoxStyle Style() const { return FStyle; }
    void SetStyle(TComboBoxStyle style);
    QStringList Items() const;
    // Replaces the entries; no entry is selected afterwards.
    void SetItems(const QStringList& items);
    void AddItem(const QString& text);
    void Clear();
    int Count() const;
    // -1: no entry.
    int ItemIndex() const;
    // Selects an entry (out of range: none) without firing OnChange.
    void SetItemIndex(int index);
    QString Text() const;
    // A drop-down list selects the entry of that text (none when there is none); an
    // editable box takes the text. No OnChange.
    void SetText(const QString& text);
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int value) { FItemHeight = value; }
    int DropDownCount() const;
    void SetDropDownCount(int value);

    // Fires when the user picks an entry or edits the text.
    TNotifyEvent OnChange;

private:
    QComboBox* Combo() const;
    TComboBoxStyle FStyle = csDropDown;
    QPointer<QLineEdit> FWatchedEdit;
    int FItemHeight = 12;
};

// The form that shows a control (null when it is on none).
class TCustomForm;
TCustomForm* GetParentForm(TControl* control);
