// What the items cover, the scan decided ahead, and the items table, on small
// piles with known answers.

#include "items/collection_stats.h"
#include "items/item_stats_model.h"
#include "items/scan_ahead.h"
#include "support/temp_folder.h"

#include <QDir>

#include <gtest/gtest.h>

#include <stop_token>
#include <sys/stat.h>

namespace jl {
namespace {

using test::TempFolder;

QByteArray message(const QByteArray& header, const QByteArray& body) {
    return "Received: from " + header + "\r\nMessage-ID: <1@x>\r\n\r\n" + body + "\r\n";
}

class CoverPile : public ::testing::Test {
protected:
    void SetUp() override {
        // Under filter 2 (all text): a holds casino and spam, b casino only,
        // c nothing, d spam only, e is empty, f names no file, g is a pipe.
        paths = {folder.write("a", message("spam.example", "casino")),
                 folder.write("b", message("relay", "CASINO night")),
                 folder.write("c", message("relay", "hello")),
                 folder.write("d", message("SPAM.example", "hello")),
                 folder.write("e", ""),
                 folder.file("f"),
                 folder.file("g")};
        ::mkfifo(QFile::encodeName(paths.last()).constData(), 0600);
    }
    TempFolder folder;
    QStringList paths;
    const QStringList items{"casino", "spam.example", "nowhere", ""};
};

TEST_F(CoverPile, CountsDeadUncoveredAndSingleCoveredFiles) {
    for (const int threads : {1, 3}) {
        SCOPED_TRACE(threads);
        const CollectionStats all =
            collectStats(BatchScanner(items, 2), paths, JobControl(), threads);
        EXPECT_EQ(all.files, (std::vector<qint64>{2, 2, 0, 0}));
        EXPECT_EQ(all.alone, (std::vector<int>{1, 1, 0, 0}));
        EXPECT_EQ(all.deadItems(), 2);
        EXPECT_EQ(all.listed, 7);
        EXPECT_EQ(all.examined, 5);
        EXPECT_EQ(all.unreadable, 2);
        EXPECT_EQ(all.uncovered, (QStringList{paths[2], paths[4]}));
        ASSERT_EQ(all.single.size(), 2u);
        EXPECT_EQ(all.single[0].path, paths[1]);
        EXPECT_EQ(all.single[0].item, 0);
        EXPECT_EQ(all.single[1].path, paths[3]);
        EXPECT_EQ(all.single[1].item, 1);
        EXPECT_TRUE(all.complete);

        // Headers only: the bodies' casino is out of view.
        const CollectionStats headers =
            collectStats(BatchScanner(items, 1), paths, JobControl(), threads);
        EXPECT_EQ(headers.files, (std::vector<qint64>{0, 2, 0, 0}));
        EXPECT_EQ(headers.uncovered, (QStringList{paths[1], paths[2], paths[4]}));
    }
}

TEST_F(CoverPile, AStopRequestEndsTheCountIncomplete) {
    std::stop_source stop;
    qint64 lastDone = -1, lastTotal = -1;
    const JobControl control(stop.get_token(), [&](qint64 done, qint64 total) {
        lastDone = done;
        lastTotal = total;
        if (done == 2)
            stop.request_stop();
    });
    const CollectionStats stats = collectStats(BatchScanner(items, 2), paths, control, 1);
    EXPECT_FALSE(stats.complete);
    EXPECT_EQ(stats.examined, 2);
    EXPECT_EQ(lastDone, 2);
    EXPECT_EQ(lastTotal, 7);
}

TEST_F(CoverPile, NextFileHoldingGoesOnFromTheTop) {
    const BatchScanner spam(QStringList{"spam.example"}, 2);
    const BatchScanner none(QStringList{"nowhere"}, 2);
    struct Row {
        const BatchScanner* scanner;
        int after;
        int found;
    };
    const Row rows[] = {{&spam, -1, 0}, {&spam, 0, 3}, {&spam, 3, 0},
                        {&spam, 6, 0},  {&spam, 2, 3}, {&none, 1, -1}};
    for (const Row& row : rows)
        EXPECT_EQ(nextFileHolding(*row.scanner, paths, row.after, JobControl(), 2), row.found)
            << row.after;
    EXPECT_EQ(nextFileHolding(spam, {}, -1, JobControl()), -1);
}

TEST_F(CoverPile, ScanAheadStopsWhereTheWindowMustLook) {
    // From each start: where the window must look, the last file passed over,
    // the last one that wrote the caption, and the unreadable ones on the way.
    struct Row {
        int from;
        bool itemsCount;
        int stopAt, reached, captioned, unreadable;
    };
    const Row rows[] = {
        {0, true, 2, 1, 1, 0},    // a and b hold casino, c does not
        {2, true, 2, 1, -1, 0},   // c holds nothing
        {4, true, 4, 3, -1, 0},   // e is empty
        {5, true, -1, 6, 6, 1},   // f names no file, g cannot be read
        {0, false, 0, -1, -1, 0}, // colour coding 0 and 1 stop on the first file read
        {5, false, -1, 6, 6, 1},  // ... but pass over what is not read
    };
    const BatchScanner scanner(QStringList{"casino"}, 2);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.from);
        const ScanAhead ahead =
            scanAhead(scanner, paths, row.from, row.itemsCount, JobControl(), 2);
        EXPECT_EQ(ahead.stopAt, row.stopAt);
        EXPECT_EQ(ahead.reached, row.stopAt >= 0 ? row.stopAt - 1 : row.reached);
        EXPECT_EQ(ahead.lastCaptioned, row.captioned);
        EXPECT_EQ(ahead.unreadable, row.unreadable);
        EXPECT_FALSE(ahead.stopped);
    }

