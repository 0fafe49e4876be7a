// The sorted list and list files at the size of a large message collection:
// 100,000 paths inserted one by one and in one batch, the membership search,
// loading and saving a 100,000-line list file, and the names of a folder put
// in list order for a batch scan.

#include "cli/file_walk.h"
#include "util/list_file.h"
#include "util/list_ops.h"
#include "util/sorted_list.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using jl::SortedList;

const QLocale english(QLocale::English, QLocale::UnitedStates);

// Paths as a directory scan produces them: a few folders, numbered and named
// files, mixed letter case, in no particular order.
QStringList makePaths(int count, quint32 seed) {
    QRandomGenerator rng(seed);
    static const char* folders[] = {"Inbox", "spam", "Junk/2023", "junk/2024", "Archive/old"};
    static const char* stems[] = {"msg", "Message", "spam-", "offer_", "UNREAD"};
    QStringList paths;
    paths.reserve(count);
    for (int i = 0; i < count; ++i)
        paths << QStringLiteral("/home/user/Mail/%1/%2%3-%4.eml")
                     .arg(QLatin1String(folders[rng.bounded(5)]))
                     .arg(QLatin1String(stems[rng.bounded(5)]))
                     .arg(rng.bounded(1000000))
                     .arg(i);
    return paths;
}

const QStringList& paths() {
    static const QStringList p = makePaths(100000, 1);
    return p;
}

class CountingDialogs : public jl::Dialogs {
public:
    int shown = 0;
    void message(jl::MessageKind, const QString&) override { ++shown; }
    bool ask(jl::QuestionKind, const QString&) override { return false; }
    QString chooseDirectory(const QString&) override { return {}; }
    QString chooseSaveFile(const QString&, const QString&, const QString&) override { return {}; }
    int chooseOne(const QString&, const QString&, const QStringList&, int) override { return -1; }
};

void BM_InsertOneByOne(benchmark::State& state) {
    for (auto _ : state) {
        SortedList list(SortedList::Selection::Multiple, english);
        for (const QString& p : paths())
            list.insert(p);
        benchmark::DoNotOptimize(list.count());
    }
    state.SetItemsProcessed(state.iterations() * paths().size());
}
BENCHMARK(BM_InsertOneByOne)->Unit(benchmark::kMillisecond);

void BM_InsertBatch(benchmark::State& state) {
    for (auto _ : state) {
        SortedList list(SortedList::Selection::Multiple, english);
        list.insertMany(paths());
        benchmark::DoNotOptimize(list.count());
    }
    state.SetItemsProcessed(state.iterations() * paths().size());
}
BENCHMARK(BM_InsertBatch)->Unit(benchmark::kMillisecond);

// 100,000 new paths merged into a list that already holds 100,000, with a
// selection that has to survive the merge.
void BM_InsertBatchIntoFullList(benchmark::State& state) {
    const QStringList more = makePaths(100000, 2);
    for (auto _ : state) {
        state.PauseTiming();
        SortedList list(SortedList::Selection::Multiple, english);
        list.insertMany(paths());
        for (int i = 0; i < list.count(); i += 100)
            list.setSelected(i, true);
        state.ResumeTiming();
        list.insertMany(more);
        benchmark::DoNotOptimize(list.count());
    }
    state.SetItemsProcessed(state.iterations() * more.size());
}
BENCHMARK(BM_InsertBatchIntoFullList)->Unit(benchmark::kMillisecond);

// One lookup, the text's collation key included, in a list of 100,000.
void BM_FindListItem(benchmark::State& state) {
    SortedList list(SortedList::Selection::Multiple, english);
    list.insertMany(paths());
    const QStringList probes = makePaths(1000, 3) + paths().mid(0, 1000);
    qsizetype i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(jl::Find_List_Item(list, probes[i]));
        i = (i + 1) % probes.size();
    }
}
BENCHMARK(BM_FindListItem)->Unit(benchmark::kMicrosecond);

void BM_LoadListFile(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Junkloupe.ini_file"));
    {
        SortedList list(SortedList::Selection::Single, english);
        list.insertMany(paths());
        CountingDialogs dialogs;
        if (jl::Save_List_File(list, path, dialogs) != 0)
            state.SkipWithError("could not write the list file");
    }
    SortedList list(SortedList::Selection::Single, english);
    for (auto _ : state) {
        jl::Load_List_File(list, path);
        benchmark::DoNotOptimize(list.count());
    }
    state.SetItemsProcessed(state.iterations() * paths().size());
}
BENCHMARK(BM_LoadListFile)->Unit(benchmark::kMillisecond);

// Encoding, writing, flushing to disk and renaming over the old file.
void BM_SaveListFile(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Junkloupe.ini_file"));
    SortedList list(SortedList::Selection::Single, english);
    list.insertMany(paths());
    CountingDialogs dialogs;
    for (auto _ : state)
        benchmark::DoNotOptimize(jl::Save_List_File(list, path, dialogs));
    if (dialogs.shown != 0)
        state.SkipWithError("saving failed");
    state.SetItemsProcessed(state.iterations() * paths().size());
}
BENCHMARK(BM_SaveListFile)->Unit(benchmark::kMillisecond);

// The format alone, without the disk.
void BM_DecodeListFile(benchmark::State& state) {
    const QByteArray bytes = jl::encodeListFile(paths());
    for (auto _ : state)
        benchmark::DoNotOptimize(jl::decodeListFile(bytes).size());
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_DecodeListFile)->Unit(benchmark::kMillisecond);

// The files of a folder put in list order before a batch scan (40,000
// names), in the C locale (0) and in English (1).
void BM_SortNamesInListOrder(benchmark::State& state) {
    const QLocale before;
    QLocale::setDefault(state.range(0) == 0 ? QLocale::c() : english);
    const QStringList names = makePaths(40000, 3);
    for (auto _ : state) {
        QStringList sorted = names;
        QList<bool> flags(sorted.size(), true);
        jl::cli::sortInListOrder(sorted, &flags);
        benchmark::DoNotOptimize(sorted.data());
    }
    QLocale::setDefault(before);
}
BENCHMARK(BM_SortNamesInListOrder)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
