// Runs a fuzz target's LLVMFuzzerTestOneInput over kept inputs, without libFuzzer:
// the regression test of the normal build. Arguments are files or folders (every file
// in them, in name order); a fault aborts the process as it would under the fuzzer.
#include <cstdint>
#include <cstdio>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

QStringList InputFiles(const QString& argument)
{
    const QFileInfo info(argument);
    if (!info.isDir())
        return {argument};
    QStringList files;
    for (const QFileInfo& entry : QDir(argument).entryInfoList(QDir::Files, QDir::Name))
        files << entry.filePath();
    return files;
}

} // namespace

int main(int argc, char** argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        if (!QFileInfo::exists(QString::fromLocal8Bit(argv[i]))) {
            std::fprintf(stderr, "replay: %s does not exist\n", argv[i]);
            return 2;
        }
        for (const QString& path : InputFiles(QString::fromLocal8Bit(argv[i]))) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "replay: cannot read %s\n", qPrintable(path));
                return 2;
            }
            const QByteArray bytes = file.readAll();
            std::fprintf(stderr, "replay: %s\n", qPrintable(path));
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                   static_cast<std::size_t>(bytes.size()));
            ++replayed;
        }
    }
    std::fprintf(stderr, "replay: %d inputs, no fault\n", replayed);
    return replayed > 0 ? 0 : 2;
}
