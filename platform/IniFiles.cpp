#include "platform/IniFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/StagedFile.h"

namespace {

// Rewrites of any INI file in this process go one at a time; between processes, a
// writer holds an advisory lock on the folder of the file (TFolderLock).
std::mutex GWriteLock;
constexpr int LockWaitMs = 10000;
constexpr int LockPollMs = 20;

QString SystemError(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

// ---------------------------------------------------------------------------------
// The text of a settings file, kept byte for byte
//
// The file may be the host's, shared with its other settings and tools: a write changes
// only the lines of the keys it writes, in the file's own encoding, and keeps every other
// byte, the line ends and the byte-order mark. So the encoding is found once for the
// whole file, and a file that is not text in one encoding is neither read nor written.

const QByteArray Utf8Mark("\xEF\xBB\xBF");

// Decoders judge each piece on its own: a character cut off at the end of a line or of the
// file is an error, not something kept for a next piece that never comes.
QStringDecoder Utf8Decoder()
{
    return QStringDecoder(QStringDecoder::Utf8,
                          QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
}

QStringDecoder Gb18030Decoder()
{
    return QStringDecoder("GB18030", QStringDecoder::Flag::Stateless);
}

enum class TTextEncoding { Utf8, Gb18030 };

struct TIniLine {
    QString Text;      // decoded
    QByteArray Bytes;  // as on disk, without the line end
    QByteArray End;    // "\n", "\r\n", or empty for a last line without one
    bool Changed = false;
};

struct TIniText {
    QByteArray Mark;
    TTextEncoding Encoding = TTextEncoding::Utf8;
    QByteArray LineEnd = "\n"; // for new lines: the end of the file's first line
    QList<TIniLine> Lines;
};

QList<TIniLine> SplitLines(const QByteArray& body)
{
    QList<TIniLine> lines;
    qsizetype start = 0;
    while (start < body.size()) {
        const qsizetype nl = body.indexOf('\n', start);
        TIniLine line;
        line.Bytes = body.mid(start, nl < 0 ? -1 : nl - start);
        if (nl >= 0)
            line.End = line.Bytes.endsWith('\r') ? QByteArray("\r\n") : QByteArray("\n");
        if (line.End.size() == 2)
            line.Bytes.chop(1);
        lines.append(line);
        start = nl < 0 ? body.size() : nl + 1;
    }
    return lines;
}

bool IsUtf8(const QByteArray& bytes)
{
    QStringDecoder utf8 = Utf8Decoder();
    const QString decoded = utf8.decode(bytes); // decoding happens on conversion
    return !utf8.hasError();
}

bool IsAscii(const QByteArray& bytes)
{
    return std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool IsChinese(char16_t c)
{
    return (c >= 0x3000 && c <= 0x303F) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF)
        || (c >= 0xFF00 && c <= 0xFFEF);
}

// A line of ASCII and Chinese characters in UTF-8. Text in the legacy code page reads so
// only by rare chance (about one line in 100,000), so next to lines that are no UTF-8 at
// all it shows a file of mixed encodings.
bool ReadsAsUtf8Chinese(const QByteArray& line)
{
    if (IsAscii(line))
        return false;
    QStringDecoder utf8 = Utf8Decoder();
    const QString text = utf8.decode(line);
    return !utf8.hasError()
        && std::all_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.unicode() < 0x80 || IsChinese(c.unicode()); });
}

QString LineNumber(qsizetype index) { return QString::number(index + 1); }

[[noreturn]] void NotText(const QString& fileName, const QString& why)
{
    throw EInOutError(Format(QStringLiteral("设置文件“%s”不是单一编码的文本文件（%s），不能读写"), {fileName, why}));
}

qsizetype FirstLine(const QList<TIniLine>& lines, const std::function<bool(const QByteArray&)>& test)
{
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (test(lines.at(i).Bytes))
            return i;
    return -1;
}

// UTF-8 when the whole text is UTF-8 (or it starts with the UTF-8 mark); otherwise the
// legacy code page GB18030 (a superset of GB2312), when the whole text decodes in it and
// no line of it is UTF-8 Chinese.
TTextEncoding DetectEncoding(const TIniText& text, const QByteArray& body, const QString& fileName)
{
    const auto notUtf8 = [](const QByteArray& b) { return !IsUtf8(b); };
    if (IsUtf8(body))
        return TTextEncoding::Utf8;
    if (!text.Mark.isEmpty())
        NotText(fileName, QStringLiteral("文件以UTF-8标记开头，第%1行却不是UTF-8")
                              .arg(LineNumber(FirstLine(text.Lines, notUtf8))));
    const auto notGb = [](const QByteArray& b) {
        QStringDecoder gb = Gb18030Decoder();
        const QString decoded = gb.decode(b);
        return !gb.isValid() || gb.hasError();
    };
    const qsizetype bad = FirstLine(text.Lines, notGb);
    if (bad >= 0)
        NotText(fileName, QStringLiteral("第%1行既不是UTF-8也不是GB18030（GB2312）").arg(LineNumber(bad)));
    const qsizetype utf8 = FirstLine(text.Lines, ReadsAsUtf8Chinese);
    if (utf8 >= 0)
        NotText(fileName, QStringLiteral("第%1行是UTF-8，第%2行是GB18030（GB2312）")
                              .arg(LineNumber(utf8), LineNumber(FirstLine(text.Lines, notUtf8))));
    return TTextEncoding::Gb18030;
}

QString Decode(const QByteArray& bytes, TTextEncoding encoding)
{
    QStringDecoder decoder = encoding == TTextEncoding::Utf8 ? Utf8Decoder() : Gb18030Decoder();
    return decoder.decode(bytes);
}

QByteArray Encode(const QString& text, TTextEncoding encoding, const QString& fileName)
{
    if (encoding == TTextEncoding::Utf8)
        return text.toUtf8();
    QStringEncoder gb("GB18030");
    const QByteArray bytes = gb.encode(text);
    if (gb.hasError())
        throw EInOutError(
            Format(QStringLiteral("设置文件“%s”不能保存“%s”：它不能写成文件的编码GB18030"), {fileName, text}));
    return bytes;
}

TIniText ParseText(const QByteArray& bytes, const QString& fileName)
{
    TIniText text;
    QByteArray body = bytes;
    if (body.startsWith(Utf8Mark)) {
        text.Mark = Utf8Mark;
        body.remove(0, Utf8Mark.size());
    }
    text.Lines = SplitLines(body);
    const qsizetype nul = FirstLine(text.Lines, [](const QByteArray& b) { return b.contains('\0'); });
    if (nul >= 0)
        NotText(fileName, QStringLiteral("第%1行有空字节").arg(LineNumber(nul)));
    text.Encoding = DetectEncoding(text, body, fileName);
    for (TIniLine& line : text.Lines)
        line.Text = Decode(line.Bytes, text.Encoding);
    if (!text.Lines.isEmpty() && !text.Lines.first().End.isEmpty())
        text.LineEnd = text.Lines.first().End;
    return text;
}

QByteArray JoinText(const TIniText& text, const QString& fileName)
{
    QByteArray out = text.Mark;
    for (qsizetype i = 0; i < text.Lines.size(); ++i) {
        const TIniLine& line = text.Lines.at(i);
        out += line.Changed ? Encode(line.Text, text.Encoding, fileName) : line.Bytes;
        const bool last = i + 1 == text.Lines.size();
        out += line.End.isEmpty() && !last ? text.LineEnd : line.End;
    }
    return out;
}

TIniText LoadText(const QString& path, const QString& fileName)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {}; // nothing there (a link to nothing included): no sections
    if (S_ISDIR(st.st_mode))
        throw EInOutError(Format(QStringLiteral("不能读取设置文件“%s”：这是一个文件夹"), fileName));
    // A FIFO would block the reader, a device never ends or is not ours to read.
    if (!S_ISREG(st.st_mode))
        throw EInOutError(Format(QStringLiteral("不能读取设置文件“%s”：这不是普通文件"), fileName));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(Format(QStringLiteral("不能读取设置文件“%s”：%s"), {fileName, file.errorString()}));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EInOutError(Format(QStringLiteral("不能读取设置文件“%s”：%s"), {fileName, file.errorString()}));
    return ParseText(bytes, fileName);
}

