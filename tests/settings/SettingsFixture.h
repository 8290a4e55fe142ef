#pragma once
// A host context with its settings, a temporary folder for INI files and a private
// config folder for the registry's stand-in, for the settings storage tests.
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/IniFiles.h"
#include "common/PlugInGlobals.h"

// Readable texts in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

class SettingsFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        ASSERT_TRUE(Config.isValid());
        FOldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(Config.path()));
        Env.HostSettings = &Host;
        Env.HostOptions = &Options;
        Context.PubVariable = &Env;
        SetPlugInContext(&Context);
    }
    void TearDown() override
    {
        SetPlugInContext(nullptr);
        if (FOldConfig.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", FOldConfig);
    }

    QString IniPath(const QString& name = QStringLiteral("host.INI")) const { return Dir.filePath(name); }
    QString RegistryTree() const { return Config.path() + QStringLiteral("/tallyleaf/registry"); }
    QString ReadIni(const QString& file, const QString& section, const QString& ident) const
    {
        return TIniFile(file).ReadString(section, ident, QStringLiteral("<none>"));
    }

    QTemporaryDir Dir;
    QTemporaryDir Config;
    THostSettings Host;
    THostOptions Options;
    TPubVariable Env;
    TPlugInContext Context;

private:
    QByteArray FOldConfig;
};
