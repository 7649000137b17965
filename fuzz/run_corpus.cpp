// Runs each seed of the fuzz corpus once through the fuzz target's entry point, with no fuzzer, so the
// seeds guard every build and every compiler: a seed that breaks one of the target's checks stops the run.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
        return 2;
    }
    const QDir corpus(QString::fromLocal8Bit(argv[1]));
    const QStringList seeds = corpus.entryList(QDir::Files, QDir::Name);
    if (seeds.isEmpty())
    {
        std::fprintf(stderr, "no seeds in %s\n", argv[1]);
        return 1;
    }
    for (const QString& seed : seeds)
    {
        QFile file(corpus.filePath(seed));
        if (!file.open(QIODevice::ReadOnly))
        {
            std::fprintf(stderr, "%s: %s\n", qPrintable(file.fileName()), qPrintable(file.errorString()));
            return 1;
        }
        const QByteArray bytes = file.readAll();
        // Named before it runs: a seed that traps is the last name printed.
        std::printf("%s\n", qPrintable(seed));
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()),
                               static_cast<size_t>(bytes.size()));
    }
    std::printf("%d seeds passed\n", static_cast<int>(seeds.size()));
    return 0;
}
