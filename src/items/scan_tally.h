#pragma once
// The counts of a batch scan over a pile of files, as junkloupe-cli hits and
// the window's statistics give them: per item the files whose view text
// holds it, and the files examined, holding no item, or passed over. Every
// count is a count of files, so the counts of parts of a pile add up to those
// of the whole.

#include "items/batch_scan.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace jl {

struct ScanTally {
    ScanTally() = default;
    // No file counted yet, for the items in the order the counts use.
    ScanTally(const QStringList& items, int filter, bool decoded = false);

    int filter = 1;
    bool decoded = false; // MIME parts were decoded
    QStringList items;
    std::vector<qint64> files; // per item: files whose view text holds it
    qint64 examined = 0;       // files read, empty or in use
    qint64 without = 0;        // of those, files whose view text holds no item
    qint64 unreadable = 0;     // files that could not be read, names of no file

    // Counts one file by its verdict (per item when the verdict says which
    // items the file holds). Returns how many items it holds; *lastItem is
    // the last of them (by index) when it holds any.
    int add(const FileVerdict& verdict, int* lastItem = nullptr);
    int deadItems() const; // items that no file holds
};

} // namespace jl
