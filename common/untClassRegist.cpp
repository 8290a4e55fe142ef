#include "common/untClassRegist.h"

namespace {
TRegGroups* GRegGroups = nullptr;

TRegGroups& Registry()
{
    if (!GRegGroups)
        throw Exception(QStringLiteral("类注册表尚未初始化！"));
    return *GRegGroups;
}
} // namespace

// ---------------------------------------------------------------------------------

TRegGroup::TRegGroup(TClass rootClass)
{
    FGroupClasses.append(rootClass);
}

TClass TRegGroup::BestClass(TClass cls) const
{
    TClass best = nullptr;
    for (TClass root : FGroupClasses) {
        if (!ClassInheritsFrom(cls, root))
            continue;
        if (!best || ClassInheritsFrom(root, best))
            best = root;
    }
    return best;
}

void TRegGroup::AddClass(TClass cls)
{
    if (GetClassByName(ClassNameOf(cls)))
        throw EFilerError(Format(QStringLiteral("A class named %s already exists"), ClassNameOf(cls)));
    FClassList.append(cls);
}

TClass TRegGroup::GetClassByName(const QString& name) const
{
    for (TClass cls : FClassList)
        if (ClassNameOf(cls).compare(name, Qt::CaseInsensitive) == 0)
            return cls;
    return nullptr;
}

bool TRegGroup::InGroup(TClass cls) const
{
    return FClassList.contains(cls);
}

// ---------------------------------------------------------------------------------

TRegGroup* BestGroup(TRegGroup* group1, TRegGroup* group2, TClass cls)
{
    TClass best1 = group1 ? group1->BestClass(cls) : nullptr;
    TClass best2 = group2 ? group2->BestClass(cls) : nullptr;
    if ((best1 && !best2) || (best1 && best2 && ClassInheritsFrom(best1, best2)))
        return group1;
    if (!best1 && !best2)
        return nullptr;
    return group2;
}

TRegGroups::TRegGroups()
{
    auto group = std::make_shared<TRegGroup>(&TPersistent::staticMetaObject);
    group->SetActive(true);
    FGroups.append(group);
}

TRegGroup* TRegGroups::FindGroup(TClass cls) const
{
    TRegGroup* result = nullptr;
    for (const auto& group : FGroups)
        result = BestGroup(group.get(), result, cls);
    return result;
}

void TRegGroups::AddClass(TClass cls)
{
    if (TRegGroup* group = FindGroup(cls))
        group->AddClass(cls);
}

bool TRegGroups::Registered(TClass cls) const
{
    for (const auto& group : FGroups)
        if (group->InGroup(cls))
            return true;
    return false;
}

TClass TRegGroups::GetClassByName(const QString& name) const
{
    for (const auto& group : FGroups) {
        if (!group->Active())
            continue;
        if (TClass cls = group->GetClassByName(name))
            return cls;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------

void RegClass(TClass cls)
{
    TRegGroups& registry = Registry();
    QMutexLocker lock(&registry.Lock());
    while (cls && !registry.Registered(cls)) {
        registry.AddClass(cls);
        if (cls == &TPersistent::staticMetaObject)
            break;
        cls = cls->superClass();
    }
}

TClass FindRegClass(const QString& name)
{
    TRegGroups& registry = Registry();
    QMutexLocker lock(&registry.Lock());
    return registry.GetClassByName(name);
}

void InitializeClassRegistry()
{
    if (!GRegGroups)
        GRegGroups = new TRegGroups;
}

void FinalizeClassRegistry()
{
    delete GRegGroups;
    GRegGroups = nullptr;
}
