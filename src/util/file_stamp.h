#pragma once
// What a file held when the tool read or wrote it, so that a later look can
// tell whether another program has changed it since, as an editor notices a
// file changed on disk. The stamp is the file's identity, size and times
// plus a digest of its bytes: when the identity, size and times are the
// same, the file counts as unchanged without being read; when only the times
// differ (touched, or rewritten with the same bytes) the file is read again
// and its digest decides. File times tick coarsely (a few milliseconds, on
// some file systems seconds), so a file modified shortly before its stamp
// was taken may change again within the same tick: for such a stamp the
// digest always decides.

#include <QByteArray>
#include <QString>

struct stat;

namespace jl {

struct FileStamp {
    enum class State {
        Unknown, // never taken: nothing can be said about the file
        Missing, // there was no file
        Present, // the fields below describe it
    };
    State state = State::Unknown;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    qint64 takenNs = 0; // the time the stamp was taken
    quint64 digest = 0;
};

// The stamp of a file whose status is st and whose bytes are contents.
FileStamp fileStamp(const struct stat& st, const QByteArray& contents);
// The stamp of the file at path (links followed under the own-file rule of
// own_files.h) as it is now, taken to hold contents (just written); Unknown
// when it cannot be looked at.
FileStamp fileStampNow(const QString& path, const QByteArray& contents);

// Whether the file at path is no longer what stamp describes: another file,
// other bytes, gone, or there when there was none. An Unknown stamp never
// counts as changed. readLimit bounds the read that compares the bytes.
bool fileChangedSince(const QString& path, const FileStamp& stamp, qint64 readLimit);

} // namespace jl
