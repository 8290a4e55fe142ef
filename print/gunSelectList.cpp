#include "print/gunSelectList.h"

#include <iterator>

#include "platform/StdCtrls.h"
#include "common/PlugInGlobals.h"
#include "plugin/untDefConnection.h"

const QString SAllEntry = QStringLiteral("<全部>");

namespace {

const QString FundKindBase[] = {
    QStringLiteral("select mid as id,mname as name from pubmoneykind where leafflag='0' "),
    QStringLiteral("select mid as id,mname as name from pubmoneykind where leafflag='0' and mid in ('11','12','31')"),
    QStringLiteral("select mid as id,mname as name from pubmoneykind where leafflag='0' and mid in ('11','21')"),
    QStringLiteral("select mid as id,mname as name from pubmoneykind where leafflag='0' and mid in ('11','12')"),
};
constexpr int DescendingKindSet = 2;

int HostIndicatorType()
{
    const TPubVariable* env = PubVariable();
    return env && env->HostOptions ? env->HostOptions->IndicatorType : 0;
}

} // namespace

QString SelectFirstValueSql(const QString& ATable, const QString& AField, const QString& ACondition)
{
    QString sql = QStringLiteral(" select ") + AField + QStringLiteral(" from ") + ATable + QStringLiteral(" where 1=1");
    if (!Trim(ACondition).isEmpty())
        sql += QStringLiteral(" and ") + ACondition;
    return sql;
}

bool SelectFirstValue(const QString& ATable, const QString& AField, const QString& ACondition, QString& AValue)
{
    AValue.clear();
    IARQueryPtr query;
    if (!OpenDefQuery(SelectFirstValueSql(ATable, AField, ACondition), query))
        return false;
    TARQuery* rows = query->Query();
    if (rows->RecordCount() == 0 || rows->FieldCount() == 0) {
        rows->Close();
        return false;
    }
    rows->First();
    AValue = rows->Fields()->Field(0)->AsString();
    rows->Close();
    return true;
}

int FillComboFromQuery(TComboBox* ACombo, const QString& ASql, bool AAddAll)
{
    IARQueryPtr query;
    const bool opened = OpenDefQuery(ASql, query);
    ACombo->Clear();
    if (!opened)
        return 0;
    TARQuery* rows = query->Query();
    const int count = rows->RecordCount();
    if (count == 0) {
        rows->Close();
        return 0;
    }
    QStringList entries;
    entries.reserve(count + 1);
    if (AAddAll)
        entries << SAllEntry;
    const TField* name = rows->FieldByName(QStringLiteral("name"));
    for (rows->First(); !rows->Eof(); rows->Next())
        entries << name->AsString();
    ACombo->SetItems(entries);
    ACombo->SetItemIndex(0);
    rows->Close();
    return count;
}

bool FundKindCodeByName(const QString& AName, QString& ACode)
{
    return SelectFirstValue(QStringLiteral("PubMoneyKind"), QStringLiteral("Mid"),
                            QStringLiteral(" MName='") + SqlEscape(Trim(AName)) + u'\'', ACode);
}

QString FundKindSql(int AKindSet, bool AOrderDesc, const QString& AExtraCondition)
{
    if (AKindSet < 0 || AKindSet >= static_cast<int>(std::size(FundKindBase)))
        throw Exception(Format(QStringLiteral("资金性质范围%s无效！"), QString::number(AKindSet)));
    QString sql = FundKindBase[AKindSet];
    if (!AExtraCondition.isEmpty())
        sql += AExtraCondition;
    if (AKindSet == DescendingKindSet || AOrderDesc)
        sql += QStringLiteral("order by mid desc ");
    return sql;
}

int FillFundKindCombo(TComboBox* ACombo, bool AAddAll, int AKindSet, bool AOrderDesc,
                      const QString& AExtraCondition)
{
    return FillComboFromQuery(ACombo, FundKindSql(AKindSet, AOrderDesc, AExtraCondition), AAddAll);
}

void FillIndicatorTypeCombo(TComboBox* ACombo, bool AAddAll, bool AWithTemporary)
{
    QStringList entries;
    if (AAddAll)
        entries << SAllEntry;
    entries << QStringLiteral("控制数") << QStringLiteral("预算数");
    if (AWithTemporary)
        entries << QStringLiteral("临时指标");
    ACombo->SetItems(entries);
    const int code = HostIndicatorType();
    const int position = !AWithTemporary && code == 2 ? 0 : code;
    // The position is the code itself, also when "<全部>" comes first: callers that add
    // it read the position as the code and treat 0 as "all".
    ACombo->SetItemIndex(position);
}
