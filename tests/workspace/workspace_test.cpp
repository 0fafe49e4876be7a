// The rules of the work, without a window: moving through the list, the scan,
// the statistics and when they go out of date, the auto-save, the host that
// closes while work runs.

#include "support/item_pile.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"
#include "util/qstring_printer.h"

#include "items/scan_ahead.h"
#include "util/clipboard.h"
#include "util/list_ops.h"
#include "workspace/workspace.h"

#include <QFileInfo>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>
#include <stop_token>

#include <sys/stat.h>

namespace jl::test {
namespace {

class WorkspaceTest : public ::testing::Test {
protected:
    TempFolder program;
    TempFolder messages;
    ScriptedDialogs dialogs;
    MemoryClipboard clipboard;
    Workspace ws{ProgramFolder(program.path(), QStringLiteral("junkloupe")), dialogs, clipboard};

    void SetUp() override {
        ws.setViewFilter(AllText);
        ws.setColourOption(Everything);
    }
    // The pile of support/item_pile.h.
    void makePile(const QString& pattern) {
        makeItemPile(ws.files(), ws.items(), messages, pattern);
    }
};

TEST_F(WorkspaceTest, MovesThroughTheListWithItsEdgeCases) {
    using Move = Workspace::Move;
    const QString noFiles = "Error: There are no files in the list.";
    const QString first = "Error: You are already on the First file in the list.";
    const QString last = "Error: You are already at the Last file in the list.";
    struct Step {
        Move move;
        int count;
        int before; // current entry before (-1: none)
        int after;
        QString refusal;
    };
    const Step steps[] = {
        {Move::First, 0, -1, -1, noFiles}, {Move::Previous, 0, -1, -1, noFiles},
        {Move::Next, 0, -1, -1, noFiles},  {Move::Last, 0, -1, -1, noFiles},
        {Move::Next, 3, -1, 0, {}},      // no current entry: entry 0
        {Move::Previous, 3, -1, -1, {}}, // asks for -2: none, no refusal
        {Move::Previous, 3, 0, 0, first},  {Move::Next, 3, 0, 1, {}},
        {Move::Next, 3, 2, 2, last},       {Move::Previous, 3, 2, 1, {}},
        {Move::Last, 3, 0, 2, {}},         {Move::First, 3, 2, 0, {}},
        {Move::First, 3, -1, 0, {}},       {Move::Previous, 1, 0, 0, first},
        {Move::Next, 1, 0, 0, last},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message()
                     << int(step.move) << " in " << step.count << " from " << step.before);
        ws.files().clear();
        for (int i = 0; i < step.count; ++i)
            ws.files().insert(QStringLiteral("/m/%1").arg(i));
        ws.setCurrentIndex(step.before);
        QString refusal;
        EXPECT_EQ(ws.move(step.move, &refusal), step.refusal.isEmpty());
        EXPECT_EQ(refusal, step.refusal);
        EXPECT_EQ(ws.currentIndex(), step.after);
    }
}

TEST_F(WorkspaceTest, ScanStopsOnTheNextCleanFileOrAtTheEnd) {
    struct Row {
        const char* what;
        QString pile;
        int start; // current entry before the scan (-1: none)
        ColourOption colour;
        int end;
        bool lastFileMessage;
    };
    const Row rows[] = {
        {"current entry already the last", "DD", 1, Everything, 1, true},
        {"empty list", "", -1, Everything, -1, true},
        {"no current entry, first file clean", "CD", -1, Everything, 0, false},
        {"no current entry, first file holds items", "DCD", -1, ItemsOnly, 1, false},
        {"next file clean", "DCD", 0, Everything, 1, false},
        {"every remaining file holds items", "DDDD", 0, Everything, 3, true},
        {"last file clean", "DDC", 0, Everything, 2, false},
        {"option 0 moves one file", "DDDD", 0, NoColour, 1, false},
        {"option 1 moves one file", "DDDD", 0, LabelsOnly, 1, false},
        {"missing file passed over", "DMDC", 0, Everything, 3, false},
        {"missing last file", "DM", 0, Everything, 1, true},
        {"empty file stops", "DEC", 0, Everything, 1, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        makePile(row.pile);
        ws.setColourOption(row.colour);
        ws.setCurrentIndex(row.start);
        dialogs.clear();
        ws.scan();
        EXPECT_EQ(ws.currentIndex(), row.end);
        // The refusals of Next File never show during a scan.
        EXPECT_EQ(dialogs.texts(), row.lastFileMessage
                                       ? QStringList{"You are now at the last file in the list."}
                                       : QStringList());
        EXPECT_FALSE(ws.passOverUnreadable());
    }
}

TEST_F(WorkspaceTest, ScanPassesOverFilesThatCannotBeReadAndCountsThemOnce) {
    makePile("DDC");
    // A folder where a file was: it names no file. A named pipe cannot be read.
    const QString pipe = messages.file("f001-pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    ws.files().insert(pipe);
    ws.setCurrentIndex(0);
    ws.scan();
    EXPECT_EQ(ws.currentIndex(), 3);
    EXPECT_EQ(dialogs.texts(), QStringList{unreadableFilesMessage(1)});
}

// Counted under one set of lists and options, the statistics go out of date
// with any change of them and come back with a refresh.
TEST_F(WorkspaceTest, StatisticsGoOutOfDateWithTheListsAndTheReadOptions) {
    makePile("DCDM");
    QSignalSpy changed(&ws, &Workspace::statisticsChanged);
    EXPECT_EQ(ws.statistics(), nullptr);
    EXPECT_FALSE(ws.statisticsStale());
    ASSERT_TRUE(ws.refreshStatistics());
    ASSERT_NE(ws.statistics(), nullptr);
    EXPECT_EQ(ws.statistics()->files, std::vector<qint64>{2});
    EXPECT_EQ(ws.statistics()->unreadable, 1);
    EXPECT_EQ(ws.statistics()->filter, AllText);

    const std::function<void()> changes[] = {
        [&] { ws.items().insert("hello"); },   [&] { ws.files().removeAt(0); },
        [&] { ws.setViewFilter(AllHeaders); }, [&] { ws.setDecodeMime(true); },
        [&] { ws.files().clear(); },
    };
    for (const auto& change : changes) {
        ASSERT_TRUE(ws.refreshStatistics());
        EXPECT_FALSE(ws.statisticsStale());
        changed.clear();
        change();
        EXPECT_TRUE(ws.statisticsStale());
        EXPECT_FALSE(changed.isEmpty());
    }
    // Options that do not decide how a file is read leave them as they are.
    ASSERT_TRUE(ws.refreshStatistics());
    ws.setColourOption(NoColour);
    ws.setAutoSave(!ws.autoSave());
    ws.setCurrentIndex(0);
    EXPECT_FALSE(ws.statisticsStale());
}

TEST_F(WorkspaceTest, NextFileHoldingAnItemGoesRoundTheEnd) {
    makePile("DCDC");
    const struct {
        int current;
        QString item;
        int found;
    } cases[] = {
        {0, "spam-token", 2}, {2, "spam-token", 0}, {-1, "spam-token", 0},
        {1, "SPAM-TOKEN", 2}, {0, "hello", 1},      {0, "nowhere", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item.toStdString() + " after " + std::to_string(c.current));
        ws.setCurrentIndex(c.current);
        EXPECT_EQ(ws.nextFileHolding(c.item), std::optional<int>(c.found));
    }
}

// A host that runs the work, then closes (or changes a list meanwhile).
class ClosingHost : public WorkspaceHost {
public:
    std::function<void()> meanwhile;
    bool isClosed = false;
    bool stopWork = false; // the work is asked to stop from its start
    int shown = 0;
    void runWork(const std::function<void(const JobControl&)>& work) override {
        std::stop_source stop;
        if (stopWork)
            stop.request_stop();
        work(JobControl(stop.get_token(), {}));
        if (meanwhile)
            meanwhile();
    }
    bool closed() const override { return isClosed; }
    bool showCurrentEntry() override { return ++shown, false; }
    void captionEntry(int) override {}
};

TEST_F(WorkspaceTest, WorkEndedByAClosedHostOrAnotherCommandChangesNothing) {
    makePile("DDDC");
    ClosingHost host;
    ws.setHost(&host);
    const std::function<void()> interruptions[] = {
        [&] { host.isClosed = true; },
        [&] { ws.files().insert(messages.write("new", "x")); },
        [&] { ws.items().insert("other"); },
        [&] { ws.setCurrentIndex(1); },
        [&] { ws.setColourOption(LabelsOnly); },
        [&] { ws.setViewFilter(AllHeaders); },
        [&] { ws.setDecodeMime(true); },
    };
    for (const auto& interruption : interruptions) {
        host.isClosed = false;
        host.meanwhile = interruption;
        host.shown = 0;
        ws.setColourOption(Everything);
        ws.setViewFilter(AllText);
        ws.setDecodeMime(false);
        ws.setCurrentIndex(0);
        dialogs.clear();
        ws.scan();
        EXPECT_EQ(host.shown, 0);
        EXPECT_EQ(dialogs.count(), 0u);
    }
    // The statistics counted while the host closed are dropped.
    host.meanwhile = [&] { host.isClosed = true; };
    EXPECT_FALSE(ws.refreshStatistics());
    EXPECT_EQ(ws.statistics(), nullptr);
    EXPECT_EQ(ws.nextFileHolding("spam-token"), std::nullopt);
    ws.setHost(nullptr);
}

// A directory becomes the current one (which the same choice again does not
// read) only once it was read whole; a stop keeps the one before and
// remembers where it stopped, a close meanwhile merges nothing.
TEST_F(WorkspaceTest, ADirectoryBecomesCurrentOnlyOnceReadWhole) {
    for (int i = 0; i < 3; ++i)
        messages.write(QStringLiteral("d/m%1").arg(i), "x");
    const QString dir = messages.file("d/"); // as the chooser gives it
    const QString before = messages.path();
    ClosingHost host;
    ws.setHost(&host);
    ws.setCurrentDirectory(before);
    const struct {
        bool stop, close;
        int files;
        QString current, unfinished;
    } runs[] = {
        {true, false, 1, before, dir}, // the stop is asked after the first name
        {false, true, 1, before, dir},
        {false, false, 3, dir, {}},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(testing::Message() << run.stop << run.close);
        host.stopWork = run.stop;
        host.isClosed = run.close;
        const Workspace::DirectoryRead read = ws.readDirectory(dir);
        EXPECT_EQ(read.dropped, run.close);
        EXPECT_EQ(read.stop.stopped, run.stop);
        EXPECT_EQ(ws.files().count(), run.files);
        EXPECT_EQ(ws.currentDirectory(), run.current);
        EXPECT_EQ(ws.unfinishedDirectory(), run.unfinished);
    }
    ws.setHost(nullptr);
}

TEST_F(WorkspaceTest, ColouringFollowsTheItemsAndSetsTheFoundAnyFlag) {
    QSignalSpy found(&ws, &Workspace::foundAnyChanged);
    const QString text = QStringLiteral("Received: from relay\nbody with Casino");
    EXPECT_TRUE(ws.colourText(text).foundAny == false);
    EXPECT_FALSE(ws.foundAny());
    ws.items().insert("casino");
    ColourResult result = ws.colourText(text);
    EXPECT_TRUE(ws.foundAny());
    ASSERT_FALSE(result.spans.empty());
    EXPECT_EQ(result.spans.back(), (ColourSpan{int(text.indexOf("Casino")), 6, TextColour::Red}));
    ws.setColourOption(LabelsOnly);
    result = ws.colourText(text);
    EXPECT_FALSE(ws.foundAny());
    EXPECT_EQ(found.count(), 2);
    ws.items().clear();
    ws.setColourOption(Everything);
    EXPECT_FALSE(ws.colourText(text).foundAny);
}

TEST_F(WorkspaceTest, ReadEntryUsesTheViewFilterAndPassesOverOnlyDuringAScan) {
    const QString path = messages.write("m", "Subject: x\r\nReceived: from a\r\nbody\r\n");
    QStringList texts;
    for (const ViewFilter filter : {FirstHeaderOnly, AllText}) {
        ws.setViewFilter(filter);
        ViewTextBuilder direct;
        ReaderHooks hooks;
        hooks.filter = [filter] { return int(filter); };
        Load_File_Into_View(path, direct, hooks);
        texts << ws.readEntry(path, {}).text;
        EXPECT_EQ(texts.last(), direct.toQString());
    }
    EXPECT_NE(texts[0], texts[1]);

    const QString pipe = messages.file("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EntryText entry = ws.readEntry(pipe, {});
    EXPECT_EQ(entry.result.status, LoadStatus::CannotRead);
    EXPECT_FALSE(entry.passedOver);
    ws.setPassOverUnreadable(true);
    entry = ws.readEntry(pipe, {});
    EXPECT_TRUE(entry.passedOver);
    EXPECT_EQ(entry.text, unreadableFileLine(entry.result.error));
}

// An item that a message carries only encoded is seen by the view, the scan,
// the search and the statistics once the option is on, and by none of them
// while it is off.
TEST_F(WorkspaceTest, DecodeOptionReadsEveryMessageDecoded) {
    makePile("CCC");
    const QString encoded =
        messages.write("f001", "Subject: hi\r\nContent-Transfer-Encoding: base64\r\n\r\n"
                               "ZnJvbSBzcGFtLXRva2VuIG5vdw==\r\n");
    for (const bool decode : {false, true}) {
        SCOPED_TRACE(decode ? "decoded" : "raw");
        ws.setDecodeMime(decode);
        EXPECT_EQ(ws.readOptions(), (ReadOptions{AllText, decode}));
        EXPECT_EQ(ws.readEntry(encoded, {}).text.contains("from spam-token now"), decode);

        ws.setCurrentIndex(0);
        ws.scan();
        EXPECT_EQ(ws.currentIndex(), decode ? 2 : 1);

        ws.setCurrentIndex(0);
        EXPECT_EQ(ws.nextFileHolding("SPAM-TOKEN"), std::optional<int>(decode ? 1 : -1));

        ASSERT_TRUE(ws.refreshStatistics());
        EXPECT_EQ(ws.statistics()->decoded, decode);
        EXPECT_EQ(ws.statistics()->files, std::vector<qint64>{decode ? 1 : 0});
    }
}

TEST_F(WorkspaceTest, AutoSaveWritesTheItemsOnlyWhenOnAndEraseNeverSaves) {
    const QString file = program.file("Junkloupe.ini_int");
    // Not loaded yet: never written, not even on a change with auto-save on.
    ws.setAutoSave(true);
    ws.items().insert("a");
    ws.autoSaveItems();
    EXPECT_TRUE(ws.saveLists());
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_FALSE(ws.listsLoaded());
    ws.setAutoSave(false);
    ws.filesKeeper().load();
    ws.itemsKeeper().load();
    EXPECT_TRUE(ws.listsLoaded());
    ws.items().insert("a");
    ws.autoSaveItems();
    EXPECT_FALSE(QFileInfo::exists(file));
    ws.setAutoSave(true);
    ws.autoSaveItems();
    EXPECT_EQ(program.read("Junkloupe.ini_int"), "a\r\n");

    dialogs.answerYes();
    EXPECT_TRUE(ws.eraseItems());
    EXPECT_TRUE(ws.items().isEmpty());
    EXPECT_EQ(program.read("Junkloupe.ini_int"), "a\r\n");
    EXPECT_FALSE(ws.eraseItems()); // nothing to erase: refused
    EXPECT_EQ(dialogs.lastText(), "Error: There are no \"interesting items\" in the list.");
    EXPECT_TRUE(ws.saveLists());
    EXPECT_EQ(program.read("Junkloupe.ini_int"), "");
    EXPECT_TRUE(dialogs.scriptUsedUp());
}

TEST_F(WorkspaceTest, OptionSettersSignalOnlyAChange) {
    QSignalSpy filter(&ws, &Workspace::viewFilterChanged);
    QSignalSpy directory(&ws, &Workspace::currentDirectoryChanged);
    ws.setViewFilter(AllText);
    ws.setViewFilter(AllHeaders);
    ws.setViewFilter(AllHeaders);
    ws.setCurrentDirectory("/a");
    ws.setCurrentDirectory("/a");
    EXPECT_EQ(filter.count(), 1);
    EXPECT_EQ(directory.count(), 1);
    EXPECT_EQ(ws.readOptions(), ReadOptions{AllHeaders});
}

} // namespace
} // namespace jl::test
