#pragma once
// The scan for files without interesting items, in batch: every file is read
// by the message reader under a view filter and its view text is searched for
// the items by one automaton built once for the whole batch. A file is
// decided as the window's scan decides it when it is shown under colour
// coding "everything".

#include "view/colour_coding.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace jl {

enum class ScanOutcome {
    Read,       // the file was read and its view text searched
    Missing,    // no file at the path: passed over
    Empty,      // size 0: holds no item
    InUse,      // held by another process: holds no item (the view stays empty)
    Unreadable, // could not be opened or read, or is not a regular file: passed over
};

struct FileVerdict {
    ScanOutcome outcome = ScanOutcome::Missing;
    // Whether the view text holds any non-empty item (false unless Read).
    bool holdsAnyItem = false;
    // Per item (in the scanner's item order), whether it occurs; filled by
    // decideEach only, all false unless Read.
    std::vector<bool> present;
    // The system's reason when Unreadable.
    QString reason;
    // Unreadable because reading failed part-way: the window shows, and
    // searches, the lines read before the failure.
    bool cutShort = false;

    // True when the window's scan would stop on the file or pass it as
    // holding items: it was read, or counts as holding no item.
    bool isDecided() const {
        return outcome == ScanOutcome::Read || outcome == ScanOutcome::Empty ||
               outcome == ScanOutcome::InUse;
    }
    // True when the window's scan would stop on the file.
    bool holdsNoItem() const { return isDecided() && !holdsAnyItem; }
};

class BatchScanner {
public:
    // items in the order the results use; filter is the view filter (0 to 2).
    BatchScanner(const QStringList& items, int filter);

    const QStringList& items() const { return m_matcher.items(); }
    int filter() const { return m_filter; }

    // Reads the file and tells whether any item occurs in its view text.
    FileVerdict decideAny(const QString& path) const;
    // Reads the file and tells which items occur in its view text.
    FileVerdict decideEach(const QString& path) const;

    // Decides every path, on up to `threads` worker threads (0: as many as
    // the machine has, at most 4), and hands each verdict to onVerdict on the
    // calling thread in the order of paths.
    void
    decideAll(const QStringList& paths, bool each, int threads,
              const std::function<void(int index, const FileVerdict& verdict)>& onVerdict) const;
    // As decideAll, but ends as soon as onVerdict returns false: no verdict
    // after that one is handed on, and the threads stop taking new paths.
    // Returns the number of verdicts handed on.
    int
    decideUntil(const QStringList& paths, bool each, int threads,
                const std::function<bool(int index, const FileVerdict& verdict)>& onVerdict) const;

private:
    FileVerdict decide(const QString& path, bool each) const;

    ColourMatcher m_matcher;
    int m_filter;
    // No item holds a line break, so no match spans two view lines and the
    // text can be searched as it grows.
    bool m_lineByLine = true;
};

// The files of paths (in their order) on which the window's scan would stop.
// Every file passed over as unreadable is told to onUnreadable.
QStringList filesWithoutItems(
    const QStringList& paths, const QStringList& items, int filter,
    const std::function<void(const QString& path, const QString& reason)>& onUnreadable = {});

struct HitCounts {
    std::vector<int> perItem; // files whose view text holds the item, by item index
    int withoutItems = 0;     // files whose view text holds none of the items
};

HitCounts countItemHits(
    const QStringList& paths, const QStringList& items, int filter,
    const std::function<void(const QString& path, const QString& reason)>& onUnreadable = {});

} // namespace jl
