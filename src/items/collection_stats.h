#pragma once
// What the collected items cover in a pile of files, by the engine of the
// command-line `hits`: per item the files whose view text holds it, the items
// that hold no file, the files that no item covers and the files that exactly
// one item covers (and which). Plain data, made off the user-interface
// thread; the window shows it.

#include "items/batch_scan.h"
#include "items/scan_tally.h"
#include "util/background_job.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace jl {

// The tally of the scan (the files per item are int-sized here: the pile is
// the window's file list) and what the statistics page adds to it.
struct CollectionStats : ScanTally {
    std::vector<int> alone; // per item: files that it alone covers
    int listed = 0;         // files in the pile
    QStringList uncovered;  // files whose view text holds no item, in list order
    struct Single {
        QString path;
        int item = 0; // index into items
    };
    std::vector<Single> single; // files that exactly one item covers, in list order
    bool complete = true;       // false when stopped before the last file
};

// Counts over every path, on up to `threads` threads as the engine does;
// reports files done of all. A stop request ends the count early with what
// was counted so far (complete false).
CollectionStats collectStats(const BatchScanner& scanner, const QStringList& paths,
                             const JobControl& control, int threads = 0);

// The index of the first file after `after` whose view text holds any of the
// scanner's items, going on from the top of the list after its end and ending
// with `after` itself; -1 when none does (or the work was stopped).
int nextFileHolding(const BatchScanner& scanner, const QStringList& paths, int after,
                    const JobControl& control, int threads = 0);

} // namespace jl
