// The statistics page: for the file list and the view filter, which files
// each interesting item covers, counted off the user-interface thread by the
// engine of the command-line `hits` (items/collection_stats.h). The numbers
// are counted on request and marked out of date once the lists or the view
// filter change.

#include "app/widgets/main_form.h"

#include "app/widgets/radio_group.h"
#include "items/item_stats_model.h"
#include "util/atomic_file.h"
#include "util/clipboard.h"
#include "util/dialogs.h"
#include "util/list_ops.h"
#include "util/widgets/sorted_list_box.h"

#include <QDir>
#include <QLabel>
#include <QListView>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QStringListModel>
#include <QTabWidget>
#include <QTableView>

namespace jl {

namespace {

QString number(int value) {
    return QLocale::system().toString(value);
}

} // namespace

void TMainForm1::wireStatistics() {
    using F = TMainForm1;
    connectCommand(Statistics_Refresh_BitBtn, &F::Statistics_Refresh_BitBtnClick);
    connectCommand(Statistics_Copy_To_Clipboard_BitBtn,
                   &F::Statistics_Copy_To_Clipboard_BitBtnClick);
    connectCommand(Statistics_Save_BitBtn, &F::Statistics_Save_BitBtnClick);
    auto onDoubleClick = [this](QAbstractItemView* view, void (TMainForm1::*handler)(int)) {
        connect(view, &QAbstractItemView::doubleClicked, this,
                [this, handler](const QModelIndex& at) {
                    runCommand([&] { (this->*handler)(at.row()); });
                });
    };
    onDoubleClick(Statistics_Items_ListView, &F::Statistics_Items_ListViewDblClick);
    onDoubleClick(Statistics_Uncovered_Files_ListBox,
                  &F::Statistics_Uncovered_Files_ListBoxDblClick);
    onDoubleClick(Statistics_Single_Item_Files_ListBox,
                  &F::Statistics_Single_Item_Files_ListBoxDblClick);

    // The numbers go out of date with the lists (see wireCommands) and the
    // view filter.
    connect(File_Contents_Filter_RadioGroup, &RadioGroup::clicked, this,
            &F::updateStatisticsSummary);
    updateStatisticsSummary();
}

bool TMainForm1::statisticsStale() const {
    return m_stats && (m_statsFileList != m_fileListChanges ||
                       m_statsItemsList != m_itemsListChanges || m_statsFilter != viewFilter());
}

void TMainForm1::Statistics_Refresh_BitBtnClick() {
    const QStringList paths = File_List_ListBox->list().entries();
    const quint64 fileList = m_fileListChanges;
    const quint64 itemsList = m_itemsListChanges;
    const int filter = viewFilter();
    auto stats = std::make_unique<CollectionStats>();
    runWithScanner([&](const BatchScanner& scanner, const JobControl& control) {
        *stats = collectStats(scanner, paths, control);
    });
    if (closeAccepted())
        return;
    // Counted for the lists as they were at the start: a change made
    // meanwhile shows them out of date at once.
    m_stats = std::move(stats);
    m_statsFileList = fileList;
    m_statsItemsList = itemsList;
    m_statsFilter = filter;
    showStatistics();
}

void TMainForm1::showStatistics() {
    m_itemStatsModel->setStats(*m_stats);
    m_uncoveredModel->setStringList(m_stats->uncovered);
    QStringList single;
    single.reserve(qsizetype(m_stats->single.size()));
    for (const CollectionStats::Single& file : m_stats->single)
        single.append(m_stats->items.at(file.item) + QStringLiteral("  \u2190  ") + file.path);
    m_singleModel->setStringList(single);
    updateStatisticsSummary();
}

void TMainForm1::updateStatisticsSummary() {
    QLabel* label = Statistics_Summary_Label;
    if (!label)
        return;
    // Out-of-date numbers stand out in red.
    label->setStyleSheet(statisticsStale() ? QStringLiteral("color: red;") : QString());
    if (!m_stats) {
        label->setText(
            QStringLiteral("Press Refresh to count which files the interesting items cover."));
        return;
    }
    const CollectionStats& stats = *m_stats;
    QString state;
    if (statisticsStale())
        state = QStringLiteral("Out of date: the lists or the view have changed since. "
                               "Press Refresh to count again.");
    else if (!stats.complete)
        state = QStringLiteral("Stopped before the end: only the first %1 of %2 files are counted.")
                    .arg(number(stats.examined + stats.unreadable), number(stats.listed));
    else
        state = QStringLiteral("Counted for the view: %1.")
                    .arg(File_Contents_Filter_RadioGroup->button(stats.filter)->text());
    label->setText(QStringLiteral("Files: %1 in the list, %2 read, %3 could not be read.\n"
                                  "Items: %4, of which %5 in no file.\n"
                                  "Files holding no item: %6. Files one item alone covers: %7.\n"
                                  "%8")
                       .arg(number(stats.listed), number(stats.examined), number(stats.unreadable),
                            number(int(stats.items.size())), number(stats.deadItems()),
                            number(int(stats.uncovered.size())), number(int(stats.single.size())),
                            state));
}

void TMainForm1::showListedFile(const QString& path) {
    SortedList& files = File_List_ListBox->list();
    const int index = files.indexOfExact(path);
    if (index < 0) {
        m_dialogs.information(
            QStringLiteral("The file \"%1\" is no longer in the list of files.").arg(path));
        return;
    }
    Select_List_Index(files, index);
    PageControl1->setCurrentWidget(TabSheet1);
    Process_The_Selected_File_BitBtnClick();
    focusView();
}

void TMainForm1::Statistics_Items_ListViewDblClick(int row) {
    if (row < 0 || row >= m_itemStatsModel->rowCount())
        return;
    const QString item = m_itemStatsModel->itemText(row);
    SortedList& files = File_List_ListBox->list();
    const QStringList paths = files.entries();
    const int after = Get_First_Selected_Index(files);
    const quint64 fileList = m_fileListChanges;
    const int filter = viewFilter();
    int found = -1;
    bool stopped = false;
    runWork([&](const JobControl& control) {
        const BatchScanner scanner(QStringList{item}, filter);
        found = nextFileHolding(scanner, paths, after, control);
        stopped = control.stopRequested();
    });
    if (closeAccepted() || stopped || m_fileListChanges != fileList)
        return;
    if (found < 0) {
        m_dialogs.information(QStringLiteral("No file in the list holds \"%1\".").arg(item));
        return;
    }
    showListedFile(paths.at(found));
}

void TMainForm1::Statistics_Uncovered_Files_ListBoxDblClick(int row) {
    if (m_stats && row >= 0 && row < m_stats->uncovered.size())
        showListedFile(m_stats->uncovered.at(row));
}

void TMainForm1::Statistics_Single_Item_Files_ListBoxDblClick(int row) {
    if (m_stats && row >= 0 && row < int(m_stats->single.size()))
        showListedFile(m_stats->single.at(size_t(row)).path);
}

namespace {

const QString kNoStatistics =
    QStringLiteral("Error: There are no statistics yet. Press Refresh to count them first.");

} // namespace

void TMainForm1::Statistics_Copy_To_Clipboard_BitBtnClick() {
    if (!m_stats) {
        m_dialogs.error(kNoStatistics);
        return;
    }
    m_clipboard.setText(m_itemStatsModel->toCsv());
}

void TMainForm1::Statistics_Save_BitBtnClick() {
    if (!m_stats) {
        m_dialogs.error(kNoStatistics);
        return;
    }
    if (m_statisticsSavePath.isEmpty()) {
        QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (folder.isEmpty() || !QDir(folder).exists())
            folder = QDir::homePath();
        m_statisticsSavePath = QDir(folder).filePath(QStringLiteral("junkloupe-statistics.csv"));
    }
    const QString path =
        m_dialogs.chooseSaveFile(QStringLiteral("Save Statistics As"), m_statisticsSavePath,
                                 QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    m_statisticsSavePath = path;
    QString error;
    if (!writeFileAtomically(path, m_itemStatsModel->toCsv().toUtf8(), &error))
        m_dialogs.error(QStringLiteral("Error: The statistics could not be saved to \"%1\": %2")
                            .arg(path, error));
}

} // namespace jl
