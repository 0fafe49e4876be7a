#include "cli/file_walk.h"

#include "util/file_helpers.h"
#include "util/sorted_list.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <numeric>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jl::cli {

void Diagnostics::line(const QByteArray& text) {
    const QByteArray bytes = "junkloupe-cli: " + text + "\n";
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_err);
    std::fflush(m_err);
}

void Diagnostics::problem(const QByteArray& path, const QString& reason) {
    line(path + ": " + reason.toLocal8Bit());
    ++m_problems;
}

void Diagnostics::problem(const QString& text) {
    line(text.toLocal8Bit());
    ++m_problems;
}

void Diagnostics::note(const QByteArray& text) {
    line(text);
}

namespace {

struct DirectoryId {
    dev_t device;
    ino_t inode;
    bool operator==(const DirectoryId&) const = default;
};

QByteArray join(const QByteArray& directory, const char* entry) {
    return directory.endsWith('/') ? directory + entry : directory + '/' + entry;
}

class Walker {
public:
    Walker(const WalkOptions& options, Diagnostics& diagnostics, QStringList& files)
        : m_options(options), m_diagnostics(diagnostics), m_files(files) {}

    void name(const QByteArray& path) {
        struct stat info {};
        if (::stat(path.constData(), &info) != 0) {
            m_diagnostics.problem(path, systemReason(errno));
            return;
        }
        if (!S_ISDIR(info.st_mode)) {
            file(path);
            return;
        }
        std::vector<DirectoryId> ancestors{{info.st_dev, info.st_ino}};
        directory(path, ancestors);
    }

private:
    void file(const QByteArray& path) {
        const QString name = QFile::decodeName(path);
        if (isUndecodableName(path)) {
            m_diagnostics.problem(path,
                                  QStringLiteral("the name is not valid in the system's encoding"));
            return;
        }
        m_files.append(name);
    }

    // Lists one directory; its sub-directories are walked after it is closed,
    // so that a deep tree holds one directory open at a time.
    void directory(const QByteArray& path, std::vector<DirectoryId>& ancestors) {
        QList<QByteArray> subdirectories;
        int leftOut = 0;
        {
            const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.constData()), ::closedir);
            if (!dir) {
                m_diagnostics.problem(path, systemReason(errno));
                return;
            }
            const int fd = ::dirfd(dir.get());
            for (;;) {
                errno = 0;
                const dirent* entry = ::readdir(dir.get());
                if (!entry) {
                    if (errno != 0)
                        m_diagnostics.problem(path, systemReason(errno));
                    break;
                }
                const char* raw = entry->d_name;
                if (std::strcmp(raw, ".") == 0 || std::strcmp(raw, "..") == 0)
                    continue;
                unsigned char type = entry->d_type;
                struct stat info {};
                if (type == DT_UNKNOWN) {
                    if (::fstatat(fd, raw, &info, AT_SYMLINK_NOFOLLOW) != 0) {
                        if (errno != ENOENT)
                            m_diagnostics.problem(join(path, raw), systemReason(errno));
                        continue;
                    }
                    type = S_ISREG(info.st_mode)   ? DT_REG
                           : S_ISDIR(info.st_mode) ? DT_DIR
                           : S_ISLNK(info.st_mode) ? DT_LNK
                                                   : DT_UNKNOWN;
                }
                bool link = false;
                if (type == DT_LNK) {
                    // A dangling link or a link loop is passed over, as anything
                    // else that is no regular file and no directory.
                    if (::fstatat(fd, raw, &info, 0) != 0) {
                        if (errno != ENOENT && errno != ENOTDIR && errno != ELOOP)
                            m_diagnostics.problem(join(path, raw), systemReason(errno));
                        continue;
                    }
                    type = S_ISREG(info.st_mode)   ? DT_REG
                           : S_ISDIR(info.st_mode) ? DT_DIR
                                                   : DT_UNKNOWN;
                    link = true;
                }
                if (type == DT_REG) {
                    file(join(path, raw));
                } else if (type == DT_DIR) {
                    if (!m_options.recursive)
                        ++leftOut;
                    else if (!link || m_options.followLinks)
                        subdirectories.append(join(path, raw));
                }
            }
        }
        if (leftOut > 0) {
            m_diagnostics.note(path + ": " + QByteArray::number(leftOut) +
                               (leftOut == 1 ? " sub-directory not searched (-r descends into it)"
                                             : " sub-directories not searched (-r descends into "
                                               "them)"));
        }
        // In a fixed order, so that what is reported on the way is too.
        std::sort(subdirectories.begin(), subdirectories.end());
        for (const QByteArray& sub : subdirectories) {
            struct stat info {};
            if (::stat(sub.constData(), &info) != 0) {
                m_diagnostics.problem(sub, systemReason(errno));
                continue;
            }
            const DirectoryId id{info.st_dev, info.st_ino};
            if (std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end()) {
                m_diagnostics.note("warning: " + sub + ": recursive directory loop");
                continue;
            }
            ancestors.push_back(id);
            directory(sub, ancestors);
            ancestors.pop_back();
        }
    }

    const WalkOptions& m_options;
    Diagnostics& m_diagnostics;
    QStringList& m_files;
};

} // namespace

void expandName(const QByteArray& name, const WalkOptions& options, Diagnostics& diagnostics,
                QStringList& files) {
    Walker(options, diagnostics, files).name(name);
}

void dropRepeatedPaths(QStringList& names) {
    const QDir current = QDir::current();
    QSet<QString> seen;
    seen.reserve(names.size());
    QStringList kept;
    kept.reserve(names.size());
    for (QString& name : names) {
        const QString path = QDir::cleanPath(current.absoluteFilePath(name));
        if (seen.contains(path))
            continue;
        seen.insert(path);
        kept.append(std::move(name));
    }
    names = std::move(kept);
}

void sortInListOrder(QStringList& names) {
    if (names.size() < 2)
        return;
    const ListCollator collator;
    std::vector<QCollatorSortKey> keys;
    keys.reserve(size_t(names.size()));
    for (const QString& name : names)
        keys.push_back(collator.key(name));
    std::vector<qsizetype> order(size_t(names.size()));
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        const int c = keys[size_t(a)].compare(keys[size_t(b)]);
        return c != 0 ? c < 0 : names.at(a) < names.at(b);
    });
    QStringList sorted;
    sorted.reserve(names.size());
    for (const qsizetype index : order)
        sorted.append(std::move(names[index]));
    names = std::move(sorted);
}

int readRecords(int fd, char separator,
                const std::function<bool(const QByteArray& record, bool ended)>& onRecord) {
    QByteArray pending;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (got == 0)
            break;
        qsizetype start = 0;
        for (qsizetype i = 0; i < got; ++i) {
            if (buffer[i] != separator)
                continue;
            pending.append(buffer + start, i - start);
            start = i + 1;
            const bool more = onRecord(pending, true);
            pending.clear();
            if (!more)
                return 0;
        }
        pending.append(buffer + start, got - start);
    }
    if (!pending.isEmpty())
        onRecord(pending, false);
    return 0;
}

int readNames(int fd, char separator, const std::function<void(const QByteArray&)>& onName) {
    return readRecords(fd, separator, [&](const QByteArray& record, bool) {
        const bool cr = separator == '\n' && record.endsWith('\r');
        if (record.size() > qsizetype(cr))
            onName(cr ? record.chopped(1) : record);
        return true;
    });
}

} // namespace jl::cli
