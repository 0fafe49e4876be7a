#pragma once
// The scan for files without interesting items, in batch: every file is read
// by the message reader under a view filter and its view text is searched for
// the items by one automaton built once for the whole batch. A file is
// decided as the window's scan decides it when it is shown under colour
// coding "everything".

#include "items/item_matcher.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace jl {

class LockTable;

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
    // Per item (in the scanner's item order), whether it occurs; filled only
    // when each item was asked for, all false unless Read.
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
    // items in the order the results use; filter is the view filter (0 to 2);
    // decodeMime reads the decoded text of each file (ReaderHooks).
    BatchScanner(const QStringList& items, int filter, bool decodeMime = false);

    const QStringList& items() const { return m_matcher.items(); }
    int filter() const { return m_filter; }
    bool decodeMime() const { return m_decodeMime; }

    // Decides every path, on up to `threads` worker threads (0: as many as
    // the machine has, at most 4), and hands each verdict to onVerdict on the
    // calling thread in the order of paths. Each file is read and its view
    // text searched: with each, for which items occur in it (the verdict's
    // present), otherwise only for whether any does, which stops reading at
    // the first line that holds one. listedRegular, when given, tells for
    // each path whether it was just listed as a regular file (ReaderHooks).
    void decideAll(const QStringList& paths, bool each, int threads,
                   const std::function<void(int index, const FileVerdict& verdict)>& onVerdict,
                   const QList<bool>& listedRegular = {}) const;
    // As decideAll, but ends as soon as onVerdict returns false: no verdict
    // after that one is handed on, and the threads stop taking new paths.
    // Returns the number of verdicts handed on.
    int decideUntil(const QStringList& paths, bool each, int threads,
                    const std::function<bool(int index, const FileVerdict& verdict)>& onVerdict,
                    const QList<bool>& listedRegular = {}) const;

    // Decides one path on the calling thread. locks: the calling thread's
    // lock table (none: every file is probed); listedRegular as above.
    FileVerdict decide(const QString& path, bool each, LockTable* locks = nullptr,
                       bool listedRegular = false) const;

private:
    ItemMatcher m_matcher;
    int m_filter;
    bool m_decodeMime;
    // No item holds a line break, so no match spans two view lines and the
    // text can be searched as it grows.
    bool m_lineByLine = true;
};

} // namespace jl
