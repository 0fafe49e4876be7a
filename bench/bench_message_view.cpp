// The message view with big texts: setting 5 MB at once, colouring 20,000
// ranges (and, for comparison, the same through document character formats),
// appending 100,000 lines in one update, finding over the whole text. Each
// measured step ends with a repaint of the visible part, as the user sees it.

#include "view/widgets/message_view.h"

#include "bench_support.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

using jl::ColourSpan;
using jl::MessageView;
using jl::TextColour;

QString headerLine(int i) {
    return QStringLiteral("Received: from host%1.example.com (10.0.%2.%3) by mx.example.org id %4")
        .arg(i)
        .arg(i % 256)
        .arg(i % 199)
        .arg(i * 7919, 8, 16, QLatin1Char('0'));
}

const QString& fiveMegabytes() {
    static const QString text = [] {
        QString t;
        t.reserve(5'100'000);
        for (int i = 0; t.size() < 5'000'000; ++i) {
            if (i > 0)
                t += QLatin1Char('\n');
            t += headerLine(i);
        }
        return t;
    }();
    return text;
}

std::vector<ColourSpan> evenSpans(int textLength, int count, int offset) {
    std::vector<ColourSpan> spans;
    const int step = textLength / count;
    for (int i = 0; i < count; ++i) {
        const TextColour colour = i % 3 == 0   ? TextColour::Blue
                                  : i % 3 == 1 ? TextColour::Green
                                               : TextColour::Red;
        spans.push_back({i * step + offset, 10, colour});
    }
    return spans;
}

void showView(QPlainTextEdit& view) {
    view.resize(900, 600);
    view.show();
    QApplication::processEvents();
}

void BM_SetWholeText5MB(benchmark::State& state) {
    MessageView view;
    showView(view);
    const QString& text = fiveMegabytes();
    for (auto _ : state) {
        view.setWholeText(text);
        view.viewport()->repaint();
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_SetWholeText5MB)->Unit(benchmark::kMillisecond);

void BM_ApplyColours20000(benchmark::State& state) {
    MessageView view;
    showView(view);
    view.setWholeText(fiveMegabytes());
    const int n = view.textLength();
    // Alternate between two colourings so that every run also resets the last.
    const std::vector<ColourSpan> spans[2] = {evenSpans(n, 20'000, 0), evenSpans(n, 20'000, 5)};
    int which = 0;
    for (auto _ : state) {
        view.applyColours(spans[which]);
        view.viewport()->repaint();
        which ^= 1;
    }
    state.SetItemsProcessed(state.iterations() * 20'000);
}
BENCHMARK(BM_ApplyColours20000)->Unit(benchmark::kMillisecond);

// The same colouring through character formats in one edit block, the way a
// rich-text document holds colour; kept as the figure the view is measured by.
void BM_CharFormatColours20000(benchmark::State& state) {
    QPlainTextEdit view;
    view.setReadOnly(true);
    view.setLineWrapMode(QPlainTextEdit::NoWrap);
    view.document()->setUndoRedoEnabled(false);
    showView(view);
    view.setPlainText(fiveMegabytes());
    const int n = view.document()->characterCount() - 1;
    const std::vector<ColourSpan> spans[2] = {evenSpans(n, 20'000, 0), evenSpans(n, 20'000, 5)};
    int which = 0;
    for (auto _ : state) {
        QTextCursor cursor(view.document());
        cursor.beginEditBlock();
        cursor.select(QTextCursor::Document);
        cursor.setCharFormat(QTextCharFormat());
        for (const ColourSpan& span : spans[which]) {
            QTextCharFormat format;
            format.setForeground(MessageView::colourOf(span.colour));
            cursor.setPosition(span.start);
            cursor.setPosition(span.start + span.length, QTextCursor::KeepAnchor);
            cursor.mergeCharFormat(format);
        }
        cursor.endEditBlock();
        view.viewport()->repaint();
        which ^= 1;
    }
    state.SetItemsProcessed(state.iterations() * 20'000);
}
BENCHMARK(BM_CharFormatColours20000)->Unit(benchmark::kMillisecond);

void BM_AppendLines100000InOneUpdate(benchmark::State& state) {
    MessageView view;
    showView(view);
    std::vector<QString> lines;
    lines.reserve(100'000);
    for (int i = 0; i < 100'000; ++i)
        lines.push_back(headerLine(i));
    for (auto _ : state) {
        view.clearText();
        view.beginUpdate();
        for (const QString& line : lines)
            view.appendLine(line);
        view.endUpdate();
        view.viewport()->repaint();
    }
    state.SetItemsProcessed(state.iterations() * 100'000);
}
BENCHMARK(BM_AppendLines100000InOneUpdate)->Unit(benchmark::kMillisecond);

// The same lines joined and set at once: what the update above should cost.
void BM_SetText100000Lines(benchmark::State& state) {
    MessageView view;
    showView(view);
    QStringList lines;
    for (int i = 0; i < 100'000; ++i)
        lines.push_back(headerLine(i));
    const QString text = lines.join(QLatin1Char('\n'));
    for (auto _ : state) {
        view.setWholeText(text);
        view.viewport()->repaint();
    }
    state.SetItemsProcessed(state.iterations() * 100'000);
}
BENCHMARK(BM_SetText100000Lines)->Unit(benchmark::kMillisecond);

// A search that runs the whole 5 MB without a match, letter case ignored.
void BM_FindOver5MB(benchmark::State& state) {
    MessageView view;
    view.setWholeText(fiveMegabytes());
    const int n = view.textLength();
    for (auto _ : state)
        benchmark::DoNotOptimize(view.find(QStringLiteral("no-such-host.invalid"), 0, n));
    state.SetBytesProcessed(state.iterations() * n);
}
BENCHMARK(BM_FindOver5MB)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return jl::bench::runWidgetBenchmarks(argc, argv);
}
