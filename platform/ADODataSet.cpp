#include "platform/ADODataSet.h"

#include <atomic>

using namespace Qt::StringLiterals;

TField::TField(const TFields* owner, int index, QString name, QMetaType type)
    : FOwner(owner), FIndex(index), FName(std::move(name)), FType(type)
{
}

QVariant TField::Value() const
{
    const QVariant* v = FOwner->ValuePtr(FIndex);
    return v ? *v : QVariant();
}

bool TField::IsNull() const
{
    const QVariant* v = FOwner->ValuePtr(FIndex);
    return !v || v->isNull();
}

QString TField::AsString() const
{
    const QVariant* v = FOwner->ValuePtr(FIndex);
    if (!v)
        return {};
    // Text, the usual value: its own string (null for a null value), no conversion.
    if (v->metaType() == QMetaType::fromType<QString>())
        return *static_cast<const QString*>(v->constData());
    return v->isNull() ? QString() : v->toString();
}

double TField::AsFloat() const
{
    const QVariant* v = FOwner->ValuePtr(FIndex);
    if (!v || v->isNull())
        return 0.0;
    bool ok = false;
    const double d = v->toDouble(&ok);
    return ok ? d : v->toString().trimmed().toDouble();
}

qint64 TField::AsLargeInt() const
{
    const QVariant* v = FOwner->ValuePtr(FIndex);
    if (!v || v->isNull())
        return 0;
    bool ok = false;
    const qint64 n = v->toLongLong(&ok);
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
    const auto it = FIndexByFoldedName.constFind(name.toCaseFolded());
    return it == FIndexByFoldedName.cend() ? nullptr : FFields[static_cast<size_t>(it.value())].get();
}

TField* TFields::FindField(const char* name) const
{
    if (!name)
        return nullptr;
    // The text is compared too: a buffer that held another name at this address is
    // looked up afresh.
    const auto it = FMemo.constFind(name);
    if (it != FMemo.cend() && it->Text == name)
        return it->Field;
    TField* field = FindField(QString::fromUtf8(name));
    if (FMemo.size() >= 256)
        FMemo.clear();   // names in changing buffers: keep the memo small
    FMemo.insert(name, TNameMemo{QByteArray(name), field});
    return field;
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
    const QVariant* v = ValuePtr(index);
    return v ? *v : QVariant();
}

void TFields::Define(const QStringList& names, const QList<QMetaType>& types)
{
    Clear();
    for (int i = 0; i < names.size(); ++i) {
        FFields.push_back(std::make_unique<TField>(this, i, names.at(i), i < types.size() ? types.at(i) : QMetaType()));
        const QString folded = names.at(i).toCaseFolded();
        if (!FIndexByFoldedName.contains(folded))   // the first of equal names answers
            FIndexByFoldedName.insert(folded, i);
    }
}

void TFields::Clear()
{
    static std::atomic<quint64> generations{0};
    FGeneration = ++generations;
    FFields.clear();
    FIndexByFoldedName.clear();
    FMemo.clear();
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

void TDataSet::InternalOpen() { SetData({}, {}, {}, 0); }

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
    FValues.clear();
    FRowCount = 0;
    FCurrent = 0;
    FBof = true;
}

void TDataSet::SetData(const QStringList& names, const QList<QMetaType>& types, QList<QVariant> values, qsizetype rowCount)
{
    FFields.Define(names, types);
    FValues = std::move(values);
    FRowCount = rowCount;
    SetCurrent(0);
}

QList<QVariant> TDataSet::ReplaceRows(QList<QVariant> values, qsizetype rowCount)
{
    std::swap(FValues, values);
    FRowCount = rowCount;
    First();
    return values;
}

void TDataSet::SetCurrent(qsizetype row)
{
    FCurrent = row;
    const qsizetype columns = FFields.Count();
    const bool inside = row >= 0 && row < FRowCount && (row + 1) * columns <= FValues.size();
    FFields.FCurrent = inside ? FValues.constData() + row * columns : nullptr;
}

void TDataSet::First()
{
    SetCurrent(0);
    FBof = true;
}

void TDataSet::Next()
{
    if (FCurrent < FRowCount)
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
    SetCurrent(FRowCount == 0 ? 0 : FRowCount - 1);
    FBof = FRowCount == 0;
}

void TDataSet::SetRecNo(int value)
{
    if (!FActive)
        return;
    SetCurrent(value >= 1 && value <= FRowCount ? value - 1 : FRowCount);
    FBof = false;
}

bool TDataSet::Eof() const { return !FActive || FCurrent >= FRowCount; }

bool TDataSet::Bof() const { return !FActive || FBof; }

int TDataSet::RecordCount() const { return FActive ? static_cast<int>(FRowCount) : 0; }

int TDataSet::RecNo() const { return (FActive && FCurrent < FRowCount) ? static_cast<int>(FCurrent) + 1 : 0; }

TField* TDataSet::FieldByName(const QString& name) const
{
    if (TField* f = FFields.FindField(name))
        return f;
    RaiseNoField(name);
}

TField* TDataSet::FieldByName(const char* name) const
{
    if (TField* f = FFields.FindField(name))
        return f;
    RaiseNoField(QString::fromUtf8(name));
}

void TDataSet::RaiseNoField(const QString& name) const
{
    throw EDatabaseError(Format(u"数据集%s中没有字段%s！"_s, {DataSetName(), name}));
}

QString TDataSet::DataSetName() const { return Name().isEmpty() ? ClassName() : Name(); }

// ---------------------------------------------------------------------------------

TPartDataSet::TPartDataSet(QStringList names, QList<QMetaType> types)
    : TDataSet(nullptr), FNames(std::move(names)), FTypes(std::move(types))
{
    Open();
}

void TPartDataSet::InternalOpen() { SetData(FNames, FTypes, {}, 0); }

QList<QVariant> TPartDataSet::ShowPart(TRowPart&& part) { return ReplaceRows(std::move(part.Values), part.Rows); }
