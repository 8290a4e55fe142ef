#include "tests/print/ReportCompare.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "plugin/untDefConnection.h"
#include "sheet/Sheet.h"

using reportref::TReportLine;

namespace reporttest {

namespace {

auto OrderKey(const TReportLine& r) { return std::tie(r.OrderId, r.Eid, r.Bid, r.Iid); }

auto FullKey(const TReportLine& r)
{
    return std::make_tuple(r.OrderId, r.Eid, r.Bid, r.Iid, r.IsSecret, r.Ename, r.Bname, r.Iname, r.Summ);
}

QList<TReportLine> Canonical(QList<TReportLine> rows)
{
    std::stable_sort(rows.begin(), rows.end(),
                     [](const TReportLine& a, const TReportLine& b) { return FullKey(a) < FullKey(b); });
    return rows;
}

auto ExactKey(const TReportLine& r)
{
    return std::make_tuple(r.OrderId, r.Eid, r.Bid, r.Iid, r.IsSecret, r.Ename, r.Bname, r.Iname, r.Lei, r.Kuan,
                           r.Xiang, r.Summ, r.Split);
}

bool Near(double a, double b) { return std::fabs(a - b) <= 1e-6 * std::max(1.0, std::fabs(b)); }

bool SameRow(const TReportLine& a, const TReportLine& b)
{
    if (std::tie(a.OrderId, a.IsSecret, a.Eid, a.Ename, a.Bid, a.Bname, a.Iid, a.Iname, a.Lei, a.Kuan, a.Xiang) !=
        std::tie(b.OrderId, b.IsSecret, b.Eid, b.Ename, b.Bid, b.Bname, b.Iid, b.Iname, b.Lei, b.Kuan, b.Xiang))
        return false;
    if (!Near(a.Summ, b.Summ))
        return false;
    for (size_t k = 0; k < 6; ++k)
        if (!Near(a.Split[k], b.Split[k]))
            return false;
    return true;
}

} // namespace

QString Describe(const TReportLine& r)
{
    QString text = QString("[%1|%2|%3|%4|%5|%6|%7|%8|%9|%10|%11| %12 |")
                       .arg(r.OrderId)
                       .arg(r.IsSecret, r.Eid, r.Ename, r.Bid, r.Bname, r.Iid, r.Iname, r.Lei)
                       .arg(r.Kuan, r.Xiang)
                       .arg(r.Summ);
    for (double v : r.Split)
        text += " " + QString::number(v);
    return text + "]";
}

QList<TReportLine> ReadReportLines(TDataSet& rows)
{
    QList<TReportLine> lines;
    auto text = [&](const char* name) { return rows.FieldByName(name)->AsString(); };
    for (rows.First(); !rows.Eof(); rows.Next()) {
        TReportLine r;
        r.OrderId = rows.FieldByName("orderid")->AsInteger();
        r.IsSecret = text("issecret");
        r.Eid = text("eid");
        r.Ename = text("ename");
        r.Bid = text("bid");
        r.Bname = text("bname");
        r.Iid = text("iid");
        r.Iname = text("iname");
        r.Lei = text("lei");
        r.Kuan = text("kuan");
        r.Xiang = text("xiang");
        r.Summ = rows.FieldByName("summ")->AsFloat();
        const char* splits[] = {"dnjb", "dnxm", "dnqt", "jyjb", "jyxm", "jyqt"};
        for (size_t k = 0; k < 6; ++k)
            r.Split[k] = rows.FieldByName(splits[k])->AsFloat();
        lines << r;
    }
    return lines;
}

QList<TReportLine> RunDetailQuery(const QString& sql, QString* error)
{
    IARQueryPtr query;
    if (!OpenDefQuery(sql, query)) {
        *error = LastDefQueryError();
        return {};
    }
    return ReadReportLines(*query->Query());
}

QString CompareReports(const QList<TReportLine>& actual, const QList<TReportLine>& expected)
{
    for (qsizetype i = 1; i < actual.size(); ++i)
        if (OrderKey(actual[i]) < OrderKey(actual[i - 1]))
            return QString("row %1 out of order: %2 after %3").arg(i).arg(Describe(actual[i]), Describe(actual[i - 1]));
    const QList<TReportLine> a = Canonical(actual);
    const QList<TReportLine> e = Canonical(expected);
    for (qsizetype i = 0; i < std::min(a.size(), e.size()); ++i)
        if (!SameRow(a[i], e[i]))
            return QString("row %1 differs:\n  got      %2\n  expected %3").arg(i).arg(Describe(a[i]), Describe(e[i]));
    if (a.size() != e.size())
        return QString("%1 rows, expected %2; first extra: %3")
            .arg(a.size())
            .arg(e.size())
            .arg(a.size() > e.size() ? Describe(a[e.size()]) : Describe(e[a.size()]));
    return QString();
}

QString CompareExactly(const QList<TReportLine>& actual, const QList<TReportLine>& expected)
{
    if (actual.size() != expected.size())
        return QString("%1 rows, expected %2").arg(actual.size()).arg(expected.size());
    for (qsizetype i = 0; i < actual.size(); ++i)
        if (OrderKey(actual[i]) != OrderKey(expected[i]))
            return QString("row %1 in another place:\n  got      %2\n  expected %3")
                .arg(i)
                .arg(Describe(actual[i]), Describe(expected[i]));
    auto sorted = [](QList<TReportLine> rows) {
        std::sort(rows.begin(), rows.end(),
                  [](const TReportLine& a, const TReportLine& b) { return ExactKey(a) < ExactKey(b); });
        return rows;
    };
    const QList<TReportLine> a = sorted(actual);
    const QList<TReportLine> e = sorted(expected);
    for (qsizetype i = 0; i < a.size(); ++i)
        if (ExactKey(a[i]) != ExactKey(e[i]))
            return QString("row differs:\n  got      %1\n  expected %2").arg(Describe(a[i]), Describe(e[i]));
    return QString();
}

QString SheetDifference(const sheet::Sheet& first, const sheet::Sheet& second)
{
    if (first.rowCount() != second.rowCount() || first.columnCount() != second.columnCount())
        return QString("size %1×%2, other %3×%4")
            .arg(first.columnCount())
            .arg(first.rowCount())
            .arg(second.columnCount())
            .arg(second.rowCount());
    for (int r = 1; r <= first.rowCount(); ++r) {
        if (first.rowHeight(r) != second.rowHeight(r))
            return QString("row %1 height %2, other %3").arg(r).arg(first.rowHeight(r)).arg(second.rowHeight(r));
        for (int c = 1; c <= first.columnCount(); ++c) {
            const bool same = first.kind(c, r) == second.kind(c, r) && first.text(c, r) == second.text(c, r) &&
                              first.number(c, r) == second.number(c, r) &&
                              first.cellFormat(c, r) == second.cellFormat(c, r) &&
                              first.effectiveFont(first.cellFormat(c, r)) == second.effectiveFont(second.cellFormat(c, r));
            if (!same)
                return QString("cell (%1, %2): '%3', other '%4'").arg(c).arg(r).arg(first.text(c, r), second.text(c, r));
        }
    }
    for (int c = 1; c <= first.columnCount(); ++c)
        if (first.columnWidth(c) != second.columnWidth(c))
            return QString("column %1 width").arg(c);
    if (first.merges() != second.merges() || first.frozenRows() != second.frozenRows())
        return "merges or heading rows";
    return QString();
}

} // namespace reporttest
