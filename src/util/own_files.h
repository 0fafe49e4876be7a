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
//   cleared at start. An in-place copy names the file it was made for and
//   holds both its old and its new contents: it finishes its save only while
//   the file is still the one it rewrote, as that rewrite left it; otherwise
//   (another member of a shared folder has saved since, the user has, or the
//   copy is not one of ours) it is set aside and the user told.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace jl {

struct OwnFileTarget {
    QByteArray path; // the file the links lead to (the path itself without a link)
    QString error;   // not empty: a link that is not followed, and why
};

// The folder part of a native path ("." for a bare name, "/" at the root).
QByteArray nativeDirectoryOf(const QByteArray& path);

// Follows the links at path under the rule above. A missing file, or a
// dangling link, gives the path as far as the links lead.
OwnFileTarget resolveOwnFileLinks(const QByteArray& path);

// The temporary file name patterns of a save of target (a native path).
QByteArray temporaryFilePrefix(const QByteArray& target);
QByteArray inPlaceCopyPrefix(const QByteArray& target);

// A name beside path for another version of that file, naming nothing yet:
// path + "." + what + "-" + the local date and time (yyyyMMdd-hhmmss), with
// "-2", "-3", ... added while that is taken. Not hidden, and of no pattern
// the tool clears: such a file is the user's to look at and remove.
QString besideName(const QString& path, const QString& what);

// The header of the in-place copy of a rewrite of the file (device, inode)
// from oldSize to newSize bytes; the old contents follow it, then the new.
QByteArray inPlaceCopyHeader(quint64 device, quint64 inode, qint64 oldSize, qint64 newSize);

// Whether current is what a rewrite in place from oldBytes to newBytes (or
// its undo) can leave when it is cut off anywhere: as long as one of them or
// a length between, each byte the old or the new one at its place.
bool isInterruptedRewrite(const QByteArray& current, const QByteArray& oldBytes,
                          const QByteArray& newBytes);

// An in-place copy that was not written back.
struct SetAsideCopy {
    QString file;            // the file its save was for
    QString keptAs;          // where it is kept now
    QString why;             // why it was not written back
    bool newContents = true; // keptAs holds what the save was writing (else the copy as found)
};
struct StaleSaveReport {
    QStringList restored; // files an interrupted rewrite was finished for
    QList<SetAsideCopy> setAside;
};

// For each of the given files (full paths): an in-place copy of ours beside it
// means a rewrite in place was interrupted. When the file is still the one
// it names and holds what the cut-off rewrite left, the new contents are
// written into it and the copy removed; otherwise what the rewrite was
// writing is kept beside the file (besideName(file, "interrupted")), the file
// is left as it is, and the copy removed. Temporary files of ours beside it
// are removed, unless a save still holds them. Files of other users and
// names of any other pattern are left alone.
StaleSaveReport clearStaleSaveFiles(const QStringList& ownFiles);

// The notice that tells the user about a copy set aside.
QString setAsideCopyNotice(const SetAsideCopy& copy);

} // namespace jl
