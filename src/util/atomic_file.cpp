#include "util/atomic_file.h"

#include "util/failure.h"
#include "util/file_helpers.h"
#include "util/own_files.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jl {

namespace {

QByteArray randomSuffix() {
    return QByteArray::number(QRandomGenerator::global()->generate(), 16);
}

bool writeAllAt(int fd, const QByteArray& bytes, int* err, off_t offset = 0) {
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::pwrite(fd, p, static_cast<size_t>(left), offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *err = errno;
            return false;
        }
        p += n;
        left -= n;
        offset += n;
    }
    return true;
}

bool readAll(int fd, QByteArray* bytes, int* err) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *err = errno;
            return false;
        }
        bytes->append(buffer, n);
    }
}

// Flushes and sizes a file written from offset 0; false with *err on failure.
bool replaceContents(int fd, const QByteArray& bytes, int* err) {
    if (!writeAllAt(fd, bytes, err))
        return false;
    if (::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0 || ::fsync(fd) != 0) {
        *err = errno;
        return false;
    }
    return true;
}

void syncDirectory(const QByteArray& dir) {
    const int dirFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

// Gives the new file the old one's owner, group and permissions as far as the
// user may; true when it has all three.
bool takeOverAttributes(int fd, const struct stat& old) {
    const mode_t mode = old.st_mode & 07777;
    ::fchmod(fd, mode);
    if (::fchown(fd, old.st_uid, old.st_gid) != 0)
        ::fchown(fd, static_cast<uid_t>(-1), old.st_gid); // at least the group, if allowed
    ::fchmod(fd, mode); // a change of owner clears the set-id bits
    struct stat now {};
    return ::fstat(fd, &now) == 0 && now.st_uid == old.st_uid && now.st_gid == old.st_gid &&
           (now.st_mode & 07777) == mode;
}

// Why an existing entry at the (links resolved) target may not be replaced,
// or the empty text when it may.
QString refusalOfExisting(const QByteArray& target, const struct stat& st) {
    if (S_ISDIR(st.st_mode))
        return systemReason(EISDIR);
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("not a regular file");
    // A file made read-only by its owner is not replaced behind his back.
    if (::access(target.constData(), W_OK) != 0)
        return systemReason(errno);
    return QString();
}

} // namespace

bool canReplaceFile(const QString& path) {
    if (path.isEmpty())
        return false;
    const OwnFileTarget resolved = resolveOwnFileLinks(QFile::encodeName(path));
    if (!resolved.error.isEmpty())
        return false;
    const QByteArray& target = resolved.path;
    struct stat st {};
    if (::stat(target.constData(), &st) == 0 && !refusalOfExisting(target, st).isEmpty())
        return false;
    // The new copy is made beside the target and renamed over it.
    const QByteArray dir = nativeDirectoryOf(target);
    struct stat dirStat {};
    return ::stat(dir.constData(), &dirStat) == 0 && S_ISDIR(dirStat.st_mode) &&
           ::access(dir.constData(), W_OK | X_OK) == 0;
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    auto fail = [error](const QString& why) { return failWith(error, why); };
    if (path.isEmpty())
        return fail(systemReason(ENOENT));

    const OwnFileTarget resolved = resolveOwnFileLinks(QFile::encodeName(path));
    if (!resolved.error.isEmpty())
        return fail(resolved.error);
    const QByteArray& target = resolved.path;
    struct stat old {};
    const bool exists = ::stat(target.constData(), &old) == 0;
    if (exists) {
        if (const QString why = refusalOfExisting(target, old); !why.isEmpty())
            return fail(why);
    }

    const QByteArray dir = nativeDirectoryOf(target);
    const QByteArray prefix = dir + '/' + temporaryFilePrefix(target);
    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = prefix + randomSuffix();
        fd = ::open(temp.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return fail(systemReason(errno));
    }
    if (fd < 0)
        return fail(systemReason(EEXIST));
    // Held until the file is renamed or removed: the clearing of stale
    // temporary files at start leaves a locked one alone.
    ::flock(fd, LOCK_EX | LOCK_NB);
    auto abandon = [&](int err) {
        ::unlink(temp.constData());
        ::close(fd);
        return fail(systemReason(err));
    };

    // A file with other names (hard links) is rewritten in place too: a new
    // file renamed over this name would leave the others on the old list.
    const bool inPlace = exists && (old.st_nlink > 1 || !takeOverAttributes(fd, old));
    int err = 0;
    if (!inPlace) {
        if (!writeAllAt(fd, bytes, &err))
            return abandon(err);
        if (::fsync(fd) != 0 || ::rename(temp.constData(), target.constData()) != 0)
            return abandon(errno);
        ::close(fd);
        syncDirectory(dir); // make the rename itself durable
        return true;
    }

    // In place: the old contents go to the flushed copy first.
    const int out = ::open(target.constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (out < 0)
        return abandon(errno);
    struct stat opened {};
    QByteArray oldBytes;
    if (::fstat(out, &opened) != 0 || opened.st_ino != old.st_ino || opened.st_dev != old.st_dev) {
        ::close(out);
        return abandon(EAGAIN); // swapped for another file meanwhile
    }
    if (!readAll(out, &oldBytes, &err)) {
        ::close(out);
        return abandon(err);
    }
    // The copy names the file and holds the old contents and the new: the
    // next start finishes the rewrite only while the file is as it left it.
    const QByteArray header = inPlaceCopyHeader(quint64(opened.st_dev), quint64(opened.st_ino),
                                                oldBytes.size(), bytes.size());
    const auto oldAt = off_t(header.size());
    if (!writeAllAt(fd, header, &err) || !writeAllAt(fd, oldBytes, &err, oldAt) ||
        !writeAllAt(fd, bytes, &err, oldAt + off_t(oldBytes.size())) || ::fsync(fd) != 0) {
        err = err ? err : errno;
        ::close(out);
        return abandon(err);
    }
    const QByteArray copy = dir + '/' + inPlaceCopyPrefix(target) + randomSuffix();
    if (::rename(temp.constData(), copy.constData()) != 0) {
        err = errno;
        ::close(out);
        return abandon(err);
    }
    temp = copy;
    syncDirectory(dir);
    if (!replaceContents(out, bytes, &err)) {
        // Undo: the old contents fit where they stood. Should even that fail,
        // the copy stays for the next start to finish the save.
        int ignored = 0;
        const bool undone = replaceContents(out, oldBytes, &ignored);
        ::close(out);
        if (undone)
            return abandon(err);
        ::close(fd);
        return fail(systemReason(err));
    }
    ::close(out);
    ::unlink(copy.constData());
    ::close(fd);
    syncDirectory(dir);
    return true;
}

} // namespace jl
