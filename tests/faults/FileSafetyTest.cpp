// Every writer of a user's file (the .xls and .xlsx workbooks, the PDF, the settings INI
// file) follows the same rules: a new file gets the user's default permissions (0666 less
// the umask); a replaced file keeps its mode, owner and group; a symbolic link is written
// through to the regular file it leads to; device nodes, FIFOs, sockets, folders, links
// to any of them or to nothing, read-only files and another user's file in a sticky
// folder are refused with a message naming the target, and are left as they were.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cstring>
#include <functional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

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

struct stat statOf(const QString& path)
{
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

mode_t modeOf(const QString& path)
{
    return statOf(path).st_mode;
}

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

void writeFile(const QString& path, const QByteArray& bytes, mode_t mode)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
    f.close();
    ASSERT_EQ(::chmod(native(path).constData(), mode), 0);
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

constexpr uid_t Nobody = 65534;
constexpr gid_t NoGroup = 65534;

class FileSafety : public ::testing::TestWithParam<Writer> {
protected:
    QString target() const { return m_dir.filePath(GetParam().fileName); }
    // A folder beside the export folder, where a planted link points.
    QString elsewhere(const QString& name) const { return m_other.filePath(name); }

    void expectWrittenRegularFile(const QString& path) const
    {
        const mode_t mode = modeOf(path);
        EXPECT_TRUE(S_ISREG(mode)) << GetParam().name << ": not a regular file, mode " << std::oct << mode;
        EXPECT_TRUE(contents(path).contains(GetParam().mark)) << GetParam().name;
    }
    // The write fails with a message that names the target and says `why`.
    void expectRefused(const QString& why) const
    {
        QString error;
        EXPECT_FALSE(GetParam().write(target(), &error)) << GetParam().name << ": wrote " << why.toStdString();
        EXPECT_TRUE(error.contains(target())) << error.toStdString();
        EXPECT_TRUE(error.contains(why)) << error.toStdString();
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
        expectWrittenRegularFile(target());
    }
}

// A report with a 涉密 column kept at 0600 must not become world-readable when it is
// written again; a file of another user (root writing) stays that user's.
TEST_P(FileSafety, AReplacedFileKeepsItsModeOwnerAndGroup)
{
    for (const mode_t mode : {mode_t(0600), mode_t(0640), mode_t(0664)}) {
        writeFile(target(), "old\n", mode);
        const bool root = ::geteuid() == 0;
        if (root) {
            ASSERT_EQ(::chown(native(target()).constData(), Nobody, NoGroup), 0);
        }
        QString error;
        {
            const ScopedUmask mask(022);
            ASSERT_TRUE(GetParam().write(target(), &error)) << error.toStdString();
        }
        expectWrittenRegularFile(target());
        const struct stat st = statOf(target());
        EXPECT_EQ(st.st_mode & 07777, mode) << GetParam().name;
        if (root) {
            EXPECT_EQ(st.st_uid, Nobody) << GetParam().name;
            EXPECT_EQ(st.st_gid, NoGroup) << GetParam().name;
        }
        QFile::remove(target());
    }
}

TEST_P(FileSafety, ALinkIsWrittenThroughToTheFileItLeadsToWhichKeepsItsMode)
{
    const QString linked = elsewhere(QStringLiteral("linked"));
    writeFile(linked, "old\n", 0640);
    ASSERT_TRUE(QFile::link(linked, target()));
    QString error;
    {
        const ScopedUmask mask(077);
        ASSERT_TRUE(GetParam().write(target(), &error)) << error.toStdString();
    }
    EXPECT_TRUE(S_ISLNK(modeOf(target()))) << "the link stays a link";
    expectWrittenRegularFile(linked);
    EXPECT_EQ(modeOf(linked) & 07777, 0640u);
    EXPECT_EQ(QDir(m_other.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("linked")})
        << "nothing staged is left beside the linked file";
}

// What is at the target, and the words the refusal uses for it.
struct Hostile {
    const char* name;
    std::function<void(const QString& target, const QString& elsewhere)> make;
    QString why;
    std::function<bool(const QString& target)> unchanged;
};

bool isKind(const QString& path, mode_t kind)
{
    return (modeOf(path) & S_IFMT) == kind;
}

void makeSocket(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray name = native(path);
    ASSERT_LT(size_t(name.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd); // the socket file stays
}

// The pipe behind /proc/self/fd/N, as a shell's standard output would be.
int GPipe[2] = {-1, -1};

TEST_P(FileSafety, TargetsThatAreNoRegularFileAreRefusedAndLeftAsTheyWere)
{
    ASSERT_EQ(::pipe(GPipe), 0);
    const bool root = ::geteuid() == 0;
    QList<Hostile> cases{
        {"fifo", [](const QString& t, const QString&) { ASSERT_EQ(::mkfifo(native(t).constData(), 0644), 0); },
         QStringLiteral("管道"), [](const QString& t) { return isKind(t, S_IFIFO); }},
        {"socket", [](const QString& t, const QString&) { makeSocket(t); }, QStringLiteral("套接字"),
         [](const QString& t) { return isKind(t, S_IFSOCK); }},
        {"folder", [](const QString& t, const QString&) { ASSERT_TRUE(QDir().mkdir(t)); }, QStringLiteral("文件夹"),
         [](const QString& t) { return isKind(t, S_IFDIR); }},
        {"link_to_dev_null", [](const QString& t, const QString&) { ASSERT_TRUE(QFile::link("/dev/null", t)); },
         QStringLiteral("设备文件"), [](const QString&) { return isKind("/dev/null", S_IFCHR); }},
        {"link_to_standard_output_pipe",
         [](const QString& t, const QString&) {
             ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/fd/%1").arg(GPipe[1]), t));
         },
         QStringLiteral("管道"), [](const QString& t) { return isKind(t, S_IFLNK); }},
        {"dangling_link",
         [](const QString& t, const QString& e) { ASSERT_TRUE(QFile::link(e + "/created-through-the-link", t)); },
         QStringLiteral("不存在"), [](const QString& t) { return isKind(t, S_IFLNK); }},
        {"link_to_a_folder", [](const QString& t, const QString& e) { ASSERT_TRUE(QFile::link(e, t)); },
         QStringLiteral("文件夹"), [](const QString& t) { return isKind(t, S_IFLNK); }},
        {"read_only_file", [](const QString& t, const QString&) { writeFile(t, "keep me\n", 0444); },
         QStringLiteral("只读"), [](const QString& t) { return contents(t) == "keep me\n"; }},
    };
    if (root) {
        cases.append({"device_node",
                      [](const QString& t, const QString&) {
                          ASSERT_EQ(::mknod(native(t).constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
                      },
                      QStringLiteral("设备文件"), [](const QString& t) { return isKind(t, S_IFCHR); }});
        // A world-writable sticky folder, like /tmp: another user's file in it is theirs to
        // replace, and another user's link in it is not followed.
        cases.append({"another_users_file_in_a_sticky_folder",
                      [](const QString& t, const QString&) {
                          ASSERT_EQ(::chmod(native(QFileInfo(t).absolutePath()).constData(), 01777), 0);
                          writeFile(t, "keep me\n", 0666);
                          ASSERT_EQ(::chown(native(t).constData(), Nobody, NoGroup), 0);
                      },
                      QStringLiteral("另一个用户"), [](const QString& t) { return contents(t) == "keep me\n"; }});
        cases.append({"another_users_link_in_a_sticky_folder",
                      [](const QString& t, const QString& e) {
                          ASSERT_EQ(::chmod(native(QFileInfo(t).absolutePath()).constData(), 01777), 0);
                          writeFile(e + "/victim", "keep me\n", 0644);
                          ASSERT_TRUE(QFile::link(e + "/victim", t));
                          ASSERT_EQ(::lchown(native(t).constData(), Nobody, NoGroup), 0);
                      },
                      QStringLiteral("另一个用户"), [](const QString&) { return true; }});
    }
    for (const Hostile& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(m_dir.path()).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(m_dir.path()));
        c.make(target(), m_other.path());
        expectRefused(c.why);
        EXPECT_TRUE(c.unchanged(target()));
        EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                  QStringList{QString::fromLatin1(GetParam().fileName)})
            << "nothing staged is left";
        EXPECT_TRUE(!QFileInfo::exists(m_other.filePath("created-through-the-link"))) << "nothing made through a link";
        EXPECT_TRUE(!QFileInfo::exists(m_other.filePath("victim")) || contents(m_other.filePath("victim")) == "keep me\n");
    }
    EXPECT_EQ(::chmod(native(m_dir.path()).constData(), 0700), 0);
    ::close(GPipe[0]);
    ::close(GPipe[1]);
}

INSTANTIATE_TEST_SUITE_P(Writers, FileSafety, ::testing::ValuesIn(Writers), WriterName);
