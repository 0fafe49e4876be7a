#pragma once
// What the benchmark programs share: the corpus messages named by its
// manifest, a dialogs service that never waits, and a Google Benchmark main
// for programs that need a QApplication (offscreen by default).

#include "util/dialogs.h"

#include <QApplication>
#include <QFile>
#include <QLatin1Char>
#include <QString>
#include <QStringList>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace jl::bench {

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

// Answers every question with No and counts the notices.
class SilentDialogs : public Dialogs {
public:
    void message(MessageKind, const QString&) override { ++messages; }
    bool ask(QuestionKind, const QString&) override { return false; }
    QString chooseDirectory(const QString&) override { return {}; }
    int messages = 0;
};

inline int runWidgetBenchmarks(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace jl::bench
