// The statistics page: for the file list and the view filter, which files
// each interesting item covers, counted off the user-interface thread by the
// engine of the command-line `hits` (items/collection_stats.h). The numbers
// are counted on request and marked out of date once the lists, the view
// filter or the decoding of MIME parts change. Export writes the items for a
// mail filter or as indicators through the engine of `junkloupe-cli export`
// (items/item_export.h).

#include "app/widgets/main_form.h"

#include "app/widgets/radio_group.h"
#include "items/item_export.h"
#include "items/item_stats_model.h"
#include "util/atomic_file.h"
#include "util/clipboard.h"
#include "util/dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
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

QString number(qint64 value) {
    return QLocale::system().toString(value);
}

} // namespace

void TMainForm1::wireStatistics() {
    using F = TMainForm1;
    connectCommand(m_refreshStatisticsButton, &F::refreshStatistics);
    connectCommand(m_copyStatisticsButton, &F::copyStatistics);
    connectCommand(m_saveStatisticsButton, &F::saveStatistics);
    connectCommand(m_exportItemsButton, &F::exportInterestingItems);
    auto onDoubleClick = [this](QAbstractItemView* view, void (TMainForm1::*handler)(int)) {
        connect(view, &QAbstractItemView::doubleClicked, this,
                [this, handler](const QModelIndex& at) {
                    runCommand([&] { (this->*handler)(at.row()); });
                });
    };
    onDoubleClick(m_itemsTable, &F::showNextFileHoldingItem);
    onDoubleClick(m_uncoveredFilesList, &F::showUncoveredFile);
    onDoubleClick(m_singleItemFilesList, &F::showSingleItemFile);

    // The numbers go out of date with the lists and the read options.
    connect(m_workspace, &Workspace::statisticsChanged, this, &F::updateStatisticsSummary);
    updateStatisticsSummary();
}

void TMainForm1::refreshStatistics() {
    if (m_workspace->refreshStatistics())
        showStatistics();
}

void TMainForm1::showStatistics() {
    const CollectionStats& stats = *m_workspace->statistics();
    m_itemStatsModel->setStats(stats);
    m_uncoveredModel->setStringList(stats.uncovered);
    QStringList single;
    single.reserve(qsizetype(stats.single.size()));
    for (const CollectionStats::Single& file : stats.single)
        single.append(stats.items.at(file.item) + QStringLiteral("  \u2190  ") + file.path);
    m_singleModel->setStringList(single);
    fitStatisticsTable();
    updateStatisticsSummary();
}

void TMainForm1::fitStatisticsTable() {
    // Rows as high as their text and the count and kind columns as wide as
    // their headings (sort mark included) and contents, in the font the
    // layout gives the table now.
    QTableView* table = m_itemsTable;
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    for (const int column :
         {ItemStatsModel::FilesColumn, ItemStatsModel::AloneColumn, ItemStatsModel::KindColumn})
        table->resizeColumnToContents(column);
}

void TMainForm1::updateStatisticsSummary() {
    QLabel* label = m_statisticsSummary;
    if (!label)
        return;
    const bool stale = m_workspace->statisticsStale();
    // Out-of-date numbers stand out in red.
    label->setStyleSheet(stale ? QStringLiteral("color: red;") : QString());
    if (!m_workspace->statistics()) {
        label->setText(
            QStringLiteral("Press Refresh to count which files the interesting items cover."));
        return;
    }
    const CollectionStats& stats = *m_workspace->statistics();
    QString state;
    if (stale)
        state = QStringLiteral("Out of date: the lists or the view have changed since. "
                               "Press Refresh to count again.");
    else if (!stats.complete)
        state = QStringLiteral("Stopped before the end: only the first %1 of %2 files are counted.")
                    .arg(number(stats.examined + stats.unreadable), number(stats.listed));
    else
        state = QStringLiteral("Counted for the view: %1%2.")
                    .arg(File_Contents_Filter_RadioGroup->button(stats.filter)->text(),
                         stats.decoded ? QStringLiteral(", MIME parts decoded") : QString());
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
    const int index = m_workspace->files().indexOfExact(path);
    if (index < 0) {
        m_dialogs.information(
            QStringLiteral("The file \"%1\" is no longer in the list of files.").arg(path));
        return;
    }
    m_workspace->setCurrentIndex(index);
    PageControl1->setCurrentWidget(TabSheet1);
    Process_The_Selected_File_BitBtnClick();
    focusView();
}

void TMainForm1::showNextFileHoldingItem(int row) {
    if (row < 0 || row >= m_itemStatsModel->rowCount())
        return;
    const QString item = m_itemStatsModel->itemText(row);
    // Stopped, or the file list changed meanwhile: nothing to show.
    const std::optional<int> found = m_workspace->nextFileHolding(item);
    if (!found)
        return;
    if (*found < 0) {
        m_dialogs.information(QStringLiteral("No file in the list holds \"%1\".").arg(item));
        return;
    }
    showListedFile(m_workspace->files().at(*found));
}

