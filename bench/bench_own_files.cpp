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

// A settings file in its own folder: the section, then padding lines of other
// keys; then made to claim claimedSize bytes (sparse) when that is larger.
QString settingsFile(const QString& name, int paddingLines, qint64 claimedSize) {
    QString path = folder().filePath(name + QStringLiteral("/Junkloupe.ini"));
    if (QFile::exists(path))
        return path;
    QDir().mkpath(folder().filePath(name));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("[Junkloupe]\r\nwindow_Width=900\r\n");
    const QByteArray line = "padding_key=" + QByteArray(86, 'x') + "\r\n";
    for (int i = 0; i < paddingLines; ++i)
        file.write(line);
    file.close();
    if (claimedSize > file.size() &&
        ::truncate(QFile::encodeName(path).constData(), claimedSize) != 0)
        return QString();
    return path;
}

void BM_ReadSettings(benchmark::State& state) {
    // 0: about 100 MB of lines; 1: a few lines claiming 100 GiB.
    const QString path = state.range(0) == 0
                             ? settingsFile(QStringLiteral("big"), 1'000'000, 0)
                             : settingsFile(QStringLiteral("sparse"), 0, qint64(100) << 30);
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
    QString path = folder().filePath(QStringLiteral("Junkloupe.ini_file"));
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
