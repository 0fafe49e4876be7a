#include "util/file_stamp.h"

#include "util/file_helpers.h"
#include "util/own_files.h"

#include <QFile>
#include <QHash>

#include <algorithm>
#include <ctime>

#include <sys/stat.h>

namespace jl {

namespace {

// Seeded at random for each run, so that no one can make two contents meet
// on purpose; the digest never leaves the process.
quint64 digestOf(const QByteArray& bytes) {
    return quint64(qHashBits(bytes.constData(), size_t(bytes.size()), QHashSeed::globalSeed()));
}

qint64 nanoseconds(const struct timespec& time) {
    return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
}

// How long after a change the file's times may still show the same tick.
constexpr qint64 kTimeTickNs = qint64(2) * 1000000000;

qint64 nowNs() {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return nanoseconds(now);
}

bool sameLook(const FileStamp& a, const FileStamp& b) {
    return a.device == b.device && a.inode == b.inode && a.size == b.size &&
           a.modifiedNs == b.modifiedNs && a.changedNs == b.changedNs;
}

} // namespace

FileStamp fileStamp(const struct stat& st, const QByteArray& contents) {
    FileStamp stamp;
    stamp.state = FileStamp::State::Present;
    stamp.device = quint64(st.st_dev);
    stamp.inode = quint64(st.st_ino);
    stamp.size = qint64(st.st_size);
    stamp.modifiedNs = nanoseconds(st.st_mtim);
    stamp.changedNs = nanoseconds(st.st_ctim);
    stamp.takenNs = nowNs();
    stamp.digest = digestOf(contents);
    return stamp;
}

FileStamp fileStampNow(const QString& path, const QByteArray& contents) {
    const OwnFileTarget target = resolveOwnFileLinks(QFile::encodeName(path));
    struct stat st {};
    if (!target.error.isEmpty() || ::stat(target.path.constData(), &st) != 0)
        return FileStamp();
    return fileStamp(st, contents);
}

bool fileChangedSince(const QString& path, const FileStamp& stamp, qint64 readLimit) {
    if (stamp.state == FileStamp::State::Unknown)
        return false;
    const OwnFileTarget target = resolveOwnFileLinks(QFile::encodeName(path));
    struct stat st {};
    if (!target.error.isEmpty())
        return true; // something else stands there now
    if (::stat(target.path.constData(), &st) != 0)
        return stamp.state != FileStamp::State::Missing;
    if (stamp.state == FileStamp::State::Missing)
        return true;
    const FileStamp now = fileStamp(st, QByteArray());
    const bool racy = stamp.takenNs - std::max(stamp.modifiedNs, stamp.changedNs) < kTimeTickNs;
    if (sameLook(now, stamp) && !racy)
        return false;
    if (now.size != stamp.size)
        return true;
    const RegularFileContents read = readRegularFile(path, readLimit, LinkRule::OwnFile);
    return read.status != RegularFileRead::Ok || digestOf(read.bytes) != stamp.digest;
}

} // namespace jl
