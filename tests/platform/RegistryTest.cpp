// The registry's stand-in: keys are INI files in a per-user tree under the XDG config
// folder; their subkeys are sections and the values of a subkey are keys.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/Registry.h"

namespace {

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Config.isValid());
        FOldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(Config.path()));
    }
    void TearDown() override
    {
        if (FOldConfig.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", FOldConfig);
    }
    QString Tree() const { return Config.path() + QStringLiteral("/tallyleaf/registry"); }

    QTemporaryDir Config;

private:
    QByteArray FOldConfig;
};

TEST_F(RegistryTest, TheTreeLiesInTheUsersConfigFolder)
{
    EXPECT_EQ(TRegistry::TreeFolder(), Tree());
}

struct RootCase {
    HKEY Key;
    const char* Name;
};

TEST_F(RegistryTest, EachRootKeyHasItsOwnFolderAndAKeyIsOneFile)
{
    const RootCase roots[] = {
        {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},   {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},
        {HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"}, {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},
        {HKEY_USERS, "HKEY_USERS"},                 {HKEY_DYN_DATA, "HKEY_DYN_DATA"},
    };
    for (const RootCase& root : roots) {
        TRegistry reg;
        reg.SetRootKey(root.Key);
        ASSERT_TRUE(reg.OpenKey(QStringLiteral("Software\\Tallyleaf\\Print"), true)) << root.Name;
        const QString expected = Tree() + u'/' + QLatin1String(root.Name) + QStringLiteral("/Software/Tallyleaf/Print.ini");
        EXPECT_EQ(reg.CurrentKeyFile(), expected) << root.Name;
        EXPECT_TRUE(QFileInfo(expected).isFile()) << root.Name;
        EXPECT_EQ(reg.CurrentPath(), QLatin1String(root.Name) + QStringLiteral("\\Software\\Tallyleaf\\Print"));
    }
}

TEST_F(RegistryTest, KeyNamesIgnoreLetterCaseAndBothSeparators)
{
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\Software\\Tallyleaf\\"), true));
    const QString first = reg.CurrentKeyFile();
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("SOFTWARE/tallyleaf"), false));
    EXPECT_EQ(reg.CurrentKeyFile(), first);
    EXPECT_TRUE(reg.KeyExists(QStringLiteral("software\\\\TALLYLEAF")));
    EXPECT_EQ(QDir(Tree() + QStringLiteral("/HKEY_CURRENT_USER")).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("Software")});
}

TEST_F(RegistryTest, AMissingKeyIsOnlyCreatedWhenAskedTo)
{
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey(QStringLiteral("Software\\Nobody"), false));
    EXPECT_TRUE(reg.CurrentPath().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(Tree() + QStringLiteral("/HKEY_CURRENT_USER/Software/Nobody.ini")));
    EXPECT_FALSE(reg.KeyExists(QStringLiteral("Software\\Nobody")));
}

TEST_F(RegistryTest, PathsThatWouldLeaveTheTreeAreRefused)
{
    TRegistry reg;
    EXPECT_THROW(reg.OpenKey(QStringLiteral("Software\\..\\..\\escape"), true), ERegistryException);
    EXPECT_THROW(reg.OpenKey(QStringLiteral("./x"), true), ERegistryException);
    EXPECT_FALSE(QFileInfo::exists(Config.path() + QStringLiteral("/tallyleaf/escape.ini")));
    reg.SetRootKey(0x12345678u);
    EXPECT_THROW(reg.OpenKey(QStringLiteral("Software"), true), ERegistryException);
}

TEST_F(RegistryTest, AKeyThatCannotBeCreatedNamesTheKey)
{
    // A file where the folder of the key should be.
    ASSERT_TRUE(QDir().mkpath(Tree() + QStringLiteral("/HKEY_CURRENT_USER")));
    QFile blocker(Tree() + QStringLiteral("/HKEY_CURRENT_USER/Software"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TRegistry reg;
    try {
        reg.OpenKey(QStringLiteral("Software\\Tallyleaf"), true);
        ADD_FAILURE() << "no error";
    } catch (const ERegistryException& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("HKEY_CURRENT_USER\\Software\\Tallyleaf"))) << e.what();
    }
}

TEST_F(RegistryTest, SubkeysAndValuesRoundTripThroughASecondObject)
{
    {
        TRegistryIniFile ini(HKEY_LOCAL_MACHINE, QStringLiteral("Software\\Tallyleaf"));
        EXPECT_EQ(ini.FileName(), QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Tallyleaf"));
        ini.WriteString(QStringLiteral("bwnHarrowSlate"), QStringLiteral("expType"), QStringLiteral("1"));
        ini.WriteString(QStringLiteral("bwnHarrowSlate"), QStringLiteral("ShowSaveExpSet"), QStringLiteral("0"));
        ini.WriteString(QStringLiteral("其他"), QStringLiteral("名称"), QStringLiteral("  值  "));
    }
    TRegistryIniFile reader(HKEY_LOCAL_MACHINE, QStringLiteral("software\\TALLYLEAF"));
    QStringList sections, values;
    reader.ReadSections(sections);
    reader.ReadSection(QStringLiteral("BWNHARROWSLATE"), values);
    EXPECT_EQ(sections, (QStringList{QStringLiteral("bwnHarrowSlate"), QStringLiteral("其他")}));
    EXPECT_EQ(values, (QStringList{QStringLiteral("expType"), QStringLiteral("ShowSaveExpSet")}));
    EXPECT_EQ(reader.ReadString(QStringLiteral("bwnHarrowSlate"), QStringLiteral("expType"), QString()),
              QStringLiteral("1"));
    EXPECT_EQ(reader.ReadString(QStringLiteral("其他"), QStringLiteral("名称"), QString()), QStringLiteral("  值  "));
    EXPECT_EQ(reader.ReadString(QStringLiteral("none"), QStringLiteral("x"), QStringLiteral("d")), QStringLiteral("d"));
    EXPECT_EQ(reader.KeyFile(), Tree() + QStringLiteral("/HKEY_LOCAL_MACHINE/Software/Tallyleaf.ini"));
    // Another root key is another tree.
    TRegistryIniFile other(HKEY_CURRENT_USER, QStringLiteral("Software\\Tallyleaf"));
    QStringList none;
    other.ReadSections(none);
    EXPECT_TRUE(none.isEmpty());
}

} // namespace
