#include "filelist/file_enumeration.h"

#include "filelist/directory_walk.h"
#include "filelist/left_out_files.h"
#include "util/file_helpers.h"
#include "util/list_file.h"
#include "util/text_helpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <numeric>
#include <optional>
#include <utility>
#include <vector>

namespace jl {

namespace {

// A text the list file could not give back as one entry.
bool cannotStandInTheList(const QString& text) {
    return listEntryFault(text) != EntryFault::None;
}

// One trailing "/", runs of "/" collapsed. Blanks are part of Linux names and
// stay.
QString normaliseDirectory(const QString& directory) {
    QString result;
    result.reserve(directory.size() + 1);
    for (const QChar c : directory) {
        if (c == QLatin1Char('/') && result.endsWith(QLatin1Char('/')))
            continue;
        result.append(c);
    }
    if (!result.endsWith(QLatin1Char('/')))
        result.append(QLatin1Char('/'));
    return result;
}

// Removes every occurrence of the file name's extension (from the last "." of
// the last path component) from the name as built.
QString withoutExtension(const QString& name) {
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < slash)
        return name;
    return Replace_All_Text(name, name.mid(dot), QString());
}

// Takes the walk's files into names, shaped by the options.
class NameCollector : public WalkVisitor {
public:
    NameCollector(const AddFilesOptions& options, const QString& prefix, QStringList& names)
        : m_options(options), m_prefix(prefix), m_names(names),
          m_prefixCannotStand(options.fullPath && cannotStandInTheList(prefix)),
          m_minimumSeconds(
              options.minimumDateTime.isValid() ? options.minimumDateTime.toSecsSinceEpoch() : 0) {}

    qint64 seen = 0; // files looked at

    void file(const QByteArray& directory, const char* raw, const struct stat* status) override {
        ++seen;
        const QByteArray rawName(raw);
        if (rawName.contains('\n') || rawName.contains('\r') || m_prefixCannotStand) {
            if (m_options.skippedName)
                m_options.skippedName(directory + rawName, lineBreakNameReason());
            return;
        }
        std::optional<QString> decoded = decodedName(rawName);
        if (!decoded) {
            if (m_options.skippedName)
                m_options.skippedName(directory + rawName, undecodableNameReason());
            return;
        }

        QString name = std::move(*decoded);
        if (m_options.lowerCase)
            name = name.toLower();
        if (m_options.fullPath)
            name = m_prefix + name;
        if (!m_options.keepExtension)
            name = withoutExtension(name);

        if (m_options.progress) {
            ++m_counter;
            if (m_counter > 20) {
                m_options.progress(name);
                m_counter = 0;
                if (m_options.pumpEvents)
                    m_options.pumpEvents();
            }
        }

        if (m_options.dateFilter && status && qint64(status->st_mtim.tv_sec) < m_minimumSeconds)
            return;
        m_names.append(name);
    }

private:
    const AddFilesOptions& m_options;
    const QString& m_prefix;
    QStringList& m_names;
    const bool m_prefixCannotStand;
    const qint64 m_minimumSeconds;
    int m_counter = 0;
};

// Lists the directory (or the pattern's matches in it) into names, following
// every option but the duplicate test, which the batch merge makes.
void collectDirectory(const QString& path, const AddFilesOptions& options, QStringList& names,
                      ListingStop* stopped = nullptr) {
    if (path.isEmpty())
        return;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    QString directory = path.left(slash + 1);
    if (!directory.startsWith(QLatin1Char('/')))
        directory = QDir::currentPath() + QLatin1Char('/') + directory;
    const QString prefix = normaliseDirectory(directory);

    WalkOptions walkOptions;
    walkOptions.pattern = QFile::encodeName(path.mid(slash + 1));
    walkOptions.fileStatus = options.dateFilter;
    bool stoppedHere = false;
    if (options.stop)
        walkOptions.stop = [&options, &stoppedHere] { return stoppedHere = options.stop(); };
    NameCollector collector(options, prefix, names);
    DirectoryWalk(walkOptions, collector).walk(QFile::encodeName(prefix));
    if (stopped && stoppedHere) {
        // The files not looked at are counted, so that the stop can say how
        // much of the directory is in.
        struct Counter : WalkVisitor {
            qint64 files = 0;
            void file(const QByteArray&, const char*, const struct stat*) override { ++files; }
        } counter;
        WalkOptions all = walkOptions;
        all.stop = {};
        all.fileStatus = false;
        DirectoryWalk(all, counter).walk(QFile::encodeName(prefix));
        *stopped = {true, collector.seen, std::max(counter.files, collector.seen)};
    }
}

// Merges new names into the list in one batch. With the duplicate test, a
// name is left out when the list holds the same path or when the same path
// came earlier in names. Paths are the same only when they are equal
// character for character: Spam.eml, spam.eml and SPAM.EML are three files.
int mergeIntoList(SortedList& list, const QStringList& names, bool skipDuplicates) {
    if (names.isEmpty())
        return 0;
    if (!skipDuplicates) {
        list.insertMany(names);
        return int(names.size());
    }
    const ListCollator& collator = list.collator();
    std::vector<QCollatorSortKey> keys;
    keys.reserve(size_t(names.size()));
    for (const QString& name : names)
        keys.push_back(collator.key(name));
    std::vector<int> order(keys.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&keys](int a, int b) {
        return keys[size_t(a)].compare(keys[size_t(b)]) < 0;
    });

