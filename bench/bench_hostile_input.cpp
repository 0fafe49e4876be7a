// Hostile input, measured as the user meets it, each case in a fresh child
// process so that its peak memory (maximum resident set) is its own:
//
// - Window/<view>_<kind>_<MB>: the shown main window (offscreen platform)
//   processes one message of that many megabytes, colour coding everything:
//   reading, the view filter, setting the view's text, colour coding and one
//   repaint. The kinds: empty lines ended by bare line feeds ("LF") or bare
//   carriage returns ("CR"); a Received line, then lines of a million
//   letters ("long"), of 250,000 ("wide") or of 248 ("short"), ended by CR
//   LF. The views: "text", all printable text (every line after an empty
//   one); "headers", all headers (the lines one after another); "large", the
//   same in a window of 1920 x 1080, which shows more lines at once.
// - HugeItems/...: 100 interesting items of 1 MB each (random letters and
//   digits): `junkloupe-cli hits` and `scan` over 100 corpus messages, and the
//   window's start with that list followed by showing one corpus message.
//
// Reported per case: seconds (the time the case took inside the child, also
// the benchmark's manual time), cpu_s (the child's processor time, start-up
// included) and peak_MB (the child's maximum resident set). The cases run
// once each; pass --benchmark_filter to pick some.

#include "app/widgets/main_form.h"
#include "app/widgets/radio_group.h"
#include "cli/cli.h"
#include "util/clipboard.h"
#include "util/list_ops.h"
#include "util/widgets/sorted_list_box.h"

#include "bench_support.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const QString kCorpus = QStringLiteral(JUNKLOUPE_CORPUS_DIR);
constexpr int kItems = 100;
constexpr int kItemBytes = 1000 * 1000;
constexpr int kMessages = 100;

// --- files shared by the cases (made once by the parent) --------------------

QTemporaryDir& scratch() {
    static QTemporaryDir dir;
    return dir;
}

// A message of megabytes × 10^6 bytes: all line ends ("LF", "CR"), or lines
// of a million letters each ended by CR LF ("long").
QString messageFile(const char* kind, int megabytes) {
    const QString path =
        scratch().filePath(QStringLiteral("lines-%1-%2.eml").arg(kind).arg(megabytes));
    if (QFile::exists(path))
        return path;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    const qsizetype lineBytes = std::strcmp(kind, "long") == 0    ? 1000 * 1000
                                : std::strcmp(kind, "wide") == 0  ? 250 * 1000
                                : std::strcmp(kind, "short") == 0 ? 250
                                                                  : 0;
    QByteArray block(1'000'000, lineBytes > 0 ? 'x' : std::strcmp(kind, "CR") == 0 ? '\r' : '\n');
    if (lineBytes > 0) {
        for (qsizetype end = lineBytes; end <= block.size(); end += lineBytes)
            block.replace(end - 2, 2, "\r\n");
        file.write("Received: from a\r\n");
    }
    for (int i = 0; i < megabytes; ++i)
        file.write(block);
    return path;
}

// The list file of kItems items of kItemBytes random letters and digits.
QString hugeItemsFile() {
    const QString path = scratch().filePath(QStringLiteral("huge-items.txt"));
    if (QFile::exists(path))
        return path;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    std::mt19937 rng(13);
    const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray item(kItemBytes, 'x');
    for (int i = 0; i < kItems; ++i) {
        for (char& c : item)
            c = alphabet[rng() % (sizeof alphabet - 1)];
        file.write(item);
        file.write("\r\n");
    }
    return path;
}

QStringList corpusSample() {
    return jl::bench::corpusSample(kCorpus, kMessages);
}

// --- the cases, run in the child --------------------------------------------

struct Window : jl::bench::ShownWindow {
    void showFile(const QString& path) {
        jl::SortedList& files = form->workspace().files();
        files.clear();
        files.insertMany({path});
        jl::Select_List_Index(files, 0);
        form->Process_The_Selected_File_BitBtnClick();
        QApplication::processEvents();
        form->repaint();
    }
};

double windowShows(const QString& message, int filter, bool large = false) {
    Window window;
    window.open();
    if (large)
        window.form->resize(1920, 1080);
    window.chooseOptions(filter);
    QElapsedTimer timer;
    timer.start();
    window.showFile(message);
    return double(timer.nsecsElapsed()) / 1e9;
}

double cliRuns(const char* command, const QString& items) {
    QStringList args = {QStringLiteral("junkloupe-cli"), QString::fromLatin1(command),
                        QStringLiteral("--items"), items};
    args << corpusSample();
    std::FILE* sink = std::fopen("/dev/null", "w");
    QElapsedTimer timer;
    timer.start();
    jl::cli::run(args, sink, sink);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    std::fclose(sink);
    return seconds;
}

