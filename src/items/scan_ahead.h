#pragma once
// The window's scan for the next file without interesting items, decided
// ahead by the batch engine instead of showing every file on the way.
//
// Shown one by one, a file leaves the scan going when its processing does not
// clear the found-any flag: it holds an item (colour coding 2 and 3), it names
// no file (the view shows the missing-file line and is not colour coded), or
// it could not be read (during a scan the view shows the unreadable-file line
// instead of a box). Every other file stops the scan: it is colour coded
// and, under colour coding 0 and 1 or without an item in its view text,
// clears the flag. scanAhead() decides the files from `from` on in list
// order, off the user-interface thread, until the first one on which the
// window has to look for itself: a file that stops the scan, or a file whose
// reading failed part-way (the window colour codes what it read, so only the
// window can tell). Only that one is then processed into the view.

#include "items/batch_scan.h"
#include "util/background_job.h"

#include <QString>
#include <QStringList>

namespace jl {

// How the scan passes over a file that does not stop it.
enum class PassKind {
    HoldsItems, // read, and its view text holds an item
    NoFile,     // the path is empty or names no file (or a directory)
    Unreadable, // a file that could not be read
};

// How a file shown by the scan counts, from its verdict: whether the window
// passes over it, and how.
struct ScanStep {
    bool passes = false;
    PassKind kind = PassKind::HoldsItems;
};
// itemsCount: the colour-coding option searches the items (2 and 3).
ScanStep scanStep(const QString& path, const FileVerdict& verdict, bool itemsCount);

struct ScanAhead {
    // The index of the first file that the window must process itself, or -1
    // when every file from `from` on is passed over (or the work was stopped
    // before one was found).
    int stopAt = -1;
    // The last index decided and passed over (from - 1 when none).
    int reached = -1;
    // The last file passed over whose processing would have written the
    // caption (it exists), -1 when none did.
    int lastCaptioned = -1;
    // How many files were passed over as unreadable.
    int unreadable = 0;
    // The work was asked to stop before it reached its end.
    bool stopped = false;
};

// Decides paths[from..] with the scanner (its filter is the view filter)
// until the first file that the window must process, reporting files decided
// of the files left. threads as for BatchScanner::decideAll.
ScanAhead scanAhead(const BatchScanner& scanner, const QStringList& paths, int from,
                    bool itemsCount, const JobControl& control, int threads = 0);

// The view's line for a file that the scan passed over because it could not
// be read (reason: the system's), beside the missing-file line.
QString unreadableFileLine(const QString& reason);
// The notice after a scan that passed over count (> 0) unreadable files.
QString unreadableFilesMessage(int count);

} // namespace jl
