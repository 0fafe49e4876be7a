// The statistics page through the window, and the scan stopped by the user.

#include "items_fixture.h"
#include "util/qstring_printer.h"

#include "items/item_stats_model.h"
#include "util/background_job.h"

#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QTableView>
#include <QTimer>

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
    QString summary() const { return form->Statistics_Summary_Label->text(); }
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

TEST_F(StatisticsWindowTest, CountsOnRequestAndGoesOutOfDateWithTheLists) {
    makePile();
    form->PageControl1->setCurrentWidget(form->TabSheet3);
    EXPECT_EQ(form->statistics(), nullptr);
    EXPECT_TRUE(summary().startsWith("Press Refresh"));

    form->Statistics_Refresh_BitBtn->click();
    ASSERT_NE(form->statistics(), nullptr);
    EXPECT_FALSE(form->isBusy());
    const CollectionStats& stats = *form->statistics();
    EXPECT_EQ(stats.items, (QStringList{"casino", "dead,\"item\"", "spam"}));
    EXPECT_EQ(stats.files, (std::vector<int>{2, 0, 2}));
    EXPECT_EQ(summary(), "Files: 4 in the list, 4 read, 0 could not be read.\n"
                         "Items: 3, of which 1 in no file.\n"
                         "Files holding no item: 1. Files one item alone covers: 2.\n"
                         "Counted for the view: All \"Printable\" / \"Readable\" Text.");
    EXPECT_EQ(form->Statistics_Uncovered_Files_ListBox->model()->rowCount(), 1);
    EXPECT_EQ(form->Statistics_Single_Item_Files_ListBox->model()->rowCount(), 2);
    EXPECT_FALSE(form->statisticsStale());

    // A change to either list or to the view filter makes them out of date.
    const std::function<void()> changes[] = {
        [&] { items().insert("hello"); },
        [&] { files().removeAt(0); },
        [&] { form->File_Contents_Filter_RadioGroup->setItemIndex(1); },
    };
    for (const auto& change : changes) {
        form->Statistics_Refresh_BitBtn->click();
        EXPECT_FALSE(form->statisticsStale());
        change();
        EXPECT_TRUE(form->statisticsStale());
        EXPECT_TRUE(summary().contains("Out of date")) << summary().toStdString();
    }
}

TEST_F(StatisticsWindowTest, DoubleClicksShowFilesAndTheTableGoesOutAsCsv) {
    makePile();
    Select_List_Index(files(), 0);
    form->PageControl1->setCurrentWidget(form->TabSheet3);
    form->Statistics_Refresh_BitBtn->click();

    // The next file holding the item after the current one, round the end.
    const QModelIndex spam = itemRow("spam");
    for (const int expected : {3, 0, 3}) {
        form->PageControl1->setCurrentWidget(form->TabSheet3);
        emit form->Statistics_Items_ListView->doubleClicked(spam);
        EXPECT_EQ(current(), expected);
        EXPECT_EQ(form->PageControl1->currentWidget(), form->TabSheet1);
        EXPECT_TRUE(viewText().contains("spam"));
        EXPECT_TRUE(viewHasFocus());
    }
    dialogs.clear();
    emit form->Statistics_Items_ListView->doubleClicked(itemRow("dead,\"item\""));
    EXPECT_EQ(dialogs.texts(), QStringList{"No file in the list holds \"dead,\"item\"\"."});

    emit form->Statistics_Uncovered_Files_ListBox->doubleClicked(
        form->Statistics_Uncovered_Files_ListBox->model()->index(0, 0));
    EXPECT_EQ(current(), 2);
    EXPECT_TRUE(viewText().contains("hello"));

    // Sorted by the files column, most first; copied and saved as CSV.
    form->Statistics_Items_ListView->sortByColumn(ItemStatsModel::FilesColumn, Qt::DescendingOrder);
    const QString csv = QStringLiteral("Files,Alone,Item\r\n2,1,casino\r\n2,1,spam\r\n"
                                       "0,0,\"dead,\"\"item\"\"\"\r\n");
    form->Statistics_Copy_To_Clipboard_BitBtn->click();
    EXPECT_EQ(clipboard.text(), csv);

    const QString saved = messages.file("out/stats.csv");
    QDir().mkpath(messages.file("out"));
    dialogs.clear();
    dialogs.saveNext(QString()); // cancelled: nothing written
    form->Statistics_Save_BitBtn->click();
    dialogs.saveNext(saved);
    form->Statistics_Save_BitBtn->click();
    EXPECT_EQ(messages.read("out/stats.csv"), csv.toUtf8());
    ASSERT_EQ(dialogs.count(), 2u);
    EXPECT_TRUE(dialogs.shown()[0].text.startsWith("Save Statistics As | "));
    EXPECT_TRUE(dialogs.shown()[0].text.endsWith(
        "/junkloupe-statistics.csv | CSV files (*.csv);;All files (*)"))
        << dialogs.shown()[0].text.toStdString();
    // A folder that is not there: the reason, and nothing written.
    dialogs.saveNext(messages.file("no/such/folder/x.csv"));
    form->Statistics_Save_BitBtn->click();
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Error);
    EXPECT_TRUE(dialogs.lastText().startsWith("Error: The statistics could not be saved to \""));
    EXPECT_TRUE(dialogs.scriptUsedUp());
}

TEST_F(StatisticsWindowTest, NewControlsFollowTheWindowRules) {
    dialogs.clear();
    form->Statistics_Copy_To_Clipboard_BitBtn->click();
    form->Statistics_Save_BitBtn->click();
    EXPECT_EQ(
        dialogs.texts(),
        QStringList(2, "Error: There are no statistics yet. Press Refresh to count them first."));
    const QWidget* controls[] = {
        form->Statistics_Items_ListView,           form->Statistics_Refresh_BitBtn,
        form->Statistics_Copy_To_Clipboard_BitBtn, form->Statistics_Save_BitBtn,
        form->Statistics_Uncovered_Files_ListBox,  form->Statistics_Single_Item_Files_ListBox};
    for (const QWidget* control : controls) {
        SCOPED_TRACE(control->objectName().toStdString());
        EXPECT_FALSE(control->statusTip().isEmpty());
        const auto& all = form->components();
        EXPECT_NE(std::find(all.begin(), all.end(), control), all.end());
    }
    form->Set_Busy_State(false);
    EXPECT_FALSE(form->Statistics_Refresh_BitBtn->isEnabled());
    form->Set_Busy_State(true);
    EXPECT_TRUE(form->Statistics_Refresh_BitBtn->isEnabled());
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
    form->BitBtn1->click();
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
