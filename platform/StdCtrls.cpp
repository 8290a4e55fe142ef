#include "platform/StdCtrls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/Forms.h"

TCustomForm* GetParentForm(TControl* control)
{
    return control ? TCustomForm::FormOf(control->Widget()) : nullptr;
}

// --- TLabel ---------------------------------------------------------------------------

TLabel::TLabel(TComponent* AOwner) : TControl(AOwner, new QLabel)
{
    Label()->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    SetAutoSize(true);
}

QLabel* TLabel::Label() const
{
    return static_cast<QLabel*>(Widget());
}

void TLabel::CaptionChanged()
{
    if (Label())
        Label()->setText(Caption());
    if (!HasState(csLoading))
        AdjustAutoSize();
}

QSize TLabel::AutoSizeExtent() const
{
    if (!Label() || WordWrap())
        return QSize(Width(), Height());
    const QFontMetrics fm(Label()->font());
    return QSize(fm.horizontalAdvance(Caption()), fm.height());
}

bool TLabel::WordWrap() const
{
    return Label() && Label()->wordWrap();
}

void TLabel::SetWordWrap(bool value)
{
    if (Label())
        Label()->setWordWrap(value);
}

// --- TEdit ----------------------------------------------------------------------------

TEdit::TEdit(TComponent* AOwner) : TWinControl(AOwner, new QLineEdit)
{
    SetTabStop(true);
    SetBounds(0, 0, 121, 20);
    RegisterEvent("OnChange", &OnChange);
    QObject::connect(Edit(), &QLineEdit::textEdited, this, [this] {
        CallHandlerSafely(this, [this] { OnChange(this); });
    });
}

QLineEdit* TEdit::Edit() const
{
    return static_cast<QLineEdit*>(Widget());
}

QString TEdit::Text() const
{
    return Edit() ? Edit()->text() : QString();
}

void TEdit::SetText(const QString& text)
{
    if (Edit())
        Edit()->setText(text);
}

bool TEdit::ReadOnly() const
{
    return Edit() && Edit()->isReadOnly();
}

void TEdit::SetReadOnly(bool value)
{
    if (Edit())
        Edit()->setReadOnly(value);
}

int TEdit::MaxLength() const
{
    return Edit() && Edit()->maxLength() != 32767 ? Edit()->maxLength() : 0;
}

void TEdit::SetMaxLength(int value)
{
    if (Edit())
        Edit()->setMaxLength(value > 0 ? value : 32767);
}

// --- TButton --------------------------------------------------------------------------

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner, new QPushButton)
{
    SetTabStop(true);
    SetBounds(0, 0, 75, 25);
    QObject::connect(static_cast<QPushButton*>(Widget()), &QPushButton::clicked, this, [this] { Click(); });
}

void TButton::CaptionChanged()
{
    if (Widget())
        static_cast<QPushButton*>(Widget())->setText(Caption());
}

void TButton::Click()
{
    if (FModalResult != 0) {
        if (TCustomForm* form = GetParentForm(this))
            form->SetModalResult(FModalResult);
    }
    TControl::Click();
}

// --- TCheckBox ------------------------------------------------------------------------

TCheckBox::TCheckBox(TComponent* AOwner) : TWinControl(AOwner, new QCheckBox)
{
    SetTabStop(true);
    SetBounds(0, 0, 97, 17);
    QObject::connect(Box(), &QCheckBox::clicked, this, [this] {
        if (!FSettingState)
            TControl::Click();
    });
}

QCheckBox* TCheckBox::Box() const
{
    return static_cast<QCheckBox*>(Widget());
}

void TCheckBox::CaptionChanged()
{
    if (Box())
        Box()->setText(Caption());
}

TCheckBoxState TCheckBox::State() const
{
    if (!Box())
        return cbUnchecked;
    switch (Box()->checkState()) {
    case Qt::Checked: return cbChecked;
    case Qt::PartiallyChecked: return cbGrayed;
    default: return cbUnchecked;
    }
}

