#pragma once
// The host's side of the plug-in context: the environment record and the objects it
// points to, kept alive and unchanged while a plug-in is loaded.
//
// Fill-in points for later additions: the database manager with its "Def" connection
// (TPubVariable::DbManager) and options from the command line both belong here, so
// main.cpp only builds one HostEnvironment and hands it on.
#include <QString>
#include <QStringList>
#include <memory>

#include "common/PlugInContext.h"

class HostLoginUnit;

struct HostSettingsValues {
    int year = 0;                    // 0: the current year
    QString loginUnitCode;           // eid of the logged-in unit; empty: nobody logged in
    QString loginUnitName;
    QString templateFolder;          // host parameter 11
    QString iniFileName;             // host parameter 13
    QString registryPath;            // host parameter 14
    int indicatorType = 1;           // 0 控制数, 1 预算数, 2 临时指标
    QString deptMode = QStringLiteral("0");
};

class HostEnvironment {
public:
    explicit HostEnvironment(const HostSettingsValues& values = {});
    ~HostEnvironment();
    HostEnvironment(const HostEnvironment&) = delete;
    HostEnvironment& operator=(const HostEnvironment&) = delete;

    TPubVariable* pubVariable() { return &m_pubVariable; }
    TPlugInInfo* plugInInfo() { return &m_plugInInfo; }
    // The context for ShowPlugInWindow; manager, application and screen are set by
    // the caller (they belong to the main window and the runtime).
    TPlugInContext* context() { return &m_context; }

    int year() const { return m_pubVariable.Year; }
    QString loginUnitCode() const { return m_values.loginUnitCode; }
    QString loginUnitName() const { return m_values.loginUnitName; }
    // The status bar's texts: "年度：2026" and "登录单位：..." .
    QString yearText() const;
    QString loginUnitText() const;

private:
    HostSettingsValues m_values;
    TPubVariable m_pubVariable;
    TPlugInInfo m_plugInInfo;
    TPlugInContext m_context;
    THostSettings m_settings;
    THostOptions m_options;
    std::unique_ptr<HostLoginUnit> m_loginUnit;
};