    // Only entries equal under the list order can be the same path. A few
    // names look their run up by bisection; many walk along the list once,
    // as the names come in list order.
    const bool walk = qint64(order.size()) * 20 >= list.count();
    int position = 0;
    auto listHolds = [&list, walk, &position](const QString& name, const QCollatorSortKey& key) {
        if (!walk)
            return list.indexOfExact(name, key) >= 0;
        while (position < list.count() && list.compareWithEntry(key, position) > 0)
            ++position;
        for (int i = position; i < list.count() && list.compareWithEntry(key, i) == 0; ++i) {
            if (list.at(i) == name)
                return true;
        }
        return false;
    };

    QStringList kept;
    kept.reserve(names.size());
    // The names met so far that are equal under the list order (a short run).
    std::vector<int> run;
    for (const int index : order) {
        const QCollatorSortKey& key = keys[size_t(index)];
        if (!run.empty() && keys[size_t(run.front())].compare(key) != 0)
            run.clear();
        const QString& name = names[index];
        if (std::any_of(run.begin(), run.end(), [&](int met) { return names[met] == name; }))
            continue;
        run.push_back(index);
        if (!listHolds(name, key))
            kept.append(name);
    }
    if (!kept.isEmpty())
        list.insertMany(kept);
    return int(kept.size());
}

} // namespace

AddFilesOptions fileListOptions() {
    return AddFilesOptions{};
}

QStringList listDirectory(const QString& path, const AddFilesOptions& options,
                          ListingStop* stopped) {
    QStringList names;
    if (stopped)
        *stopped = ListingStop();
    collectDirectory(path, options, names, stopped);
    return names;
}

int mergeNamesIntoList(SortedList& target, const QStringList& names, bool skipDuplicates) {
    return mergeIntoList(target, names, skipDuplicates);
}

QString directoryStoppedNotice(const QString& directory, const ListingStop& stop, int added) {
    return QStringLiteral("Files in Directory was stopped after %1 of the %2 files in %3: %4 "
                          "of them %5 added to the list.\nThe directory was not read whole; "
                          "choose it again to add the rest.")
        .arg(stop.filesSeen)
        .arg(stop.filesInDirectory)
        .arg(directory)
        .arg(added)
        .arg(added == 1 ? QStringLiteral("was") : QStringLiteral("were"));
}

int Add_Files_From_Directory(SortedList& target, const QString& path,
                             const AddFilesOptions& options) {
    const int added = mergeIntoList(target, listDirectory(path, options), options.skipDuplicates);
    if (options.pumpEvents)
        options.pumpEvents();
    return added;
}

DropOutcome dropNamesIntoList(SortedList& list, const QStringList& names,
                              const AddFilesOptions& options) {
    DropOutcome outcome;
    QStringList candidates;
    bool listedDirectory = false;
    for (const QString& name : names) {
        if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
            cannotStandInTheList(name)) {
            outcome.ignored.append(name);
            continue;
        }
        const QFileInfo info(name);
        if (info.isDir()) {
            collectDirectory(name + QLatin1Char('/'), options, candidates);
            listedDirectory = true;
        } else if (info.isFile()) {
            candidates.append(name);
        } else if (info.exists()) {
            // Named as a file, but reading it could block or never end.
            if (options.skippedName)
                options.skippedName(QFile::encodeName(name), notRegularFileReason());
        } else {
            outcome.ignored.append(name);
        }
    }
    outcome.added = mergeIntoList(list, candidates, options.skipDuplicates);
    if (listedDirectory && options.pumpEvents)
        options.pumpEvents();
    return outcome;
}

} // namespace jl
