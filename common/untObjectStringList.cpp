#include "common/untObjectStringList.h"

#include "platform/SysUtils.h"

void TObjectStringList::CheckIndex(int index) const
{
    if (index < 0 || index >= FEntries.size())
        throw EStringListError(Format(QStringLiteral("List index out of bounds (%d)"), QString::number(index)));
}

int TObjectStringList::AddObject(const QString& name, QObject* object)
{
    QMutexLocker lock(&FLock);
    FEntries.append({name, object});
    return static_cast<int>(FEntries.size()) - 1;
}

void TObjectStringList::Delete(int index)
{
    QMutexLocker lock(&FLock);
    CheckIndex(index);
    FEntries.removeAt(index);
}

QObject* TObjectStringList::GetObject(int index) const
{
    QMutexLocker lock(&FLock);
    CheckIndex(index);
    return FEntries.at(index).Object;
}

QString TObjectStringList::GetName(int index) const
{
    QMutexLocker lock(&FLock);
    CheckIndex(index);
    return FEntries.at(index).Name;
}

int TObjectStringList::IndexOf(const QString& name) const
{
    QMutexLocker lock(&FLock);
    for (int i = 0; i < FEntries.size(); ++i)
        if (FEntries.at(i).Name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int TObjectStringList::Count() const
{
    QMutexLocker lock(&FLock);
    return static_cast<int>(FEntries.size());
}
