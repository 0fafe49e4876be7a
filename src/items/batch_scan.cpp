#include "items/batch_scan.h"

#include "util/file_helpers.h"
#include "util/lock_table.h"
#include "view/message_reader.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace jl {

namespace {

// The view text of one file, searched for the items as the text grows, so
// that reading stops soon after the first line that holds one. No item holds
// a line break, so no match spans two lines: the text is searched up to its
// last line, a batch at a time (small at first, where items are met most, then
// larger), and what was searched is let go. Otherwise the whole text is kept
// and searched at the end.
class SearchingViewText : public ViewTextBuilder {
public:
    SearchingViewText(const ItemMatcher& matcher, bool lineByLine)
        : ViewTextBuilder(DefaultCap, Keep::Text), m_matcher(matcher), m_lineByLine(lineByLine) {
        if (m_lineByLine) {
            keptText().swap(spare());
            keptText().clear();
        }
    }
    ~SearchingViewText() override {
        if (m_lineByLine)
            spare().swap(keptText());
    }
    SearchingViewText(const SearchingViewText&) = delete;
    SearchingViewText& operator=(const SearchingViewText&) = delete;

    void appendLines(int emptyBefore, std::string_view line, int emptyAfter) override {
        ViewTextBuilder::appendLines(emptyBefore, line, emptyAfter);
        if (m_lineByLine && keptText().size() >= m_batch) {
            search();
            m_batch = std::min(2 * m_batch, kLargestBatch);
        }
    }
    bool full() const override { return m_found || ViewTextBuilder::full(); }

    // True when the text holds any item.
    bool holdsAnyItem() {
        search();
        return m_found;
    }

private:
    static constexpr size_t kFirstBatch = 512; // characters of text
    static constexpr size_t kLargestBatch = 32768;
    // The text buffer of the calling thread, kept between files.
    static std::string& spare() {
        thread_local std::string buffer;
        return buffer;
    }
    void search() {
        if (!m_found)
            m_found = m_matcher.containsAnyItem(std::string_view(keptText()));
        if (m_lineByLine)
            keptText().clear();
    }

