#include "filelist/file_enumeration.h"

#include "filelist/left_out_files.h"
#include "util/file_helpers.h"
#include "util/list_file.h"
#include "util/text_helpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>

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

class DirectoryHandle {
public:
    explicit DirectoryHandle(const QByteArray& path) : m_dir(::opendir(path.constData())) {}
    ~DirectoryHandle() {
        if (m_dir)
            ::closedir(m_dir);
    }
    DirectoryHandle(const DirectoryHandle&) = delete;
    DirectoryHandle& operator=(const DirectoryHandle&) = delete;
    DIR* get() const { return m_dir; }

private:
    DIR* m_dir;
};

// Lists the directory (or the pattern's matches in it) into names, following
// every option but the duplicate test, which the batch merge makes.
void collectDirectory(const QString& path, const AddFilesOptions& options, QStringList& names) {
    if (path.isEmpty())
        return;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    QString directory = path.left(slash + 1);
    const QByteArray pattern = QFile::encodeName(path.mid(slash + 1));
    if (!directory.startsWith(QLatin1Char('/')))
        directory = QDir::currentPath() + QLatin1Char('/') + directory;
    const QString prefix = normaliseDirectory(directory);
    const QByteArray encodedPrefix = QFile::encodeName(prefix);

    DirectoryHandle dir(encodedPrefix);
    if (!dir.get())
        return;
    const int dirFd = ::dirfd(dir.get());
    const bool wantTime = options.dateFilter;
    const qint64 minimumSeconds =
        options.minimumDateTime.isValid() ? options.minimumDateTime.toSecsSinceEpoch() : 0;

    int counter = 0;
    bool first = true;
    while (const dirent* entry = ::readdir(dir.get())) {
        const char* raw = entry->d_name;
        if (std::strcmp(raw, ".") == 0 || std::strcmp(raw, "..") == 0)
            continue;
        if (!pattern.isEmpty() && ::fnmatch(pattern.constData(), raw, 0) != 0)
            continue;
        if (!first && options.stop && options.stop())
            break;
        first = false;

        // Regular files and links to regular files only.
        struct stat st {};
        bool haveStat = false;
        if (entry->d_type == DT_REG) {
            if (wantTime) {
                if (::fstatat(dirFd, raw, &st, 0) != 0)
                    continue;
                haveStat = true;
            }
        } else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            if (::fstatat(dirFd, raw, &st, 0) != 0 || !S_ISREG(st.st_mode))
                continue;
            haveStat = true;
        } else {
            continue;
        }

        const QByteArray rawName(raw);
        QString name = QFile::decodeName(rawName);
        if (rawName.contains('\n') || rawName.contains('\r') ||
            (options.fullPath && cannotStandInTheList(prefix))) {
            if (options.skippedName)
                options.skippedName(encodedPrefix + rawName, lineBreakNameReason());
            continue;
        }
        if (isUndecodableName(rawName)) {
            if (options.skippedName)
                options.skippedName(encodedPrefix + rawName, undecodableNameReason());
            continue;
        }

        if (options.lowerCase)
            name = name.toLower();
        if (options.fullPath)
            name = prefix + name;
        if (!options.keepExtension)
            name = withoutExtension(name);

        if (options.progress) {
            ++counter;
            if (counter > 20) {
                options.progress(name);
                counter = 0;
                if (options.pumpEvents)
                    options.pumpEvents();
            }
        }

        if (wantTime && haveStat && qint64(st.st_mtim.tv_sec) < minimumSeconds)
            continue;
        names.append(name);
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

QStringList listDirectory(const QString& path, const AddFilesOptions& options) {
    QStringList names;
    collectDirectory(path, options, names);
    return names;
}

int mergeNamesIntoList(SortedList& target, const QStringList& names, bool skipDuplicates) {
    return mergeIntoList(target, names, skipDuplicates);
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
        } else if (info.exists()) {
            candidates.append(name);
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