double windowStartsWithItems(const QString& items) {
    Window window;
    QFile::copy(items, window.folder.filePath(QStringLiteral("Junkloupe.ini_int")));
    const QStringList sample = corpusSample();
    QElapsedTimer timer;
    timer.start();
    window.open();
    window.control<jl::RadioGroup>("File_Contents_Colour_Coding_RadioGroup")->setItemIndex(3);
    if (!sample.isEmpty())
        window.showFile(sample.front());
    return double(timer.nsecsElapsed()) / 1e9;
}

int runChild(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const std::string what = argv[2];
    const QString path = QString::fromLocal8Bit(argv[3]);
    double seconds = -1;
    if (what == "window")
        seconds = windowShows(path, 2);
    else if (what == "headers")
        seconds = windowShows(path, 1);
    else if (what == "headers-large")
        seconds = windowShows(path, 1, true);
    else if (what == "hits" || what == "scan")
        seconds = cliRuns(what.c_str(), path);
    else if (what == "start")
        seconds = windowStartsWithItems(path);
    std::printf("%.6f\n", seconds);
    return seconds < 0 ? 1 : 0;
}

// --- the parent --------------------------------------------------------------

const char* self = nullptr;

// Runs the child case and reports its time and peak memory.
void measure(benchmark::State& state, const char* what, const QString& path) {
    if (path.isEmpty()) {
        state.SkipWithError("could not write the input");
        return;
    }
    for (auto _ : state) {
        int out[2];
        if (::pipe(out) != 0) {
            state.SkipWithError("pipe");
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        const QByteArray native = QFile::encodeName(path);
        char* args[] = {const_cast<char*>(self), const_cast<char*>("--child"),
                        const_cast<char*>(what), const_cast<char*>(native.constData()), nullptr};
        pid_t pid = -1;
        const int spawned = posix_spawn(&pid, self, &actions, nullptr, args, environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (spawned != 0) {
            ::close(out[0]);
            state.SkipWithError("spawn");
            return;
        }
        std::string reply;
        char buffer[256];
        for (ssize_t got; (got = ::read(out[0], buffer, sizeof buffer)) > 0;)
            reply.append(buffer, size_t(got));
        ::close(out[0]);
        int status = 0;
        struct rusage usage {};
        ::wait4(pid, &status, 0, &usage);
        const double seconds = std::atof(reply.c_str());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || seconds <= 0) {
            state.SkipWithError("the child failed");
            return;
        }
        state.SetIterationTime(seconds);
        state.counters["seconds"] = seconds;
        state.counters["peak_MB"] = double(usage.ru_maxrss) / 1024.0; // kB → MB
        // The child's processor time, whole process: a figure that other
        // work on the machine does not inflate.
        state.counters["cpu_s"] = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                                  double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
}

// what: "window" (all printable text), "headers" (all headers),
// "headers-large" (all headers in a window of 1920 x 1080).
void BM_Window(benchmark::State& state, const char* what, const char* kind, int megabytes) {
    measure(state, what, messageFile(kind, megabytes));
}
#define JL_WINDOW_CASE(name, what, kind, megabytes)                                                \
    BENCHMARK_CAPTURE(BM_Window, name, what, kind, megabytes)->UseManualTime()->Iterations(1)
JL_WINDOW_CASE(text_LF_25MB, "window", "LF", 25);
JL_WINDOW_CASE(text_LF_70MB, "window", "LF", 70);
JL_WINDOW_CASE(text_CR_25MB, "window", "CR", 25);
JL_WINDOW_CASE(text_CR_70MB, "window", "CR", 70);
JL_WINDOW_CASE(text_long_70MB, "window", "long", 70);
JL_WINDOW_CASE(headers_long_70MB, "headers", "long", 70);
JL_WINDOW_CASE(large_headers_long_70MB, "headers-large", "long", 70);
JL_WINDOW_CASE(text_wide_70MB, "window", "wide", 70);
JL_WINDOW_CASE(headers_wide_70MB, "headers", "wide", 70);
JL_WINDOW_CASE(large_headers_wide_70MB, "headers-large", "wide", 70);
JL_WINDOW_CASE(headers_short_70MB, "headers", "short", 70);
JL_WINDOW_CASE(large_headers_short_70MB, "headers-large", "short", 70);

void BM_HugeItems(benchmark::State& state, const char* what) {
    if (corpusSample().size() < kMessages) {
        state.SkipWithError("corpus not found");
        return;
    }
    measure(state, what, hugeItemsFile());
}
BENCHMARK_CAPTURE(BM_HugeItems, hits, "hits")->UseManualTime()->Iterations(1);
BENCHMARK_CAPTURE(BM_HugeItems, scan, "scan")->UseManualTime()->Iterations(1);
BENCHMARK_CAPTURE(BM_HugeItems, window_start, "start")->UseManualTime()->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--child") == 0)
        return runChild(argc, argv);
    self = argv[0];
    return jl::bench::runBenchmarks(argc, argv);
}
