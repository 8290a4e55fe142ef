#include "platform/ADODataSet.h"

using namespace Qt::StringLiterals;

TField::TField(const TFields* owner, int index, QString name, QMetaType type)
    : FOwner(owner), FIndex(index), FName(std::move(name)), FType(type)
{
}

QVariant TField::Value() const { return FOwner->ValueAt(FIndex); }

bool TField::IsNull() const { return Value().isNull(); }

QString TField::AsString() const
{
    const QVariant v = Value();
    return v.isNull() ? QString() : v.toString();
}

double TField::AsFloat() const
{
    const QVariant v = Value();
    if (v.isNull())
        return 0.0;
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? d : v.toString().trimmed().toDouble();
}

qint64 TField::AsLargeInt() const
{
    const QVariant v = Value();
    if (v.isNull())
        return 0;
    bool ok = false;
    const qint64 n = v.toLongLong(&ok);
    if (ok)
        return n;
    // Decimal texts and floating point values ("3.0", 3.0) count by their integral part.
    return static_cast<qint64>(AsFloat());
}

int TField::AsInteger() const { return static_cast<int>(AsLargeInt()); }

// ---------------------------------------------------------------------------------

TField* TFields::Field(int index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return FFields[static_cast<size_t>(index)].get();
}

TField* TFields::FindField(const QString& name) const
{
    for (const auto& f : FFields)
        if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

TField* TFields::FieldByName(const QString& name) const
{
    if (TField* f = FindField(name))
        return f;
    throw EDatabaseError(Format(u"字段%s不存在！"_s, name));
}

QStringList TFields::FieldNames() const
{
    QStringList names;
    for (const auto& f : FFields)
        names << f->FieldName();
    return names;
}

QVariant TFields::ValueAt(int index) const
{
    if (!FCurrent || index < 0 || index >= FCurrent->size())
        return {};
    return FCurrent->at(index);
}

void TFields::Define(const QStringList& names, const QList<QMetaType>& types)
{
    Clear();
    for (int i = 0; i < names.size(); ++i)
        FFields.push_back(std::make_unique<TField>(this, i, names.at(i), i < types.size() ? types.at(i) : QMetaType()));
}

void TFields::Clear()
{
    FFields.clear();
    FCurrent = nullptr;
}

// ---------------------------------------------------------------------------------

TDataSet::TDataSet(TComponent* AOwner) : TComponent(AOwner) {}

TDataSet::~TDataSet() = default;

void TDataSet::BeforeDestruction()
{
    Close();
    TComponent::BeforeDestruction();
}

void TDataSet::InternalOpen() { SetData({}, {}, {}); }

void TDataSet::SetActive(bool value)
{
    if (value)
        Open();
    else
        Close();
}

void TDataSet::Open()
{
    if (FActive)
        return;
    InternalOpen();
    FActive = true;
    First();
}

void TDataSet::Close()
{
    if (!FActive)
        return;
    FActive = false;
    InternalClose();
    FFields.Clear();
    FRows.clear();
    FCurrent = 0;
    FBof = true;
}

void TDataSet::SetData(const QStringList& names, const QList<QMetaType>& types, QList<QVariantList> rows)
{
    FFields.Define(names, types);
    FRows = std::move(rows);
    SetCurrent(0);
}

void TDataSet::SetCurrent(qsizetype row)
{
    FCurrent = row;
    FFields.FCurrent = (row >= 0 && row < FRows.size()) ? &FRows.at(row) : nullptr;
}

void TDataSet::First()
{
    SetCurrent(0);
    FBof = true;
}

void TDataSet::Next()
{
    if (FCurrent < FRows.size())
        SetCurrent(FCurrent + 1);
    FBof = false;
}

void TDataSet::Prior()
{
    if (FCurrent > 0) {
        SetCurrent(FCurrent - 1);
        FBof = false;
    } else {
        FBof = true;
    }
}

void TDataSet::Last()
{
    SetCurrent(FRows.isEmpty() ? 0 : FRows.size() - 1);
    FBof = FRows.isEmpty();
}

bool TDataSet::Eof() const { return !FActive || FCurrent >= FRows.size(); }

bool TDataSet::Bof() const { return !FActive || FBof; }

int TDataSet::RecordCount() const { return FActive ? static_cast<int>(FRows.size()) : 0; }

int TDataSet::RecNo() const { return (FActive && FCurrent < FRows.size()) ? static_cast<int>(FCurrent) + 1 : 0; }

TField* TDataSet::FieldByName(const QString& name) const
{
    if (TField* f = FFields.FindField(name))
        return f;
    throw EDatabaseError(Format(u"数据集%s中没有字段%s！"_s, {DataSetName(), name}));
}

QString TDataSet::DataSetName() const { return Name().isEmpty() ? ClassName() : Name(); }
