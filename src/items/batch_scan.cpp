#include "items/batch_scan.h"

#include "view/message_reader.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <cerrno>
#include <sys/stat.h>

namespace jl {

namespace {

// The view text of one file, searched for the items while it grows so that
// reading stops once an item is found. Searched pieces begin at a line end;
// since no item holds a line break, no match is lost at a piece boundary.
class SearchingViewText : public ViewTextBuilder {
public:
    SearchingViewText(const ColourMatcher& matcher, bool lineByLine)
        : m_matcher(matcher), m_lineByLine(lineByLine) {}

    void appendLine(std::string_view line) override {
        if (m_found)
            return;
        ViewTextBuilder::appendLine(line);
        if (m_lineByLine && text().size() - m_searched >= SearchEvery)
            searchNewText();
    }
    bool full() const override { return m_found || ViewTextBuilder::full(); }

    // Searches what is left; true when the text holds any item.
    bool holdsAnyItem() {
        if (!m_found) {
            if (m_lineByLine)
                searchNewText();
            else
                m_found = m_matcher.containsAnyItem(std::string_view(text()));
        }
        return m_found;
    }

private:
    static constexpr size_t SearchEvery = 16 * 1024;

    void searchNewText() {
        const std::string_view all(text());
        m_found = m_matcher.containsAnyItem(all.substr(m_searched));
        m_searched = all.size();
    }

    const ColourMatcher& m_matcher;
    const bool m_lineByLine;
    size_t m_searched = 0;
    bool m_found = false;
};

// Whether anything is at the path (links followed): a missing file, a
// dangling link and a path through a non-directory all count as no file.
bool exists(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) == 0)
        return true;
    return errno != ENOENT && errno != ENOTDIR;
}

bool holdsLineBreak(const QString& text) {
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

} // namespace

BatchScanner::BatchScanner(const QStringList& items, int filter)
    : m_matcher(items), m_filter(filter),
      m_lineByLine(std::none_of(items.begin(), items.end(), holdsLineBreak)) {}

FileVerdict BatchScanner::decideAny(const QString& path) const {
    return decide(path, false);
}

FileVerdict BatchScanner::decideEach(const QString& path) const {
    return decide(path, true);
}

FileVerdict BatchScanner::decide(const QString& path, bool each) const {
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
    const LoadResult load = Load_File_Into_View(path, view, hooks);

    if (load.status == kStatusEmpty) {
        verdict.outcome = ScanOutcome::Empty;
        return verdict;
    }
    if (load.status == kStatusInUse) {
        verdict.outcome = ScanOutcome::InUse;
        return verdict;
    }
    if (load.status == kStatusCannotRead && !exists(path)) {
        // Asked only now, so that a file that is there costs no extra probe.
        verdict.outcome = ScanOutcome::Missing;
        return verdict;
    }
    if (load.status == kStatusCannotRead || load.status == kStatusReadError) {
        // A file cut short by a read error is not decided on part of its text.
        verdict.outcome = ScanOutcome::Unreadable;
        verdict.reason = load.error.isEmpty() ? QStringLiteral("read error") : load.error;
        return verdict;
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
    const std::function<void(int index, const FileVerdict& verdict)>& onVerdict) const {
    const int count = int(paths.size());
    if (threads <= 0)
        threads = int(std::min(4u, std::max(1u, std::thread::hardware_concurrency())));
    threads = std::min(threads, count);
    if (threads <= 1) {
        for (int i = 0; i < count; ++i)
            onVerdict(i, decide(paths.at(i), each));
        return;
    }

    // Workers take the next path in turn; the calling thread hands the
    // verdicts on in list order as they become ready.
    std::vector<FileVerdict> verdicts(size_t(count), FileVerdict{});
    std::vector<char> ready(size_t(count), 0);
    std::mutex mutex;
    std::condition_variable readyChanged;
    std::atomic<int> next{0};
    std::atomic<bool> cancelled{false};
    auto work = [&] {
        for (int i = next++; i < count && !cancelled; i = next++) {
            FileVerdict verdict = decide(paths.at(i), each);
            const std::lock_guard<std::mutex> lock(mutex);
            verdicts[size_t(i)] = std::move(verdict);
            ready[size_t(i)] = 1;
            readyChanged.notify_all();
        }
    };
    std::vector<std::thread> workers;
    workers.reserve(size_t(threads));
    for (int t = 0; t < threads; ++t)
        workers.emplace_back(work);
    try {
        for (int i = 0; i < count; ++i) {
            FileVerdict verdict;
            {
                std::unique_lock<std::mutex> lock(mutex);
                readyChanged.wait(lock, [&] { return ready[size_t(i)] != 0; });
                verdict = std::move(verdicts[size_t(i)]);
                verdicts[size_t(i)] = FileVerdict{};
            }
            onVerdict(i, verdict);
        }
    } catch (...) {
        cancelled = true;
        for (std::thread& worker : workers)
            worker.join();
        throw;
    }
    for (std::thread& worker : workers)
        worker.join();
}

QStringList filesWithoutItems(
    const QStringList& paths, const QStringList& items, int filter,
    const std::function<void(const QString& path, const QString& reason)>& onUnreadable) {
    const BatchScanner scanner(items, filter);
    QStringList clean;
    scanner.decideAll(paths, false, 0, [&](int index, const FileVerdict& verdict) {
        if (verdict.outcome == ScanOutcome::Unreadable && onUnreadable)
            onUnreadable(paths.at(index), verdict.reason);
        if (verdict.holdsNoItem())
            clean.append(paths.at(index));
    });
    return clean;
}

HitCounts
countItemHits(const QStringList& paths, const QStringList& items, int filter,
              const std::function<void(const QString& path, const QString& reason)>& onUnreadable) {
    const BatchScanner scanner(items, filter);
    HitCounts counts;
    counts.perItem.assign(size_t(items.size()), 0);
    scanner.decideAll(paths, true, 0, [&](int index, const FileVerdict& verdict) {
        if (verdict.outcome == ScanOutcome::Unreadable && onUnreadable)
            onUnreadable(paths.at(index), verdict.reason);
        if (!verdict.isDecided())
            return;
        for (size_t i = 0; i < verdict.present.size(); ++i)
            if (verdict.present[i])
                ++counts.perItem[i];
        if (!verdict.holdsAnyItem)
            ++counts.withoutItems;
    });
    return counts;
}

} // namespace jl
