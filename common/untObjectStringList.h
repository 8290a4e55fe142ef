#pragma once
// A list of (name, object) pairs in insertion order whose every single operation is
// serialised by a lock. Names are compared without regard to letter case; duplicates
// are allowed and IndexOf yields the first. The list does not own its objects.
//
// A sequence of operations (IndexOf then GetObject) is not atomic as a whole: callers
// that need that hold their own lock.
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

class TObjectStringList {
public:
    TObjectStringList() = default;
    TObjectStringList(const TObjectStringList&) = delete;
    TObjectStringList& operator=(const TObjectStringList&) = delete;

    int AddObject(const QString& name, QObject* object);
    void Delete(int index);
    QObject* GetObject(int index) const;
    QString GetName(int index) const;
    int IndexOf(const QString& name) const;
    int Count() const;

private:
    void CheckIndex(int index) const;

    struct Entry {
        QString Name;
        QObject* Object;
    };
    mutable QMutex FLock;
    QList<Entry> FEntries;
};
