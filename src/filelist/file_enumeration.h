#pragma once
// Filling the file list from the file system: the directory enumerator used by
// "Files in Directory" and by dropped directories, and the routine that adds a
// set of dropped names (files and directories) to the list.

#include "util/sorted_list.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

namespace jl {

struct AddFilesOptions {
    // A path that the list already holds, or that came earlier in the same
    // enumeration, is not added. Paths are the same only when they are equal
    // character for character (letter case counts, as it does in file names).
    bool skipDuplicates = true;
    // Add directory prefix + file name instead of the bare file name.
    bool fullPath = true;
    // When false, every occurrence of the file name's extension (from its
    // last ".") is removed from the name as built.
    bool keepExtension = true;
    // Turn the file name to lower case before the prefix is added.
    bool lowerCase = false;
    // Stands for the progress label: when set, it receives every 21st name,
    // and pending events are let run after it.
    std::function<void(const QString& name)> progress;
    // Lets pending events run (after progress, and once at the end).
    std::function<void()> pumpEvents;
    // When on, only files whose last modification is not earlier than
    // minimumDateTime are added.
    bool dateFilter = false;
    QDateTime minimumDateTime;
    // Asked before every entry after the first; true ends the enumeration.
    std::function<bool()> stop;
    // Told about every regular file left out because its name cannot live in
    // the list: it holds a line break, or its bytes are not valid in the
    // system's encoding (the name could not be opened again from the list).
    std::function<void(const QByteArray& rawPath, const QString& reason)> skippedName;
};

// Adds the files of a directory to the target list and returns how many were
// added. A path ending in "/" lists the whole directory; any other path is a
// pattern with shell wildcards on its last component. Only the directory's own
// entries are taken, hidden ones included; only regular files and links to
// regular files (named pipes, sockets, devices, links to directories and
// dangling links are left out). The new names are merged into the list in one
// batch. A directory that cannot be read adds nothing.
int Add_Files_From_Directory(SortedList& target, const QString& path,
                             const AddFilesOptions& options);

// The two halves of Add_Files_From_Directory, for work off the user-interface
// thread: listDirectory() reads the directory and touches no list (its
// options' callbacks run on the calling thread; pumpEvents is not called),
// mergeNamesIntoList() merges what it found into the list in one batch and
// returns how many were added.
//
// A listing ended by the stop request before the last entry fills *stopped
// (when given): it looked at filesSeen of the filesInDirectory regular files
// (and links to them) the directory or pattern holds; the rest are counted
// without being taken.
struct ListingStop {
    bool stopped = false;
    qint64 filesSeen = 0;
    qint64 filesInDirectory = 0;
};
QStringList listDirectory(const QString& path, const AddFilesOptions& options,
                          ListingStop* stopped = nullptr);
int mergeNamesIntoList(SortedList& target, const QStringList& names, bool skipDuplicates);
// The notice after Files in Directory was stopped: how many of the
// directory's files were looked at and added, and that choosing it again
// adds the rest.
QString directoryStoppedNotice(const QString& directory, const ListingStop& stop, int added);

struct DropOutcome {
    int added = 0;
    // Names passed over: empty, ".", "..", names of nothing that exists, and
    // names a list file cannot keep (a line break, a NUL, half a character).
    QStringList ignored;
};

// Adds dropped names to the file list, in the order given: an existing
// directory gives its own files (as Add_Files_From_Directory on path + "/"),
// a regular file (or a link to one) is added when the list does not hold the same path yet; a
// named pipe, a device or a socket is left out and told to options.skippedName. The options are
// used for the directories (progress, stop flag, events); callers pass the same as "Files in
// Directory".
DropOutcome dropNamesIntoList(SortedList& list, const QStringList& names,
                              const AddFilesOptions& options);

// The options "Files in Directory" and a drop use: skip duplicates, full
// paths, extensions and letter case kept, no date filter.
AddFilesOptions fileListOptions();

} // namespace jl
