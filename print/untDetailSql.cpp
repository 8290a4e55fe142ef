#include "print/untDetailSql.h"

#include "common/untDataBase.h"
#include "common/untSqlDialect.h"
#include "plugin/untDefConnection.h"

#include <QStringList>
#include <array>
#include <functional>

namespace {

// The bkid/ipid conditions of the six split amounts, in column order. Each is the tail of a
// "bkid=" comparison, so it carries its own quotes and one trailing blank.
const std::array<QString, 6> SplitConditions{
    QStringLiteral("'21' and ipid in ('11','17') "), QStringLiteral("'21' and ipid in ('12','18') "),
    QStringLiteral("'21' and ipid in ('22','19') "), QStringLiteral("'22' and ipid in ('11','17') "),
    QStringLiteral("'22' and ipid in ('12','18') "), QStringLiteral("'22' and ipid in ('22','19') ")};

const std::array<QString, 6> SplitAliases{QStringLiteral("dnjb"), QStringLiteral("dnxm"), QStringLiteral("dnqt"),
                                          QStringLiteral("jyjb"), QStringLiteral("jyxm"), QStringLiteral("jyqt")};

// The conditions every part of the report shares: year, unit prefix, status, indicator type
// and, when one is chosen, fund nature.
QString ReportFilter(const TDetailSqlInputs& in)
{
    QString cond = " and datayear=" + QString::number(in.Year) + " and eid like '" + SqlEscape(in.EidPrefix) + "%' " +
                   " and status='1' " + " and BType='" + SqlEscape(in.BType) + "' ";
    if (!in.FundCode.isEmpty())
        cond += " and mid='" + SqlEscape(in.FundCode) + "'";
    return cond;
}

// The statement's pieces for one selection and one dialect.
class TDetailSqlBuilder {
public:
    TDetailSqlBuilder(const TSqlDialect& dialect, const TDetailSqlInputs& in)
        : D(dialect), In(in), P(SqlEscape(in.EidPrefix)), U(SqlEscape(in.UnitName)), Len(D.LengthFunction("eid"))
    {
    }

    QString Build() const
    {
        QString text;
        if (!In.Small)
            text += GrandTotal();
        const TLevelRange range = LevelRange(In.EidPrefix, In.MaxLeafClass, In.OwnLines);
        for (int i = range.First; i <= range.Last; ++i)
            text += LevelBlock(i);
        text.chop(11); // the final " union all "
        // Codes sort by character code on every database, so the report's order does not
        // depend on how a server was set up.
        return "select * from (" + text + ") t where summ>0 order by orderid," + D.CodeOrder("eid") + "," +
               D.CodeOrder("bid") + "," + D.CodeOrder("iid");
    }

private:
    QString FilterCond() const { return ReportFilter(In); }

    QString Amounts() const
    {
        QString text;
        for (size_t k = 0; k < SplitConditions.size(); ++k) {
            const QString mapped = D.ValueMap("bkid", {SplitConditions[k], "BudgMoney", "0"});
            text += D.NullReplace(D.AmountSum(mapped), "0") + " as " + SplitAliases[k];
            text += k + 1 < SplitConditions.size() ? "," : " ";
        }
        return text;
    }

    QString SecretExpr() const { return D.ValueMap("issecret", {"'0'", "'是'", "'否'"}); }

    // A three-character code is reported with "001" appended.
    QString CodeExpr() const { return D.ValueMap(Len, {"'3'", D.Concat("eid", "'001'"), "eid"}); }

    QString GrandTotal() const
    {
        return "select 0 as orderid,'' as issecret,'' as eid,'" + U + "合计' as ename," +
               "'' as bid,'' as bname,'' as iid,'' as iname,'' as lei,'' as kuan,'' as xiang," +
               D.AmountSum("BudgMoney") + " as summ," + Amounts() + " from vwbudget" + " where 1=1 " + FilterCond() +
               " union all ";
    }