QStringList Texts(const TIniText& text)
{
    QStringList lines;
    lines.reserve(text.Lines.size());
    for (const TIniLine& line : text.Lines)
        lines.append(line.Text);
    return lines;
}

QStringList ReadLines(const QString& fileName)
{
    return Texts(LoadText(fileName, fileName));
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

void WriteAll(int fd, const QByteArray& bytes, const QString& fileName)
{
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw EInOutError(Format(QStringLiteral("不能写入设置文件“%s”：%s"),
                                     {fileName, SystemError(n < 0 ? errno : ENOSPC)}));
        p += n;
        left -= n;
    }
}

// A file with other hard links, or one whose owner or group this user could not give a
// new file, is written over in place, so that every name and the owner stay. The new text
// is complete before the first byte is written; only this path can leave a torn file
// behind if the machine stops in the middle of the write.
void RewriteInPlace(const QString& path, const QByteArray& bytes, const QString& fileName)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        throw EInOutError(Format(QStringLiteral("不能写入设置文件“%s”：%s"), {fileName, SystemError(errno)}));
    try {
        WriteAll(fd, bytes, fileName);
        if (::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0 || ::fsync(fd) != 0)
            throw EInOutError(Format(QStringLiteral("不能写入设置文件“%s”：%s"), {fileName, SystemError(errno)}));
    } catch (...) {
        ::close(fd);
        throw;
    }
    if (::close(fd) != 0)
        throw EInOutError(Format(QStringLiteral("不能写入设置文件“%s”：%s"), {fileName, SystemError(errno)}));
}

