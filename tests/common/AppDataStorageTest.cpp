// The settings storage: sections in memory over an INI file or the registry's stand-in,
// setters that reload only when it matters, write-through read back by a second storage.
#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "common/AppDataStorage.h"
#include "tests/common/SettingsFixture.h"

namespace {

const QString NoStorage = QStringLiteral("没有指定存储节的父对象！");
const QString NoName = QStringLiteral("没有指定存储节的名称！");
const QString NoPath = QStringLiteral("没有指定存储节的路径,不能变更数据存储方式！");

class AppDataStorageTest : public SettingsFixture {
protected:
    static TAppDataStoragePtr NewStorage() { return TAppDataStoragePtr(new TAppDataStorage(nullptr)); }

    TAppDataStoragePtr StorageOn(const QString& file) const
    {
        TAppDataStoragePtr s = NewStorage();
        s->SetIniFileName(file);
        return s;
    }
    static QStringList SectionNames(const TAppDataStorage& s)
    {
        QStringList names;
        for (TDataSection* section : s.DataSectionS())
            names << section->SectionName();
        return names;
    }
};

TEST_F(AppDataStorageTest, ANewStorageHasNoSectionsAndDoesNotTouchTheBackEnd)
{
    const TAppDataStoragePtr s = NewStorage();
    EXPECT_TRUE(s->DataSectionS().isEmpty());
    EXPECT_EQ(s->FindSection(QStringLiteral("bwnHarrowSlate")), nullptr);
    EXPECT_EQ(s->StorageType(), stIniFile);
    EXPECT_EQ(s->RegistryRoot(), Reg_Current_User);
    EXPECT_TRUE(s->IniFileName().isEmpty());
    EXPECT_TRUE(s->RegSectionPath().isEmpty());
}

TEST_F(AppDataStorageTest, EnumerationsKeepTheirOrdinals)
{
    EXPECT_EQ(int(stIniFile), 0);
    EXPECT_EQ(int(stRegistry), 1);
    const TRegRoot roots[] = {Reg_Current_User, Reg_Local_Machine, Reg_Current_Config,
                              Reg_Classes_Root, Reg_Users,         Reg_Dyn_Data};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(int(roots[i]), i);
}

TEST_F(AppDataStorageTest, SettingTheFileNameLoadsEverySectionInFileOrder)
{
    TIniFile prepared(IniPath());
    prepared.WriteString(QStringLiteral("Second"), QStringLiteral("b"), QStringLiteral("2"));
    prepared.WriteString(QStringLiteral("First"), QStringLiteral("a"), QStringLiteral("1"));
    prepared.WriteString(QStringLiteral("First"), QStringLiteral("c"), QStringLiteral("3"));

    const TAppDataStoragePtr s = StorageOn(IniPath());
    EXPECT_EQ(SectionNames(*s), (QStringList{QStringLiteral("Second"), QStringLiteral("First")}));
    TDataSection* first = s->FindSection(QStringLiteral("First"));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->IdentList(), (QStringList{QStringLiteral("a"), QStringLiteral("c")}));
    EXPECT_EQ(first->ValueList(), (QStringList{QStringLiteral("1"), QStringLiteral("3")}));
    EXPECT_EQ(first->Owner(), s.get());
    EXPECT_EQ(first->Storage(), s.get());
}

TEST_F(AppDataStorageTest, OnlyAChangeThatMattersForTheBackEndReloads)
{
    TIniFile(IniPath()).WriteString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("old"));
    const TAppDataStoragePtr s = StorageOn(IniPath());
    TIniFile(IniPath()).WriteString(QStringLiteral("Added"), QStringLiteral("k"), QStringLiteral("new"));

    s->SetIniFileName(IniPath());                               // same name: no reload
    s->SetRegSectionPath(QStringLiteral("Software\\Tallyleaf")); // registry not in force
    s->SetRegistryRoot(Reg_Local_Machine);
    EXPECT_EQ(SectionNames(*s), QStringList{QStringLiteral("S")});
    EXPECT_FALSE(QFileInfo::exists(RegistryTree())) << "the registry was touched";

    TIniFile(IniPath(QStringLiteral("other.INI"))).WriteString(QStringLiteral("O"), QStringLiteral("k"), QStringLiteral("v"));
    s->SetIniFileName(IniPath(QStringLiteral("other.INI")));
    EXPECT_EQ(SectionNames(*s), QStringList{QStringLiteral("O")});
}

TEST_F(AppDataStorageTest, TheRegistryWithoutAPathIsRefusedAndTheIniFileStays)
{
    const QString blanks[] = {QString(), QStringLiteral("   "), QStringLiteral("\t ")};
    for (const QString& path : blanks) {
        const TAppDataStoragePtr s = StorageOn(IniPath());
        s->SetRegSectionPath(path);
        try {
            s->SetStorageType(stRegistry);
            ADD_FAILURE() << "no error for path '" << path.toStdString() << "'";
        } catch (const TExceptppDataStorage& e) {
            EXPECT_EQ(e.Message(), NoPath);
        }
        EXPECT_EQ(s->StorageType(), stIniFile);
    }
}

