#pragma once
// What the window shows and works on, without the window: both lists and
// their list files, the options, the current entry, the found-any flag, the
// matcher and the batch scanner built over the items, and the statistics.
// The window's controls are views of it (the list boxes show its lists, the
// option controls and the hidden flag controls mirror its fields) and its
// handlers call its operations; the rules of the work live here and are
// tested without a window.
//
// Long work runs through the host (WorkspaceHost): the window runs it off the
// user-interface thread and shows what the workspace decides; without a host
// the workspace runs it on the calling thread.

#include "filelist/file_enumeration.h"
#include "items/collection_stats.h"
#include "items/item_matcher.h"
#include "util/background_job.h"
#include "util/list_file_keeper.h"
#include "util/program_folder.h"
#include "util/sorted_list.h"
#include "view/colour_coding.h"
#include "view/message_reader.h"
#include "view/selection_expansion.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace jl {

class BatchScanner;
class Clipboard;
class Dialogs;

// What the workspace asks of whoever shows it.
class WorkspaceHost {
public:
    virtual ~WorkspaceHost() = default;
    // Runs work (off the user-interface thread, see util/background_job.h)
    // and returns once it has ended; a failure it throws is thrown again.
    virtual void runWork(const std::function<void(const JobControl&)>& work) = 0;
    // True once the host has closed: work that let events run gives up and
    // leaves what it found unused.
    virtual bool closed() const = 0;
    // Processes the current entry into the view, as a selection in the file
    // list does (readEntry, then colourText). Returns true when the entry was
    // shown by its unreadable-file line (passed over during a scan).
    virtual bool showCurrentEntry() = 0;
    // Writes the caption that processing entry index would write.
    virtual void captionEntry(int index) = 0;
};

// How a file was read for the view, and what the view shows of it.
struct EntryText {
    LoadResult result;
    QString text; // the view text, or the unreadable-file line when passed over
    // Could not be read while the scan passes over such files: shown by its
    // error line, not colour coded, no box.
    bool passedOver = false;
};

// The options that decide how a file is read, as the reader and the batch
// scanner take them: the statistics counted under other ones are out of date
// and the scanner built for them is built again.
struct ReadOptions {
    ViewFilter filter = AllHeaders;
    bool decodeMime = false; // the decoded text of each message (ReaderHooks)
    bool operator==(const ReadOptions&) const = default;
};

class Workspace : public QObject {
    Q_OBJECT
public:
    // The services outlive the workspace.
    Workspace(const ProgramFolder& folder, Dialogs& dialogs, Clipboard& clipboard,
              QObject* parent = nullptr);
    ~Workspace() override;

    // The host of long work and of showing an entry; nullptr: none (work runs
    // on the calling thread, an entry is read and coloured without a view).
    void setHost(WorkspaceHost* host) { m_host = host; }

    // --- the lists ---------------------------------------------------------------
    // The file list (single selection: the selected entry is the current one)
    // and the interesting items (multiple selection).
    SortedList& files() { return *m_files; }
    const SortedList& files() const { return *m_files; }
    SortedList& items() { return *m_items; }
    const SortedList& items() const { return *m_items; }
    // Each list with its list file: whether it was loaded, read whole,
    // changed since (util/list_file_keeper.h).
    ListFileKeeper& filesKeeper() { return *m_filesKeeper; }
    ListFileKeeper& itemsKeeper() { return *m_itemsKeeper; }
    const ListFileKeeper& filesKeeper() const { return *m_filesKeeper; }
    const ListFileKeeper& itemsKeeper() const { return *m_itemsKeeper; }