    const ItemMatcher& m_matcher;
    const bool m_lineByLine;
    bool m_found = false;
    size_t m_batch = kFirstBatch;
};

bool holdsLineBreak(const QString& text) {
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

} // namespace

BatchScanner::BatchScanner(const QStringList& items, int filter, bool decodeMime)
    : m_matcher(items), m_filter(filter), m_decodeMime(decodeMime),
      m_lineByLine(std::none_of(items.begin(), items.end(), holdsLineBreak)) {}

FileVerdict BatchScanner::decide(const QString& path, bool each, LockTable* locks,
                                 bool listedRegular) const {
    FileVerdict verdict;
    if (each)
        verdict.present.assign(size_t(m_matcher.items().size()), false);
    if (path.isEmpty()) {
        verdict.outcome = ScanOutcome::Missing;
        return verdict;
    }

    SearchingViewText view(m_matcher, m_lineByLine && !each);
    ReaderHooks hooks;
    const int filter = m_filter;
    hooks.filter = [filter] { return filter; };
    hooks.locks = locks;
    hooks.decodeMime = m_decodeMime;
    hooks.listedRegular = listedRegular;
    const LoadResult load = Load_File_Into_View(path, view, hooks);

    switch (load.status) {
    case LoadStatus::Empty:
        verdict.outcome = ScanOutcome::Empty;
        return verdict;
    case LoadStatus::InUse:
        verdict.outcome = ScanOutcome::InUse;
        return verdict;
    case LoadStatus::CannotRead:
        // Asked only now, so that a file that is there costs no extra probe.
        if (!isAnythingAt(path)) {
            verdict.outcome = ScanOutcome::Missing;
            return verdict;
        }
        [[fallthrough]];
    case LoadStatus::ReadError:
        // A file cut short by a read error is not decided on part of its text.
        verdict.outcome = ScanOutcome::Unreadable;
        verdict.reason = load.error.isEmpty() ? QStringLiteral("read error") : load.error;
        verdict.cutShort = load.status == LoadStatus::ReadError;
        return verdict;
    case LoadStatus::Read:
        break;
    }

    verdict.outcome = ScanOutcome::Read;
    if (each) {
        verdict.present = m_matcher.itemsPresent(std::string_view(view.text()));
        verdict.holdsAnyItem = std::find(verdict.present.begin(), verdict.present.end(), true) !=
                               verdict.present.end();
    } else {
        verdict.holdsAnyItem = view.holdsAnyItem();
    }
    return verdict;
}

void BatchScanner::decideAll(
    const QStringList& paths, bool each, int threads,
    const std::function<void(int index, const FileVerdict& verdict)>& onVerdict,
    const QList<bool>& listedRegular) const {
    decideUntil(
        paths, each, threads,
        [&onVerdict](int index, const FileVerdict& verdict) {
            onVerdict(index, verdict);
            return true;
        },
        listedRegular);
}

int BatchScanner::decideUntil(
    const QStringList& paths, bool each, int threads,
    const std::function<bool(int index, const FileVerdict& verdict)>& onVerdict,
    const QList<bool>& listedRegular) const {
    const int count = int(paths.size());
    const bool hinted = listedRegular.size() == paths.size();
    auto decideAt = [&](int i, LockTable* locks) {
        return decide(paths.at(i), each, locks, hinted && listedRegular.at(i));
    };
    if (threads <= 0)
        threads = int(std::min(4u, std::max(1u, std::thread::hardware_concurrency())));
    threads = std::min(threads, count);
    // Each thread looks at the system's lock table for itself.
    if (threads <= 1) {
        LockTable locks;
        for (int i = 0; i < count; ++i)
            if (!onVerdict(i, decideAt(i, &locks)))
                return i + 1;
        return count;
    }

    // Every thread, the calling one included, takes the next path in turn.
    // Between its own files the calling thread hands on, in list order, the
    // verdicts that are ready; nobody waits until the paths run out.
    std::vector<FileVerdict> verdicts(static_cast<size_t>(count));
    const std::unique_ptr<std::atomic<bool>[]> ready(new std::atomic<bool>[size_t(count)]);
    for (int i = 0; i < count; ++i)
        ready[size_t(i)].store(false, std::memory_order_relaxed);
    std::atomic<int> next{0};
    std::atomic<bool> cancelled{false};
    auto take = [&]() {
        return cancelled.load(std::memory_order_relaxed) ? count : next.fetch_add(1);
    };
    // A failure on a helper ends the work and is thrown again on the calling
    // thread once the verdicts before it are handed on.
    std::mutex failureMutex;
    std::exception_ptr helperFailure;
    auto work = [&] {
        try {
            LockTable locks;
            for (int i = take(); i < count; i = take()) {
                verdicts[size_t(i)] = decideAt(i, &locks);
                ready[size_t(i)].store(true, std::memory_order_release);
            }
        } catch (...) {
            const std::lock_guard<std::mutex> lock(failureMutex);
            if (!helperFailure)
                helperFailure = std::current_exception();
            cancelled = true;
        }
    };
    std::vector<std::thread> helpers;
    helpers.reserve(size_t(threads - 1));
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(work);
    auto joinHelpers = [&helpers] {
        for (std::thread& helper : helpers)
            if (helper.joinable())
                helper.join();
    };

    int handed = 0;
    bool ended = false; // onVerdict asked for no more
    auto handOnReady = [&] {
        while (!ended && handed < count && ready[size_t(handed)].load(std::memory_order_acquire)) {
            FileVerdict verdict = std::move(verdicts[size_t(handed)]);
            ++handed;
            if (!onVerdict(handed - 1, verdict)) {
                ended = true;
                cancelled = true;
            }
        }
    };
    try {
        LockTable locks;
        for (int i = take(); i < count; i = take()) {
            verdicts[size_t(i)] = decideAt(i, &locks);
            ready[size_t(i)].store(true, std::memory_order_release);
            handOnReady();
        }
        joinHelpers();
        handOnReady();
    } catch (...) {
        cancelled = true;
        joinHelpers();
        throw;
    }
    // A failure after the last verdict wanted does not matter.
    if (helperFailure && !ended)
        std::rethrow_exception(helperFailure);
    return handed;
}

} // namespace jl
