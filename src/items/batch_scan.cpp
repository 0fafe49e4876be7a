#include "items/batch_scan.h"

#include "view/message_reader.h"

#include <QFileInfo>

namespace jl {

BatchScanner::BatchScanner(const QStringList& items, int filter)
    : m_matcher(items), m_filter(filter) {}

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
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        verdict.outcome = ScanOutcome::Missing;
        return verdict;
    }

    ViewTextBuilder view;
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
    if (load.status == kStatusCannotRead || load.status == kStatusReadError) {
        // A file cut short by a read error is not decided on part of its text.
        verdict.outcome = ScanOutcome::Unreadable;
        verdict.reason = load.error.isEmpty() ? QStringLiteral("read error") : load.error;
        return verdict;
    }

    verdict.outcome = ScanOutcome::Read;
    const std::string_view text(view.text());
    if (each) {
        verdict.present = m_matcher.itemsPresent(text);
        for (const bool p : verdict.present) {
            if (p) {
                verdict.holdsAnyItem = true;
                break;
            }
        }
    } else {
        verdict.holdsAnyItem = m_matcher.containsAnyItem(text);
    }
    return verdict;
}

QStringList filesWithoutItems(
    const QStringList& paths, const QStringList& items, int filter,
    const std::function<void(const QString& path, const QString& reason)>& onUnreadable) {
    const BatchScanner scanner(items, filter);
    QStringList clean;
    for (const QString& path : paths) {
        const FileVerdict verdict = scanner.decideAny(path);
        if (verdict.outcome == ScanOutcome::Unreadable && onUnreadable)
            onUnreadable(path, verdict.reason);
        if (verdict.holdsNoItem())
            clean.append(path);
    }
    return clean;
}

HitCounts
countItemHits(const QStringList& paths, const QStringList& items, int filter,
              const std::function<void(const QString& path, const QString& reason)>& onUnreadable) {
    const BatchScanner scanner(items, filter);
    HitCounts counts;
    counts.perItem.assign(size_t(items.size()), 0);
    for (const QString& path : paths) {
        const FileVerdict verdict = scanner.decideEach(path);
        if (verdict.outcome == ScanOutcome::Unreadable && onUnreadable)
            onUnreadable(path, verdict.reason);
        if (!verdict.isDecided())
            continue;
        for (size_t i = 0; i < verdict.present.size(); ++i)
            if (verdict.present[i])
                ++counts.perItem[i];
        if (!verdict.holdsAnyItem)
            ++counts.withoutItems;
    }
    return counts;
}

} // namespace jl