TEST_F(AppDataStorageTest, TheRegistryBackEndWritesTheKeyFileAndReadsItBack)
{
    {
        const TAppDataStoragePtr s = NewStorage();
        s->SetRegSectionPath(QStringLiteral("Software\\Tallyleaf"));
        s->SetRegistryRoot(Reg_Local_Machine);
        s->SetStorageType(stRegistry);
        EXPECT_TRUE(s->DataSectionS().isEmpty());
        s->WriteValue(QStringLiteral("bwnHarrowSlate"), QStringLiteral("expType"), QStringLiteral("1"));
    }
    const QString keyFile = RegistryTree() + QStringLiteral("/HKEY_LOCAL_MACHINE/Software/Tallyleaf.ini");
    EXPECT_EQ(ReadIni(keyFile, QStringLiteral("bwnHarrowSlate"), QStringLiteral("expType")), QStringLiteral("1"));

    const TAppDataStoragePtr second = NewStorage();
    second->SetRegSectionPath(QStringLiteral("Software\\Tallyleaf"));
    second->SetRegistryRoot(Reg_Local_Machine);
    second->SetStorageType(stRegistry);
    ASSERT_NE(second->FindSection(QStringLiteral("bwnHarrowSlate")), nullptr);
    EXPECT_EQ(second->FindSection(QStringLiteral("bwnHarrowSlate"))->ReadValue(QStringLiteral("expType")),
              QStringLiteral("1"));
    // A different root key while the registry is in force reloads from that root.
    second->SetRegistryRoot(Reg_Users);
    EXPECT_TRUE(second->DataSectionS().isEmpty());
}

TEST_F(AppDataStorageTest, WriteValueAddsANewSectionOnceAndFindsItAfterwards)
{
    const TAppDataStoragePtr s = StorageOn(IniPath());
    s->WriteValue(QStringLiteral("bwnHarrowSlate"), QStringLiteral("expType"), QStringLiteral("0"));
    ASSERT_EQ(s->DataSectionS().size(), 1);
    TDataSection* section = s->DataSectionS().first();
    s->WriteValue(QStringLiteral("bwnHarrowSlate"), QStringLiteral("ShowSaveExpSet"), QStringLiteral("1"));
    EXPECT_EQ(s->DataSectionS().size(), 1);
    EXPECT_EQ(s->FindSection(QStringLiteral("bwnHarrowSlate")), section);
    EXPECT_EQ(section->IdentList(), (QStringList{QStringLiteral("expType"), QStringLiteral("ShowSaveExpSet")}));

    const TAppDataStoragePtr second = StorageOn(IniPath());
    ASSERT_NE(second->FindSection(QStringLiteral("bwnHarrowSlate")), nullptr);
    EXPECT_EQ(second->FindSection(QStringLiteral("bwnHarrowSlate"))->ReadValue(QStringLiteral("ShowSaveExpSet")),
              QStringLiteral("1"));
}

TEST_F(AppDataStorageTest, ValueNamesIgnoreCaseWhileSectionNamesDoNotInMemory)
{
    const TAppDataStoragePtr s = StorageOn(IniPath());
    s->WriteValue(QStringLiteral("Sec"), QStringLiteral("expType"), QStringLiteral("0"));
    s->WriteValue(QStringLiteral("Sec"), QStringLiteral("EXPTYPE"), QStringLiteral("1"));
    TDataSection* sec = s->FindSection(QStringLiteral("Sec"));
    ASSERT_NE(sec, nullptr);
    EXPECT_EQ(sec->IdentList(), QStringList{QStringLiteral("expType")});
    EXPECT_EQ(sec->ReadValue(QStringLiteral("ExpType")), QStringLiteral("1"));

    s->WriteValue(QStringLiteral("SEC"), QStringLiteral("other"), QStringLiteral("2"));
    EXPECT_EQ(s->DataSectionS().size(), 2);
    EXPECT_EQ(s->FindSection(QStringLiteral("sec")), nullptr);
    EXPECT_NE(s->FindSection(QStringLiteral("SEC")), sec);
    // On disk the two are one section, as the file's names ignore case.
    const TAppDataStoragePtr second = StorageOn(IniPath());
    EXPECT_EQ(SectionNames(*second), QStringList{QStringLiteral("Sec")});
    EXPECT_EQ(second->FindSection(QStringLiteral("Sec"))->ReadValue(QStringLiteral("other")), QStringLiteral("2"));
}

