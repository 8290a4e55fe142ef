#pragma once
// A unit table (pubdept, four levels below the top, codes growing by three characters
// per level) in a scratch database on each back end, with an open connection.
#include <QMap>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

#include "tests/TestSupport.h"
#include "tests/support/DbTestSupport.h"

class TADOConnection;
class TTreeNode;
class TItemInfo;

namespace unittree {

struct Unit {
    QString eid, peid, ename, leafflag;
};

// The units of the standard table, in code order.
const QList<Unit>& StandardUnits();
// The ids of the children of every parent id, in code order (derived from `units`).
QMap<QString, QStringList> ChildrenByParent(const QList<Unit>& units);
int NonLeafCount(const QList<Unit>& units);

// The row source the indicator print window uses, over SQLite and PostgreSQL.
QString UnitRowSource();

// Processes events until every query thread has ended and freed itself; false when
// some are still alive after `timeoutMs`.
bool WaitForQueryThreads(int timeoutMs = 30000);
// Processes events until `done` holds (false on timeout).
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 30000);

TItemInfo* Info(TTreeNode* node);

class UnitTableTest : public ::testing::TestWithParam<QString> {
protected:
    void SetUp() override;
    void TearDown() override;
    void InsertUnits(const QList<Unit>& units);

    std::unique_ptr<dbtest::ScratchDatabase> db;
    TADOConnection* conn = nullptr;
};

std::string BackendName(const ::testing::TestParamInfo<QString>& info);

} // namespace unittree