    // A file that failed part-way is the window's to decide; a directory is
    // no file to the window.
    FileVerdict cut;
    cut.outcome = ScanOutcome::Unreadable;
    cut.cutShort = true;
    EXPECT_FALSE(scanStep(paths[0], cut, true).passes);
    FileVerdict notRegular;
    notRegular.outcome = ScanOutcome::Unreadable;
    EXPECT_EQ(scanStep(folder.path(), notRegular, true).kind, PassKind::NoFile);
    EXPECT_EQ(scanStep(paths[6], notRegular, true).kind, PassKind::Unreadable);

    std::stop_source stop;
    stop.request_stop();
    const ScanAhead stopped = scanAhead(scanner, paths, 0, true, JobControl(stop.get_token(), {}));
    EXPECT_TRUE(stopped.stopped);
    EXPECT_EQ(stopped.stopAt, -1);
    EXPECT_EQ(stopped.reached, -1);
}

TEST(ItemStatsModelTest, SortsByEveryColumnAndWritesCsv) {
    CollectionStats stats;
    stats.items = {"a,b", "mx.example", "say \"hi\"", "two\r\nlines"};
    stats.files = {3, 0, 3, 1};
    stats.alone = {0, 0, 2, 1};
    ItemStatsModel model;
    model.setStats(stats);
    auto order = [&model] {
        std::vector<int> rows;
        for (int row = 0; row < model.rowCount(); ++row)
            rows.push_back(model.itemAt(row));
        return rows;
    };
    EXPECT_EQ(order(), (std::vector<int>{0, 1, 2, 3})); // the list's order
    // Ties keep the list's order whichever way a column is sorted.
    const struct {
        int column;
        Qt::SortOrder sortOrder;
        std::vector<int> rows;
    } sorts[] = {
        {ItemStatsModel::FilesColumn, Qt::AscendingOrder, {1, 3, 0, 2}},
        {ItemStatsModel::FilesColumn, Qt::DescendingOrder, {0, 2, 3, 1}},
        {ItemStatsModel::AloneColumn, Qt::DescendingOrder, {2, 3, 0, 1}},
        {ItemStatsModel::KindColumn, Qt::AscendingOrder, {1, 0, 2, 3}}, // "host" < "other"
        {ItemStatsModel::KindColumn, Qt::DescendingOrder, {0, 2, 3, 1}},
        {ItemStatsModel::ItemColumn, Qt::DescendingOrder, {3, 2, 1, 0}},
    };
    for (const auto& sort : sorts) {
        model.sort(sort.column, sort.sortOrder);
        EXPECT_EQ(order(), sort.rows) << sort.column;
    }
    EXPECT_EQ(model.data(model.index(0, ItemStatsModel::FilesColumn), Qt::DisplayRole), 1);

    model.sort(ItemStatsModel::ItemColumn, Qt::AscendingOrder);
    EXPECT_EQ(model.data(model.index(0, ItemStatsModel::KindColumn), Qt::DisplayRole), "other");
    EXPECT_EQ(model.toCsv(), QStringLiteral("Files,Alone,Kind,Item\r\n"
                                            "3,0,other,\"a,b\"\r\n"
                                            "0,0,host,mx.example\r\n"
                                            "3,2,other,\"say \"\"hi\"\"\"\r\n"
                                            "1,1,other,\"two\r\nlines\"\r\n"));
    EXPECT_EQ(csvField(QStringLiteral("lone\nbreak")), QStringLiteral("\"lone\nbreak\""));
}

TEST(ItemStatsModelTest, CsvCellsASpreadsheetWouldEvaluateAreWrittenAsText) {
    const struct {
        const char* item;
        const char* field;
    } cases[] = {
        {"=1+1", "'=1+1"},
        {"+cmd|' /C calc'!A0", "'+cmd|' /C calc'!A0"},
        {"-2+3", "'-2+3"},
        {"@SUM(1+1)", "'@SUM(1+1)"},
        {"=HYPERLINK(\"http://x.example\",\"y\")",
         "\"'=HYPERLINK(\"\"http://x.example\"\",\"\"y\"\")\""},
        {"\t=1+1", "'\t=1+1"},
        {"\r=1+1", "\"'\r=1+1\""},
        // Only the first character counts; a quote already there is kept.
        {"a=1+1", "a=1+1"},
        {"mail@example.com", "mail@example.com"},
        {"'=1", "'=1"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(csvField(QString::fromUtf8(c.item)), QString::fromUtf8(c.field)) << c.item;

    CollectionStats stats;
    stats.items = {"=1+1"};
    stats.files = {1};
    stats.alone = {1};
    ItemStatsModel model;
    model.setStats(stats);
    EXPECT_EQ(model.toCsv(), QStringLiteral("Files,Alone,Kind,Item\r\n1,1,other,'=1+1\r\n"));
}

} // namespace
} // namespace jl
