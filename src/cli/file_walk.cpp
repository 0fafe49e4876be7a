#include "cli/file_walk.h"

#include "filelist/left_out_files.h"
#include "util/failure.h"
#include "util/file_helpers.h"
#include "util/sorted_list.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <cerrno>
#include <optional>
#include <utility>
#include <vector>

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

// Takes the files of the walk as they are spelt, and reports what it met.
class FileCollector : public WalkVisitor {
public:
    FileCollector(Diagnostics& diagnostics, QStringList& files, QList<bool>* listedRegular,
                  const std::function<void(const QString&, bool)>& onFile)
        : m_diagnostics(diagnostics), m_files(files), m_listedRegular(listedRegular),
          m_onFile(onFile) {}

    void add(const QByteArray& path, bool listedRegular = false) {
        std::optional<QString> name = decodedName(path);
        if (!name) {
            m_diagnostics.problem(path, undecodableNameReason());
            return;
        }
        m_files.append(std::move(*name));
        if (m_listedRegular)
            m_listedRegular->append(listedRegular);
        if (m_onFile)
            m_onFile(m_files.constLast(), listedRegular);
    }

    // Without a status the directory's entry itself said "regular file".
    void file(const QByteArray& directory, const char* name, const struct stat* status) override {
        add(DirectoryWalk::entryPath(directory, name), status == nullptr);
    }
    void problem(const QByteArray& path, int error) override {
        m_diagnostics.problem(path, systemReason(error));
    }
    void subdirectoriesLeftOut(const QByteArray& directory, int count) override {
        m_diagnostics.note(directory + ": " + QByteArray::number(count) +
                           (count == 1 ? " sub-directory not searched (-r descends into it)"
                                       : " sub-directories not searched (-r descends into them)"));
    }
    void loop(const QByteArray& path) override {
        m_diagnostics.note("warning: " + path + ": recursive directory loop");
    }

private:
    Diagnostics& m_diagnostics;
    QStringList& m_files;
    QList<bool>* m_listedRegular;
    const std::function<void(const QString&, bool)>& m_onFile;
};

} // namespace

void expandNames(const QList<QByteArray>& names, const WalkOptions& options,
                 Diagnostics& diagnostics, QStringList& files, QList<bool>* listedRegular,
                 const std::function<void(const QString&, bool)>& onFile) {
    FileCollector collector(diagnostics, files, listedRegular, onFile);
    DirectoryWalk walk(options, collector);
    for (const QByteArray& path : names) {
        struct stat info {};
        if (::stat(path.constData(), &info) != 0) {
            diagnostics.problem(path, systemReason(errno));
            continue;
        }
        if (!S_ISDIR(info.st_mode)) {
            collector.add(path);
            continue;
        }
        // A name that is a link (a "/" at its end would make it its target).
        QByteArray own = path;
        while (own.size() > 1 && own.endsWith('/'))
            own.chop(1);
        struct stat ownInfo {};
        if (::lstat(own.constData(), &ownInfo) == 0 && S_ISLNK(ownInfo.st_mode))
            walk.walkLater(path);
        else
            walk.walk(path);
    }
    walk.finish();
}

std::vector<qsizetype> dropRepeatedPaths(QStringList& names) {
    const QDir current = QDir::current();
    QSet<QString> seen;
    seen.reserve(names.size());
    QStringList kept;
    kept.reserve(names.size());
    std::vector<qsizetype> from;
    from.reserve(size_t(names.size()));
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString path = QDir::cleanPath(current.absoluteFilePath(names.at(i)));
        if (seen.contains(path))
            continue;
        seen.insert(path);
        kept.append(std::move(names[i]));
        from.push_back(i);
    }
    names = std::move(kept);
    return from;
}

std::vector<qsizetype> sortInListOrder(QStringList& names) {
    std::vector<qsizetype> order = ListCollator().sortedOrder(names);
    QStringList sorted;
    sorted.reserve(names.size());
    for (const qsizetype index : order)
        sorted.append(std::move(names[index]));
    names = std::move(sorted);
    return order;
}

bool readRecords(int fd, char separator,
                 const std::function<bool(const QByteArray& record, bool ended)>& onRecord,
                 QString* error) {
    QByteArray pending;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return failWith(error, systemReason(errno));
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
                return true;
        }
        pending.append(buffer + start, got - start);
    }
    if (!pending.isEmpty())
        onRecord(pending, false);
    return true;
}

bool readNames(int fd, char separator, const std::function<void(const QByteArray&)>& onName,
               QString* error) {
    return readRecords(
        fd, separator,
        [&](const QByteArray& record, bool) {
            const bool cr = separator == '\n' && record.endsWith('\r');
            if (record.size() > qsizetype(cr))
                onName(cr ? record.chopped(1) : record);
            return true;
        },
        error);
}

} // namespace jl::cli
