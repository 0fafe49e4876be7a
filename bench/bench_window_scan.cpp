// The window's scan for files without interesting items, as the user runs it:
// the shown main window (offscreen platform) with the 1,000-item list walks
// through 1,000 corpus messages, pressing the scan button again wherever it
// stops, until it reaches the last file. Reported per file: reading, the view
// filter, one re-layout of the view and one colour-coding pass.
//
// The argument is the view filter (1: all headers, 2: all printable text).

#include "app/widgets/main_form.h"
#include "app/widgets/radio_group.h"
#include "util/clipboard.h"
#include "util/dialogs.h"
#include "util/list_ops.h"
#include "util/widgets/sorted_list_box.h"

#include "bench_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
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
        form->File_Contents_Filter_RadioGroup->setItemIndex(filter);
        form->File_Contents_Colour_Coding_RadioGroup->setItemIndex(3);
        jl::Load_List_File(form->Interesting_Items_ListBox->list(),
                           kCorpus + QStringLiteral("/items/items-1000.txt"));
        files().insertMany(sample);
        return true;
    }
    jl::SortedList& files() { return form->File_List_ListBox->list(); }
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
            window.form->BitBtn1->click();
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
            window.form->Next_File_BitBtn->click();
    }
    setPerFile(state, window.files().count());
}
BENCHMARK(BM_WindowNextFile1000Messages)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    return jl::bench::runWidgetBenchmarks(argc, argv);
}