    QString LevelName(int level) const
    {
        return level == 1 ? U + "本级合计" : ChineseNumeral(level) + "级单位合计";
    }

    // Level 1 also takes the prefix unit itself: with a prefix ending in "001" that is the
    // unit whose own budget the "本级" block shows.
    QString LevelCond(int level) const
    {
        if (level == 1)
            return " and ((" + Len + "/3-1)=" + "1" + " or eid='" + P + "') ";
        return " and (" + Len + "/3-1)=" + QString::number(level);
    }

    QString LevelBlock(int level) const
    {
        const QString s = D.SubstringFunctionName();
        const QString filter = FilterCond() + LevelCond(level);
        return "select " + QString::number(level) +
               " as orderid,b.issecret,b.eid,b.ename,b.bid,b.bname,b.iid,b.iname," + s + "(b.bid,1,3) as lei," + s +
               "(b.bid,4,2) as kuan," + s + "(b.bid,6,2) as xiang," +
               "b.summ as summ,b.dnjb as dnjb,b.dnxm as dnxm,b.dnqt as dnqt," +
               "b.jyjb as jyjb,b.jyxm as jyxm,b.jyqt as jyqt " + "from (" +
               "      select '' as issecret,'' as eid,'" + LevelName(level) + "' as ename,'' as bid,'' as bname," +
               "        '' as iid,'' as iname," + D.AmountSum("BudgMoney") + " as summ," + Amounts() + "      from vwbudget" +
               "      where 1=1 " + filter + "      union all " + "      select " + SecretExpr() +
               " as issecret, " + CodeExpr() + " as eid, ename,bid,bname,iid,iname," + D.AmountSum("BudgMoney") + " as summ," +
               Amounts() + "      from vwbudget" + "      where 1=1 " + filter +
               "      group by eid,ename,bid,bname,iid,iname,issecret " + ") b " + " union all ";
    }

    const TSqlDialect& D;
    const TDetailSqlInputs& In;
    const QString P;
    const QString U;
    const QString Len;
};

// Sums that add up again to the same value. SQLite's AmountSum adds whole ten-thousandths
// as integers and divides once at the end; the single scan keeps those integer sums per
// group and divides only after the totals have added them, so a total is the very integer
// that the level blocks sum. Elsewhere the sums are exact decimals already.
class TPartialSums {
public:
    explicit TPartialSums(const TSqlDialect& dialect) : FScaled(dialect.DialectKind() == TSqlDialect::Kind::SQLite) {}
    // The sum of a group, kept for the totals.
    QString Sum(const QString& expr) const
    {
        return FScaled ? "sum(CAST(ROUND((" + expr + ")*10000) AS INTEGER))" : "sum(" + expr + ")";
    }
    // The amount of a kept sum, or of the sum of kept sums.
    QString Value(const QString& kept) const { return FScaled ? "(" + kept + "/10000.0)" : kept; }

private:
    bool FScaled;
};

// The same rows as TDetailSqlBuilder from one pass over vwbudget: the lines are grouped once
// by unit, bid, iid, their names and secrecy, and the grand total, the level totals and the
// detail rows are all taken from those groups. A group belongs to the level of its code;
// level 1 also takes the groups of the prefix unit itself, whatever their level, so such a
// group can show twice, as in the level blocks.
class TSingleScanBuilder {
public:
    TSingleScanBuilder(const TSqlDialect& dialect, const TDetailSqlInputs& in)
        : D(dialect), In(in), Sums(dialect), P(SqlEscape(in.EidPrefix)), U(SqlEscape(in.UnitName)),
          Len(D.LengthFunction("eid")), Range(LevelRange(in.EidPrefix, in.MaxLeafClass, in.OwnLines))
    {
    }

