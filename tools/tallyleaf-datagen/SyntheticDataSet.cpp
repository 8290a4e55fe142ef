#include "tools/tallyleaf-datagen/SyntheticDataSet.h"

#include <QHash>
#include <algorithm>

#include "platform/ADODB.h"

using namespace Qt::StringLiterals;

namespace {

const QStringList GUnitKinds{u"服务中心"_s, u"管理处"_s, u"监测站"_s, u"研究所"_s, u"执法大队"_s,
                             u"分局"_s, u"学校"_s, u"医院"_s, u"管理站"_s, u"事务中心"_s};

// A code's level-1 department: its first three characters.
QString DeptOf(const QString& eid) { return eid.left(3); }

} // namespace

TSyntheticDataSet::TSyntheticDataSet(const TDemoCatalog& catalog, const TSyntheticSize& size)
    : FCatalog(catalog), FSize(size), FRng(size.Seed)
{
    BuildUnits();
}

void TSyntheticDataSet::BuildUnits()
{
    const int target = std::max(1, FSize.Units);
    AddDepartments(std::clamp(target / 150, 1, 999));
    // Breadth first, level by level; when every branch has ended, the departments grow
    // further until the size is reached.
    while (FUnits.size() < target) {
        QList<int> frontier;
        for (int i = 0; i < FUnits.size(); ++i)
            if (FUnits.at(i).Class == 1)
                frontier << i;
        while (!frontier.isEmpty() && FUnits.size() < target) {
            QList<int> next;
            for (int index : std::as_const(frontier)) {
                if (FUnits.size() >= target)
                    break;
                const int first = static_cast<int>(FUnits.size());
                AddChildren(index, std::min(ChildrenFor(FUnits.at(index).Class), target - first));
                for (int i = first; i < FUnits.size(); ++i)
                    next << i;
            }
            frontier = next;
        }
    }
    std::sort(FUnits.begin(), FUnits.end(), [](const TDemoUnit& a, const TDemoUnit& b) { return a.Eid < b.Eid; });
    DeriveUnitTree(FUnits);
}

void TSyntheticDataSet::AddDepartments(int count)
{
    QList<const TDemoUnit*> departments;
    for (const TDemoUnit& u : FCatalog.Units)
        if (u.Class == 1 && !u.Replaced && !u.Unused)
            departments << &u;
    for (int i = 0; i < count; ++i) {
        const TDemoUnit* model = departments.at(i % departments.size());
        TDemoUnit u;
        // Departments count from 101, as the demo's do, and wrap below 101 past 999.
        u.Eid = QString::number(i < 899 ? 101 + i : i - 898).rightJustified(3, u'0');
        const int round = i / static_cast<int>(departments.size());
        u.Ename = round == 0 ? model->Ename : model->Ename + u"（第%1片区）"_s.arg(round + 1);
        u.Area = model->Area;
        u.Class = 1;
        FUnits << u;
        FChildCount << 0;
        FDemoDept << model->Eid;
    }
}

int TSyntheticDataSet::ChildrenFor(int level)
{
    switch (level) {
    case 1: return static_cast<int>(FRng.Range(5, 25));
    case 2: return FRng.Chance(30) ? static_cast<int>(FRng.Range(2, 8)) : 0;
    case 3: return FRng.Chance(25) ? static_cast<int>(FRng.Range(2, 5)) : 0;
    case 4: return FRng.Chance(20) ? static_cast<int>(FRng.Range(2, 4)) : 0;
    default: return 0;
    }
}

QString TSyntheticDataSet::ChildName(const TDemoUnit& parent, int number)
{
    if (number == 1)
        return parent.Ename + u"本级"_s;
    if (parent.Class == 1)
        return parent.Ename + u"第%1"_s.arg(number) + FRng.Pick(GUnitKinds);
    return parent.Ename + (parent.Class == 2 ? u"第%1分部"_s : u"第%1组"_s).arg(number);
}

void TSyntheticDataSet::AddChildren(int parentIndex, int count)
{
    for (int k = 0; k < count && FChildCount.at(parentIndex) < 999; ++k) {
        const int number = ++FChildCount[parentIndex];
        const TDemoUnit parent = FUnits.at(parentIndex);
        TDemoUnit u;
        u.Eid = parent.Eid + QString::number(number).rightJustified(3, u'0');
        u.Ename = ChildName(parent, number);
        u.Area = parent.Area;
        u.Class = parent.Class + 1;
        u.Replaced = FRng.Chance(1);
        u.Unused = !u.Replaced && FRng.Chance(1);
        u.Special = FRng.Chance(2);
        FUnits << u;
        FChildCount << 0;
        FDemoDept << FDemoDept.at(parentIndex);
    }
}

void TSyntheticDataSet::Write(TADOConnection* conn, const std::function<void(qint64)>& progress)
{
    conn->BeginTrans();
    try {
        CreateBudgetSchema(conn);
        TDemoCatalog reference = FCatalog;
        reference.Units = FUnits;
        WriteReferenceTables(conn, reference);
        WriteBudgetRows(conn, progress);
        conn->CommitTrans();
    } catch (...) {
        try {
            conn->RollbackTrans();
        } catch (const std::exception&) {
            // The first failure is the one to report.
        }
        throw;
    }
    conn->Execute(u"analyze"_s);
}

void TSyntheticDataSet::WriteBudgetRows(TADOConnection* conn, const std::function<void(qint64)>& progress)
{
    QList<const TDemoUnit*> leaves;
    for (const TDemoUnit& u : FUnits)
        if (u.Leaf && !u.Replaced && !u.Unused)
            leaves << &u;
    if (leaves.isEmpty())
        return;
    // Every unit's department maps back to the demo department it was named after.
    QHash<QString, QString> modelOf;
    for (int i = 0; i < FUnits.size(); ++i)
        modelOf.insert(FUnits.at(i).Eid, FDemoDept.at(i));

    TBatchInsert insert(conn, u"busibudget"_s, QString::fromLatin1(BusiBudgetColumns), FSize.RowsPerStatement);
    QHash<QString, QList<const TDemoFunction*>> functionsOf;
    const qint64 total = std::max<qint64>(0, FSize.BudgetRows);
    for (qint64 id = 1; id <= total; ++id) {
        const TDemoUnit* unit = leaves.at(static_cast<qsizetype>((id - 1) % leaves.size()));
        const QString model = modelOf.value(DeptOf(unit->Eid));
        auto it = functionsOf.find(model);
        if (it == functionsOf.end())
            it = functionsOf.insert(model, FCatalog.FunctionsFor(model, unit->Area));
        TBudgetRow row;
        row.Id = id;
        row.DataYear = FRng.Pick(FSize.Years);
        row.Eid = unit->Eid;
        const qint64 type = FRng.Range(0, 99);
        row.BType = type < 45 ? u"0"_s : (type < 90 ? u"1"_s : u"2"_s);
        DrawBudgetRow(FRng, FCatalog, *it, IsSecretDepartment(model), row);
        if (row.BType != u"0"_s && FRng.Chance(3))
            row.Cents = -row.Cents / 5;   // an adjustment that takes part of a budget back
        insert.Add(BudgetLiterals(row));
        if (progress && id % 100000 == 0)
            progress(id);
    }
    insert.Flush();
    if (progress && total % 100000 != 0)
        progress(total);
}
