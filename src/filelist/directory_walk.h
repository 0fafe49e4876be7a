#pragma once
// The one walk over directories, for the window's file list and for
// junkloupe-cli: which entries of a directory are files to take, which are
// directories to descend into, and each directory walked once however often it
// is reached. What a caller makes of a file (its name's rules, a date filter,
// a report) is the caller's.

#include <QByteArray>

#include <deque>
#include <functional>
#include <set>
#include <utility>
#include <vector>

#include <sys/stat.h>

namespace jl {

struct WalkOptions {
    bool recursive = false;   // descend into sub-directories
    bool followLinks = false; // and, when recursive, through links to directories
    // Shell wildcards that the entries' names must match (letter case counts);
    // empty: every entry.
    QByteArray pattern;
    // Give every file's status to WalkVisitor::file, not only a link's.
    bool fileStatus = false;
    // Asked before every entry after the first that matches the pattern; true
    // ends the walk.
    std::function<bool()> stop;
};

// What the walk meets, told as it meets it. Paths are spelt as the directory
// was given, then the entry's name (with a "/" between when the directory
// does not end in one).
class WalkVisitor {
public:
    virtual ~WalkVisitor() = default;
    // A regular file, or a link to one, in directory. status is the file's
    // (links followed) for a link, and for every file with
    // WalkOptions::fileStatus; null otherwise.
    virtual void file(const QByteArray& directory, const char* name, const struct stat* status) = 0;
    // An entry or a directory that could not be looked at or listed: the errno.
    // A dangling link, a link loop, and an entry gone while the walk reached
    // it are no problem: they are passed over like anything that is no file
    // and no directory.
    virtual void problem(const QByteArray& path, int error);
    // The sub-directories of directory left out because the walk does not
    // descend (links to directories among them); told when there are any.
    virtual void subdirectoriesLeftOut(const QByteArray& directory, int count);
    // A sub-directory that is one of the directories above it: not walked.
    virtual void loop(const QByteArray& path);
};

class DirectoryWalk {
public:
    DirectoryWalk(const WalkOptions& options, WalkVisitor& visitor);

    // Walks the directory (links in its path followed) and, when recursive,
    // its sub-directories: each after the files of the one above it, in byte
    // order of their names; those reached through a link after everything
    // reached without one, so that a file is found under a path without a
    // link where it has one.
    void walk(const QByteArray& directory);
    // The same for a directory that was named through a link: it is walked
    // by finish(), after every directory reached without a link.
    void walkLater(const QByteArray& directory);
    // Walks what was put off. Call once the names are all given.
    void finish();

    // directory + "/" + name, without doubling a "/" at the directory's end.
    static QByteArray entryPath(const QByteArray& directory, const char* name);

private:
    struct DirectoryId {
        dev_t device;
        ino_t inode;
        bool operator==(const DirectoryId&) const = default;
    };
    bool statDirectory(const QByteArray& path, DirectoryId& id);
    void directory(const QByteArray& path, std::vector<DirectoryId>& ancestors);

    const WalkOptions& m_options;
    WalkVisitor& m_visitor;
    bool m_first = true;
    bool m_stopped = false;
    std::set<std::pair<dev_t, ino_t>> m_walked;
    // Links to directories not walked yet, with the directories above them.
    std::deque<std::pair<QByteArray, std::vector<DirectoryId>>> m_later;
};

} // namespace jl
