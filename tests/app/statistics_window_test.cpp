// The statistics page through the window, and the scan stopped by the user.

#include "items_fixture.h"
#include "util/qstring_printer.h"

#include "items/item_stats_model.h"
#include "util/background_job.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QTableView>
#include <QTimer>
#include <QToolTip>

namespace jl::test {
namespace {

class StatisticsWindowTest : public HarvestWindowTest {
protected:
    // a holds casino and spam, b casino, c nothing, d spam (all text shown).
    void makePile() {
        paths = {messages.write("a.eml", "Subject: casino spam\r\n"),
                 messages.write("b.eml", "Subject: CASINO\r\n"),
                 messages.write("c.eml", "Subject: hello\r\n"),
                 messages.write("d.eml", "Subject: spam\r\n")};
        files().insertMany(paths);
        for (const char* item : {"casino", "spam", "dead,\"item\""})
            items().insert(QString::fromLatin1(item));
    }
    QString summary() const { return control<QLabel>("statisticsSummary")->text(); }
    QModelIndex itemRow(const QString& item) const {
        ItemStatsModel* model = form->itemStatsModel();
        for (int row = 0; row < model->rowCount(); ++row)
            if (model->itemText(row) == item)
                return model->index(row, ItemStatsModel::ItemColumn);
        return {};
    }
    QStringList paths;
    bool escaped = false;
};

TEST_F(StatisticsWindowTest, CountsOnRequestAndSaysWhenOutOfDate) {
    makePile();
    control<QTabWidget>("PageControl1")->setCurrentWidget(control("statisticsPage"));
    EXPECT_TRUE(summary().startsWith("Press Refresh"));

    button("refreshStatisticsButton")->click();
    ASSERT_NE(form->workspace().statistics(), nullptr);
    EXPECT_FALSE(form->isBusy());
    EXPECT_EQ(summary(), "Files: 4 in the list, 4 read, 0 could not be read.\n"
                         "Items: 3, of which 1 in no file.\n"
                         "Files holding no item: 1. Files one item alone covers: 2.\n"
                         "Counted for the view: All \"Printable\" / \"Readable\" Text.");
    EXPECT_EQ(control<QListView>("uncoveredFilesList")->model()->rowCount(), 1);
    EXPECT_EQ(control<QListView>("singleItemFilesList")->model()->rowCount(), 2);
    EXPECT_TRUE(control<QLabel>("statisticsSummary")->styleSheet().isEmpty());

    // The view filter chosen on its page: the summary says so at once, in red.
    group("File_Contents_Filter_RadioGroup")->setItemIndex(1);
    EXPECT_TRUE(summary().contains("Out of date")) << summary().toStdString();
    EXPECT_FALSE(control<QLabel>("statisticsSummary")->styleSheet().isEmpty());
}

TEST_F(StatisticsWindowTest, DoubleClicksShowFilesAndTheTableGoesOutAsCsv) {
    makePile();
    Select_List_Index(files(), 0);
    control<QTabWidget>("PageControl1")->setCurrentWidget(control("statisticsPage"));
    button("refreshStatisticsButton")->click();

    // The next file holding the item after the current one (which one is
    // the workspace's: tests/workspace), shown on the first page.
    emit control<QTableView>("itemsTable")->doubleClicked(itemRow("spam"));
    EXPECT_EQ(current(), 3);
    EXPECT_EQ(control<QTabWidget>("PageControl1")->currentWidget(), control("TabSheet1"));
    EXPECT_TRUE(viewText().contains("spam"));
    EXPECT_TRUE(viewHasFocus());
    dialogs.clear();
    emit control<QTableView>("itemsTable")->doubleClicked(itemRow("dead,\"item\""));
    EXPECT_EQ(dialogs.texts(), QStringList{"No file in the list holds \"dead,\"item\"\"."});

    emit control<QListView>("uncoveredFilesList")
        ->doubleClicked(control<QListView>("uncoveredFilesList")->model()->index(0, 0));
    EXPECT_EQ(current(), 2);
    EXPECT_TRUE(viewText().contains("hello"));

    // Sorted by the files column, most first; copied and saved as CSV.
    control<QTableView>("itemsTable")
        ->sortByColumn(ItemStatsModel::FilesColumn, Qt::DescendingOrder);
    const QString csv = QStringLiteral("Files,Alone,Kind,Item\r\n2,1,other,casino\r\n"
                                       "2,1,other,spam\r\n0,0,other,\"dead,\"\"item\"\"\"\r\n");
    button("copyStatisticsButton")->click();
    EXPECT_EQ(clipboard.text(), csv);

    const QString saved = messages.file("out/stats.csv");
    QDir().mkpath(messages.file("out"));
    dialogs.clear();
    dialogs.saveNext(QString()); // cancelled: nothing written
    button("saveStatisticsButton")->click();
    dialogs.saveNext(saved);
    button("saveStatisticsButton")->click();
    EXPECT_EQ(messages.read("out/stats.csv"), csv.toUtf8());
    ASSERT_EQ(dialogs.count(), 2u);
    EXPECT_TRUE(dialogs.shown()[0].text.startsWith("Save Statistics As | "));
    EXPECT_TRUE(dialogs.shown()[0].text.endsWith(
        "/junkloupe-statistics.csv | CSV files (*.csv);;All files (*)"))
        << dialogs.shown()[0].text.toStdString();
    // A folder that is not there: the reason, and nothing written.
    dialogs.saveNext(messages.file("no/such/folder/x.csv"));
    button("saveStatisticsButton")->click();
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Error);
    EXPECT_TRUE(dialogs.lastText().startsWith("Error: The statistics could not be saved to \""));
    EXPECT_TRUE(dialogs.scriptUsedUp());
}

// Maximised on a large screen every font grows with the window: the rows,
// the count headings and the lists of long paths must grow with them.
TEST_F(StatisticsWindowTest, TheTableAndTheListsStayReadableInALargeWindow) {
    makePile();
    const QString deep = QStringLiteral("%1/%2/uncovered.eml")
                             .arg(QString(120, QLatin1Char('d')), QString(120, QLatin1Char('e')));
    const QString path = messages.write(deep, "Subject: hello\r\n");
    files().insert(path);
    form->resize(1920, 1080);
    control<QTabWidget>("PageControl1")->setCurrentWidget(control("statisticsPage"));
    button("refreshStatisticsButton")->click();
    QApplication::processEvents();

    QTableView* table = control<QTableView>("itemsTable");
    ASSERT_GT(table->font().pointSize(), 2 * 10 - 2) << "the fonts grow with the window";
    for (int row = 0; row < table->model()->rowCount(); ++row)
        EXPECT_GE(table->rowHeight(row), table->fontMetrics().height()) << "row " << row;
    QHeaderView* header = table->horizontalHeader();
    for (const int column : {ItemStatsModel::FilesColumn, ItemStatsModel::AloneColumn})
        EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column))
            << "heading " << column;

    // A first click on a count heading sorts the largest first.
    ItemStatsModel* model = form->itemStatsModel();
    const int files = ItemStatsModel::FilesColumn;
    QTest::mouseClick(
        header->viewport(), Qt::LeftButton, {},
        QPoint(header->sectionViewportPosition(files) + header->sectionSize(files) / 2,
               header->height() / 2));
    EXPECT_EQ(model->sortColumn(), files);
    EXPECT_EQ(model->sortOrder(), Qt::DescendingOrder);
    EXPECT_EQ(model->data(model->index(0, files), Qt::DisplayRole).toInt(), 2);

    // A path longer than the list is cut to its width (not scrolled to),
    // and shows whole in its tool tip.
    QListView* list = control<QListView>("uncoveredFilesList");
    const QModelIndex entry = list->model()->index(list->model()->rowCount() - 1, 0);
    ASSERT_EQ(entry.data().toString(), path);
    const QRect rect = list->visualRect(entry);
    EXPECT_LE(rect.width(), list->viewport()->width());
    QHelpEvent tip(QEvent::ToolTip, rect.center(), list->viewport()->mapToGlobal(rect.center()));
    QApplication::sendEvent(list->viewport(), &tip);
    EXPECT_TRUE(QToolTip::text().contains(path)) << QToolTip::text().toStdString();
    QToolTip::hideText();
}

