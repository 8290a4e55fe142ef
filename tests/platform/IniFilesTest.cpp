// INI files: values and names round-trip through a second reader, names are
// case-insensitive on disk, bad names are refused before anything is written, a write
// keeps every byte of the lines it does not change, files that are not text in one
// encoding are refused, and a rewrite is atomic even when the writer is killed in the
// middle.
#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/IniFiles.h"

namespace {

QByteArray FileBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void PutBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Dir.isValid()); }
    QString Path(const QString& name = QStringLiteral("settings.INI")) const { return Dir.filePath(name); }

    QTemporaryDir Dir;
};

struct ValueCase {
    const char* Label;
    QString Value;
};

TEST_F(IniFileTest, ValuesRoundTripThroughASecondReader)
{
    const ValueCase cases[] = {
        {"plain", QStringLiteral("1")},
        {"empty", QString()},
        {"chinese", QStringLiteral("导出当前所选单位及下级单位")},
        {"leading and trailing blanks", QStringLiteral("  padded  ")},
        {"tab at the end", QStringLiteral("x\t")},
        {"double-quoted", QStringLiteral("\"quoted\"")},
        {"single-quoted", QStringLiteral("'quoted'")},
        {"one quote", QStringLiteral("\"")},
        {"two quotes", QStringLiteral("\"\"")},
        {"equals and semicolon", QStringLiteral("a=b;c")},
        {"brackets", QStringLiteral("[not a section]")},
        {"very long", QString(1 << 20, u'长')},
    };
    int n = 0;
    for (const ValueCase& c : cases) {
        TIniFile(Path()).WriteString(QStringLiteral("Values"), QStringLiteral("k%1").arg(n++), c.Value);
    }
    TIniFile reader(Path());
    n = 0;
    for (const ValueCase& c : cases)
        EXPECT_EQ(reader.ReadString(QStringLiteral("Values"), QStringLiteral("k%1").arg(n++), QStringLiteral("?")),
                  c.Value)
            << c.Label;
    QStringList keys;
    reader.ReadSection(QStringLiteral("Values"), keys);
    EXPECT_EQ(keys.size(), std::size(cases));
}

TEST_F(IniFileTest, OverwritingAValueReplacesItInPlace)
{
    TIniFile ini(Path());
    ini.WriteString(QStringLiteral("A"), QStringLiteral("x"), QStringLiteral("1"));
    ini.WriteString(QStringLiteral("B"), QStringLiteral("y"), QStringLiteral("2"));
    ini.WriteString(QStringLiteral("A"), QStringLiteral("z"), QStringLiteral("3"));
    ini.WriteString(QStringLiteral("A"), QStringLiteral("x"), QStringLiteral("4"));
    EXPECT_EQ(QString::fromUtf8(FileBytes(Path())), QStringLiteral("[A]\nx=4\nz=3\n\n[B]\ny=2\n"));
}

TEST_F(IniFileTest, NamesAreCaseInsensitiveAndKeepTheirFirstSpelling)
{
    TIniFile ini(Path());
    ini.WriteString(QStringLiteral("bwnHarrowSlate"), QStringLiteral("expType"), QStringLiteral("0"));
    ini.WriteString(QStringLiteral("BWNHARROWSLATE"), QStringLiteral("EXPTYPE"), QStringLiteral("1"));

    TIniFile reader(Path());
    QStringList sections, keys;
    reader.ReadSections(sections);
    reader.ReadSection(QStringLiteral("bwnharrowslate"), keys);
    EXPECT_EQ(sections, QStringList{QStringLiteral("bwnHarrowSlate")});
    EXPECT_EQ(keys, QStringList{QStringLiteral("expType")});
    EXPECT_EQ(reader.ReadString(QStringLiteral("BwnHarrowSlate"), QStringLiteral("exptype"), QString()),
              QStringLiteral("1"));
    EXPECT_EQ(QString::fromUtf8(FileBytes(Path())), QStringLiteral("[bwnHarrowSlate]\nexpType=1\n"));
}

TEST_F(IniFileTest, SectionNamesWithBracketsAndEqualsRoundTrip)
{
    const QStringList names{QStringLiteral("a]b"), QStringLiteral("]"), QStringLiteral("[x]"),
                            QStringLiteral("key=value"), QStringLiteral("报表 ; 设置")};
    for (const QString& name : names)
        TIniFile(Path()).WriteString(name, QStringLiteral("v"), name);
    TIniFile reader(Path());
    QStringList sections;
    reader.ReadSections(sections);
    EXPECT_EQ(sections, names);
    for (const QString& name : names)
        EXPECT_EQ(reader.ReadString(name, QStringLiteral("v"), QString()), name) << name.toStdString();
}