TEST_F(AppDataStorageTest, ReadValueOfAnAbsentNameIsEmpty)
{
    const TAppDataStoragePtr s = StorageOn(IniPath());
    s->WriteValue(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v"));
    EXPECT_TRUE(s->FindSection(QStringLiteral("S"))->ReadValue(QStringLiteral("absent")).isNull());
}

TEST_F(AppDataStorageTest, ASectionWithoutANameOrWithoutAStorageIsRefused)
{
    const TAppDataStoragePtr s = StorageOn(IniPath());
    TDataSection* unnamed = s->AddSection();
    for (const QString& name : {QString(), QStringLiteral("  ")}) {
        unnamed->SetSectionName(name);
        try {
            unnamed->Load();
            ADD_FAILURE() << "no error";
        } catch (const TDataSecExcept& e) {
            EXPECT_EQ(e.Message(), NoName);
        }
    }

    auto* orphan = new TDataSection(nullptr);
    orphan->SetSectionName(QStringLiteral("S"));
    try {
        orphan->Load();
        ADD_FAILURE() << "no error";
    } catch (const EStringListError& e) {
        EXPECT_EQ(e.Message(), NoStorage);
    }
    try {
        orphan->WriteValue(QStringLiteral("k"), QStringLiteral("kept"));
        ADD_FAILURE() << "no error";
    } catch (const EStringListError& e) {
        EXPECT_EQ(e.Message(), NoStorage);
    }
    EXPECT_EQ(orphan->ReadValue(QStringLiteral("k")), QStringLiteral("kept"));
    orphan->Free();
}

TEST_F(AppDataStorageTest, AFailedWriteThroughNamesTheFileAndKeepsTheValueInMemory)
{
    const TAppDataStoragePtr s = StorageOn(IniPath());
    s->WriteValue(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("old"));
    ASSERT_TRUE(QFile::setPermissions(IniPath(), QFileDevice::ReadOwner));
    try {
        s->WriteValue(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("new"));
        ADD_FAILURE() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_TRUE(e.Message().contains(IniPath())) << e.what();
    }
    EXPECT_EQ(s->FindSection(QStringLiteral("S"))->ReadValue(QStringLiteral("k")), QStringLiteral("new"));
    EXPECT_EQ(ReadIni(IniPath(), QStringLiteral("S"), QStringLiteral("k")), QStringLiteral("old"));
    QFile::setPermissions(IniPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(AppDataStorageTest, AnIniFileThatCannotBeCreatedOrReadIsAClearError)
{
    const QString missingFolder = Dir.filePath(QStringLiteral("no/such/host.INI"));
    const TAppDataStoragePtr s = NewStorage();
    try {
        s->SetIniFileName(missingFolder);
        ADD_FAILURE() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_TRUE(e.Message().contains(missingFolder)) << e.what();
    }
    ASSERT_TRUE(QDir(Dir.path()).mkdir(QStringLiteral("folder.INI")));
    EXPECT_THROW(s->SetIniFileName(IniPath(QStringLiteral("folder.INI"))), EInOutError);
    EXPECT_TRUE(s->DataSectionS().isEmpty());
}

TEST_F(AppDataStorageTest, ASectionFreedByItselfLeavesTheList)
{
    const TAppDataStoragePtr s = StorageOn(IniPath());
    s->WriteValue(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("1"));
    s->WriteValue(QStringLiteral("B"), QStringLiteral("k"), QStringLiteral("2"));
    s->FindSection(QStringLiteral("A"))->Free();
    EXPECT_EQ(SectionNames(*s), QStringList{QStringLiteral("B")});
    EXPECT_EQ(s->ComponentCount(), 1);
    s->Reload();
    EXPECT_EQ(SectionNames(*s), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
    EXPECT_EQ(s->ComponentCount(), 2);
}

TEST_F(AppDataStorageTest, ConcurrentWritersThroughOneStorageLoseNothing)
{
    const TAppDataStoragePtr s = StorageOn(IniPath());
    constexpr int threads = 4;
    constexpr int perThread = 15;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&s, t] {
            for (int i = 0; i < perThread; ++i) {
                const QString section = QStringLiteral("S%1").arg(i % 3);
                s->WriteValue(section, QStringLiteral("t%1_%2").arg(t).arg(i), QString::number(i));
                if (TDataSection* sec = s->FindSection(section))
                    sec->ReadValue(QStringLiteral("t0_0"));
            }
        });
    for (std::thread& w : workers)
        w.join();
    EXPECT_EQ(s->DataSectionS().size(), 3);
    const TAppDataStoragePtr second = StorageOn(IniPath());
    for (int t = 0; t < threads; ++t)
        for (int i = 0; i < perThread; ++i) {
            TDataSection* sec = second->FindSection(QStringLiteral("S%1").arg(i % 3));
            ASSERT_NE(sec, nullptr);
            EXPECT_EQ(sec->ReadValue(QStringLiteral("t%1_%2").arg(t).arg(i)), QString::number(i));
        }
}

} // namespace