void TCheckBox::SetState(TCheckBoxState state)
{
    if (!Box() || state == State())
        return;
    FSettingState = true;
    Box()->setCheckState(state == cbChecked ? Qt::Checked : state == cbGrayed ? Qt::PartiallyChecked : Qt::Unchecked);
    FSettingState = false;
    if (!HasState(csLoading))
        TControl::Click();
}

bool TCheckBox::AllowGrayed() const
{
    return Box() && Box()->isTristate();
}

void TCheckBox::SetAllowGrayed(bool value)
{
    if (Box())
        Box()->setTristate(value);
}

// --- TComboBox ------------------------------------------------------------------------

TComboBox::TComboBox(TComponent* AOwner) : TWinControl(AOwner, new QComboBox)
{
    SetTabStop(true);
    SetBounds(0, 0, 145, 20);
    RegisterEvent("OnChange", &OnChange);
    SetStyle(csDropDown);
    // `activated` comes from the user only; code that sets the index stays silent.
    QObject::connect(Combo(), &QComboBox::activated, this, [this] {
        CallHandlerSafely(this, [this] { OnChange(this); });
    });
}

QComboBox* TComboBox::Combo() const
{
    return static_cast<QComboBox*>(Widget());
}

void TComboBox::SetStyle(TComboBoxStyle style)
{
    FStyle = style;
    if (!Combo())
        return;
    const bool editable = style == csDropDown || style == csSimple;
    Combo()->setEditable(editable);
    // The line edit of an editable box reports typing (once per edit widget: Qt makes a
    // new one whenever the box becomes editable again).
    if (editable && Combo()->lineEdit() && Combo()->lineEdit() != FWatchedEdit) {
        FWatchedEdit = Combo()->lineEdit();
        Combo()->setInsertPolicy(QComboBox::NoInsert);
        QObject::connect(FWatchedEdit, &QLineEdit::textEdited, this, [this] {
            CallHandlerSafely(this, [this] { OnChange(this); });
        });
    }
}

QStringList TComboBox::Items() const
{
    QStringList items;
    for (int i = 0; Combo() && i < Combo()->count(); ++i)
        items << Combo()->itemText(i);
    return items;
}

void TComboBox::SetItems(const QStringList& items)
{
    if (!Combo())
        return;
    const QSignalBlocker block(Combo());
    Combo()->clear();
    Combo()->addItems(items);
    Combo()->setCurrentIndex(-1);
}

void TComboBox::AddItem(const QString& text)
{
    if (!Combo())
        return;
    const QSignalBlocker block(Combo());
    const int index = Combo()->currentIndex();
    Combo()->addItem(text);
    Combo()->setCurrentIndex(index);
}

void TComboBox::Clear()
{
    if (!Combo())
        return;
    const QSignalBlocker block(Combo());
    Combo()->clear();
    Combo()->setCurrentIndex(-1);
}

int TComboBox::Count() const
{
    return Combo() ? Combo()->count() : 0;
}

int TComboBox::ItemIndex() const
{
    return Combo() ? Combo()->currentIndex() : -1;
}

void TComboBox::SetItemIndex(int index)
{
    if (!Combo())
        return;
    const QSignalBlocker block(Combo());
    Combo()->setCurrentIndex(index >= 0 && index < Combo()->count() ? index : -1);
}

QString TComboBox::Text() const
{
    if (!Combo())
        return {};
    return Combo()->isEditable() ? Combo()->currentText() : (Combo()->currentIndex() >= 0 ? Combo()->currentText() : QString());
}

void TComboBox::SetText(const QString& text)
{
    if (!Combo())
        return;
    const QSignalBlocker block(Combo());
    if (Combo()->isEditable()) {
        Combo()->setCurrentIndex(Combo()->findText(text));
        Combo()->setEditText(text);
    } else {
        Combo()->setCurrentIndex(Combo()->findText(text));
    }
}

int TComboBox::DropDownCount() const
{
    return Combo() ? Combo()->maxVisibleItems() : 8;
}

void TComboBox::SetDropDownCount(int value)
{
    if (Combo())
        Combo()->setMaxVisibleItems(value);
}
