// The window's scan for files without interesting items, as the user runs it:
// the shown main window (offscreen platform) with the 1,000-item list walks
// through 1,000 corpus messages, pressing the scan button again wherever it
// stops, until it reaches the last file. Reported per file: reading, the view
// filter, one re-layout of the view and one colour-coding pass.
//
// The argument is the view filter (1: all headers, 2: all printable text).
//
// Then the window against junkloupe-cli over every corpus message, in the
// same run:
// - the scan with one item that every message holds (":" under all printable
//   text), from no current entry to the last file, shown, against
//   `junkloupe-cli scan`;
// - the statistics page's Refresh with the 1,000- and 10,000-item lists
//   (the matcher built anew each time, as the command line builds it)
//   against `junkloupe-cli hits`.
// The command-line figures include starting the process. Compare
// BM_Window*Corpus with BM_Cli*Corpus of the same argument.

#include "app/widgets/main_form.h"
#include "app/widgets/radio_group.h"
#include "items/collection_stats.h"
#include "util/clipboard.h"
#include "util/dialogs.h"
#include "util/list_ops.h"
#include "util/widgets/sorted_list_box.h"

#include "bench_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

const QString kCorpus = QStringLiteral(JUNKLOUPE_CORPUS_DIR);
constexpr int kMessages = 1000;

// The shown window with the 1,000-item list and kMessages corpus messages
// (spread over the whole corpus) in its file list, colour coding everything.
struct ScanWindow : jl::bench::ShownWindow {
    bool open(int filter) {
        const QStringList sample = jl::bench::corpusSample(kCorpus, kMessages);
        if (sample.size() < kMessages)
            return false;
        ShownWindow::open();
        chooseOptions(filter);
        jl::Load_List_File(form->workspace().items(),
                           kCorpus + QStringLiteral("/items/items-1000.txt"));
        files().insertMany(sample);
        return true;
    }
    jl::SortedList& files() { return form->workspace().files(); }
    bool atLast() { return jl::Get_First_Selected_Index(files()) >= files().count() - 1; }
    void first() {
        jl::Select_List_Index(files(), 0);
        form->Process_The_Selected_File_BitBtnClick();
    }
};

