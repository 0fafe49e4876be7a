#pragma once
// File probes and deletion for the tool's own files and for message files.

#include "util/file_stamp.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace jl {

// Size in bytes, or -1 when no file (or directory) matches the path.
qint64 Get_File_Size(const QString& path);

// "OPEN" when another process holds a lock on the file that an exclusive lock
// would collide with; "NOT FOUND" for the not-found class of errors; "ERROR"
// when it cannot be opened for reading and writing for another reason;
// "CLOSED" otherwise, and for paths of 128 characters or more without a test.
// The empty text for an empty path or a path that names no file. Never
// changes the file.
QString Get_File_Status(const QString& path);

// The lock test of Get_File_Status on a descriptor open for reading only:
// true when another process holds a flock(2) or fcntl(2) lock on the file that
// an exclusive lock would collide with. Neither probe changes the file. A
// flock(2) lock gone within some 15 ms (another reader's probe) does not count.
bool isLockedByAnother(int fd);

// Makes the file writable by its owner, then deletes it if its status is
// "CLOSED". True when no file is at the path afterwards.
bool Delete_File_If_Closed(const QString& path);

// Reads a regular file whole. A named pipe, a device or a socket in its place
// is never waited on or read from: the open does not block and anything but a
// regular file is refused once it is open. Memory grows with what is read,
// never with the size the file claims (a sparse file may claim any size), and
// a file past the limit is refused unread.
enum class RegularFileRead {
    Ok,
    Missing,     // nothing at the path (ENOENT, ENOTDIR)
    Directory,   // a directory at the path; error is the system's EISDIR text
    NotRegular,  // a pipe, device or socket; error is "not a regular file"
    TooLarge,    // longer than the limit; error says so
    RefusedLink, // a link the own-file rule does not follow; error says why
    Failed,      // could not be opened or read; error is the system's reason
};
struct RegularFileContents {
    RegularFileRead status = RegularFileRead::Missing;
    QByteArray bytes; // the whole file when Ok
    QString error;    // empty when Ok or Missing
    FileStamp stamp;  // of the file read, when Ok; Missing when Missing
};
// Follow: links are followed as the system does. OwnFile: the tool's own
// files, whose links are followed only under the rule of own_files.h.
enum class LinkRule { Follow, OwnFile };
constexpr qint64 kNoSizeLimit = -1;
RegularFileContents readRegularFile(const QString& path, qint64 limit = kNoSizeLimit,
                                    LinkRule links = LinkRule::Follow);

// "larger than 4 MB" and the like, for messages about size limits.
QString sizeLimitText(qint64 limit);

bool isExistingFile(const QString& path);      // any non-directory entry
bool isExistingDirectory(const QString& path); // follows links
// True when a name's bytes are not valid in the system's encoding: no text
// gives them back, so no path text can name that file.
bool isUndecodableName(const QByteArray& rawName);
// The name's text, or nothing when it is undecodable (as above), from one
// decoding (plain ASCII without a round trip).
std::optional<QString> decodedName(const QByteArray& rawName);
// Whether anything is at the path (links followed): a missing file, a
// dangling link and a path through a non-directory count as nothing; an
// entry that cannot be looked at (no search permission) counts as something.
bool isAnythingAt(const QString& path);

// The system's text for an errno value.
QString systemReason(int error);

} // namespace jl

namespace jl {
class Dialogs;
// Asks for a directory through the dialogs service, starting at start (or at
// fallbackDirectory when start is empty, "/", ".", "..", "./", "../" or names
// no directory). The caption is not shown. Returns
// Untrimmed_Directory_With_Separator of the choice, or the empty text when
// cancelled.
QString Choose_Directory(Dialogs& dialogs, const QString& caption, const QString& start,
                         const QString& fallbackDirectory);
} // namespace jl
