#pragma once
// A budget data set of any size, built from the demo city's lists: departments named
// after the demo departments, units below them on up to five levels, and budget rows
// drawn as the demo's are. The same size and seed always give the same data.
#include <QList>
#include <QString>
#include <functional>

#include "common/untDemoDatabase.h"

class TADOConnection;

struct TSyntheticSize {
    int Units = 20000;
    qint64 BudgetRows = 1000000;
    QList<int> Years{2023, 2024};
    quint64 Seed = 20240101;
    int RowsPerStatement = 0;   // 0: what loads fastest on the connection's database
};

class TSyntheticDataSet {
public:
    TSyntheticDataSet(const TDemoCatalog& catalog, const TSyntheticSize& size);

    const QList<TDemoUnit>& Units() const { return FUnits; }

    // Drops and creates the schema and writes every table in one transaction.
    // `progress` hears the budget rows written so far. Raises EADOError.
    void Write(TADOConnection* conn, const std::function<void(qint64 written)>& progress);

private:
    void BuildUnits();
    void AddDepartments(int count);
    void AddChildren(int parentIndex, int count);
    int ChildrenFor(int level);
    QString ChildName(const TDemoUnit& parent, int number);
    void WriteBudgetRows(TADOConnection* conn, const std::function<void(qint64)>& progress);

    const TDemoCatalog& FCatalog;
    TSyntheticSize FSize;
    TDemoRandom FRng;
    QList<TDemoUnit> FUnits;
    QList<int> FChildCount;          // children made so far, per unit
    QList<QString> FDemoDept;        // the demo department each unit's department is named after
};
