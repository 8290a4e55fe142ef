#include "platform/IniFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Rewrites of any INI file in this process go one at a time; between processes, a
// writer holds an advisory lock on the folder of the file (TFolderLock).
std::mutex GWriteLock;
constexpr int LockWaitMs = 10000;
constexpr int LockPollMs = 20;

QString SystemError(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

// ---------------------------------------------------------------------------------
// Reading the text

QString DecodeSettingsText(QByteArray bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    // Files written by older tools carry the legacy code page of the settings.
    QStringDecoder legacy("GB18030");
    return legacy.isValid() ? legacy.decode(bytes) : text;
}

QStringList ReadLines(const QString& fileName)
{
    QFileInfo info(fileName);
    if (!info.exists())
        return {};
    if (info.isDir())
        throw EInOutError(Format(QStringLiteral("不能读取设置文件“%s”：这是一个文件夹"), fileName));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(Format(QStringLiteral("不能读取设置文件“%s”：%s"), {fileName, file.errorString()}));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EInOutError(Format(QStringLiteral("不能读取设置文件“%s”：%s"), {fileName, file.errorString()}));
    QStringList lines = DecodeSettingsText(bytes).split(u'\n');
    for (QString& line : lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// ---------------------------------------------------------------------------------
// Lines

bool ParseSectionHeader(const QString& line, QString& name)
{
    const QString t = Trim(line);
    if (!t.startsWith(u'['))
        return false;
    const qsizetype close = t.lastIndexOf(u']');
    if (close < 1)
        return false;
    name = Trim(t.mid(1, close - 1));
    return true;
}

QString UnquoteValue(const QString& raw)
{
    const QString t = Trim(raw);
    if (t.size() >= 2 && t.front() == t.back() && (t.front() == u'"' || t.front() == u'\''))
        return t.mid(1, t.size() - 2);
    return t;
}

bool ParseKeyLine(const QString& line, QString& key, QString& value)
{
    const QString t = Trim(line);
    if (t.isEmpty() || t.startsWith(u';') || t.startsWith(u'['))
        return false;
    const qsizetype eq = t.indexOf(u'=');
    if (eq < 0)
        return false;
    key = Trim(t.left(eq));
    if (key.isEmpty())
        return false;
    value = UnquoteValue(t.mid(eq + 1));
    return true;
}

QString ValueForDisk(const QString& value)
{
    const bool losesBlanks = value != Trim(value);
    const bool looksQuoted = value.size() >= 2 && value.front() == value.back()
        && (value.front() == u'"' || value.front() == u'\'');
    return losesBlanks || looksQuoted ? u'"' + value + u'"' : value;
}

bool SameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

bool HasLineBreak(const QString& s) { return s.contains(u'\n') || s.contains(u'\r'); }

// The lines of one section: [First, End), the header at First - 1.
struct TSectionSpan {
    qsizetype First = 0;
    qsizetype End = 0;
};

bool FindSection(const QStringList& lines, const QString& section, TSectionSpan& span)
{
    QString name;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!ParseSectionHeader(lines.at(i), name) || !SameName(name, section))
            continue;
        span.First = i + 1;
        span.End = span.First;
        while (span.End < lines.size() && !ParseSectionHeader(lines.at(span.End), name))
            ++span.End;
        return true;
    }
    return false;
}

// Index of the first line of the span that holds key Ident, or -1.
qsizetype FindKey(const QStringList& lines, const TSectionSpan& span, const QString& ident, QString* diskKey)
{
    QString key, value;
    for (qsizetype i = span.First; i < span.End; ++i)
        if (ParseKeyLine(lines.at(i), key, value) && SameName(key, ident)) {
            if (diskKey)
                *diskKey = key;
            return i;
        }
    return -1;
}

void CheckNames(const QString& fileName, const QString& section, const QString& ident, const QString& value)
{
    if (section.isEmpty() || section != Trim(section) || HasLineBreak(section))
        throw EIniFileError(Format(
            QStringLiteral("设置文件“%s”不能保存节名“%s”：节名不能为空，不能含换行符，首尾不能有空白"),
            {fileName, section}));
    if (ident.isEmpty() || ident != Trim(ident) || HasLineBreak(ident) || ident.contains(u'=')
        || ident.startsWith(u';') || ident.startsWith(u'['))
        throw EIniFileError(Format(QStringLiteral("设置文件“%s”不能保存值名“%s”：值名不能为空，不能含“=”或换行符，"
                                                  "不能以“;”或“[”开头，首尾不能有空白"),
                                   {fileName, ident}));
    if (HasLineBreak(value))
        throw EIniFileError(Format(QStringLiteral("设置文件“%s”不能保存值“%s”的内容：值不能含换行符"),
                                   {fileName, ident}));
}

// ---------------------------------------------------------------------------------
// Writing the text

// An exclusive advisory lock (flock) on the folder that holds the file. The system drops
// it when its holder dies, so a crashed writer never leaves a stale lock, and no lock
// file is left beside the settings.
class TFolderLock {
public:
    TFolderLock(const QString& folder, const QString& fileName)
    {
        FFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (FFd < 0 && errno == EACCES) {
            FLocked = false; // a folder we may write but not list: the process lock must do
            return;
        }
        if (FFd < 0)
            throw EInOutError(Format(QStringLiteral("不能写入设置文件“%s”：%s"), {fileName, SystemError(errno)}));
        for (int waited = 0; ::flock(FFd, LOCK_EX | LOCK_NB) != 0; waited += LockPollMs) {
            if (errno != EWOULDBLOCK && errno != EINTR) {
                FLocked = false; // a file system without advisory locks: the process lock must do
                return;
            }
            if (waited >= LockWaitMs) {
                ::close(FFd);
                throw EInOutError(
                    Format(QStringLiteral("不能写入设置文件“%s”：另一个程序正在写入它"), fileName));
            }
            QThread::msleep(LockPollMs);
        }
    }
    ~TFolderLock()
    {
        if (FFd < 0)
            return;
        if (FLocked)
            ::flock(FFd, LOCK_UN);
        ::close(FFd);
    }
    TFolderLock(const TFolderLock&) = delete;
    TFolderLock& operator=(const TFolderLock&) = delete;

private:
    int FFd = -1;
    bool FLocked = true;
};

void CheckWritable(const QFileInfo& info, const QString& fileName)
{
    if (!info.exists())
        return;
    if (info.isDir())
        throw EInOutError(Format(QStringLiteral("不能写入设置文件“%s”：这是一个文件夹"), fileName));
    // The permission bit counts even for a user whom the system would let write anyway.
    if (!(info.permissions() & QFileDevice::WriteOwner) || !info.isWritable())
        throw EInOutError(Format(QStringLiteral("设置文件“%s”是只读的，不能写入"), fileName));
}

void WriteAll(int fd, const QByteArray& bytes, const QString& fileName)
{
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw EInOutError(Format(QStringLiteral("不能写入设置文件“%s”：%s"), {fileName, SystemError(errno)}));
        p += n;
        left -= n;
    }
}

void SyncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return; // the rename has happened; a folder we cannot open for syncing is no failure
    ::fsync(fd);
    ::close(fd);
}

// The file that a write replaces: the name itself. A symbolic link at the name is
// replaced by a regular file, never written through, so a link planted there cannot
// make the write land elsewhere.
QString WriteTarget(const QString& fileName)
{
    return QFileInfo(fileName).absoluteFilePath();
}

// The lines a write keeps. Through a link they are what reading shows; a link that
// leads to no regular file (dangling, a folder) holds none.
QStringList LinesToKeep(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (info.isSymLink() && !info.isFile())
        return {};
    return ReadLines(fileName);
}

// A new file beside `base` in `folder`, created with the user's default permissions
// (0666 less the umask) and never through a link planted at its name.
int CreateTemporaryFile(const QString& folder, const QString& base, QByteArray& path)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString suffix = QString::number(QRandomGenerator::system()->generate64(), 36);
        path = QFile::encodeName(folder + QStringLiteral("/.") + base + u'.' + suffix);
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Temporary file in the same folder, flushed and synced, renamed over the target.
void ReplaceFileAtomically(const QString& fileName, const QByteArray& bytes)
{
    const QString target = WriteTarget(fileName);
    const QFileInfo targetInfo(target);
    // An existing file keeps its permissions; a new one (or one replacing a link) gets
    // the user's default ones from the create below.
    struct stat st {};
    const bool exists = ::lstat(QFile::encodeName(target).constData(), &st) == 0;
    const bool keepMode = exists && S_ISREG(st.st_mode);
    if (!exists || !S_ISLNK(st.st_mode))
        CheckWritable(targetInfo, fileName);

    QByteArray temp;
    const int fd = CreateTemporaryFile(targetInfo.absolutePath(), targetInfo.fileName(), temp);
    if (fd < 0)
        throw EInOutError(Format(QStringLiteral("不能写入设置文件“%s”：%s"), {fileName, SystemError(errno)}));
    const auto fail = [&](int code) {
        ::unlink(temp.constData());
        throw EInOutError(Format(QStringLiteral("不能写入设置文件“%s”：%s"), {fileName, SystemError(code)}));
    };
    try {
        WriteAll(fd, bytes, fileName);
    } catch (...) {
        ::close(fd);
        ::unlink(temp.constData());
        throw;
    }
    if ((keepMode && ::fchmod(fd, st.st_mode & 07777) != 0) || ::fsync(fd) != 0) {
        const int code = errno;
        ::close(fd);
        fail(code);
    }
    if (::close(fd) != 0)
        fail(errno);
    if (::rename(temp.constData(), QFile::encodeName(target).constData()) != 0)
        fail(errno);
    SyncFolder(targetInfo.absolutePath());
}