// Every other write replaces the file in one step: a crash leaves the old text or the new.
void Replace(const QString& path, const QByteArray& bytes, const QString& fileName)
{
    QString error;
    if (!sheet::StagedFile::writeAll(path, bytes, &error))
        throw EInOutError(Format(QStringLiteral("不能写入设置文件“%s”：%s"), {fileName, error}));
}

TIniLine NewLine(const QString& line, const TIniText& text)
{
    return TIniLine{line, {}, text.LineEnd, true};
}

void SetLine(TIniLine& line, const QString& text)
{
    if (line.Text == text)
        return; // unchanged lines keep their bytes
    line.Text = text;
    line.Changed = true;
}

void PutValue(TIniText& text, const QString& section, const QString& ident, const QString& value)
{
    const QStringList lines = Texts(text);
    const QString keyLine = ident + u'=' + ValueForDisk(value);
    TSectionSpan span;
    if (!FindSection(lines, section, span)) {
        if (!lines.isEmpty() && !Trim(lines.last()).isEmpty())
            text.Lines.append(NewLine(QString(), text));
        text.Lines.append(NewLine(u'[' + section + u']', text));
        text.Lines.append(NewLine(keyLine, text));
        return;
    }
    QString diskKey;
    const qsizetype at = FindKey(lines, span, ident, &diskKey);
    if (at >= 0) {
        SetLine(text.Lines[at], diskKey + u'=' + ValueForDisk(value));
        return;
    }
    // A new key goes behind the section's last non-blank line.
    qsizetype insertAt = span.End;
    while (insertAt > span.First && Trim(lines.at(insertAt - 1)).isEmpty())
        --insertAt;
    text.Lines.insert(insertAt, NewLine(keyLine, text));
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
    sheet::WriteTarget target;
    QString reason;
    if (!sheet::findWriteTarget(FileName(), target, &reason))
        throw EInOutError(Format(QStringLiteral("不能写入设置文件“%s”：%s"), {FileName(), reason}));
    const TFolderLock folderLock(QFileInfo(target.path).absolutePath(), FileName());
    TIniText text = LoadText(target.path, FileName());
    PutValue(text, Section, Ident, Value);
    const QByteArray bytes = JoinText(text, FileName());
    if (target.exists && (target.links > 1 || !sheet::canKeepOwnership(target)))
        RewriteInPlace(target.path, bytes, FileName());
    else
        Replace(target.path, bytes, FileName());
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
