#pragma once
// What the benchmark programs share: the corpus messages named by its
// manifest, a dialogs service that never waits, the shown main window over a
// temporary program folder, and a Google Benchmark main for programs that
// need a QApplication (offscreen by default).

#include "app/widgets/main_form.h"
#include "app/widgets/radio_group.h"
#include "desktop/desktop_services.h"
#include "util/clipboard.h"
#include "util/dialogs.h"

#include <QApplication>
#include <QFile>
#include <QLatin1Char>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace jl::bench {

// A control of the window, found by its object name; a benchmark that names
// a control the window does not have ends at once.
template <typename T> T* control(const QObject& form, const char* name) {
    T* found = form.findChild<T*>(QLatin1String(name));
    if (!found) {
        std::fprintf(stderr, "the window has no control %s\n", name);
        std::abort();
    }
    return found;
}

inline QStringList corpusMessages(const QString& corpus) {
    QFile manifest(corpus + QStringLiteral("/MANIFEST.tsv"));
    if (!manifest.open(QIODevice::ReadOnly))
        return {};
    QStringList paths;
    manifest.readLine(); // the header
    while (!manifest.atEnd()) {
        const QByteArray line = manifest.readLine();
        const qsizetype tab = line.indexOf('\t');
        if (tab > 0)
            paths << corpus + QLatin1Char('/') + QString::fromUtf8(line.left(tab));
    }
    return paths;
}

// count paths spread evenly over the corpus manifest, so that every source of
// the corpus is in the sample.
inline QStringList corpusSample(const QString& corpus, int count) {
    const QStringList paths = corpusMessages(corpus);
    QStringList sample;
    for (int i = 0; i < count && !paths.isEmpty(); ++i)
        sample << paths[static_cast<qsizetype>(i) * paths.size() / count];
    return sample;
}

// Answers every question with No and counts the notices.
class SilentDialogs : public Dialogs {
public:
    void message(MessageKind, const QString&) override { ++messages; }
    bool ask(QuestionKind, const QString&) override { return false; }
    QString chooseDirectory(const QString&) override { return {}; }
    QString chooseSaveFile(const QString&, const QString&, const QString&) override { return {}; }
    int chooseOne(const QString&, const QString&, const QStringList&, int) override { return -1; }
    int messages = 0;
};

// The main window, shown, over a temporary program folder (which HOME and
// the XDG folders point at too). Files put into the folder before open() are
// the window's own files at its start.
struct ShownWindow {
    QTemporaryDir folder;
    SilentDialogs dialogs;
    MemoryClipboard clipboard;
    std::unique_ptr<DesktopServices> desktop;
    std::unique_ptr<TMainForm1> form;

    void open() {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            qputenv(name, folder.path().toUtf8());
        desktop = std::make_unique<DesktopServices>();
        form = std::make_unique<TMainForm1>(
            ProgramFolder(folder.path() + QLatin1Char('/'), QStringLiteral("junkloupe")), dialogs,
            clipboard, *desktop);
        form->show();
        QApplication::processEvents();
    }
    template <typename T> T* control(const char* name) const {
        return bench::control<T>(*form, name);
    }
    // Chooses the view's filter and colours everything.
    void chooseOptions(int filter) const {
        control<RadioGroup>("File_Contents_Filter_RadioGroup")->setItemIndex(filter);
        control<RadioGroup>("File_Contents_Colour_Coding_RadioGroup")->setItemIndex(3);
    }
};

inline int runBenchmarks(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

inline int runWidgetBenchmarks(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    return runBenchmarks(argc, argv);
}

} // namespace jl::bench
