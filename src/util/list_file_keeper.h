#pragma once
// One list and its list file, as the window keeps them. The keeper loads the
// list, remembers whether the file was read whole, notes every change to the
// list after that, and decides whether a save may write over the file.
//
// A file that was not read whole (reading stopped at a NUL or at a character
// that could not be decoded, or the file could not be read at all) still
// holds more than the list shows. Writing the list over it would lose that
// part for good, so it is not written unless the user has changed the list
// since, and then only after the user agrees. Once written, the file is the
// list's own again.

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
    // Save_List_File when the file may be written over (see above). Returns
    // -1 when the save failed (its message shown), 0 when the file was
    // written or left alone on purpose.
    int save(Dialogs& dialogs, Occasion occasion);

    bool fileReadWhole() const { return m_shortfall.isEmpty(); }
    bool changedSinceLoad() const { return m_changed; }

private:
    void noteChange();

    SortedList& m_list;
    QString m_path;
    QString m_shortfall; // why the file was not read whole; empty when it was
    bool m_changed = false;
    bool m_loading = false;
    bool m_declined = false; // "No" to replacing the file, at an auto-save
};

// The notice shown when a list file was not read whole.
QString listFileShortfallNotice(const QString& path, const QString& shortfall, int entriesRead);
// The question asked before a list file that was not read whole is replaced.
QString listFileReplaceQuestion(const QString& path, const QString& shortfall);

} // namespace jl
