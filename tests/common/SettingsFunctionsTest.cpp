// The one-call settings functions over the host settings: host parameters, the storage
// built from them, and single values read and written through it.
#include <QCoreApplication>
#include <QFileInfo>
#include <gtest/gtest.h>

#include "common/AppDataStorage.h"
#include "tests/common/SettingsFixture.h"

namespace {

const QString NoPath = QStringLiteral("没有指定存储节的路径,不能变更数据存储方式！");
const QString Section = QStringLiteral("bwnHarrowSlate");

class SettingsFunctionsTest : public SettingsFixture {
protected:
    void UseIniFile() { Host.Values = {QStringLiteral("11=/templates/"), QStringLiteral("13=") + IniPath()}; }
    void UseRegistryPath(const QString& path) { Host.Values << QStringLiteral("14=") + path; }
    QString KeyFile(const char* root, const QString& path) const
    {
        return RegistryTree() + u'/' + QLatin1String(root) + u'/' + path + QStringLiteral(".ini");
    }
};

struct ParamCase {
    QStringList Values;
    int Number;
    QString Expected;
};

TEST_F(SettingsFunctionsTest, GetHostParamFindsThePairNamedByTheNumber)
{
    const ParamCase cases[] = {
        {{QStringLiteral("11=/t/"), QStringLiteral("13=/x/a.ini")}, 13, QStringLiteral("/x/a.ini")},
        {{QStringLiteral("130=/wrong"), QStringLiteral("13=/right")}, 13, QStringLiteral("/right")},
        {{QStringLiteral("14=Software\\A=B")}, 14, QStringLiteral("Software\\A=B")},
        {{QStringLiteral("13=first"), QStringLiteral("13=second")}, 13, QStringLiteral("first")},
        {{QStringLiteral("11=/t/")}, 13, QString()},
        {{QStringLiteral("13")}, 13, QString()},
        {{}, 11, QString()},
    };
    for (const ParamCase& c : cases) {
        Host.Values = c.Values;
        EXPECT_EQ(GetHostParam(&Host, c.Number), c.Expected) << c.Values.join(u'|').toStdString();
    }
    EXPECT_TRUE(GetHostParam(nullptr, 13).isEmpty());
}

TEST_F(SettingsFunctionsTest, TheChoicePicksTheBackEnd)
{
    UseIniFile();
    UseRegistryPath(QStringLiteral("Software\\Tallyleaf"));
    Host.RegistryRoot = Reg_Local_Machine;
    struct Case {
        uint8_t Choice;
        uint8_t HostType;
        TStorageType Expected;
    } cases[] = {
        {0, stIniFile, stIniFile}, {0, stRegistry, stRegistry}, {1, stRegistry, stIniFile}, {2, stIniFile, stRegistry},
    };
    for (const Case& c : cases) {
        Host.StorageType = c.HostType;
        const TAppDataStoragePtr s = CreateSettingsStorage(c.Choice);
        EXPECT_EQ(s->StorageType(), c.Expected) << int(c.Choice) << "/" << int(c.HostType);
        EXPECT_EQ(s->IniFileName(), IniPath());
        EXPECT_EQ(s->RegSectionPath(), QStringLiteral("Software\\Tallyleaf"));
        EXPECT_EQ(s->RegistryRoot(), Reg_Local_Machine);
        EXPECT_EQ(s->Owner(), nullptr);
    }
    EXPECT_TRUE(QFileInfo(IniPath()).isFile());
    EXPECT_TRUE(QFileInfo(KeyFile("HKEY_LOCAL_MACHINE", QStringLiteral("Software/Tallyleaf"))).isFile());
}

TEST_F(SettingsFunctionsTest, TheRegistryWithoutAPathInTheHostSettingsIsTheNoPathError)
{
    UseIniFile();
    try {
        CreateSettingsStorage(2);
        ADD_FAILURE() << "no error";
    } catch (const TExceptppDataStorage& e) {
        EXPECT_EQ(e.Message(), NoPath);
    }
    EXPECT_THROW(ReadSetting(Section, QStringLiteral("expType"), 2), TExceptppDataStorage);
}

TEST_F(SettingsFunctionsTest, InvalidBytesFromTheHostAreClearErrors)
{
    UseIniFile();
    Host.StorageType = 7;
    EXPECT_THROW(CreateSettingsStorage(0), TExceptppDataStorage);
    EXPECT_THROW(CreateSettingsStorage(3), TExceptppDataStorage);
    Host.StorageType = 0;
    Host.RegistryRoot = 9;
    EXPECT_THROW(CreateSettingsStorage(1), TExceptppDataStorage);
}

TEST_F(SettingsFunctionsTest, WrittenValuesAreReadBackByTheNextCallFromTheIniFile)
{
    UseIniFile();
    EXPECT_TRUE(ReadSetting(Section, QStringLiteral("expType"), 1).isEmpty());
    EXPECT_TRUE(WriteSetting(Section, QStringLiteral("expType"), QStringLiteral("1"), 1));
    EXPECT_TRUE(WriteSetting(Section, QStringLiteral("ShowSaveExpSet"), QStringLiteral("0"), 1));
    EXPECT_EQ(ReadSetting(Section, QStringLiteral("expType"), 1), QStringLiteral("1"));
    EXPECT_EQ(ReadSetting(Section, QStringLiteral("SHOWSAVEEXPSET"), 1), QStringLiteral("0"));
    EXPECT_TRUE(ReadSetting(QStringLiteral("BWNHARROWSLATE"), QStringLiteral("expType"), 1).isEmpty())
        << "section names are found exactly in memory";
    EXPECT_EQ(ReadIni(IniPath(), Section, QStringLiteral("expType")), QStringLiteral("1"));
}

TEST_F(SettingsFunctionsTest, WrittenValuesAreReadBackFromTheRegistry)
{
    UseIniFile();
    UseRegistryPath(QStringLiteral("Software\\Tallyleaf"));
    Host.RegistryRoot = Reg_Current_User;
    EXPECT_TRUE(WriteSetting(Section, QStringLiteral("expType"), QStringLiteral("1"), 2));
    EXPECT_EQ(ReadSetting(Section, QStringLiteral("expType"), 2), QStringLiteral("1"));
    EXPECT_TRUE(ReadSetting(Section, QStringLiteral("expType"), 1).isEmpty()) << "leaked into the INI file";
    EXPECT_EQ(ReadIni(KeyFile("HKEY_CURRENT_USER", QStringLiteral("Software/Tallyleaf")), Section,
                      QStringLiteral("expType")),
              QStringLiteral("1"));
}

// Every use of the file beside the executable is in this one case, so that test
// processes running side by side do not share it.
TEST_F(SettingsFunctionsTest, TheDefaultFileBesideTheExecutable)
{
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    const QString file = exe.absolutePath() + u'/' + exe.completeBaseName() + QStringLiteral(".INI");
    ASSERT_EQ(DefaultIniFileName(), file);
    QFile::remove(file);

    // Opening the INI back end without a name takes the default and creates it empty.
    {
        const TAppDataStoragePtr s(new TAppDataStorage(nullptr));
        EXPECT_EQ(s->OpenStore()->FileName(), file);
        EXPECT_EQ(s->IniFileName(), file);
        EXPECT_TRUE(QFileInfo(file).isFile());
        EXPECT_EQ(QFileInfo(file).size(), 0);
    }

    // No INI file named by the host: values go to the default file and are read back
    // from there too.
    Host.Values.clear();
    EXPECT_TRUE(ReadSetting(Section, QStringLiteral("expType"), 1).isEmpty());
    EXPECT_TRUE(WriteSetting(Section, QStringLiteral("expType"), QStringLiteral("1"), 0));
    EXPECT_EQ(ReadIni(file, Section, QStringLiteral("expType")), QStringLiteral("1"));
    EXPECT_EQ(ReadSetting(Section, QStringLiteral("expType"), 1), QStringLiteral("1"));

    // Without any host context the same file is used.
    SetPlugInContext(nullptr);
    {
        const TAppDataStoragePtr s = CreateSettingsStorage(0);
        EXPECT_EQ(s->StorageType(), stIniFile);
        EXPECT_EQ(s->IniFileName(), file);
        ASSERT_NE(s->FindSection(Section), nullptr);
        EXPECT_EQ(s->FindSection(Section)->ReadValue(QStringLiteral("expType")), QStringLiteral("1"));
    }
    QFile::remove(file);
}

} // namespace
