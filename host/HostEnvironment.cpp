#include "host/HostEnvironment.h"

#include <QDate>

// The logged-in unit: position 0 holds its code.
class HostLoginUnit : public TLoginUnit {
public:
    explicit HostLoginUnit(const QString& code) { m_code.Value = code.isEmpty() ? QVariant() : QVariant(code); }
    TLoginItem* GetValue(int position) override { return position == 0 ? &m_code : &m_empty; }

private:
    TLoginItem m_code;
    TLoginItem m_empty;
};

HostEnvironment::HostEnvironment(const HostSettingsValues& values) : m_values(values)
{
    m_pubVariable.Year = values.year > 0 ? values.year : QDate::currentDate().year();
    m_values.year = m_pubVariable.Year;
    if (!values.templateFolder.isEmpty())
        m_settings.Values << QStringLiteral("11=%1").arg(values.templateFolder);
    if (!values.iniFileName.isEmpty())
        m_settings.Values << QStringLiteral("13=%1").arg(values.iniFileName);
    if (!values.registryPath.isEmpty())
        m_settings.Values << QStringLiteral("14=%1").arg(values.registryPath);
    m_options.IndicatorType = values.indicatorType;
    m_options.DeptMode = values.deptMode;
    if (!values.loginUnitCode.isEmpty())
        m_loginUnit = std::make_unique<HostLoginUnit>(values.loginUnitCode);

    m_pubVariable.HostSettings = &m_settings;
    m_pubVariable.HostOptions = &m_options;
    m_pubVariable.LoginUnit = m_loginUnit.get();
    m_plugInInfo.PlugInId = 1;
    m_context.PubVariable = &m_pubVariable;
    m_context.PlugInInfo = &m_plugInInfo;
}

HostEnvironment::~HostEnvironment() = default;

QString HostEnvironment::yearText() const
{
    return QStringLiteral("年度：%1").arg(m_pubVariable.Year);
}

QString HostEnvironment::loginUnitText() const
{
    if (m_values.loginUnitCode.isEmpty())
        return QStringLiteral("登录单位：（未登录）");
    return QStringLiteral("登录单位：%1 %2").arg(m_values.loginUnitCode, m_values.loginUnitName).trimmed();
}
