// Every writer of a user's file (the .xls and .xlsx workbooks, the PDF, the settings INI
// file) creates it with the user's default permissions, 0666 less the umask, and never
// writes through a symbolic link planted at the target name: the link is replaced by a
// regular file and whatever it pointed at stays as it was. (The settings file keeps the
// lines it read through such a link: reading is what the user's own reads do too.)
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>
#include <sys/stat.h>

#include "platform/IniFiles.h"
#include "sheet/SheetPrinter.h"
#include "sheet/WorkbookExport.h"
#include "tests/sheet/SheetTestSupport.h"

namespace {

struct Writer {
    const char* name;
    const char* fileName;
    QByteArray mark;   // what the written file holds (the format's signature)
    std::function<bool(const QString& path, QString* error)> write;
};

const sheet::Sheet& report()
{
    static const sheet::Sheet sheet = sheettest::demoSheet(12, true);
    return sheet;
}

bool writeIni(const QString& path, QString* error)
{
    try {
        TIniFile(path).WriteString(QStringLiteral("导出"), QStringLiteral("folder"), QStringLiteral("/tmp"));
        return true;
    } catch (const Exception& e) {
        *error = e.Message();
        return false;
    }
}

const Writer Writers[] = {
    {"xls", "report.xls", QByteArray("\xD0\xCF\x11\xE0", 4),
     [](const QString& p, QString* e) { return sheet::WorkbookExport::write(report(), p, e); }},
    {"xlsx", "report.xlsx", "PK",
     [](const QString& p, QString* e) { return sheet::WorkbookExport::write(report(), p, e); }},
    {"pdf", "report.pdf", "%PDF", [](const QString& p, QString* e) { return sheet::SheetPrinter(report()).exportPdf(p, e); }},
    {"ini", "settings.INI", "[导出]", writeIni},
};

std::string WriterName(const ::testing::TestParamInfo<Writer>& info)
{
    return info.param.name;
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

mode_t modeOf(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
}

void writeFile(const QString& path, const QByteArray& bytes, mode_t mode)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
    f.close();
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
}

// The umask is the process's: set for one write, restored whatever happens.
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : m_old(::umask(mask)) {}
    ~ScopedUmask() { ::umask(m_old); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    mode_t m_old;
};

class FileSafety : public ::testing::TestWithParam<Writer> {
protected:
    QString target() const { return m_dir.filePath(GetParam().fileName); }
    // A folder beside the export folder, where a planted link points.
    QString elsewhere(const QString& name) const { return m_other.filePath(name); }

    void expectWrittenRegularFile() const
    {
        const mode_t mode = modeOf(target());
        EXPECT_TRUE(S_ISREG(mode)) << GetParam().name << ": not a regular file, mode " << std::oct << mode;
        EXPECT_TRUE(contents(target()).contains(GetParam().mark)) << GetParam().name;
    }

    QTemporaryDir m_dir;
    QTemporaryDir m_other;
};

} // namespace

TEST_P(FileSafety, NewFilesGetTheDefaultPermissionsOfEveryUmask)
{
    const struct {
        mode_t umask;
        mode_t expected;
    } cases[] = {{022, 0644}, {077, 0600}, {027, 0640}, {002, 0664}};
    for (const auto& c : cases) {
        QFile::remove(target());
        QString error;
        bool ok = false;
        {
            const ScopedUmask mask(c.umask);
            ok = GetParam().write(target(), &error);
        }
        ASSERT_TRUE(ok) << error.toStdString();
        EXPECT_EQ(modeOf(target()) & 07777, c.expected)
            << GetParam().name << " with umask " << std::oct << c.umask << ": " << (modeOf(target()) & 07777);
        expectWrittenRegularFile();
    }
}

TEST_P(FileSafety, ALinkPlantedAtTheTargetIsReplacedAndWhatItPointsAtStaysUntouched)
{
    const QString victim = elsewhere(QStringLiteral("victim"));
    writeFile(victim, "keep me\n", 0640);
    ASSERT_TRUE(QFile::link(victim, target()));
    QString error;
    {
        const ScopedUmask mask(077);
        ASSERT_TRUE(GetParam().write(target(), &error)) << error.toStdString();
    }
    expectWrittenRegularFile();
    EXPECT_EQ(modeOf(target()) & 07777, 0600u) << "a new file, not the link target's mode";
    EXPECT_EQ(contents(victim), "keep me\n");
    EXPECT_EQ(modeOf(victim) & 07777, 0640u);
}

TEST_P(FileSafety, ADanglingLinkAtTheTargetCreatesNothingWhereItPoints)
{
    const QString planted = elsewhere(QStringLiteral("created-through-the-link"));
    ASSERT_TRUE(QFile::link(planted, target()));
    QString error;
    ASSERT_TRUE(GetParam().write(target(), &error)) << error.toStdString();
    expectWrittenRegularFile();
    EXPECT_FALSE(QFileInfo::exists(planted));
    EXPECT_TRUE(QDir(m_other.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

TEST_P(FileSafety, ALinkToAFolderIsReplacedAndNothingLandsInTheFolder)
{
    ASSERT_TRUE(QFile::link(m_other.path(), target()));
    QString error;
    ASSERT_TRUE(GetParam().write(target(), &error)) << error.toStdString();
    expectWrittenRegularFile();
    EXPECT_TRUE(QDir(m_other.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Writers, FileSafety, ::testing::ValuesIn(Writers), WriterName);