    QString Build() const
    {
        QStringList parts;
        if (!In.Small)
            parts << Totals("0", "'" + U + "合计'", QString());
        const QString inRange = " where lvl between " + QString::number(Range.First) + " and " +
                                QString::number(Range.Last);
        if (const QString names = OtherLevelNames(); !names.isEmpty())
            parts << Totals("lvl", names, inRange + " and lvl<>1 group by lvl");
        if (HasLevelOne())
            parts << Totals("1", "'" + U + "本级合计'", " where (lvl=1 or eid='" + P + "')");
        parts << Details("lvl", inRange);
        if (HasLevelOne())
            parts << Details("1", " where eid='" + P + "' and lvl<>1");
        // Rows of one unit, bid and iid that differ in a name or the secrecy come in the order
        // of their groups (names, then "是" before "否"), whatever plan the server picks.
        return Groups() + "select * from (" + parts.join(" union all ") + ") t where summ>0 order by orderid," +
               D.CodeOrder("eid") + "," + D.CodeOrder("bid") + "," + D.CodeOrder("iid") + "," + D.CodeOrder("ename") +
               "," + D.CodeOrder("bname") + "," + D.CodeOrder("iname") + "," + D.CodeOrder("issecret") + " desc";
    }

private:
    bool HasLevelOne() const { return Range.First <= 1 && 1 <= Range.Last; }

    QString Groups() const
    {
        QString sums = Sums.Sum("BudgMoney") + " as summ";
        for (size_t k = 0; k < SplitConditions.size(); ++k)
            sums += "," + Sums.Sum(D.ValueMap("bkid", {SplitConditions[k], "BudgMoney", "0"})) + " as " + SplitAliases[k];
        return "with g as (select eid,ename,bid,bname,iid,iname,issecret,(" + Len + "/3-1) as lvl," + sums +
               " from vwbudget where 1=1 " + ReportFilter(In) + " group by eid,ename,bid,bname,iid,iname,issecret) ";
    }

    // The amounts of a row: summ and the six splits, each split defaulting to 0 as in the
    // level blocks.
    QString Amounts(const std::function<QString(const QString&)>& value) const
    {
        QString text = value("summ") + " as summ";
        for (const QString& alias : SplitAliases)
            text += "," + D.NullReplace(value(alias), "0") + " as " + alias;
        return text;
    }

    QString Totals(const QString& orderId, const QString& name, const QString& tail) const
    {
        return "select " + orderId + " as orderid,'' as issecret,'' as eid," + name +
               " as ename,'' as bid,'' as bname,'' as iid,'' as iname,'' as lei,'' as kuan,'' as xiang," +
               Amounts([this](const QString& c) { return Sums.Value("sum(" + c + ")"); }) + " from g" + tail;
    }

    QString Details(const QString& orderId, const QString& where) const
    {
        const QString s = D.SubstringFunctionName();
        return "select " + orderId + " as orderid," + D.ValueMap("issecret", {"'0'", "'是'", "'否'"}) + " as issecret," +
               D.ValueMap(Len, {"'3'", D.Concat("eid", "'001'"), "eid"}) + " as eid,ename,bid,bname,iid,iname," + s +
               "(bid,1,3) as lei," + s + "(bid,4,2) as kuan," + s + "(bid,6,2) as xiang," +
               Amounts([this](const QString& c) { return Sums.Value(c); }) + " from g" + where;
    }

    // The names of the level totals other than level 1's, by level.
    QString OtherLevelNames() const
    {
        QString cases;
        for (int i = Range.First; i <= Range.Last; ++i)
            if (i != 1)
                cases += " WHEN " + QString::number(i) + " THEN '" + ChineseNumeral(i) + "级单位合计'";
        return cases.isEmpty() ? QString() : " CASE lvl" + cases + " END";
    }

    const TSqlDialect& D;
    const TDetailSqlInputs& In;
    const TPartialSums Sums;
    const QString P;
    const QString U;
    const QString Len;
    const TLevelRange Range;
};

} // namespace

QString ChineseNumeral(int n)
{
    static const QStringList numerals{"一", "二", "三", "四", "五", "六", "七", "八", "九"};
    return n >= 1 && n <= numerals.size() ? numerals[n - 1] : QString();
}

