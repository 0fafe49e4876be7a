#include "items/collection_stats.h"

#include <algorithm>

namespace jl {

CollectionStats collectStats(const BatchScanner& scanner, const QStringList& paths,
                             const JobControl& control, int threads) {
    CollectionStats stats;
    static_cast<ScanTally&>(stats) =
        ScanTally(scanner.items(), scanner.filter(), scanner.decodeMime());
    stats.alone.assign(size_t(stats.items.size()), 0);
    stats.listed = int(paths.size());
    control.reportProgress(0, stats.listed);

    scanner.decideUntil(paths, true, threads, [&](int index, const FileVerdict& verdict) {
        if (control.stopRequested())
            return false;
        control.reportProgress(index + 1, stats.listed);
        int only = -1;
        const int holding = stats.add(verdict, &only);
        if (!verdict.isDecided())
            return true;
        if (holding == 0) {
            stats.uncovered.append(paths.at(index));
        } else if (holding == 1) {
            ++stats.alone[size_t(only)];
            stats.single.push_back({paths.at(index), only});
        }
        return true;
    });
    // The verdict that met the stop request was not counted.
    stats.complete = stats.examined + stats.unreadable == stats.listed;
    return stats;
}

int nextFileHolding(const BatchScanner& scanner, const QStringList& paths, int after,
                    const JobControl& control, int threads) {
    const int count = int(paths.size());
    if (count == 0)
        return -1;
    after = std::clamp(after, -1, count - 1);
    // The files after `after`, then those from the top up to it.
    const int start = after + 1;
    const QStringList order = paths.mid(start) + paths.mid(0, start);
    int found = -1;
    control.reportProgress(0, count);
    scanner.decideUntil(order, false, threads, [&](int offset, const FileVerdict& verdict) {
        if (control.stopRequested())
            return false;
        control.reportProgress(offset + 1, count);
        if (verdict.outcome == ScanOutcome::Read && verdict.holdsAnyItem) {
            found = (start + offset) % count;
            return false;
        }
        return true;
    });
    return found;
}

} // namespace jl