TEST_F(StatisticsWindowTest, NewControlsFollowTheWindowRules) {
    dialogs.clear();
    button("copyStatisticsButton")->click();
    button("saveStatisticsButton")->click();
    EXPECT_EQ(
        dialogs.texts(),
        QStringList(2, "Error: There are no statistics yet. Press Refresh to count them first."));
    const QWidget* controls[] = {
        control<QTableView>("itemsTable"),        button("refreshStatisticsButton"),
        button("copyStatisticsButton"),           button("saveStatisticsButton"),
        control<QListView>("uncoveredFilesList"), control<QListView>("singleItemFilesList")};
    for (const QWidget* control : controls) {
        SCOPED_TRACE(control->objectName().toStdString());
        EXPECT_FALSE(control->statusTip().isEmpty());
        // The page is this tool's own: its hints name no other system.
        EXPECT_FALSE(control->statusTip().contains("Windows"));
        const auto& all = form->components();
        EXPECT_NE(std::find(all.begin(), all.end(), control), all.end());
    }
    form->Set_Busy_State(false);
    EXPECT_FALSE(button("refreshStatisticsButton")->isEnabled());
    form->Set_Busy_State(true);
    EXPECT_TRUE(button("refreshStatisticsButton")->isEnabled());
}

// Escape while the scan runs: the file reached is shown as Next File shows
// it, and the scan says nothing.
TEST_F(StatisticsWindowTest, EscapeStopsTheScanOnTheFileReached) {
    QStringList many;
    for (int i = 0; i < 500; ++i)
        many << messages.write(QStringLiteral("m/%1.eml").arg(i, 5, 10, QLatin1Char('0')),
                               "Subject: spam " + QByteArray::number(i) + "\r\n");
    files().insertMany(many);
    items().insert("spam");
    Select_List_Index(files(), 0);
    dialogs.clear();
    // Escape once the engine has passed over a file or more.
    QTimer::singleShot(0, form.get(), [this] {
        auto* job = form->findChild<BackgroundJob*>();
        ASSERT_NE(job, nullptr);
        QObject::connect(job, &BackgroundJob::progressed, form.get(), [this](qint64 done) {
            if (done > 0 && !escaped) {
                escaped = true;
                QTest::keyClick(form.get(), Qt::Key_Escape);
            }
        });
    });
    button("BitBtn1")->click();
    const int reached = current();
    ASSERT_GT(reached, 0);
    EXPECT_EQ(caption(), QStringLiteral("File %1 of 500 :  %2.eml ")
                             .arg(reached + 1)
                             .arg(reached, 5, 10, QLatin1Char('0')));
    EXPECT_EQ(viewText().trimmed(), QStringLiteral("Subject: spam %1").arg(reached));
    EXPECT_TRUE(foundAny());
    EXPECT_TRUE(viewHasFocus());
    EXPECT_FALSE(form->isBusy());
    // Stopped on the way (the usual case), or done before the key came.
    if (reached < 499)
        EXPECT_EQ(dialogs.count(), 0u);
    else
        EXPECT_EQ(dialogs.texts(), QStringList{"You are now at the last file in the list."});
}

} // namespace
} // namespace jl::test