void setPerFile(benchmark::State& state, int files) {
    state.counters["per_file"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * files,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_WindowScan1000Messages(benchmark::State& state) {
    ScanWindow window;
    if (!window.open(static_cast<int>(state.range(0)))) {
        state.SkipWithError("corpus not found");
        return;
    }
    int stops = 0;
    for (auto _ : state) {
        window.first();
        stops = 0;
        while (!window.atLast()) {
            window.control<QPushButton>("BitBtn1")->click();
            ++stops;
        }
    }
    state.counters["stops"] = stops;
    setPerFile(state, window.files().count());
}
BENCHMARK(BM_WindowScan1000Messages)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same walk by Next File alone, for comparison: what the scan adds.
void BM_WindowNextFile1000Messages(benchmark::State& state) {
    ScanWindow window;
    if (!window.open(static_cast<int>(state.range(0)))) {
        state.SkipWithError("corpus not found");
        return;
    }
    for (auto _ : state) {
        window.first();
        while (!window.atLast())
            window.control<QPushButton>("Next_File_BitBtn")->click();
    }
    setPerFile(state, window.files().count());
}
BENCHMARK(BM_WindowNextFile1000Messages)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// --- the window against the command line over the whole corpus ----------------------

QString corpusItems(int count) {
    return kCorpus + QStringLiteral("/items/items-%1.txt").arg(count);
}

// Every corpus message, named one a line in a file for --files-from, and an
// items list holding ":" alone, which every message shows under filter 2.
struct CorpusRun {
    QTemporaryDir folder;
    QStringList paths = jl::bench::corpusMessages(kCorpus);
    QString names = folder.filePath(QStringLiteral("names.txt"));
    QString holdAllItem = folder.filePath(QStringLiteral("item.txt"));

    bool prepare(benchmark::State& state) {
        QFile list(names), item(holdAllItem);
        if (paths.isEmpty() || !list.open(QIODevice::WriteOnly) ||
            !item.open(QIODevice::WriteOnly)) {
            state.SkipWithError("corpus not found");
            return false;
        }
        list.write(paths.join(QLatin1Char('\n')).toUtf8() + '\n');
        item.write(":\r\n");
        return true;
    }
    // Runs junkloupe-cli (beside this program) over every message.
    void cli(benchmark::State& state, QStringList arguments) const {
        QProcess cli;
        cli.setStandardOutputFile(QProcess::nullDevice());
        arguments << QStringLiteral("--files-from=") + names;
        cli.start(QCoreApplication::applicationDirPath() + QStringLiteral("/junkloupe-cli"),
                  arguments);
        if (!cli.waitForFinished(-1) || cli.exitStatus() != QProcess::NormalExit ||
            cli.exitCode() > 1)
            state.SkipWithError("junkloupe-cli failed");
    }
};

// The shown window with every corpus message in its file list.
struct CorpusWindow : jl::bench::ShownWindow {
    void open(int filter, const QStringList& paths) {
        ShownWindow::open();
        chooseOptions(filter);
        files().insertMany(paths);
    }
    jl::SortedList& files() { return form->workspace().files(); }
    jl::SortedList& items() { return form->workspace().items(); }
};

void BM_CliScanCorpus(benchmark::State& state) {
    CorpusRun run;
    if (!run.prepare(state))
        return;
    for (auto _ : state)
        run.cli(state, {QStringLiteral("scan"), QStringLiteral("--filter=2"),
                        QStringLiteral("--items=") + run.holdAllItem});
    state.counters["files"] = double(run.paths.size());
}
BENCHMARK(BM_CliScanCorpus)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_WindowScanCorpus(benchmark::State& state) {
    CorpusRun run;
    if (!run.prepare(state))
        return;
    CorpusWindow window;
    window.open(2, run.paths);
    window.items().insert(QStringLiteral(":"));
    int endedAt = -1;
    for (auto _ : state) {
        // From no current entry: every file is decided, the last one shown.
        jl::Select_List_Index(window.files(), -1);
        window.control<QPushButton>("BitBtn1")->click();
        endedAt = jl::Get_First_Selected_Index(window.files());
    }
    if (endedAt != window.files().count() - 1 || window.dialogs.messages == 0)
        state.SkipWithError("the scan did not end on the last file");
    state.counters["files"] = double(run.paths.size());
}
BENCHMARK(BM_WindowScanCorpus)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_CliHitsCorpus(benchmark::State& state) {
    CorpusRun run;
    if (!run.prepare(state))
        return;
    for (auto _ : state)
        run.cli(state, {QStringLiteral("hits"), QStringLiteral("--filter=1"),
                        QStringLiteral("--items=") + corpusItems(int(state.range(0)))});
}
BENCHMARK(BM_CliHitsCorpus)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_WindowStatisticsCorpus(benchmark::State& state) {
    CorpusRun run;
    if (!run.prepare(state))
        return;
    CorpusWindow window;
    window.open(1, run.paths);
    jl::Load_List_File(window.items(), corpusItems(int(state.range(0))));
    window.control<QTabWidget>("PageControl1")
        ->setCurrentWidget(window.control<QWidget>("statisticsPage"));
    QApplication::processEvents();
    for (auto _ : state) {
        // A change of the items list: the matcher is built again, as the
        // command line builds it for every run.
        state.PauseTiming();
        window.items().removeAt(window.items().insert(QStringLiteral("\x01")));
        state.ResumeTiming();
        window.control<QPushButton>("refreshStatisticsButton")->click();
        QApplication::processEvents(); // the table painted
    }
    const jl::CollectionStats* stats = window.form->workspace().statistics();
    if (!stats || !stats->complete || stats->examined == 0)
        state.SkipWithError("no statistics");
    else
        state.counters["dead"] = stats->deadItems();
}
BENCHMARK(BM_WindowStatisticsCorpus)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    return jl::bench::runWidgetBenchmarks(argc, argv);
}
