#include "util/own_files.h"

#include "util/atomic_file.h"
#include "util/file_helpers.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <optional>

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

const QByteArray kCopyMagic = QByteArrayLiteral("junkloupe in-place copy 1\n");

struct InPlaceCopy {
    quint64 device = 0;
    quint64 inode = 0;
    QByteArray oldBytes;
    QByteArray newBytes;
};

// The copy's header and contents; nullopt when it is not a copy of this form.
std::optional<InPlaceCopy> parseInPlaceCopy(const QByteArray& bytes) {
    if (!bytes.startsWith(kCopyMagic))
        return std::nullopt;
    const qsizetype end = bytes.indexOf("\n\n", kCopyMagic.size() - 1);
    if (end < 0)
        return std::nullopt;
    InPlaceCopy copy;
    qint64 oldSize = -1;
    qint64 newSize = -1;
    const QList<QByteArray> lines =
        bytes.mid(kCopyMagic.size(), end - kCopyMagic.size()).split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> field = line.split(' ');
        bool ok = field.size() == 2;
        const qulonglong value = ok ? field[1].toULongLong(&ok) : 0;
        if (!ok)
            return std::nullopt;
        if (field[0] == "device")
            copy.device = value;
        else if (field[0] == "inode")
            copy.inode = value;
        else if (field[0] == "old")
            oldSize = qint64(value);
        else if (field[0] == "new")
            newSize = qint64(value);
    }
    const qsizetype body = end + 2;
    if (oldSize < 0 || newSize < 0 || bytes.size() - body != oldSize + newSize)
        return std::nullopt;
    copy.oldBytes = bytes.mid(body, oldSize);
    copy.newBytes = bytes.mid(body + oldSize);
    return copy;
}

// Keeps bytes beside file, in a name of its own; that name, or empty.
QString keepAside(const QString& file, const QByteArray& bytes) {
    const QString aside = besideName(file, QStringLiteral("interrupted"));
    return writeFileAtomically(aside, bytes) ? aside : QString();
}

// An in-place copy of ours at copyPath, left by a rewrite of file (its links
// resolved: target): finishes that rewrite when the file is still the one it
// rewrote, as the rewrite left it; otherwise keeps the copy's new contents
// beside the file and says so in the report. False when neither could be
// done (the copy then stays).
bool finishInterruptedRewrite(const QString& file, const QByteArray& target,
                              const QByteArray& copyPath, StaleSaveReport* report) {
    QByteArray bytes;
    if (!readCopy(copyPath, &bytes))
        return false;
    const std::optional<InPlaceCopy> copy = parseInPlaceCopy(bytes);
    QString why;
    if (!copy) {
        why = QStringLiteral("the copy it left, %1, is not one the program can check")
                  .arg(QFile::decodeName(copyPath));
    } else {
        struct stat now {};
        QByteArray current;
        if (::lstat(target.constData(), &now) != 0 || quint64(now.st_dev) != copy->device ||
            quint64(now.st_ino) != copy->inode || !readCopy(target, &current))
            why = QStringLiteral("the file is no longer the one that save rewrote");
        else if (!isInterruptedRewrite(current, copy->oldBytes, copy->newBytes))
            why = QStringLiteral("the file has been changed since");
    }
    if (why.isEmpty()) {
        if (!writeFileAtomically(QFile::decodeName(target), copy->newBytes))
            return false;
        report->restored << file;
        return true;
    }
    const QString aside = keepAside(file, copy ? copy->newBytes : bytes);
    if (aside.isEmpty())
        return false;
    report->setAside.append({file, aside, why, copy.has_value()});
    return true;
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
            result.error = QStringLiteral("%1 is a symbolic link that belongs to another user "
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
    result.error = QFile::decodeName(start) + QStringLiteral(": ") + systemReason(ELOOP);
    return result;
}

QByteArray temporaryFilePrefix(const QByteArray& target) {
    return '.' + baseNameOf(target) + ".tmp-";
}

QByteArray inPlaceCopyPrefix(const QByteArray& target) {
    return '.' + baseNameOf(target) + ".inplace-";
}

QString besideName(const QString& path, const QString& what) {
    const QString base = path + QLatin1Char('.') + what + QLatin1Char('-') +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString name = base;
    for (int n = 2; isAnythingAt(name) || QFileInfo(name).isSymLink(); ++n)
        name = base + QLatin1Char('-') + QString::number(n);
    return name;
}

QByteArray inPlaceCopyHeader(quint64 device, quint64 inode, qint64 oldSize, qint64 newSize) {
    return kCopyMagic + "device " + QByteArray::number(device) + "\ninode " +
           QByteArray::number(inode) + "\nold " + QByteArray::number(oldSize) + "\nnew " +
           QByteArray::number(newSize) + "\n\n";
}

bool isInterruptedRewrite(const QByteArray& current, const QByteArray& oldBytes,
                          const QByteArray& newBytes) {
    // The rewrite (or its undo after a failure) writes one over the other
    // from the start and then sets the length: wherever it was cut off, and
    // whatever of it reached the disk, each byte is the old or the new one.
    const qsizetype size = current.size();
    if (size < std::min(oldBytes.size(), newBytes.size()) ||
        size > std::max(oldBytes.size(), newBytes.size()))
        return false;
    for (qsizetype i = 0; i < size; ++i) {
        const char c = current[i];
        if (!(i < newBytes.size() && c == newBytes[i]) &&
            !(i < oldBytes.size() && c == oldBytes[i]))
            return false;
    }
    return true;
}

QString setAsideCopyNotice(const SetAsideCopy& copy) {
    const QString kept = copy.newContents
                             ? QStringLiteral("What that save was writing is kept in %1.")
                             : QStringLiteral("The copy it left is kept as %1.");
    return QStringLiteral("A save of %1 was cut off while it rewrote the file, and it was not "
                          "finished now: %2.\r\nThe file was left as it is. ")
               .arg(copy.file, copy.why) +
           kept.arg(copy.keptAs);
}

StaleSaveReport clearStaleSaveFiles(const QStringList& ownFiles) {
    StaleSaveReport report;
    for (const QString& file : ownFiles) {
        const OwnFileTarget target = resolveOwnFileLinks(QFile::encodeName(file));
        if (!target.error.isEmpty())
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
            if (isCopy && !finishInterruptedRewrite(file, target.path, dir + '/' + name, &report)) {
                ::close(fd); // kept for the next start
                continue;
            }
            ::unlinkat(dirFd, name.constData(), 0);
            ::close(fd);
        }
        ::closedir(listing);
    }
    return report;
}

} // namespace jl
