#include "util/file_helpers.h"

#include "util/dialogs.h"
#include "util/own_files.h"
#include "util/text_helpers.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace jl {

namespace {

QByteArray nativePath(const QString& path) {
    // Relative paths are taken against the current directory, as the system
    // calls below do anyway.
    return QFile::encodeName(path);
}

bool statPath(const QString& path, struct stat* st) {
    if (path.isEmpty())
        return false;
    return ::stat(nativePath(path).constData(), st) == 0;
}

// The answer for an open(2) that failed with err.
QString statusForOpenError(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM:
    case ELOOP:
    case ENAMETOOLONG:
        return QStringLiteral("NOT FOUND");
    case ETXTBSY:     // a running program's image: in use
    case EWOULDBLOCK: // a lease or mandatory lock held by another process
        return QStringLiteral("OPEN");
    default:
        return QStringLiteral("ERROR");
    }
}

} // namespace

QString sizeLimitText(qint64 limit) {
    if (limit >= (qint64(1) << 20) && limit % (qint64(1) << 20) == 0)
        return QStringLiteral("%1 MB").arg(limit >> 20);
    return QStringLiteral("%1 bytes").arg(limit);
}

RegularFileContents readRegularFile(const QString& path, qint64 limit, LinkRule links) {
    RegularFileContents result;
    auto fail = [&result](RegularFileRead status, const QString& why) {
        result.status = status;
        result.bytes.clear();
        result.error = why;
        return result;
    };
    auto tooLarge = [&] {
        return fail(RegularFileRead::TooLarge,
                    QStringLiteral("the file is larger than ") + sizeLimitText(limit));
    };
    QByteArray native = nativePath(path);
    int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    if (links == LinkRule::OwnFile) {
        OwnFileTarget target = resolveOwnFileLinks(native);
        if (!target.error.isEmpty())
            return fail(RegularFileRead::RefusedLink, target.error);
        native = std::move(target.path);
        flags |= O_NOFOLLOW; // what was checked is what is opened
    }
    // O_NONBLOCK: opening a fifo without a writer would otherwise wait forever.
    const int fd = ::open(native.constData(), flags);
    if (fd < 0) {
        const int why = errno;
        if (why == ENOENT || why == ENOTDIR) {
            fail(RegularFileRead::Missing, QString());
            result.stamp.state = FileStamp::State::Missing;
            return result;
        }
        if (why == ELOOP && links == LinkRule::OwnFile)
            return fail(RegularFileRead::RefusedLink,
                        QFile::decodeName(native) + QStringLiteral(": ") + systemReason(why));
        return fail(RegularFileRead::Failed, systemReason(why));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int why = errno;
        ::close(fd);
        return fail(RegularFileRead::Failed, systemReason(why));
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        return fail(RegularFileRead::Directory, systemReason(EISDIR));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(RegularFileRead::NotRegular, QStringLiteral("not a regular file"));
    }
    // The stated size only refuses; files of /proc state none, and a file
    // may grow while it is read, so the limit is kept while reading too.
    if (limit >= 0 && st.st_size > limit) {
        ::close(fd);
        return tooLarge();
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int why = errno;
            ::close(fd);
            return fail(RegularFileRead::Failed, systemReason(why));
        }
        if (limit >= 0 && result.bytes.size() + got > limit) {
            ::close(fd);
            return tooLarge();
        }
        result.bytes.append(buffer, got);
    }
    // Taken again once read: a file that changed meanwhile no longer matches.
    if (::fstat(fd, &st) == 0)
        result.stamp = fileStamp(st, result.bytes);
    ::close(fd);
    result.status = RegularFileRead::Ok;
    return result;
}

bool isExistingFile(const QString& path) {
    struct stat st {};
    return statPath(path, &st) && !S_ISDIR(st.st_mode);
}

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool isAnythingAt(const QString& path) {
    struct stat st {};
    if (statPath(path, &st))
        return true;
    return !path.isEmpty() && errno != ENOENT && errno != ENOTDIR;
}

