#include "util/list_file_keeper.h"

#include "util/atomic_file.h"
#include "util/dialogs.h"
#include "util/list_ops.h"
#include "util/own_files.h"
#include "util/sorted_list.h"

#include <QFileInfo>

namespace jl {

QString listFileShortfallNotice(const QString& path, const QString& shortfall, int entriesRead) {
    return QStringLiteral("The list file ") + path + QStringLiteral(" was not read whole: ") +
           shortfall +
           QStringLiteral(".\r\nThe list holds the %1 entries read before that point. "
                          "The file is not written over unless you change this list, "
                          "and then only after you agree.")
               .arg(entriesRead);
}

QString listFileReplaceQuestion(const QString& path, const QString& shortfall) {
    return QStringLiteral("The list file ") + path +
           QStringLiteral(" was not read whole when the program started (") + shortfall +
           QStringLiteral(").\r\nSaving the list replaces that file, and whatever was not read "
                          "is lost.\r\nReplace it with the list as it is now ?  Are you sure ?");
}

QString listFileChangedQuestion(const QString& path, const QString& keptAt) {
    return QStringLiteral("The list file ") + path +
           QStringLiteral(" has been changed by another program since this window read it or "
                          "last saved it.\r\n\r\n"
                          "Yes replaces it with the list as this window has it: what the other "
                          "program changed is lost.\r\n"
                          "No leaves the file as the other program made it and keeps this "
                          "window's list beside it, in ") +
           keptAt + QStringLiteral(".\r\n\r\nReplace it with the list as this window has it ?");
}

ListFileKeeper::ListFileKeeper(SortedList& list, QString path, QObject* parent)
    : QObject(parent), m_list(list), m_path(std::move(path)) {
    connect(&m_list, &QAbstractItemModel::rowsInserted, this, &ListFileKeeper::noteChange);
    connect(&m_list, &QAbstractItemModel::rowsRemoved, this, &ListFileKeeper::noteChange);
    connect(&m_list, &QAbstractItemModel::modelReset, this, &ListFileKeeper::noteChange);
    connect(&m_list, &QAbstractItemModel::dataChanged, this, &ListFileKeeper::noteChange);
}

void ListFileKeeper::noteChange() {
    if (!m_loading)
        m_changed = true;
}

QString ListFileKeeper::load() {
    m_changed = false;
    m_declined = false;
    m_loaded = true;
    m_loading = true;
    // Until the read says otherwise, the file counts as not read.
    m_shortfall = QStringLiteral("the file could not be read");
    m_stamp = FileStamp();
    struct Done {
        bool& loading;
        ~Done() { loading = false; }
    } done{m_loading};
    const ListFileContents read = Load_List_File(m_list, m_path);
    m_shortfall = read.shortfall;
    m_stamp = read.stamp;
    if (m_shortfall.isEmpty())
        return QString();
    return listFileShortfallNotice(m_path, m_shortfall, m_list.count());
}

bool ListFileKeeper::fileChangedOnDisk() const {
    return fileChangedSince(m_path, m_stamp, kListFileSizeLimit);
}

int ListFileKeeper::save(Dialogs& dialogs, Occasion occasion) {
    // Nothing of the list's own to write; a file written meanwhile by
    // another program stays as it is. A file that was not there when the
    // list was read, and is not there still, is made (it loses nothing):
    // after a close both list files exist.
    if (!m_loaded)
        return 0;
    if (!m_changed && (m_stamp.state != FileStamp::State::Missing || QFileInfo::exists(m_path)))
        return 0;
    if (m_declined && occasion == Occasion::AfterChange)
        return 0;
    // Only a file can hold what the save would lose: one removed meanwhile
    // holds nothing, and anything else there fails the save.
    if (QFileInfo(m_path).isFile() && fileChangedOnDisk()) {
        if (m_keptBeside.isEmpty())
            m_keptBeside = besideName(m_path, QStringLiteral("window"));
        if (!dialogs.warn(listFileChangedQuestion(m_path, m_keptBeside))) {
            m_declined = true;
            return keepBeside(dialogs);
        }
    } else if (!fileReadWhole()) {
        if (!dialogs.confirm(listFileReplaceQuestion(m_path, m_shortfall))) {
            m_declined = true;
            return 0;
        }
    }
    FileStamp written;
    const int result = Save_List_File(m_list, m_path, dialogs, &written);
    if (result == 0) {
        // The file holds the list now.
        m_shortfall.clear();
        m_stamp = written;
        m_changed = false;
        m_declined = false;
    }
    return result;
}

int ListFileKeeper::keepBeside(Dialogs& dialogs) {
    return Save_List_File(m_list, m_keptBeside, dialogs);
}

} // namespace jl
