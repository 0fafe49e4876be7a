#include "util/atomic_file.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jl {

namespace {

QString reason(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

QByteArray directoryOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    if (slash == 0)
        return QByteArrayLiteral("/");
    return path.left(slash);
}

// Follows symbolic links so that saving through a link replaces the file it
// points to and keeps the link.
QByteArray resolveLinks(QByteArray path) {
    for (int depth = 0; depth < 32; ++depth) {
        struct stat st {};
        if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(path.constData(), buffer, sizeof buffer - 1);
        if (n <= 0)
            return path;
        QByteArray target(buffer, n);
        if (!target.startsWith('/'))
            target = directoryOf(path) + '/' + target;
        path = target;
    }
    return path;
}

bool writeAll(int fd, const QByteArray& bytes, int* err) {
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *err = errno;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// Why an existing entry at the (links resolved) target may not be replaced,
// or the empty text when it may.
QString refusalOfExisting(const QByteArray& target, const struct stat& st) {
    if (S_ISDIR(st.st_mode))
        return reason(EISDIR);
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("not a regular file");
    // A file made read-only by its owner is not replaced behind his back.
    if (::access(target.constData(), W_OK) != 0)
        return reason(errno);
    return QString();
}

} // namespace

bool canReplaceFile(const QString& path) {
    if (path.isEmpty())
        return false;
    const QByteArray target = resolveLinks(QFile::encodeName(path));
    struct stat st {};
    if (::stat(target.constData(), &st) == 0 && !refusalOfExisting(target, st).isEmpty())
        return false;
    // The new copy is made beside the target and renamed over it.
    const QByteArray dir = directoryOf(target);
    struct stat dirStat {};
    return ::stat(dir.constData(), &dirStat) == 0 && S_ISDIR(dirStat.st_mode) &&
           ::access(dir.constData(), W_OK | X_OK) == 0;
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (path.isEmpty())
        return fail(reason(ENOENT));

    const QByteArray target = resolveLinks(QFile::encodeName(path));
    struct stat old {};
    const bool exists = ::stat(target.constData(), &old) == 0;
    if (exists) {
        if (const QString why = refusalOfExisting(target, old); !why.isEmpty())
            return fail(why);
    }

    const QByteArray dir = directoryOf(target);
    const QByteArray base = target.mid(target.lastIndexOf('/') + 1);
    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = dir + "/." + base + ".tmp-" +
               QByteArray::number(QRandomGenerator::global()->generate(), 16);
        fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return fail(reason(errno));
    }
    if (fd < 0)
        return fail(reason(EEXIST));

    int err = 0;
    bool ok = true;
    if (exists) {
        // Keep the old file's permissions and, where allowed, its owner.
        if (::fchmod(fd, old.st_mode & 07777) != 0) {
            err = errno;
            ok = false;
        }
        if (ok && ::fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Only the superuser may give the file away; keeping our own
            // ownership is fine.
        }
    }
    if (ok)
        ok = writeAll(fd, bytes, &err);
    if (ok && ::fsync(fd) != 0) {
        err = errno;
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        err = errno;
        ok = false;
    }
    if (ok && ::rename(temp.constData(), target.constData()) != 0) {
        err = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.constData());
        return fail(reason(err));
    }
    // Make the rename itself durable.
    const int dirFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

} // namespace jl