bool isExistingDirectory(const QString& path) {
    struct stat st {};
    return statPath(path, &st) && S_ISDIR(st.st_mode);
}

bool isUndecodableName(const QByteArray& rawName) {
    return !decodedName(rawName);
}

std::optional<QString> decodedName(const QByteArray& rawName) {
    if (std::all_of(rawName.begin(), rawName.end(), [](char c) { return uchar(c) < 0x80; }))
        return QString::fromLatin1(rawName);
    QString name = QFile::decodeName(rawName);
    if (QFile::encodeName(name) != rawName)
        return std::nullopt;
    return name;
}

bool isLockedByAnother(int fd) {
    // flock(2) locks: taking our own exclusive lock fails while another open
    // file description holds one; if we get it, it is dropped at once. The
    // same probe by another reader of the file (a second batch run over the
    // same pile) holds a lock for a moment too, so a refusal is asked again
    // after waits of 1, 2, 4 and 8 ms: only a lock that lasts holds the file.
    for (int wait = 1;; wait *= 2) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::flock(fd, LOCK_UN);
            break;
        }
        if (errno != EWOULDBLOCK)
            break;
        if (wait > 8)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    }
    // fcntl(2) record locks (and open file description locks): ask whether a
    // write lock over the whole file would be refused. Asking needs no write
    // access, so a descriptor open for reading only will do.
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = 0;
    return ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

qint64 Get_File_Size(const QString& path) {
    struct stat st {};
    if (!statPath(path, &st))
        return -1;
    // A directory entry matches too; like a directory listing, it has no size.
    if (S_ISDIR(st.st_mode))
        return 0;
    return static_cast<qint64>(st.st_size);
}

QString Get_File_Status(const QString& path) {
    if (path.isEmpty())
        return QString();
    if (path.size() >= 128)
        return QStringLiteral("CLOSED");
    struct stat st {};
    if (!statPath(path, &st) || S_ISDIR(st.st_mode))
        return QString();
    // Pipes, sockets and devices are never opened: opening one can block, or
    // act on the device.
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("ERROR");

    const int fd = ::open(nativePath(path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return statusForOpenError(errno);
    QString answer = QStringLiteral("CLOSED");
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode))
        answer = QStringLiteral("ERROR"); // swapped for something else meanwhile
    else if (isLockedByAnother(fd))
        answer = QStringLiteral("OPEN");
    ::close(fd);
    return answer;
}

bool Delete_File_If_Closed(const QString& path) {
    struct stat st {};
    if (!statPath(path, &st) || S_ISDIR(st.st_mode))
        return false;
    const QByteArray native = nativePath(path);
    // The counterpart of clearing the read-only attribute: the owner may write.
    if ((st.st_mode & S_IWUSR) == 0)
        ::chmod(native.constData(), (st.st_mode & 07777) | S_IWUSR);
    if (Get_File_Status(path) != QLatin1String("CLOSED"))
        return false;
    ::unlink(native.constData());
    struct stat after {};
    return ::lstat(native.constData(), &after) != 0;
}

QString Choose_Directory(Dialogs& dialogs, const QString& /*caption*/, const QString& start,
                         const QString& fallbackDirectory) {
    static const QStringList unusable = {QStringLiteral("/"), QStringLiteral("."),
                                         QStringLiteral(".."), QStringLiteral("./"),
                                         QStringLiteral("../")};
    const bool useStart =
        !start.isEmpty() && !unusable.contains(start) && isExistingDirectory(start);
    const QString chosen = dialogs.chooseDirectory(useStart ? start : fallbackDirectory);
    if (chosen.isEmpty())
        return QString();
    // The choice names a directory as it is: blanks at its ends are part of
    // its name, so nothing is trimmed.
    return Untrimmed_Directory_With_Separator(chosen);
}

} // namespace jl
