#include "files/WriteTarget.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace sheet {

namespace {

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

bool refuse(QString* reason, const QString& text)
{
    if (reason)
        *reason = text;
    return false;
}

// What stands at a path that is no regular file, as a noun; empty for a regular file.
QString specialKind(mode_t mode)
{
    if (S_ISREG(mode))
        return {};
    if (S_ISDIR(mode))
        return QStringLiteral("文件夹");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("设备文件");
    if (S_ISFIFO(mode))
        return QStringLiteral("管道（FIFO）");
    if (S_ISSOCK(mode))
        return QStringLiteral("套接字");
    return QStringLiteral("特殊文件");
}

bool statFolderOf(const QString& path, struct stat& folder)
{
    return ::stat(native(QFileInfo(path).absolutePath()).constData(), &folder) == 0;
}

// The system's own rule for links in world-writable sticky folders (/tmp): only the
// link's owner and the folder's owner follow them, so nobody can plant a link there
// that makes another user write over a file of the planter's choosing.
bool mayFollow(const QString& link, const struct stat& linkStat)
{
    struct stat folder {};
    if (!statFolderOf(link, folder))
        return false;
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || linkStat.st_uid == ::geteuid() || linkStat.st_uid == folder.st_uid;
}

// Replaces `path` and `st` (the link's) by the regular file the link leads to.
bool followLink(QString& path, struct stat& st, QString* reason)
{
    if (!mayFollow(path, st))
        return refuse(reason, QStringLiteral("这是另一个用户放在公用文件夹里的符号链接，不能通过它写入"));
    struct stat led {};
    if (::stat(native(path).constData(), &led) != 0) {
        if (errno == ENOENT)
            return refuse(reason, QStringLiteral("这是一个符号链接，它指向的文件不存在"));
        return refuse(reason, QStringLiteral("不能通过这个符号链接写入：%1").arg(systemError(errno)));
    }
    char* resolved = ::realpath(native(path).constData(), nullptr);
    const QString kind = specialKind(led.st_mode);
    if (!kind.isEmpty() || !resolved) {
        const QString where = resolved ? QStringLiteral("“%1”").arg(QFile::decodeName(resolved)) : QString();
        std::free(resolved);
        return refuse(reason, QStringLiteral("这是一个指向%1%2的符号链接，不是普通文件")
                                  .arg(kind.isEmpty() ? QStringLiteral("特殊文件") : kind, where));
    }
    path = QFile::decodeName(resolved);
    std::free(resolved);
    // The file found by name must be the one the link led to a moment ago.
    if (::lstat(native(path).constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_dev != led.st_dev
        || st.st_ino != led.st_ino)
        return refuse(reason, QStringLiteral("这个符号链接在写入前被改动了"));
    return true;
}

bool writableInPlace(const WriteTarget& target, QString* reason)
{
    const QString which = target.throughLink ? QStringLiteral("它指向的文件“%1”").arg(target.path)
                                             : QStringLiteral("这个文件");
    // A file without any write permission bit is read-only for root too.
    if ((target.mode & 0222) == 0)
        return refuse(reason, QStringLiteral("%1是只读的").arg(which));
    if (::faccessat(AT_FDCWD, native(target.path).constData(), W_OK, AT_EACCESS) != 0)
        return refuse(reason, errno == EACCES ? QStringLiteral("%1是只读的：当前用户没有写入权限").arg(which)
                                              : QStringLiteral("%1不能写入：%2").arg(which, systemError(errno)));
    struct stat folder {};
    if (statFolderOf(target.path, folder) && (folder.st_mode & S_ISVTX) && target.owner != ::geteuid())
        return refuse(reason,
                      QStringLiteral("%1属于另一个用户，它所在的文件夹只允许文件的主人替换它").arg(which));
    return true;
}

} // namespace

bool findWriteTarget(const QString& name, WriteTarget& target, QString* reason)
{
    target = WriteTarget();
    target.path = QFileInfo(name).absoluteFilePath();
    struct stat st {};
    if (::lstat(native(target.path).constData(), &st) != 0)
        return true; // nothing there yet; a folder that cannot take the file says so at the write
    if (S_ISLNK(st.st_mode)) {
        if (!followLink(target.path, st, reason))
            return false;
        target.throughLink = true;
    }
    const QString kind = specialKind(st.st_mode);
    if (!kind.isEmpty())
        return refuse(reason, QStringLiteral("这是一个%1，不是普通文件").arg(kind));
    target.exists = true;
    target.mode = st.st_mode;
    target.owner = st.st_uid;
    target.group = st.st_gid;
    target.links = st.st_nlink;
    return writableInPlace(target, reason);
}

bool canKeepOwnership(const WriteTarget& target)
{
    if (!target.exists || ::geteuid() == 0)
        return true;
    if (target.owner != ::geteuid())
        return false;
    if (target.group == ::getegid())
        return true;
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<size_t>(std::max(count, 0)));
    const int got = ::getgroups(count, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, target.group) != groups.begin() + got;
}

bool takeOverOwnership(int fd, const WriteTarget& target)
{
    if (!target.exists)
        return true;
    // Owner and group first: a change of owner clears bits that the mode then sets again.
    if (::fchown(fd, target.owner, target.group) != 0 && ::fchown(fd, static_cast<uid_t>(-1), target.group) != 0) {
        // Neither may be given away by this user: the new file stays this user's, in this
        // user's group, with the old file's permission bits.
    }
    return ::fchmod(fd, target.mode & 0777) == 0;
}

} // namespace sheet
