#pragma once
// The tool's own files (the settings file and the two list files) live in a
// folder that may be shared with other users. Two rules keep those users from
// turning the tool against the person running it:
// - A symbolic link standing at one of these files is followed only as the
//   kernel's protected-symlinks rule follows a link in a sticky folder, but
//   in every folder: when the link belongs to the user running the tool, or
//   to the owner of the folder that holds it. Each link of a chain is tested.
// - Saves leave temporary files beside the file they replace
//   (".<name>.tmp-<random>", and ".<name>.inplace-<random>" for a save that
//   rewrites the file in place). Those left behind by an interrupted save are
//   cleared at start.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace jl {

struct OwnFileTarget {
    QByteArray path; // the file the links lead to (the path itself without a link)
    QString refusal; // not empty: a link that is not followed, and why
};

// The folder part of a native path ("." for a bare name, "/" at the root).
QByteArray nativeDirectoryOf(const QByteArray& path);

// Follows the links at path under the rule above. A missing file, or a
// dangling link, gives the path as far as the links lead.
OwnFileTarget resolveOwnFileLinks(const QByteArray& path);

// The temporary file name patterns of a save of target (a native path).
QByteArray temporaryFilePrefix(const QByteArray& target);
QByteArray inPlaceCopyPrefix(const QByteArray& target);

// For each of the given files (full paths): an in-place copy of ours beside it
// means a rewrite in place was interrupted; the copy holds the whole new
// contents and is written into the file again, then removed. Temporary files
// of ours beside it are removed, unless a save still holds them. Files of
// other users and names of any other pattern are left alone. Returns the
// paths of the files restored from an in-place copy.
QStringList clearStaleSaveFiles(const QStringList& ownFiles);

} // namespace jl