    // --- options ------------------------------------------------------------------
    // -1 in the three choices: nothing chosen (before the settings are read).
    ViewFilter viewFilter() const { return m_viewFilter; }
    ColourOption colourOption() const { return m_colourOption; }
    ExpandSelectionOption expansion() const { return m_expansion; }
    bool autoSave() const { return m_autoSave; }
    bool alwaysOnTop() const { return m_alwaysOnTop; }
    // Off: the view shows a message's bytes; on: its decoded text.
    bool decodeMime() const { return m_decodeMime; }
    ReadOptions readOptions() const { return {m_viewFilter, m_decodeMime}; }
    // Each setter signals a change (and only a change).
    void setViewFilter(ViewFilter filter);
    void setColourOption(ColourOption option);
    void setExpansion(ExpandSelectionOption option);
    void setAutoSave(bool on);
    void setAlwaysOnTop(bool on);
    void setDecodeMime(bool on);

    // The directory Files in Directory read last.
    const QString& currentDirectory() const { return m_currentDirectory; }
    void setCurrentDirectory(const QString& directory);
    // The directory of a Files in Directory stopped before it had read every
    // file (empty: none): the next chooser starts there.
    const QString& unfinishedDirectory() const { return m_unfinishedDirectory; }

    // --- the current entry -----------------------------------------------------------
    int currentIndex() const;    // -1: none
    QString currentPath() const; // empty: none
    // Selects entry index (Select_List_Index: out of range selects none).
    void setCurrentIndex(int index);
    enum class Move { First, Previous, Next, Last };
    // Makes another entry current; refused (false, nothing moved, the
    // message in *error) when the list is empty or the entry is the first or
    // last already.
    bool move(Move move, QString* error = nullptr);

    // --- showing an entry -----------------------------------------------------------
    // Reads path for the view under the view filter (hooks.filter unset:
    // the workspace's, asked at every line end), decoded when the option is
    // on.
    EntryText readEntry(const QString& path, ReaderHooks hooks) const;
    // The colours of text under the colour option; sets the found-any flag.
    ColourResult colourText(const QString& text);
    // The matcher over the current items, built again after a change.
    const ItemMatcher& matcher();
    // Set when the view shows at least one interesting item.
    bool foundAny() const { return m_foundAny; }
    void setFoundAny(bool found);

    // --- the items ----------------------------------------------------------------------
    // Add Text (addTextToList): false, with the message in *error, when the
    // selection was refused.
    bool addItem(const QString& selectedText, QString* error = nullptr);
    // Del Text: the selected items after the user's Yes (focusList as for
    // Remove_Selected_Items).
    void removeSelectedItems(const std::function<void()>& focusList = {});
    // Copy: the list onto the clipboard; returns the staged text.
    QString copyItems();
    // Paste: the clipboard's lines merged in after the user's Yes; returns the
    // staged text (nullopt when the user said No). Lines a list file cannot
    // keep are left out and the user told how many.
    std::optional<QString> mergeItemsFromClipboard();
    // Erase All after the user's Yes; false when refused or declined.
    bool eraseItems();
    // After a change by a command: saves the items list file when auto-save
    // is on (a file not read whole only after the user's Yes).
    void autoSaveItems();

    // --- the file list --------------------------------------------------------------------
    // Files in Directory's names, merged in one batch; returns how many went in.
    int mergePaths(const QStringList& names);
    struct DirectoryRead {
        int added = 0;
        ListingStop stop;      // stop.stopped: not every file was looked at
        QString leftOutNotice; // empty: nothing left out
        bool dropped = false;  // the host closed meanwhile: nothing merged
    };
    // Files in Directory: reads directory (as long work, stoppable) and
    // merges its files. Read whole, it becomes the current directory (which
    // the same choice again does not read); stopped part-way it does not, so
    // that a close meanwhile keeps the one before and choosing it again adds
    // the rest.
    DirectoryRead readDirectory(const QString& directory);
    // Dropped (or handed-over) names: files added, directories read.
    DropOutcome dropPaths(const QStringList& names, const AddFilesOptions& options);
    // Remove File after the user's Yes; the index of the last entry removed, or -1.
    int removeSelectedFiles(const std::function<void()>& focusList = {});
    // Erase after the user's Yes; false when refused or declined.
    bool eraseFiles();
    // Copy: the list onto the clipboard; returns the staged text.
    QString copyFiles();