QByteArray JoinLines(const QStringList& lines)
{
    QByteArray out;
    for (const QString& line : lines) {
        out += line.toUtf8();
        out += '\n';
    }
    return out;
}

void PutValue(QStringList& lines, const QString& section, const QString& ident, const QString& value)
{
    TSectionSpan span;
    if (!FindSection(lines, section, span)) {
        if (!lines.isEmpty() && !Trim(lines.last()).isEmpty())
            lines.append(QString());
        lines.append(u'[' + section + u']');
        lines.append(ident + u'=' + ValueForDisk(value));
        return;
    }
    QString diskKey;
    const qsizetype at = FindKey(lines, span, ident, &diskKey);
    if (at >= 0) {
        lines[at] = diskKey + u'=' + ValueForDisk(value);
        return;
    }
    // A new key goes behind the section's last non-blank line.
    qsizetype insertAt = span.End;
    while (insertAt > span.First && Trim(lines.at(insertAt - 1)).isEmpty())
        --insertAt;
    lines.insert(insertAt, ident + u'=' + ValueForDisk(value));
}

} // namespace

// -------------------------------------------------------------------------------------

TIniFile::TIniFile(const QString& FileName) : TCustomIniFile(FileName) {}

void TIniFile::ReadSections(QStringList& Strings)
{
    Strings.clear();
    QString name;
    for (const QString& line : ReadLines(FileName())) {
        if (!ParseSectionHeader(line, name))
            continue;
        const bool seen = std::any_of(Strings.cbegin(), Strings.cend(),
                                      [&](const QString& s) { return SameName(s, name); });
        if (!seen)
            Strings.append(name);
    }
}

void TIniFile::ReadSection(const QString& Section, QStringList& Strings)
{
    Strings.clear();
    const QStringList lines = ReadLines(FileName());
    TSectionSpan span;
    if (!FindSection(lines, Section, span))
        return;
    QString key, value;
    for (qsizetype i = span.First; i < span.End; ++i) {
        if (!ParseKeyLine(lines.at(i), key, value))
            continue;
        const bool seen = std::any_of(Strings.cbegin(), Strings.cend(),
                                      [&](const QString& s) { return SameName(s, key); });
        if (!seen)
            Strings.append(key);
    }
}

QString TIniFile::ReadString(const QString& Section, const QString& Ident, const QString& Default)
{
    const QStringList lines = ReadLines(FileName());
    TSectionSpan span;
    if (!FindSection(lines, Section, span))
        return Default;
    const qsizetype at = FindKey(lines, span, Ident, nullptr);
    if (at < 0)
        return Default;
    QString key, value;
    ParseKeyLine(lines.at(at), key, value);
    return value;
}

void TIniFile::WriteString(const QString& Section, const QString& Ident, const QString& Value)
{
    CheckNames(FileName(), Section, Ident, Value);
    std::lock_guard<std::mutex> guard(GWriteLock);
    const TFolderLock folderLock(QFileInfo(WriteTarget(FileName())).absolutePath(), FileName());
    QStringList lines = LinesToKeep(FileName());
    PutValue(lines, Section, Ident, Value);
    ReplaceFileAtomically(FileName(), JoinLines(lines));
}

void CreateEmptyIniFile(const QString& FileName)
{
    const QFileInfo info(FileName);
    if (info.exists() || info.isSymLink())
        return;
    QFile file(FileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (QFileInfo::exists(FileName))
            return; // someone else created it meanwhile: that is all we wanted
        throw EInOutError(Format(QStringLiteral("不能创建设置文件“%s”：%s"), {FileName, file.errorString()}));
    }
    file.close();
}