struct BadWrite {
    const char* Label;
    QString Section;
    QString Ident;
    QString Value;
};

TEST_F(IniFileTest, NamesAndValuesThatCannotRoundTripAreRefusedAndTheFileIsUntouched)
{
    TIniFile(Path()).WriteString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v"));
    const QByteArray before = FileBytes(Path());
    const BadWrite cases[] = {
        {"empty section", QString(), QStringLiteral("k"), QStringLiteral("v")},
        {"section with blank", QStringLiteral(" S"), QStringLiteral("k"), QStringLiteral("v")},
        {"section with line break", QStringLiteral("S\nT"), QStringLiteral("k"), QStringLiteral("v")},
        {"empty key", QStringLiteral("S"), QString(), QStringLiteral("v")},
        {"key with equals", QStringLiteral("S"), QStringLiteral("a=b"), QStringLiteral("v")},
        {"key like a comment", QStringLiteral("S"), QStringLiteral(";k"), QStringLiteral("v")},
        {"key like a section", QStringLiteral("S"), QStringLiteral("[k"), QStringLiteral("v")},
        {"key with blank", QStringLiteral("S"), QStringLiteral("k "), QStringLiteral("v")},
        {"key with carriage return", QStringLiteral("S"), QStringLiteral("k\r"), QStringLiteral("v")},
        {"value with line break", QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("a\nb")},
    };
    for (const BadWrite& c : cases) {
        try {
            TIniFile(Path()).WriteString(c.Section, c.Ident, c.Value);
            ADD_FAILURE() << c.Label << ": no error";
        } catch (const EIniFileError& e) {
            EXPECT_TRUE(e.Message().contains(Path())) << c.Label << ": " << e.what();
        }
        EXPECT_EQ(FileBytes(Path()), before) << c.Label;
    }
}

TEST_F(IniFileTest, AMissingFileReadsEmptyAndTheFirstWriteCreatesIt)
{
    TIniFile ini(Path());
    QStringList sections{QStringLiteral("stale")};
    ini.ReadSections(sections);
    EXPECT_TRUE(sections.isEmpty());
    EXPECT_EQ(ini.ReadString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("dflt")), QStringLiteral("dflt"));
    EXPECT_FALSE(QFile::exists(Path()));
    ini.WriteString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v"));
    EXPECT_EQ(TIniFile(Path()).ReadString(QStringLiteral("S"), QStringLiteral("k"), QString()), QStringLiteral("v"));
}

TEST_F(IniFileTest, CreateEmptyIniFileMakesAnEmptyFileAndLeavesAnExistingOneAlone)
{
    CreateEmptyIniFile(Path());
    EXPECT_TRUE(QFile::exists(Path()));
    EXPECT_TRUE(FileBytes(Path()).isEmpty());
    PutBytes(Path(), "[S]\nk=v\n");
    CreateEmptyIniFile(Path());
    EXPECT_EQ(FileBytes(Path()), QByteArray("[S]\nk=v\n"));
    EXPECT_THROW(CreateEmptyIniFile(Dir.filePath(QStringLiteral("no/such/folder/x.INI"))), EInOutError);
}

TEST_F(IniFileTest, HandEditedFilesKeepCommentsAndTheFirstOfDuplicateNames)
{
    PutBytes(Path(), "\xEF\xBB\xBF; settings of the print window\r\n"
                     "[Print]\r\n"
                     "; export scope\r\n"
                     "expType = 1 \r\n"
                     "expType=2\r\n"
                     "junk line\r\n"
                     "\r\n"
                     "[print]\r\n"
                     "other=3\r\n");
    TIniFile ini(Path());
    QStringList sections, keys;
    ini.ReadSections(sections);
    ini.ReadSection(QStringLiteral("PRINT"), keys);
    EXPECT_EQ(sections, QStringList{QStringLiteral("Print")});
    EXPECT_EQ(keys, QStringList{QStringLiteral("expType")});
    EXPECT_EQ(ini.ReadString(QStringLiteral("Print"), QStringLiteral("expType"), QString()), QStringLiteral("1"));

    ini.WriteString(QStringLiteral("Print"), QStringLiteral("ShowSaveExpSet"), QStringLiteral("0"));
    EXPECT_EQ(FileBytes(Path()), QByteArray("\xEF\xBB\xBF; settings of the print window\r\n"
                                            "[Print]\r\n"
                                            "; export scope\r\n"
                                            "expType = 1 \r\n"
                                            "expType=2\r\n"
                                            "junk line\r\n"
                                            "ShowSaveExpSet=0\r\n"
                                            "\r\n"
                                            "[print]\r\n"
                                            "other=3\r\n"));
}

