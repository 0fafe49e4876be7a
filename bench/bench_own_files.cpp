// Reading the tool's own files when they are huge: a 100 MB settings file
// and a sparse one that claims 100 GiB (both refused unread past the limit,
// whatever size they claim), and a 100 MB list file (read as it grows). Run
// under /usr/bin/time -v to see the peak memory of each case:
//   bench_own_files --benchmark_filter=BM_ReadSettings/1

#include "app/settings.h"
#include "util/list_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <unistd.h>

namespace {

QTemporaryDir& folder() {
    static QTemporaryDir dir;
    return dir;
}

// A settings file of about 100 MB: the section, then lines of other keys.
QString hundredMegabyteSettings() {
    const QString path = folder().filePath(QStringLiteral("big/Junkloupe.ini"));
    if (!QFile::exists(path)) {
        QDir().mkpath(folder().filePath(QStringLiteral("big")));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("[Junkloupe]\r\nwindow_Width=900\r\n");
        const QByteArray line = "padding_key=" + QByteArray(86, 'x') + "\r\n";
        for (int i = 0; i < 1'000'000; ++i)
            file.write(line);
    }
    return path;
}

// A settings file that claims 100 GiB and takes no disk.
QString sparseSettings() {
    const QString path = folder().filePath(QStringLiteral("sparse/Junkloupe.ini"));
    if (!QFile::exists(path)) {
        QDir().mkpath(folder().filePath(QStringLiteral("sparse")));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("[Junkloupe]\r\nwindow_Width=900\r\n");
        file.close();
        if (::truncate(QFile::encodeName(path).constData(), qint64(100) << 30) != 0)
            return QString();
    }
    return path;
}

void BM_ReadSettings(benchmark::State& state) {
    const QString path = state.range(0) == 0 ? hundredMegabyteSettings() : sparseSettings();
    if (path.isEmpty()) {
        state.SkipWithError("cannot make the file");
        return;
    }
    for (auto _ : state) {
        QString refusal;
        const jl::SettingsValues values = jl::readSettings(path, &refusal);
        benchmark::DoNotOptimize(values.windowWidth);
        if (refusal.isEmpty())
            state.SkipWithError("the file was read");
    }
}
BENCHMARK(BM_ReadSettings)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A list file of 100 MB: a million paths of 100 bytes.
void BM_ReadListFile(benchmark::State& state) {
    const QString path = folder().filePath(QStringLiteral("Junkloupe.ini_file"));
    if (!QFile::exists(path)) {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        for (int i = 0; i < 1'000'000; ++i)
            file.write(QByteArray("/home/user/Mail/spam/") +
                       QByteArray::number(i).rightJustified(75, '0') + ".eml\r\n");
    }
    for (auto _ : state) {
        const jl::ListFileContents contents = jl::readListFile(path);
        benchmark::DoNotOptimize(contents.entries.size());
    }
    state.SetBytesProcessed(state.iterations() * QFileInfo(path).size());
}
BENCHMARK(BM_ReadListFile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
