#pragma once
// One list and its list file, as the window keeps them. The keeper loads the
// list, remembers what the file held then, notes every change to the list,
// and decides whether a save may write over the file:
//
// - A list that was never loaded is never written: it would replace the
//   file with an empty list (a close while a box of the start-up is open).
// - A list that has not changed since it was read or last written is not
//   written: the file holds it already, together with whatever another
//   program (an editor, a script) has added to the file since.
// - A file that was not read whole (reading stopped at a NUL or at a
//   character that could not be decoded, or the file could not be read at
//   all) still holds more than the list shows. Writing the list over it
//   would lose that part for good, so it is written only after the user
//   agrees. Once written, the file is the list's own again.
// - A file that another program has changed (not merely removed) since it
//   was read or last written, while the list changed too, is replaced only
//   after the user
//   agrees, as an editor asks about a file changed on disk. A No leaves the
//   file as the other program made it and keeps the list beside it, in a
//   file of its own, so that neither version is lost.

#include "util/file_stamp.h"
#include "util/list_file.h"

#include <QObject>
#include <QString>

namespace jl {

class Dialogs;
class SortedList;

class ListFileKeeper : public QObject {
public:
    ListFileKeeper(SortedList& list, QString path, QObject* parent = nullptr);

    const QString& path() const { return m_path; }

    // Load_List_File: the list holds what the file held. Returns the notice to
    // show when the file was not read whole (empty otherwise). A file that
    // cannot be read throws Load_List_File's Failure; the list is then empty
    // and the file counts as not read.
    QString load();

    enum class Occasion {
        AfterChange, // the auto-save after a command: asks once; "No" holds
        Close,       // the save at the close: asks again after an earlier "No"
    };
    // Save_List_File when the list is to be written and the file may be
    // written over (see above). Returns -1 when a save failed (its message
    // shown), 0 when the file was written or left alone on purpose.
    int save(Dialogs& dialogs, Occasion occasion);

    bool loaded() const { return m_loaded; }
    bool fileReadWhole() const { return m_shortfall.isEmpty(); }
    // The list changed since the file was read or last written.
    bool changed() const { return m_changed; }
    // Another program changed the file since it was read or last written.
    bool fileChangedOnDisk() const;
    // Where the list was kept at the last No to replacing a file changed on
    // disk; empty before.
    const QString& keptBeside() const { return m_keptBeside; }

private:
    void noteChange();
    // Writes the list to a file of its own beside the list file (the same
    // one for every No of this run); -1 when that failed (reported).
    int keepBeside(Dialogs& dialogs);

    SortedList& m_list;
    QString m_path;
    QString m_shortfall; // why the file was not read whole; empty when it was
    FileStamp m_stamp;   // the file as read or last written
    QString m_keptBeside;
    bool m_loaded = false;
    bool m_changed = false;
    bool m_loading = false;
    bool m_declined = false; // "No" to replacing the file, at an auto-save
};

// The notice shown when a list file was not read whole.
QString listFileShortfallNotice(const QString& path, const QString& shortfall, int entriesRead);
// The question asked before a list file that was not read whole is replaced.
QString listFileReplaceQuestion(const QString& path, const QString& shortfall);
// The question asked before a list file that another program changed is
// replaced; keptAt is where a No keeps the window's list.
QString listFileChangedQuestion(const QString& path, const QString& keptAt);

} // namespace jl
