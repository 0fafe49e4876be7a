// Soak of the window's scan: the shown main window (offscreen platform) with
// the 1,000-item list steps through 10,000 message files (copies of the
// corpus messages in a temporary folder), pressing the scan button again
// wherever it stops, until the last file. It checks that the process does
// not grow per file: the resident size at the end must lie within a few
// megabytes of the size after the first hundred files, and no descriptor may
// be left open. Prints the figures; exits 1 when a check fails.
//
//   soak_scan [files] [allowed growth in MB] [rounds]   (defaults 10000, 8, 1)
//
// With more than one round the scan walks the same files again from the
// first, which tells a slow leak from the caches that fill once.

#include "app/widgets/main_form.h"
#include "app/widgets/radio_group.h"
#include "desktop/desktop_services.h"
#include "util/clipboard.h"
#include "util/dialogs.h"
#include "util/list_ops.h"
#include "util/widgets/sorted_list_box.h"

#include "bench_support.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include <dirent.h>

namespace {

const QString kCorpus = QStringLiteral(JUNKLOUPE_CORPUS_DIR);

using jl::bench::SilentDialogs;

long long residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

int openDescriptors() {
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir)
        return -1;
    int count = 0;
    while (const dirent* entry = ::readdir(dir))
        if (entry->d_name[0] != '.')
            ++count;
    ::closedir(dir);
    return count - 1; // the listing's own descriptor
}

// count copies of the corpus messages, in turn, named in list order.
QStringList makePile(const QString& folder, int count) {
    const QStringList corpus = jl::bench::corpusMessages(kCorpus);
    if (corpus.isEmpty())
        return {};
    QStringList pile;
    for (int i = 0; i < count; ++i) {
        const QString path = folder + QStringLiteral("/m%1.eml").arg(i, 5, 10, QChar('0'));
        if (!QFile::copy(corpus[i % corpus.size()], path))
            return {};
        pile << path;
    }
    return pile;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    const long long allowedKb = (argc > 2 ? std::atoll(argv[2]) : 8) * 1024;
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 1;

    QTemporaryDir folder;
    QTemporaryDir home;
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(name, home.path().toUtf8());
    const QString messages = folder.path() + QStringLiteral("/messages");
    QDir().mkpath(messages);
    const QStringList pile = makePile(messages, count);
    if (pile.size() != count) {
        std::fprintf(stderr, "soak_scan: corpus not found at %s\n", qPrintable(kCorpus));
        return 2;
    }

    SilentDialogs dialogs;
    jl::MemoryClipboard clipboard;
    jl::DesktopServices desktop;
    auto form = std::make_unique<jl::TMainForm1>(
        jl::ProgramFolder(folder.path() + QLatin1Char('/'), QStringLiteral("junkloupe")), dialogs,
        clipboard, desktop);
    form->show();
    QApplication::processEvents();
    jl::bench::control<jl::RadioGroup>(*form, "File_Contents_Filter_RadioGroup")->setItemIndex(1);
    jl::bench::control<jl::RadioGroup>(*form, "File_Contents_Colour_Coding_RadioGroup")
        ->setItemIndex(3);
    jl::SortedList& files = form->workspace().files();
    jl::Load_List_File(form->workspace().items(),
                       kCorpus + QStringLiteral("/items/items-1000.txt"));
    files.insertMany(pile);
    auto current = [&files] { return jl::Get_First_Selected_Index(files); };

    const int descriptorsBefore = openDescriptors();
    const long long startKb = residentKb();
    QElapsedTimer timer;
    timer.start();
    long long afterHundredKb = -1;
    int stops = 0;
    std::vector<std::pair<int, long long>> samples; // (files stepped through, resident KB)
    for (int round = 0; round < rounds; ++round) {
        jl::Select_List_Index(files, 0);
        form->Process_The_Selected_File_BitBtnClick();
        int nextSample = 1000;
        while (current() < files.count() - 1) {
            jl::bench::control<QPushButton>(*form, "BitBtn1")->click();
            ++stops;
            const int at = current();
            if (afterHundredKb < 0 && at >= 100)
                afterHundredKb = residentKb();
            if (at >= nextSample) {
                samples.emplace_back(round * count + at, residentKb());
                nextSample += 1000;
            }
        }
    }
    const qint64 ms = timer.elapsed();
    const long long endKb = residentKb();
    const int descriptorsAfter = openDescriptors();

    std::printf("soak_scan: %d files x %d rounds with %d items in %lld ms (%.2f ms per file), "
                "%d scan presses, %d notices\n",
                count, rounds, form->workspace().items().count(), (long long)ms,
                double(ms) / (double(count) * rounds), stops, dialogs.messages);
    std::printf("  resident: %lld KB at the start, %lld KB after the first hundred files, %lld KB "
                "at the end (%+lld KB)\n",
                startKb, afterHundredKb, endKb, endKb - afterHundredKb);
    std::printf("  resident by file:");
    for (const auto& [at, kb] : samples)
        std::printf(" %d:%lld", at, kb);
    std::printf("\n  open descriptors: %d before, %d after\n", descriptorsBefore, descriptorsAfter);

    bool ok = true;
    if (current() != files.count() - 1) {
        std::printf("FAILED: the scan did not reach the last file\n");
        ok = false;
    }
    if (endKb - afterHundredKb > allowedKb) {
        std::printf("FAILED: the process grew by %lld KB over the run (allowed %lld KB)\n",
                    endKb - afterHundredKb, allowedKb);
        ok = false;
    }
    if (descriptorsAfter != descriptorsBefore) {
        std::printf("FAILED: %d descriptors left open\n", descriptorsAfter - descriptorsBefore);
        ok = false;
    }
    form->close();
    return ok ? 0 : 1;
}