TLevelRange LevelRange(const QString& eidPrefix, int maxLeafClass, bool ownLines)
{
    TLevelRange range;
    range.First = int(eidPrefix.size() / 3);
    if (RightText(eidPrefix, 3) == "001")
        range.First -= 1;
    range.Last = std::max(range.First, maxLeafClass);
    const int ownLevel = int(eidPrefix.size() / 3) - 1;
    if (ownLines && range.First > 1 && range.First > ownLevel)
        range.First = ownLevel;
    return range;
}

bool OwnLevelMaySkip(const QString& eidPrefix)
{
    return LevelRange(eidPrefix, 0, true).First != LevelRange(eidPrefix, 0, false).First;
}

QString OwnLinesSql(const TDetailSqlInputs& in)
{
    return "select count(*) as n from vwbudget where 1=1 " + ReportFilter(in) + " and eid='" + SqlEscape(in.EidPrefix) +
           "'";
}

bool HasOwnLines(const TDetailSqlInputs& in)
{
    IARQueryPtr query;
    if (!OpenDefQuery(OwnLinesSql(in), query))
        throw TExceptReport("查询单位" + in.EidPrefix + "的本级指标失败：" + LastDefQueryError());
    TARQuery* rows = query->Query();
    if (rows->RecordCount() == 0)
        return false;
    rows->First();
    return rows->FieldByName("n")->AsFloat() > 0;
}

QString BuildLevelBlockSql(const TSqlDialect& dialect, const TDetailSqlInputs& in)
{
    return TDetailSqlBuilder(dialect, in).Build();
}

bool HasSingleScanForm(const TSqlDialect& dialect)
{
    return dialect.DialectKind() == TSqlDialect::Kind::SQLite || dialect.DialectKind() == TSqlDialect::Kind::Postgres;
}

QString BuildSingleScanSql(const TSqlDialect& dialect, const TDetailSqlInputs& in)
{
    return TSingleScanBuilder(dialect, in).Build();
}

QString BuildDetailSql(const TSqlDialect& dialect, const TDetailSqlInputs& in)
{
    return HasSingleScanForm(dialect) ? BuildSingleScanSql(dialect, in) : BuildLevelBlockSql(dialect, in);
}

QString MaxLeafClassSql(const QString& eidPrefix)
{
    return "select max(class) as class from pubdept where eid like '" + SqlEscape(eidPrefix) +
           "%'  and leafflag='1' ";
}


int MaxLeafClass(const QString& eidPrefix)
{
    IARQueryPtr query;
    if (!OpenDefQuery(MaxLeafClassSql(eidPrefix), query))
        throw TExceptReport("查询单位级次失败：" + LastDefQueryError());
    TARQuery* rows = query->Query();
    if (rows->RecordCount() == 0)
        return 0;
    rows->First();
    const QString text = rows->FieldByName("class")->AsString().trimmed();
    // A null maximum (no leaf unit under the prefix) is empty text and counts as 0.
    return text.isEmpty() ? 0 : int(text.toDouble());
}

TDetailSqlInputs DetailSqlInputs(const TReportSelection& selection)
{
    TDetailSqlInputs in;
    in.Year = selection.Year;
    in.EidPrefix = selection.FEidPrefix;
    in.BType = selection.FBType;
    in.FundCode = selection.FundCode;
    in.UnitName = selection.FUnitName;
    in.Small = IsSmallBranch();
    in.MaxLeafClass = MaxLeafClass(selection.FEidPrefix);
    in.OwnLines = OwnLevelMaySkip(in.EidPrefix) && HasOwnLines(in);
    return in;
}

QString BuildDetailSql(const TReportSelection& selection)
{
    TAdoConn* conn = GetDefConnection();
    if (!conn)
        throw TExceptReport("没有可用的数据库连接Def！");
    return BuildDetailSql(conn->Dialect(), DetailSqlInputs(selection));
}