// The host's own settings file in the legacy code page: a save changes the saved lines
// only, in GB2312 with CRLF, and every other byte stays.
TEST_F(IniFileTest, AGb2312FileWithCrlfChangesOnlyTheSavedLines)
{
    QStringEncoder gb("GB2312");
    ASSERT_TRUE(gb.isValid());
    const auto text = [](const QString& savedLines) {
        return QStringLiteral("; 主机设置\r\n[系统]\r\n单位名称=市财政局\r\n\r\n[bwnHarrowSlate]\r\n%1\r\n"
                              "[打印]\r\n纸张=A4横向")
            .arg(savedLines);
    };
    const QByteArray before = gb.encode(text(QStringLiteral("expType=0\r\n")));
    ASSERT_TRUE(QString(QStringDecoder(QStringDecoder::Utf8).decode(before)).contains(QChar::ReplacementCharacter))
        << "the file must not read as UTF-8";
    PutBytes(Path(), before);
    TIniFile ini(Path());
    ini.WriteString(QStringLiteral("bwnHarrowSlate"), QStringLiteral("expType"), QStringLiteral("1"));
    ini.WriteString(QStringLiteral("bwnHarrowSlate"), QStringLiteral("ShowSaveExpSet"), QStringLiteral("是"));
    EXPECT_EQ(FileBytes(Path()), gb.encode(text(QStringLiteral("expType=1\r\nShowSaveExpSet=是\r\n"))));
    EXPECT_EQ(ini.ReadString(QStringLiteral("系统"), QStringLiteral("单位名称"), QString()), QStringLiteral("市财政局"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("打印"), QStringLiteral("纸张"), QString()), QStringLiteral("A4横向"));
}

// Files that are not text in one encoding are neither read nor written: the error names
// the file and the line, and the file keeps every byte. (A database named as the settings
// file is the export settings dialog's test.)
TEST_F(IniFileTest, FilesThatAreNotTextInOneEncodingAreRefusedAndNeverWritten)
{
    const QByteArray utf8 = QStringLiteral("[系统]\n单位名称=市财政局\n").toUtf8();
    const QByteArray gb = QStringEncoder("GB18030").encode(QStringLiteral("[系统]\n单位名称=市财政局\n"));
    const struct {
        const char* Label;
        QByteArray Bytes;
        QString Why;
    } cases[] = {
        {"a NUL byte", QByteArray("[S]\nk=v\0w\n", 10), QStringLiteral("第2行有空字节")},
        {"one stray byte in UTF-8", utf8 + "k=\xB0x\n", QStringLiteral("第1行是UTF-8，第3行是GB18030")},
        {"bytes of neither encoding", gb + "k=\xFF\n", QStringLiteral("第3行既不是UTF-8也不是GB18030")},
        {"a UTF-8 mark before GB18030", "\xEF\xBB\xBF" + gb, QStringLiteral("文件以UTF-8标记开头")},
        {"a character cut off at the end", "\xEF\xBB\xBF[S]\nk=\xE6\x89\x93\xE5\xAF", QStringLiteral("第2行却不是UTF-8")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Label);
        PutBytes(Path(), c.Bytes);
        QStringList sections;
        const std::function<void()> uses[] = {
            [&] { TIniFile(Path()).ReadSections(sections); },
            [&] { TIniFile(Path()).WriteString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("1")); },
        };
        for (const auto& use : uses) {
            try {
                use();
                ADD_FAILURE() << "read or wrote it";
            } catch (const EInOutError& e) {
                EXPECT_TRUE(e.Message().contains(Path())) << e.what();
                EXPECT_TRUE(e.Message().contains(c.Why)) << e.what();
            }
        }
        EXPECT_EQ(FileBytes(Path()), c.Bytes);
    }
}

