#include "util/own_files.h"

#include "util/atomic_file.h"
#include "util/file_helpers.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jl {

namespace {

QString userName(uid_t uid) {
    if (const passwd* pw = ::getpwuid(uid))
        return QString::fromLocal8Bit(pw->pw_name);
    return QStringLiteral("user %1").arg(uid);
}

QByteArray baseNameOf(const QByteArray& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

// The whole contents of a regular file of ours, read through a descriptor
// that does not follow a link.
bool readCopy(const QByteArray& path, QByteArray* bytes) {
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    char buffer[65536];
    while (ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ok = false;
        else
            bytes->append(buffer, n);
    }
    ::close(fd);
    return ok;
}

// Opens a leftover of ours for removal: a regular file (not a link) owned by
// the user, that no running save holds locked. -1 otherwise.
int openLeftover(int dirFd, const char* name) {
    const int fd = ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
        ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    // The name must still be that file (a save renames its file away).
    struct stat now {};
    if (::fstatat(dirFd, name, &now, AT_SYMLINK_NOFOLLOW) != 0 || now.st_ino != st.st_ino ||
        now.st_dev != st.st_dev) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

QByteArray nativeDirectoryOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    if (slash == 0)
        return QByteArrayLiteral("/");
    return path.left(slash);
}

OwnFileTarget resolveOwnFileLinks(const QByteArray& start) {
    OwnFileTarget result;
    QByteArray path = start;
    const uid_t me = ::geteuid();
    for (int depth = 0; depth < 40; ++depth) {
        struct stat link {};
        if (::lstat(path.constData(), &link) != 0 || !S_ISLNK(link.st_mode)) {
            result.path = path;
            return result;
        }
        const QByteArray dir = nativeDirectoryOf(path);
        struct stat folder {};
        const bool folderKnown = ::stat(dir.constData(), &folder) == 0;
        if (link.st_uid != me && (!folderKnown || link.st_uid != folder.st_uid)) {
            result.path = path;
            result.refusal = QStringLiteral("%1 is a symbolic link that belongs to another user "
                                            "(%2); the program does not follow it")
                                 .arg(QFile::decodeName(path), userName(link.st_uid));
            return result;
        }
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(path.constData(), buffer, sizeof buffer - 1);
        if (n <= 0) {
            result.path = path;
            return result;
        }
        QByteArray target(buffer, n);
        if (!target.startsWith('/'))
            target = dir + '/' + target;
        path = target;
    }
    result.path = path;
    result.refusal = QFile::decodeName(start) + QStringLiteral(": ") + systemReason(ELOOP);
    return result;
}

QByteArray temporaryFilePrefix(const QByteArray& target) {
    return '.' + baseNameOf(target) + ".tmp-";
}

QByteArray inPlaceCopyPrefix(const QByteArray& target) {
    return '.' + baseNameOf(target) + ".inplace-";
}

QStringList clearStaleSaveFiles(const QStringList& ownFiles) {
    QStringList restored;
    for (const QString& file : ownFiles) {
        const OwnFileTarget target = resolveOwnFileLinks(QFile::encodeName(file));
        if (!target.refusal.isEmpty())
            continue;
        const QByteArray dir = nativeDirectoryOf(target.path);
        const QByteArray temporary = temporaryFilePrefix(target.path);
        const QByteArray copy = inPlaceCopyPrefix(target.path);
        DIR* listing = ::opendir(dir.constData());
        if (!listing)
            continue;
        const int dirFd = ::dirfd(listing);
        while (const dirent* entry = ::readdir(listing)) {
            const QByteArray name(entry->d_name);
            const bool isCopy = name.startsWith(copy);
            if (!isCopy && !name.startsWith(temporary))
                continue;
            const int fd = openLeftover(dirFd, name.constData());
            if (fd < 0)
                continue;
            if (isCopy) {
                // A complete copy of what an interrupted in-place save was
                // writing: finish that save, and keep the copy if it fails.
                QByteArray bytes;
                const QByteArray copyPath = dir + '/' + name;
                if (!readCopy(copyPath, &bytes) ||
                    !writeFileAtomically(QFile::decodeName(target.path), bytes)) {
                    ::close(fd);
                    continue;
                }
                restored << file;
            }
            ::unlinkat(dirFd, name.constData(), 0);
            ::close(fd);
        }
        ::closedir(listing);
    }
    return restored;
}

} // namespace jl
