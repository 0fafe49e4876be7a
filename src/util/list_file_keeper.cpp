#include "util/list_file_keeper.h"

#include "util/dialogs.h"
#include "util/list_ops.h"
#include "util/sorted_list.h"

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
    m_loading = true;
    // Until the read says otherwise, the file counts as not read.
    m_shortfall = QStringLiteral("the file could not be read");
    struct Done {
        bool& loading;
        ~Done() { loading = false; }
    } done{m_loading};
    const ListFileContents read = Load_List_File(m_list, m_path);
    m_shortfall = read.shortfall;
    if (m_shortfall.isEmpty())
        return QString();
    return listFileShortfallNotice(m_path, m_shortfall, m_list.count());
}

int ListFileKeeper::save(Dialogs& dialogs, Occasion occasion) {
    if (!fileReadWhole()) {
        if (!m_changed || (m_declined && occasion == Occasion::AfterChange))
            return 0;
        if (!dialogs.confirm(listFileReplaceQuestion(m_path, m_shortfall))) {
            m_declined = true;
            return 0;
        }
    }
    const int result = Save_List_File(m_list, m_path, dialogs);
    if (result == 0)
        m_shortfall.clear(); // the file holds the list now
    return result;
}

} // namespace jl
