#pragma once
// The client-side record set: a data set whose rows were read completely when it
// opened. Record counts are exact, reading needs no live connection, and a data set
// opened on one thread can be read on another.
//
// The rows are one flat list of values, row after row, as the driver handed them over:
// opening copies no value twice, and reading a field hands out the stored value (a text
// is shared, not copied).
//
// TFields and TField are light objects owned by the data set; a TField answers for the
// data set's current row.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

#include "platform/Classes.h"

TALLYLEAF_DECLARE_EXCEPTION(EDatabaseError, Exception);

class TFields;

class TField {
public:
    TField(const TFields* owner, int index, QString name, QMetaType type);
    TField(const TField&) = delete;
    TField& operator=(const TField&) = delete;

    const QString& FieldName() const { return FName; }
    int Index() const { return FIndex; }
    QMetaType DataType() const { return FType; }

    // The value in the current row; Null (an invalid QVariant) when there is no row.
    QVariant Value() const;
    bool IsNull() const;
    // Null gives empty text, 0 or 0.0; text that is no number gives 0.
    QString AsString() const;
    double AsFloat() const;
    int AsInteger() const;
    qint64 AsLargeInt() const;

private:
    const TFields* FOwner;
    int FIndex;
    QString FName;
    QMetaType FType;
};

class TFields {
public:
    TFields() = default;
    TFields(const TFields&) = delete;
    TFields& operator=(const TFields&) = delete;

    int Count() const { return static_cast<int>(FFields.size()); }
    // By position, counted from 0; nullptr outside the range.
    TField* Field(int index) const;
    TField* operator[](int index) const { return Field(index); }
    // By name, without regard to letter case (PostgreSQL folds unquoted names); the
    // first of several fields of the same name.
    TField* FindField(const QString& name) const;
    // The same for a name in static text, such as a literal: a reader that asks for the
    // same fields row after row finds them without building a text each time.
    TField* FindField(const char* name) const;
    // As FindField, but raises EDatabaseError naming the field when there is none.
    TField* FieldByName(const QString& name) const;
    QStringList FieldNames() const;

    // Changes whenever the fields are defined anew (a data set opened or closed), so a
    // reader may keep the TField pointers it found for as long as it stays the same.
    quint64 Generation() const { return FGeneration; }

    // The current row's value at `index` (Null without a current row).
    QVariant ValueAt(int index) const;
    // The same, in place: nullptr without a current row or outside the range.
    const QVariant* ValuePtr(int index) const
    {
        return FCurrent && index >= 0 && index < Count() ? FCurrent + index : nullptr;
    }

private:
    friend class TDataSet;
    void Define(const QStringList& names, const QList<QMetaType>& types);
    void Clear();

    // A name in static text as last seen at its address, and the field it found.
    struct TNameMemo {
        QByteArray Text;
        TField* Field = nullptr;
    };

    std::vector<std::unique_ptr<TField>> FFields;
    QHash<QString, int> FIndexByFoldedName;   // the first field of each case-folded name
    mutable QHash<const char*, TNameMemo> FMemo;
    const QVariant* FCurrent = nullptr;   // the current row's first value
    quint64 FGeneration = 0;
};

// Rows of a statement read part by part (TADOQuery::OpenInParts): `Rows` rows, row after
// row in `Values`; `Last` when the statement has no rows after them.
struct TRowPart {
    QList<QVariant> Values;
    qsizetype Rows = 0;
    bool Last = false;
};

// A data set of rows held in memory. Derived classes fill it in InternalOpen through
// SetData; navigation, fields and counts work the same for all of them.
class TDataSet : public TComponent {
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
public:
    Q_INVOKABLE explicit TDataSet(TComponent* AOwner = nullptr);
    ~TDataSet() override;

    bool Active() const { return FActive; }
    void SetActive(bool value);
    void Open();
    void Close();

    void First();
    void Next();
    void Prior();
    void Last();
    // True when there is no current row after the last (or no row at all, or closed).
    bool Eof() const;
    bool Bof() const;
    // Exact on every driver; 0 when closed.
    int RecordCount() const;
    // 1-based number of the current row, 0 when there is none.
    int RecNo() const;
    // Makes row `value` (1-based) the current row; outside 1..RecordCount the data set
    // is at its end.
    void SetRecNo(int value);

    TFields* Fields() { return &FFields; }
    const TFields* Fields() const { return &FFields; }
    int FieldCount() const { return FFields.Count(); }
    TField* FindField(const QString& name) const { return FFields.FindField(name); }
    TField* FieldByName(const QString& name) const;
    // A name in static text (a literal), found without building a text each time.
    TField* FieldByName(const char* name) const;

protected:
    // Reads the rows (raises on failure; the data set stays closed). The base opens
    // an empty data set.
    virtual void InternalOpen();
    virtual void InternalClose() {}
    void BeforeDestruction() override;
    // The data of an opening data set: column names and types, and the values of its
    // `rowCount` rows, row after row (names.size() values a row).
    void SetData(const QStringList& names, const QList<QMetaType>& types, QList<QVariant> values, qsizetype rowCount);
    // Other rows under the same fields, from the first; the values they replace.
    QList<QVariant> ReplaceRows(QList<QVariant> values, qsizetype rowCount);
    // A name for messages: the component's name, or its class.
    QString DataSetName() const;

private:
    void SetCurrent(qsizetype row);
    [[noreturn]] void RaiseNoField(const QString& name) const;

    QList<QVariant> FValues;
    qsizetype FRowCount = 0;
    TFields FFields;
    qsizetype FCurrent = 0;
    bool FActive = false;
    bool FBof = true;
};

// A statement's rows read part by part on one thread (TADOQuery::OpenInParts) and read on
// another: its fields, and one part's rows at a time.
class TPartDataSet : public TDataSet {
public:
    TPartDataSet(QStringList names, QList<QMetaType> types);
    // Shows `part`'s rows in place of the last part's, from its first row, and hands the
    // last part's values back, to be freed where the caller likes.
    QList<QVariant> ShowPart(TRowPart&& part);

protected:
    void InternalOpen() override;

private:
    const QStringList FNames;
    const QList<QMetaType> FTypes;
};
