// Adding a large directory to a large file list: 100,000 files merged into a
// list of 100,000 entries, and the same directory added again (every name a
// duplicate). The files are created once under /tmp and kept for later runs.

#include "filelist/file_enumeration.h"

#include <QDir>
#include <QFile>
#include <QLocale>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

constexpr int kFiles = 100000;

QString benchDirectory() {
    const QString dir = QStringLiteral("/tmp/junkloupe-bench-filelist/");
    // The marker stands beside the folder: inside it, it would be listed too.
    const QString marker = QStringLiteral("/tmp/junkloupe-bench-filelist.complete");
    if (QFile::exists(marker))
        return dir;
    QDir().mkpath(dir);
    for (int i = 0; i < kFiles; ++i) {
        const QByteArray name =
            QFile::encodeName(dir + QStringLiteral("msg%1.eml").arg(i, 6, 10, QLatin1Char('0')));
        if (std::FILE* f = std::fopen(name.constData(), "w"))
            std::fclose(f);
    }
    QFile done(marker);
    done.open(QIODevice::WriteOnly);
    return dir;
}

QStringList existingEntries(const QString& dir) {
    QStringList entries;
    entries.reserve(kFiles);
    // Interleaved with the new names in list order.
    for (int i = 0; i < kFiles; ++i)
        entries << dir + QStringLiteral("msg%1.old").arg(i, 6, 10, QLatin1Char('0'));
    return entries;
}

void BM_AddDirectoryToLargeList(benchmark::State& state) {
    const QString dir = benchDirectory();
    const QStringList entries = existingEntries(dir);
    for (auto _ : state) {
        state.PauseTiming();
        jl::SortedList list(jl::SortedList::Selection::Single, QLocale());
        list.insertMany(entries);
        state.ResumeTiming();
        const int added = jl::Add_Files_From_Directory(list, dir, jl::fileListOptions());
        if (added != kFiles)
            state.SkipWithError("not every file was added");
        benchmark::DoNotOptimize(added);
    }
}
BENCHMARK(BM_AddDirectoryToLargeList)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_AddDirectoryAgain(benchmark::State& state) {
    const QString dir = benchDirectory();
    jl::SortedList list(jl::SortedList::Selection::Single, QLocale());
    list.insertMany(existingEntries(dir));
    jl::Add_Files_From_Directory(list, dir, jl::fileListOptions());
    for (auto _ : state) {
        const int added = jl::Add_Files_From_Directory(list, dir, jl::fileListOptions());
        if (added != 0)
            state.SkipWithError("a duplicate was added");
    }
}
BENCHMARK(BM_AddDirectoryAgain)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
