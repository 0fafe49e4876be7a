#include "items/scan_ahead.h"

#include "util/file_helpers.h"

#include <algorithm>

namespace jl {

ScanStep scanStep(const QString& path, const FileVerdict& verdict, bool itemsCount) {
    switch (verdict.outcome) {
    case ScanOutcome::Read:
        // Colour coding 0 and 1 clear the flag on every file they colour.
        return {itemsCount && verdict.holdsAnyItem, PassKind::HoldsItems};
    case ScanOutcome::Empty:
    case ScanOutcome::InUse:
        return {false, PassKind::HoldsItems};
    case ScanOutcome::Missing: // the engine has looked: nothing is there
        return {true, PassKind::NoFile};
    case ScanOutcome::Unreadable:
        break;
    }
    // The window tells a missing file by its own test, which counts a
    // directory (and a path it may not look into) as no file.
    if (path.isEmpty() || !isExistingFile(path))
        return {true, PassKind::NoFile};
    if (verdict.outcome == ScanOutcome::Unreadable && verdict.cutShort)
        return {false, PassKind::Unreadable};
    return {true, PassKind::Unreadable};
}

ScanAhead scanAhead(const BatchScanner& scanner, const QStringList& paths, int from,
                    bool itemsCount, const JobControl& control, int threads) {
    ScanAhead ahead;
    from = std::max(0, from);
    ahead.reached = from - 1;
    const qint64 left = std::max<qint64>(0, paths.size() - from);
    if (left == 0)
        return ahead;
    control.reportProgress(0, left);
    const QStringList rest = paths.mid(from);
    scanner.decideUntil(rest, false, threads, [&](int offset, const FileVerdict& verdict) {
        if (control.stopRequested()) {
            ahead.stopped = true;
            return false;
        }
        const int index = from + offset;
        const QString& path = paths.at(index);
        const ScanStep step = scanStep(path, verdict, itemsCount);
        if (!step.passes) {
            ahead.stopAt = index;
            return false;
        }
        ahead.reached = index;
        if (step.kind != PassKind::NoFile)
            ahead.lastCaptioned = index;
        if (step.kind == PassKind::Unreadable)
            ++ahead.unreadable;
        control.reportProgress(offset + 1, left);
        return true;
    });
    return ahead;
}

QString unreadableFileLine(const QString& reason) {
    return QStringLiteral(" *** Error: File could NOT be read (%1) !!").arg(reason);
}

QString unreadableFilesMessage(int count) {
    return count == 1
               ? QStringLiteral("The scan passed over 1 file that could not be read.")
               : QStringLiteral("The scan passed over %1 files that could not be read.").arg(count);
}

} // namespace jl
