#include "workspace/workspace.h"

#include "filelist/left_out_files.h"
#include "items/batch_scan.h"
#include "items/scan_ahead.h"
#include "util/clipboard.h"
#include "util/dialogs.h"
#include "util/failure.h"
#include "util/file_helpers.h"
#include "util/list_ops.h"

namespace jl {

namespace {

const QString kNoFiles = QStringLiteral("Error: There are no files in the list.");
const QString kItemsKindWord = QStringLiteral("\"interesting items\" text");

// Calls changed after every change of list's entries.
void onEntriesChanged(SortedList& list, QObject* receiver, const std::function<void()>& changed) {
    QObject::connect(&list, &QAbstractItemModel::rowsInserted, receiver, changed);
    QObject::connect(&list, &QAbstractItemModel::rowsRemoved, receiver, changed);
    QObject::connect(&list, &QAbstractItemModel::modelReset, receiver, changed);
    QObject::connect(&list, &QAbstractItemModel::layoutChanged, receiver, changed);
    QObject::connect(&list, &QAbstractItemModel::dataChanged, receiver, changed);
}

template <typename T> bool assign(T& field, const T& value) {
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace

Workspace::Workspace(const ProgramFolder& folder, Dialogs& dialogs, Clipboard& clipboard,
                     QObject* parent)
    : QObject(parent), m_folder(folder), m_dialogs(dialogs), m_clipboard(clipboard),
      m_files(new SortedList(SortedList::Selection::Single, this)),
      m_items(new SortedList(SortedList::Selection::Multiple, this)),
      m_filesKeeper(new ListFileKeeper(*m_files, folder.fileListFile(), this)),
      m_itemsKeeper(new ListFileKeeper(*m_items, folder.itemsListFile(), this)) {
    // The matcher is built again, lazily, after any change of the items; the
    // changes of both lists are counted for the scanner and the statistics.
    onEntriesChanged(*m_items, this, [this] {
        m_matcherStale = true;
        ++m_itemsChanges;
        emit statisticsChanged();
    });
    onEntriesChanged(*m_files, this, [this] {
        ++m_filesChanges;
        emit statisticsChanged();
    });
}

Workspace::~Workspace() = default;

// --- options -------------------------------------------------------------------------------

void Workspace::setViewFilter(ViewFilter filter) {
    if (!assign(m_viewFilter, filter))
        return;
    emit viewFilterChanged();
    emit statisticsChanged();
}

void Workspace::setColourOption(ColourOption option) {
    if (assign(m_colourOption, option))
        emit colourOptionChanged();
}

void Workspace::setExpansion(ExpandSelectionOption option) {
    if (assign(m_expansion, option))
        emit expansionChanged();
}

void Workspace::setAutoSave(bool on) {
    if (assign(m_autoSave, on))
        emit autoSaveChanged();
}

void Workspace::setAlwaysOnTop(bool on) {
    if (assign(m_alwaysOnTop, on))
        emit alwaysOnTopChanged();
}

void Workspace::setDecodeMime(bool on) {
    if (!assign(m_decodeMime, on))
        return;
    emit decodeMimeChanged();
    emit statisticsChanged();
}

void Workspace::setCurrentDirectory(const QString& directory) {
    if (assign(m_currentDirectory, directory))
        emit currentDirectoryChanged();
}

void Workspace::setFoundAny(bool found) {
    if (assign(m_foundAny, found))
        emit foundAnyChanged();
}

// --- the current entry ---------------------------------------------------------------------

int Workspace::currentIndex() const {
    return Get_First_Selected_Index(*m_files);
}

QString Workspace::currentPath() const {
    return Get_First_Selected_Text(*m_files);
}

void Workspace::setCurrentIndex(int index) {
    Select_List_Index(*m_files, index);
}

bool Workspace::move(Move move, QString* error) {
    if (m_files->isEmpty())
        return failWith(error, kNoFiles);
    const int index = currentIndex();
    switch (move) {
    case Move::First:
        setCurrentIndex(0);
        break;
    case Move::Previous:
        if (index == 0)
            return failWith(
                error, QStringLiteral("Error: You are already on the First file in the list."));
        // With no current entry this asks for -2, which leaves none current.
        setCurrentIndex(index - 1);
        break;
    case Move::Next:
        if (index + 1 == m_files->count())
            return failWith(error,
                            QStringLiteral("Error: You are already at the Last file in the list."));
        setCurrentIndex(index + 1);
        break;
    case Move::Last:
        setCurrentIndex(m_files->count() - 1);
        break;
    }
    return true;
}

// --- showing an entry ----------------------------------------------------------------------

EntryText Workspace::readEntry(const QString& path, ReaderHooks hooks) const {
    if (!hooks.filter)
        hooks.filter = [this] { return int(m_viewFilter); };
    hooks.decodeMime = m_decodeMime;
    // The lines are collected and reach the view in one piece.
    ViewTextBuilder text;
    EntryText entry;
    entry.result = Load_File_Into_View(path, text, hooks);
    // During a scan a file that cannot be read is passed over like a missing
    // one: its error line in the view, not colour coded, no box.
    entry.passedOver = entry.result.status == LoadStatus::CannotRead && m_passOverUnreadable;
    entry.text = entry.passedOver ? unreadableFileLine(entry.result.error) : text.toQString();
    return entry;
}

const ItemMatcher& Workspace::matcher() {
    if (m_matcherStale) {
        m_matcher = ItemMatcher(m_items->entries());
        m_matcherStale = false;
    }
    return m_matcher;
}

ColourResult Workspace::colourText(const QString& text) {
    ColourResult result = matcher().colour(text, m_colourOption);
    setFoundAny(result.foundAny);
    return result;
}

// --- the items -------------------------------------------------------------------------------

bool Workspace::addItem(const QString& selectedText, QString* error) {
    return addTextToList(*m_items, selectedText, error);
}

void Workspace::removeSelectedItems(const std::function<void()>& focusList) {
    Remove_Selected_Items(*m_items, kItemsKindWord, m_dialogs, focusList);
}

QString Workspace::copyItems() {
    return Copy_List_To_Clipboard(*m_items, m_clipboard);
}

std::optional<QString> Workspace::mergeItemsFromClipboard() {
    if (!m_dialogs.confirm(
            QStringLiteral("Paste and merge the contents of Windows Clipboard into the list of "
                           "\"interesting items\" ?  Are you sure ?")))
        return std::nullopt;
    int refusedLines = 0;
    QString staged = Paste_Merge_Clipboard_Into_List(*m_items, m_clipboard, &refusedLines);
    if (refusedLines > 0)
        m_dialogs.information(pasteRefusedLinesMessage(refusedLines));
    return staged;
}

bool Workspace::eraseItems() {
    if (m_items->isEmpty()) {
        m_dialogs.error(QStringLiteral("Error: There are no \"interesting items\" in the list."));
        return false;
    }
    if (!m_dialogs.confirm(QStringLiteral("Erase all \"interesting items\" ?  Are you sure ?")))
        return false;
    // The list file keeps the old items until the next auto-saved change or
    // the save at shut-down.
    m_items->clear();
    return true;
}

void Workspace::autoSaveItems() {
    if (!m_autoSave)
        return;
    m_folder.prepareUserFilesFolder();
    m_itemsKeeper->save(m_dialogs, ListFileKeeper::Occasion::AfterChange);
}

// --- the file list ---------------------------------------------------------------------------

int Workspace::mergePaths(const QStringList& names) {
    return mergeNamesIntoList(*m_files, names, fileListOptions().skipDuplicates);
}

Workspace::DirectoryRead Workspace::readDirectory(const QString& directory) {
    DirectoryRead read;
    QStringList names;
    LeftOutFiles leftOut; // counted by the work, read once it has ended
    runWork([&](const JobControl& control) {
        AddFilesOptions options = fileListOptions();
        options.skippedName = leftOut.recorder();
        qint64 seen = 0;
        options.progress = [&control, &seen](const QString&) {
            control.reportProgress(seen += 21); // every 21st name
        };
        options.stop = [&control] { return control.stopRequested(); };
        names = listDirectory(directory, options, &read.stop);
    });
    // Closed meanwhile: the lists were saved at the close and stay so.
    if (hostClosed()) {
        read.dropped = true;
        return read;
    }
    if (read.stop.stopped) {
        m_unfinishedDirectory = directory;
    } else {
        setCurrentDirectory(directory);
        m_unfinishedDirectory.clear();
    }
    read.added = mergePaths(names);
    if (!leftOut.isEmpty())
        read.leftOutNotice = leftOut.notice();
    return read;
}

DropOutcome Workspace::dropPaths(const QStringList& names, const AddFilesOptions& options) {
    return dropNamesIntoList(*m_files, names, options);
}

int Workspace::removeSelectedFiles(const std::function<void()>& focusList) {
    const int removed =
        Remove_Selected_Items(*m_files, QStringLiteral("files"), m_dialogs, focusList);
    if (removed >= 0)
        m_files->clearSelection();
    return removed;
}

bool Workspace::eraseFiles() {
    if (m_files->isEmpty()) {
        m_dialogs.error(kNoFiles);
        return false;
    }
    if (!m_dialogs.confirm(QStringLiteral("Erase the list of files ?  Are you sure ?")))
        return false;
    m_files->clear();
    return true;
}

QString Workspace::copyFiles() {
    return Copy_List_To_Clipboard(*m_files, m_clipboard);
}

// --- long work -----------------------------------------------------------------------------

void Workspace::runWork(const std::function<void(const JobControl&)>& work) {
    if (m_host)
        m_host->runWork(work);
    else
        work(JobControl());
}

bool Workspace::showCurrentEntry() {
    if (m_host)
        return m_host->showCurrentEntry();
    // Without a view: what processing would decide.
    const QString path = currentPath();
    if (path.isEmpty() || !isExistingFile(path))
        return false;
    const EntryText entry = readEntry(path, {});
    if (entry.passedOver)
        return true;
    if (entry.result.status == LoadStatus::CannotRead)
        m_dialogs.error(QStringLiteral("Error: The file \"%1\" could not be read: %2")
                            .arg(path, entry.result.error));
    else
        colourText(entry.text);
    return false;
}

void Workspace::runWithScanner(
    const std::function<void(const BatchScanner&, const JobControl&)>& work) {
    const ReadOptions options = readOptions();
    const quint64 itemsNow = m_itemsChanges;
    std::shared_ptr<const BatchScanner> scanner;
    if (m_scanner && m_scannerItems == itemsNow && m_scannerOptions == options)
        scanner = m_scanner;
    // The matcher over many items takes a while to build: off this thread.
    const QStringList items = scanner ? QStringList() : m_items->entries();
    runWork([&](const JobControl& control) {
        if (!scanner)
            scanner =
                std::make_shared<const BatchScanner>(items, options.filter, options.decodeMime);
        work(*scanner, control);
    });
    if (scanner) {
        m_scanner = std::move(scanner);
        m_scannerItems = itemsNow;
        m_scannerOptions = options;
    }
}

// --- the scan ------------------------------------------------------------------------------

// Step by step, the scan would show every file on the way with Next File until
// one leaves the found-any flag cleared. Here the batch engine decides the
// files ahead (items/scan_ahead.h) and only the file where the scan stops is
// shown; what the view shows at the end is what the step-by-step scan leaves.
void Workspace::scan() {
    const ColourOption colour = m_colourOption;
    const bool itemsCount = colour == ItemsOnly || colour == Everything;

    // While the scan runs, a file that cannot be read is passed over like a
    // missing one: its error line in the view, no box; the user hears once,
    // at the end, how many there were.
    struct PassOver {
        bool& on;
        explicit PassOver(bool& flag) : on(flag) { on = true; }
        ~PassOver() { on = false; }
    } passOver(m_passOverUnreadable);
    int unreadable = 0;

    setFoundAny(true);
    int index = currentIndex();
    bool stoppedByUser = false;
    while (index < m_files->count() - 1) {
        const quint64 filesBefore = m_filesChanges;
        const quint64 itemsBefore = m_itemsChanges;
        const ReadOptions options = readOptions();
        const QStringList paths = m_files->entries();
        const int from = index + 1;
        ScanAhead ahead;
        runWithScanner([&](const BatchScanner& scanner, const JobControl& control) {
            ahead = scanAhead(scanner, paths, from, itemsCount, control);
        });
        // Closed meanwhile, or another command changed the lists, the options
        // or the current entry (a drop, a return to factory defaults): that
        // command's result stands.
        if (hostClosed() || m_filesChanges != filesBefore || m_itemsChanges != itemsBefore ||
            currentIndex() != index || m_colourOption != colour || readOptions() != options)
            return;

        unreadable += ahead.unreadable;
        const int last = m_files->count() - 1;
        const int target =
            ahead.stopAt >= 0 ? ahead.stopAt : (ahead.stopped ? ahead.reached : last);
        if (ahead.stopped && target < from) {
            stoppedByUser = true; // stopped before a file was decided: nothing moves
            break;
        }
        // The caption names the last file whose processing wrote it; the
        // target's own processing writes it again when its file exists.
        if (ahead.lastCaptioned >= 0 && m_host)
            m_host->captionEntry(ahead.lastCaptioned);
        setCurrentIndex(target);
        const bool shownUnreadable = showCurrentEntry();
        if (hostClosed())
            return;
        // A file passed over on the way was counted already.
        if (shownUnreadable && target > ahead.reached)
            ++unreadable;
        if (ahead.stopped) {
            stoppedByUser = true;
            break;
        }
        if (!m_foundAny)
            break;
        index = target;
    }
    if (!stoppedByUser && index == m_files->count() - 1)
        m_dialogs.information(QStringLiteral("You are now at the last file in the list."));
    if (unreadable > 0)
        m_dialogs.information(unreadableFilesMessage(unreadable));
}

// --- statistics ----------------------------------------------------------------------------

bool Workspace::statisticsStale() const {
    return m_stats && (m_statsFiles != m_filesChanges || m_statsItems != m_itemsChanges ||
                       m_statsOptions != readOptions());
}

bool Workspace::refreshStatistics() {
    const QStringList paths = m_files->entries();
    const quint64 filesNow = m_filesChanges;
    const quint64 itemsNow = m_itemsChanges;
    const ReadOptions options = readOptions();
    auto stats = std::make_unique<CollectionStats>();
    runWithScanner([&](const BatchScanner& scanner, const JobControl& control) {
        *stats = collectStats(scanner, paths, control);
    });
    if (hostClosed())
        return false;
    // Counted for the lists as they were at the start: a change made
    // meanwhile shows them out of date at once.
    m_stats = std::move(stats);
    m_statsFiles = filesNow;
    m_statsItems = itemsNow;
    m_statsOptions = options;
    emit statisticsChanged();
    return true;
}

std::optional<int> Workspace::nextFileHolding(const QString& item) {
    const QStringList paths = m_files->entries();
    const int after = currentIndex();
    const quint64 filesNow = m_filesChanges;
    const ReadOptions options = readOptions();
    int found = -1;
    bool stopped = false;
    runWork([&](const JobControl& control) {
        const BatchScanner scanner(QStringList{item}, options.filter, options.decodeMime);
        found = jl::nextFileHolding(scanner, paths, after, control);
        stopped = control.stopRequested();
    });
    if (hostClosed() || stopped || m_filesChanges != filesNow)
        return std::nullopt;
    return found;
}

// --- saving --------------------------------------------------------------------------------

bool Workspace::saveLists() {
    // Each list file is saved on its own: a failure of one does not stop the
    // other. The keepers write only a list that was loaded and changed, and
    // ask before they replace a file not read whole or changed by another
    // program (util/list_file_keeper.h).
    bool saved = m_filesKeeper->save(m_dialogs, ListFileKeeper::Occasion::Close) == 0;
    saved = m_itemsKeeper->save(m_dialogs, ListFileKeeper::Occasion::Close) == 0 && saved;
    return saved;
}

} // namespace jl
