#include "files/StagedFile.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace sheet {

namespace {

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

bool fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

// Makes the rename itself durable. A folder that cannot be opened for it is no failure:
// the file is in place.
void syncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

StagedFile::StagedFile(QString target) : m_target(std::move(target)) {}

StagedFile::~StagedFile()
{
    if (!m_committed)
        discard();
}

bool StagedFile::prepare(QString* error)
{
    if (QFileInfo(m_target).fileName().isEmpty())
        return fail(error, QStringLiteral("文件名“%1”无效").arg(m_target));
    QString reason;
    if (!findWriteTarget(m_target, m_write, &reason))
        return fail(error, QStringLiteral("不能写入文件“%1”：%2").arg(m_target, reason));
    const QFileInfo info(m_write.path);
    const QString dir = info.absolutePath();
    QByteArray pattern = QFile::encodeName(dir + QStringLiteral("/.tallyleaf-XXXXXX"));
    if (!mkdtemp(pattern.data()))
        return fail(error, QStringLiteral("无法在文件夹“%1”中写入文件“%2”：%3")
                               .arg(QDir::toNativeSeparators(dir), info.fileName(), systemError(errno)));
    m_folder = QFile::decodeName(pattern);
    m_stagingPath = m_folder + QLatin1Char('/') + info.fileName();
    return true;
}

bool StagedFile::commit(QString* error)
{
    const QByteArray staged = QFile::encodeName(m_stagingPath);
    const int fd = ::open(staged.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return fail(error, QStringLiteral("文件“%1”没有写成：%2").arg(m_target, systemError(errno)));
    if (!takeOverOwnership(fd, m_write)) {
        const int code = errno;
        ::close(fd);
        return fail(error, QStringLiteral("不能给文件“%1”保留原来的权限：%2").arg(m_target, systemError(code)));
    }
    const bool synced = ::fsync(fd) == 0;
    const int syncError = errno;
    ::close(fd);
    if (!synced)
        return fail(error, QStringLiteral("文件“%1”写入磁盘失败：%2").arg(m_target, systemError(syncError)));
    if (::rename(staged.constData(), QFile::encodeName(m_write.path).constData()) != 0)
        return fail(error, QStringLiteral("无法保存文件“%1”：%2").arg(m_target, systemError(errno)));
    m_committed = true;
    ::rmdir(QFile::encodeName(m_folder).constData());
    syncFolder(QFileInfo(m_write.path).absolutePath());
    return true;
}

void StagedFile::discard()
{
    if (m_folder.isEmpty())
        return;
    // Whatever a failed writer left in the private folder goes with it.
    QDir(m_folder).removeRecursively();
    m_folder.clear();
}

bool StagedFile::writeAll(const QString& target, const QByteArray& bytes, QString* error)
{
    StagedFile staged(target);
    if (!staged.prepare(error))
        return false;
    const QByteArray path = QFile::encodeName(staged.stagingPath());
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return fail(error, QStringLiteral("无法创建文件“%1”：%2").arg(target, systemError(errno)));
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int code = n < 0 ? errno : ENOSPC;
            ::close(fd);
            return fail(error, QStringLiteral("写入文件“%1”失败：%2").arg(target, systemError(code)));
        }
        done += n;
    }
    if (::close(fd) != 0)
        return fail(error, QStringLiteral("写入文件“%1”失败：%2").arg(target, systemError(errno)));
    return staged.commit(error);
}

} // namespace sheet