TEST_F(IniFileTest, AReadOnlyFileIsAClearErrorAndStaysAsItWas)
{
    TIniFile(Path()).WriteString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v"));
    const QByteArray before = FileBytes(Path());
    ASSERT_TRUE(QFile::setPermissions(Path(), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    try {
        TIniFile(Path()).WriteString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("w"));
        ADD_FAILURE() << "wrote a read-only file";
    } catch (const EInOutError& e) {
        EXPECT_TRUE(e.Message().contains(Path())) << e.what();
        EXPECT_TRUE(e.Message().contains(QStringLiteral("只读"))) << e.what();
    }
    EXPECT_EQ(FileBytes(Path()), before);
    QFile::setPermissions(Path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(IniFileTest, AFolderInPlaceOfTheFileIsAClearErrorForReadsAndWrites)
{
    ASSERT_TRUE(QDir(Dir.path()).mkdir(QStringLiteral("settings.INI")));
    QStringList sections;
    EXPECT_THROW(TIniFile(Path()).ReadSections(sections), EInOutError);
    EXPECT_THROW(TIniFile(Path()).ReadString(QStringLiteral("S"), QStringLiteral("k"), QString()), EInOutError);
    try {
        TIniFile(Path()).WriteString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v"));
        ADD_FAILURE() << "wrote over a folder";
    } catch (const EInOutError& e) {
        EXPECT_TRUE(e.Message().contains(Path())) << e.what();
    }
}

TEST_F(IniFileTest, AFolderThatDoesNotExistIsAClearErrorOnWrite)
{
    const QString path = Dir.filePath(QStringLiteral("missing/settings.INI"));
    try {
        TIniFile(path).WriteString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v"));
        ADD_FAILURE() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_TRUE(e.Message().contains(path)) << e.what();
    }
}

TEST_F(IniFileTest, WritesLeaveNoTemporaryOrLockFilesBehindAndKeepThePermissions)
{
    TIniFile ini(Path());
    ini.WriteString(QStringLiteral("S"), QStringLiteral("a"), QStringLiteral("1"));
    ASSERT_TRUE(QFile::setPermissions(Path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    for (int i = 0; i < 20; ++i)
        ini.WriteString(QStringLiteral("S"), QStringLiteral("k%1").arg(i), QString::number(i));
    const QStringList entries = QDir(Dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    EXPECT_EQ(entries, QStringList{QStringLiteral("settings.INI")});
    EXPECT_EQ(QFile::permissions(Path()) & 0x7077, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

// Replacing the file would leave the other name with the old text.
TEST_F(IniFileTest, AFileWithAnotherHardLinkIsWrittenInPlaceAndBothNamesSeeTheValue)
{
    TIniFile(Path()).WriteString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("1"));
    const QString other = Path(QStringLiteral("other.INI"));
    ASSERT_EQ(::link(QFile::encodeName(Path()).constData(), QFile::encodeName(other).constData()), 0);
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(Path()).constData(), &before), 0);
    TIniFile(Path()).WriteString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("2"));
    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(Path()).constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_EQ(FileBytes(other), QByteArray("[S]\nk=2\n"));
}

TEST_F(IniFileTest, WritersOnSeveralThreadsLoseNoValue)
{
    constexpr int threads = 4;
    constexpr int perThread = 25;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([this, t] {
            for (int i = 0; i < perThread; ++i)
                TIniFile(Path()).WriteString(QStringLiteral("T%1").arg(t), QStringLiteral("k%1").arg(i),
                                             QString::number(t * 1000 + i));
        });
    for (std::thread& w : workers)
        w.join();
    TIniFile reader(Path());
    for (int t = 0; t < threads; ++t)
        for (int i = 0; i < perThread; ++i)
            EXPECT_EQ(reader.ReadString(QStringLiteral("T%1").arg(t), QStringLiteral("k%1").arg(i), QString()),
                      QString::number(t * 1000 + i));
}

// A writer killed at any moment leaves either the old or the new file, never a mix.
TEST_F(IniFileTest, AWriterKilledMidWriteNeverLeavesATornFile)
{
    const QString big0 = QString(300000, u'0');
    const QString big1 = QString(300000, u'1');
    const QString big2 = QString(300000, u'2');
    TIniFile(Path()).WriteString(QStringLiteral("S"), QStringLiteral("big"), big0);
    for (int round = 0; round < 40; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            try {
                for (int i = 0;; ++i)
                    TIniFile(Path()).WriteString(QStringLiteral("S"), QStringLiteral("big"), i % 2 ? big1 : big2);
            } catch (...) {
                ::_exit(1); // the parent sees an unchanged file and says so
            }
        }
        ::usleep(static_cast<useconds_t>(2000 + (round % 10) * 1700));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const QString value = TIniFile(Path()).ReadString(QStringLiteral("S"), QStringLiteral("big"), QString());
        EXPECT_TRUE(value == big0 || value == big1 || value == big2) << "round " << round << ": torn value of length "
                                                                       << value.size();
    }
    // The killed writer's lock, even one killed before it could write its process id into
    // the lock, is stale and does not block the next write for long.
    TIniFile(Path()).WriteString(QStringLiteral("S"), QStringLiteral("after"), QStringLiteral("ok"));
    EXPECT_EQ(TIniFile(Path()).ReadString(QStringLiteral("S"), QStringLiteral("after"), QString()), QStringLiteral("ok"));
}

} // namespace