void TMainForm1::showUncoveredFile(int row) {
    const CollectionStats* stats = m_workspace->statistics();
    if (stats && row >= 0 && row < stats->uncovered.size())
        showListedFile(stats->uncovered.at(row));
}

void TMainForm1::showSingleItemFile(int row) {
    const CollectionStats* stats = m_workspace->statistics();
    if (stats && row >= 0 && row < int(stats->single.size()))
        showListedFile(stats->single.at(size_t(row)).path);
}

namespace {

const QString kNoStatistics =
    QStringLiteral("Error: There are no statistics yet. Press Refresh to count them first.");

// Where a first save or export is proposed: the user's documents, else home.
QString documentsFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    return folder;
}

// The formats Export offers, in the order offered; each choice's text begins
// with the format's name as junkloupe-cli takes it.
struct ExportChoice {
    ExportFormat format;
    const char* text;
    const char* files; // the save-file chooser's filter
};

const ExportChoice kExportChoices[] = {
    {ExportFormat::SpamAssassin, "spamassassin: SpamAssassin rules, one per item",
     "SpamAssassin rules (*.cf)"},
    {ExportFormat::Postfix, "postfix: a Postfix regexp: table for header_checks and body_checks",
     "Postfix regexp tables (*.regexp)"},
    {ExportFormat::Csv, "csv: each item with its kind and the files holding it",
     "CSV files (*.csv)"},
    {ExportFormat::Json, "json: each item with its kind and the files holding it",
     "JSON files (*.json)"},
};

} // namespace

void TMainForm1::copyStatistics() {
    if (!m_workspace->statistics()) {
        m_dialogs.error(kNoStatistics);
        return;
    }
    m_clipboard.setText(m_itemStatsModel->toCsv());
}

void TMainForm1::saveStatistics() {
    if (!m_workspace->statistics()) {
        m_dialogs.error(kNoStatistics);
        return;
    }
    if (m_statisticsSavePath.isEmpty())
        m_statisticsSavePath =
            QDir(documentsFolder()).filePath(QStringLiteral("junkloupe-statistics.csv"));
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

void TMainForm1::exportInterestingItems() {
    if (m_workspace->items().count() == 0) {
        m_dialogs.error(QStringLiteral("Error: There are no interesting items to export."));
        return;
    }
    QStringList texts;
    for (const ExportChoice& choice : kExportChoices)
        texts.append(QString::fromUtf8(choice.text));
    const int chosen = m_dialogs.chooseOne(QStringLiteral("Export Interesting Items"),
                                           QStringLiteral("Format :"), texts, m_exportFormat);
    if (chosen < 0 || chosen >= int(std::size(kExportChoices)))
        return;
    m_exportFormat = chosen;
    const ExportChoice& choice = kExportChoices[chosen];

    // The name of the last export (or a first one) with the format's suffix.
    const QFileInfo last(m_exportPath);
    const QString folder = m_exportPath.isEmpty() ? documentsFolder() : last.absolutePath();
    const QString name =
        m_exportPath.isEmpty() ? QStringLiteral("junkloupe-items") : last.completeBaseName();
    const QString path = m_dialogs.chooseSaveFile(
        QStringLiteral("Export Interesting Items As"),
        QDir(folder).filePath(name + exportFileSuffix(choice.format)),
        QString::fromUtf8(choice.files) + QStringLiteral(";;All files (*)"));
    if (path.isEmpty())
        return;
    m_exportPath = path;

    ExportOptions options;
    options.format = choice.format;
    options.filter = m_workspace->viewFilter();
    options.decoded = m_workspace->decodeMime();
    QStringList items;
    const std::vector<qint64>* files = nullptr;
    if (choice.format == ExportFormat::Csv || choice.format == ExportFormat::Json) {
        // The files holding each item, for the lists and the view as they are
        // now: counted again unless the table shows just that.
        const CollectionStats* stats = m_workspace->statistics();
        if (!stats || m_workspace->statisticsStale() || !stats->complete) {
            if (!m_workspace->refreshStatistics())
                return;
            showStatistics();
            stats = m_workspace->statistics();
            if (!stats->complete) {
                m_dialogs.error(QStringLiteral("Error: The items were not exported to \"%1\": "
                                               "the count of the files holding them was "
                                               "stopped before the end.")
                                    .arg(path));
                return;
            }
        }
        items = stats->items;
        files = &stats->files;
    } else {
        items = m_workspace->items().entries();
    }
    QString error;
    if (!writeFileAtomically(path, exportItems(items, files, options), &error))
        m_dialogs.error(QStringLiteral("Error: The items could not be exported to \"%1\": %2")
                            .arg(path, error));
}

} // namespace jl