    // --- the scan -------------------------------------------------------------------------
    // Next File containing No Interesting Items: from the current entry on,
    // the first file that the view shows without an interesting item (under
    // colour coding 0 and 1 the next file shown), decided ahead by the batch
    // engine and only that file shown (host's showCurrentEntry). Files that
    // cannot be read are passed over and counted in one notice; the user hears
    // when the scan ended at the last file. Another command that changes the
    // lists, the options or the current entry meanwhile ends the scan.
    void scan();
    // While set (the scan sets it), readEntry passes over a file that cannot
    // be read: its error line instead of a box.
    bool passOverUnreadable() const { return m_passOverUnreadable; }
    void setPassOverUnreadable(bool on) { m_passOverUnreadable = on; }

    // --- statistics -------------------------------------------------------------------------
    // As last counted (nullptr before the first count).
    const CollectionStats* statistics() const { return m_stats.get(); }
    // Out of date: the file list, the items or the read options changed since.
    bool statisticsStale() const;
    // Counts what the items cover in the file list; false when the count was
    // dropped (the host closed meanwhile).
    bool refreshStatistics();
    // The index of the next file after the current entry (round the end of
    // the list, the current entry last) whose view text holds item; -1 when
    // none does; nullopt when the search was stopped or the file list changed
    // meanwhile.
    std::optional<int> nextFileHolding(const QString& item);

    // --- saving -----------------------------------------------------------------------------
    // Both lists were loaded from their files. Until then a list holds
    // nothing of the user's: it is never written (a close while a box of the
    // start-up is open), and paths handed over by a later start wait.
    bool listsLoaded() const { return m_filesKeeper->loaded() && m_itemsKeeper->loaded(); }
    // Both list files, each on its own (a failure reported by the save itself
    // does not stop the other); false when either failed.
    bool saveLists();

signals:
    void viewFilterChanged();
    void colourOptionChanged();
    void expansionChanged();
    void autoSaveChanged();
    void alwaysOnTopChanged();
    void decodeMimeChanged();
    void currentDirectoryChanged();
    void foundAnyChanged();
    // The statistics were counted again, or may have gone out of date.
    void statisticsChanged();

private:
    void runWork(const std::function<void(const JobControl&)>& work);
    bool hostClosed() const { return m_host && m_host->closed(); }
    bool showCurrentEntry();
    // Runs work with the batch scanner over the current items and read
    // options, built on the work's thread when either changed since the last
    // build.
    void runWithScanner(const std::function<void(const BatchScanner&, const JobControl&)>& work);

    ProgramFolder m_folder;
    Dialogs& m_dialogs;
    Clipboard& m_clipboard;
    WorkspaceHost* m_host = nullptr;

    SortedList* m_files;
    SortedList* m_items;
    ListFileKeeper* m_filesKeeper;
    ListFileKeeper* m_itemsKeeper;
    // Counters of the changes to each list.
    quint64 m_filesChanges = 0;
    quint64 m_itemsChanges = 0;

    ViewFilter m_viewFilter = ViewFilter(-1);
    ColourOption m_colourOption = ColourOption(-1);
    ExpandSelectionOption m_expansion = ExpandSelectionOption(-1);
    bool m_autoSave = false;
    bool m_alwaysOnTop = false;
    bool m_decodeMime = false;
    QString m_currentDirectory;
    QString m_unfinishedDirectory;

    bool m_foundAny = false;
    bool m_passOverUnreadable = false;

    ItemMatcher m_matcher;
    bool m_matcherStale = true;
    std::shared_ptr<const BatchScanner> m_scanner;
    quint64 m_scannerItems = 0;
    ReadOptions m_scannerOptions{ViewFilter(-1)};

    std::unique_ptr<CollectionStats> m_stats;
    quint64 m_statsFiles = 0;
    quint64 m_statsItems = 0;
    ReadOptions m_statsOptions;
};

} // namespace jl
