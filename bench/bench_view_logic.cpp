// The view logic under load: colour coding a 5 MB view with growing item
// lists (the time should stay nearly flat), and reading a 100 MB message file
// through the reader under filters 1 and 2, next to `wc -l` on the same file.

#include "items/item_matcher.h"
#include "view/message_reader.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStringList>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

const QString kCorpus = QStringLiteral(JUNKLOUPE_CORPUS_DIR);

QStringList corpusMessages() {
    QStringList files;
    QDirIterator it(kCorpus, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = path.mid(QDir(kCorpus).absolutePath().size() + 1);
        if (relative.contains(QLatin1Char('/')) && !relative.startsWith(QStringLiteral("items/")))
            files.append(path);
    }
    files.sort();
    return files;
}

// About 5 MB of view text: corpus messages read under filter 2, one after
// the other into one view.
const QString& fiveMegabyteView() {
    static const QString text = [] {
        jl::ViewTextBuilder view(5'000'000);
        jl::ReaderHooks hooks;
        hooks.filter = [] { return int(jl::AllText); };
        for (const QString& file : corpusMessages()) {
            jl::Load_File_Into_View(file, view, hooks);
            if (view.wasCut())
                break;
        }
        return view.toQString();
    }();
    return text;
}

QStringList items(int count) {
    if (count == 0)
        return {};
    QFile f(kCorpus + QStringLiteral("/items/items-%1.txt").arg(count));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList list;
    for (QByteArray line : f.readAll().split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            list.append(QString::fromLatin1(line));
    }
    return list;
}

void BM_ColourCodeFiveMegabytes(benchmark::State& state) {
    const QString& text = fiveMegabyteView();
    const QStringList list = items(int(state.range(0)));
    if (state.range(0) != 0 && list.isEmpty()) {
        state.SkipWithError("item list not found");
        return;
    }
    const jl::ItemMatcher matcher(list);
    int spans = 0;
    for (auto _ : state) {
        const jl::ColourResult r = matcher.colour(text, jl::Everything);
        spans = int(r.spans.size());
        benchmark::DoNotOptimize(r.caret);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * text.size() * 2);
    state.counters["view_chars"] = double(text.size());
    state.counters["spans"] = spans;
    state.counters["automaton_MB"] = double(matcher.memoryBytes()) / 1e6;
}
BENCHMARK(BM_ColourCodeFiveMegabytes)
    ->Arg(0)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_BuildMatcher(benchmark::State& state) {
    const QStringList list = items(int(state.range(0)));
    for (auto _ : state) {
        jl::ItemMatcher matcher(list);
        benchmark::DoNotOptimize(&matcher);
    }
}
BENCHMARK(BM_BuildMatcher)
    ->Arg(0)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A file of about 100 MB made of corpus messages, built once in /tmp.
const QString& hundredMegabyteFile() {
    static const QString path = [] {
        const QString target = QDir::tempPath() + QStringLiteral("/junkloupe-bench-100mb.eml");
        constexpr qint64 kSize = 100'000'000;
        if (QFileInfo(target).size() >= kSize)
            return target;
        QFile out(target);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QString();
        const QStringList files = corpusMessages();
        while (out.size() < kSize && !files.isEmpty())
            for (const QString& file : files) {
                QFile in(file);
                if (in.open(QIODevice::ReadOnly))
                    out.write(in.readAll());
                if (out.size() >= kSize)
                    break;
            }
        return target;
    }();
    return path;
}

// Counts what the view would receive, without a cap.
class CountingSink : public jl::LineSink {
public:
    void appendLine(std::string_view line) override {
        ++lines;
        chars += qint64(line.size());
    }
    qint64 lines = 0;
    qint64 chars = 0;
};

void BM_ReadHundredMegabytes(benchmark::State& state) {
    const QString& path = hundredMegabyteFile();
    const int filter = int(state.range(0));
    jl::ReaderHooks hooks;
    hooks.filter = [filter] { return filter; };
    CountingSink sink;
    for (auto _ : state) {
        sink = CountingSink();
        const jl::LoadResult r = jl::Load_File_Into_View(path, sink, hooks);
        if (r.status != jl::LoadStatus::Read)
            state.SkipWithError(qPrintable(QStringLiteral("not read: ") + r.error));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * QFileInfo(path).size());
    state.counters["view_lines"] = double(sink.lines);
}
BENCHMARK(BM_ReadHundredMegabytes)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// `wc -l` on the same file, as the yardstick for the reader.
void BM_WcLinesHundredMegabytes(benchmark::State& state) {
    const QByteArray command =
        "wc -l < '" + QFile::encodeName(hundredMegabyteFile()) + "' > /dev/null";
    for (auto _ : state) {
        if (std::system(command.constData()) != 0)
            state.SkipWithError("wc failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * QFileInfo(hundredMegabyteFile()).size());
}
BENCHMARK(BM_WcLinesHundredMegabytes)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
