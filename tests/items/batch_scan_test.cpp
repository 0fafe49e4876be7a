// The batch scan decides each file as the window's scan would on a small pile
// with known answers.

#include "items/batch_scan.h"
#include "support/lock_holder.h"
#include "support/temp_folder.h"
#include "view/message_reader.h"

#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using jl::BatchScanner;
using jl::FileVerdict;
using jl::ScanOutcome;
using jl::test::LockHolder;
using jl::test::TempFolder;

namespace {

// Header with a Received and a Message-ID line, then a body.
QByteArray message(const QByteArray& received, const QByteArray& body,
                   const QByteArray& prelude = {}) {
    return prelude + "Received: from " + received +
           "\r\n"
           "Message-ID: <1@mid.example>\r\n"
           "Subject: offer\r\n"
           "\r\n" +
           body + "\r\n";
}

class Pile : public ::testing::Test {
protected:
    void SetUp() override {
        clean = folder.write("clean.eml", message("relay.example", "nothing to see"));
        headerHit = folder.write("header.eml", message("EVIL.example", "hello"));
        bodyHit = folder.write("body.eml", message("relay.example", "win at the casino"));
        // A byte outside 0x20..0x7A vanishes from the view and joins the item.
        joined = folder.write("joined.eml", message("relay.example", "ca|sino \xe9night"));
        returnPath = folder.write(
            "return.eml", message("relay.example", "plain", "Return-Path: <x@sender.example>\r\n"));
        lfOnly = folder.write("lf.eml", "Received: from evil.example\nMessage-ID: <2@x>\n\nbody\n");
        empty = folder.write("empty.eml", "");
        missing = folder.file("missing.eml");
        dangling = folder.file("dangling.eml");
        QFile::link(missing, dangling);
        throughFile = clean + "/inside.eml";
        pipe = folder.file("pipe");
        ::mkfifo(QFile::encodeName(pipe).constData(), 0600);
    }

    TempFolder folder;
    QString clean, headerHit, bodyHit, joined, returnPath, lfOnly, empty, missing, dangling,
        throughFile, pipe;
    const QStringList items{"evil.example", "casino", "sender.example", ""};
};

TEST_F(Pile, OutcomesAndAnswersUnderEachFilter) {
    struct Case {
        QString path;
        ScanOutcome outcome;
        bool holdsAny[3]; // by filter 0, 1, 2
    };
    const Case cases[] = {
        {clean, ScanOutcome::Read, {false, false, false}},
        {headerHit, ScanOutcome::Read, {true, true, true}},
        {bodyHit, ScanOutcome::Read, {false, false, true}},
        {joined, ScanOutcome::Read, {false, false, true}},
        // The Return-Path line stands before the first Received line.
        {returnPath, ScanOutcome::Read, {false, false, true}},
        {lfOnly, ScanOutcome::Read, {true, true, true}},
        {empty, ScanOutcome::Empty, {false, false, false}},
        {missing, ScanOutcome::Missing, {false, false, false}},
        {dangling, ScanOutcome::Missing, {false, false, false}},
        {throughFile, ScanOutcome::Missing, {false, false, false}},
    };
    for (int filter = 0; filter < 3; ++filter) {
        const BatchScanner scanner(items, filter);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.path.toStdString() + " filter " + std::to_string(filter));
            const FileVerdict any = scanner.decideAny(c.path);
            const FileVerdict each = scanner.decideEach(c.path);
            EXPECT_EQ(any.outcome, c.outcome);
            EXPECT_EQ(any.holdsAnyItem, c.holdsAny[filter]);
            EXPECT_EQ(each.holdsAnyItem, c.holdsAny[filter]);
            ASSERT_EQ(each.present.size(), size_t(items.size()));
            EXPECT_FALSE(each.present[3]); // an empty item matches nothing
        }
    }
}

TEST_F(Pile, MissingFilesArePassedOverEmptyFilesCountAsClean) {
    const QStringList paths{bodyHit, missing, empty, clean, headerHit};
    EXPECT_EQ(jl::filesWithoutItems(paths, items, 1), (QStringList{bodyHit, empty, clean}));
    EXPECT_EQ(jl::filesWithoutItems(paths, items, 2), (QStringList{empty, clean}));
}

TEST_F(Pile, NoItemsOrOnlyEmptyItemsMatchNothing) {
    const QStringList paths{clean, headerHit, missing};
    EXPECT_EQ(jl::filesWithoutItems(paths, {}, 2), (QStringList{clean, headerHit}));
    EXPECT_EQ(jl::filesWithoutItems(paths, {"", ""}, 2), (QStringList{clean, headerHit}));
}

TEST_F(Pile, ItemsMatchIgnoringLetterCase) {
    const BatchScanner scanner({"RELAY.EXAMPLE", "Mid.Example"}, 0);
    const FileVerdict verdict = scanner.decideEach(clean);
    EXPECT_EQ(verdict.present, (std::vector<bool>{true, true}));
}

TEST_F(Pile, FileInUseCountsAsHoldingNoItem) {
    const LockHolder holder(headerHit);
    ASSERT_TRUE(holder.locked());
    const BatchScanner scanner(items, 2);
    const FileVerdict verdict = scanner.decideAny(headerHit);
    EXPECT_EQ(verdict.outcome, ScanOutcome::InUse);
    EXPECT_TRUE(verdict.holdsNoItem());
}

TEST_F(Pile, UnreadableFilesAreReportedAndPassedOver) {
    QStringList reported;
    const QStringList clean1 = jl::filesWithoutItems(
        {pipe, clean}, items, 1, [&reported](const QString& path, const QString& reason) {
            EXPECT_FALSE(reason.isEmpty());
            reported << path;
        });
    EXPECT_EQ(clean1, QStringList{clean});
    EXPECT_EQ(reported, QStringList{pipe});
}

TEST_F(Pile, HitCountsPerItem) {
    const QStringList paths{clean, headerHit, bodyHit, joined, returnPath, lfOnly, empty, missing};
    const jl::HitCounts headers = jl::countItemHits(paths, items, 1);
    EXPECT_EQ(headers.perItem, (std::vector<int>{2, 0, 0, 0}));
    EXPECT_EQ(headers.withoutItems, 5); // clean, body, joined, return, empty
    const jl::HitCounts all = jl::countItemHits(paths, items, 2);
    EXPECT_EQ(all.perItem, (std::vector<int>{2, 2, 1, 0}));
    EXPECT_EQ(all.withoutItems, 2); // clean and empty
}

// Searching the view text while it grows, and deciding on several threads,
// must give what a plain search of the whole view text gives.
TEST(BatchScanDifferential, MatchesAPlainSearchOfTheWholeViewText) {
    TempFolder folder;
    std::mt19937 random(20240611);
    auto pick = [&random](int n) { return int(random() % unsigned(n)); };
    const QStringList items{"kqz", "ZZQ", "qk.kz", "zqzqz"};
    const char letters[] = "abcdefghij.:  "; // never an item by chance
    QStringList paths;
    for (int f = 0; f < 60; ++f) {
        QList<QByteArray> lines;
        const int count = pick(4) == 0 ? 3 : 50 + pick(1500);
        for (int l = 0; l < count; ++l) {
            // Now and then a line longer than one read chunk.
            const int length = pick(800) == 0 ? 40000 + pick(10000) : pick(80);
            QByteArray line;
            for (int c = 0; c < length; ++c)
                line += letters[pick(int(sizeof letters) - 1)];
            lines << line;
        }
        lines[1] = "Received: from x";
        if (pick(3) != 0) {
            // An item somewhere, in any letter case; a dropped byte inside it
            // still makes a match, a line break inside it does not.
            QByteArray item = items.at(pick(int(items.size()))).toLatin1();
            for (char& c : item)
                if (pick(2) == 0)
                    c = char(QChar::fromLatin1(c).toUpper().toLatin1());
            const int cut = 1 + pick(int(item.size()) - 1);
            if (pick(4) == 0)
                item.insert(cut, pick(2) == 0 ? "|" : "\xe9");
            else if (pick(6) == 0)
                item.insert(cut, "\r\n");
            QByteArray& line = lines[pick(int(lines.size()))];
            line.insert(pick(int(line.size()) + 1), item);
        }
        QByteArray bytes;
        for (const QByteArray& line : lines)
            bytes += line + (pick(3) == 0 ? "\n" : "\r\n");
        paths << folder.write(QStringLiteral("f%1.eml").arg(f), bytes);
    }
    paths << folder.file(QStringLiteral("missing.eml"));

    for (int filter = 0; filter < 3; ++filter) {
        SCOPED_TRACE(filter);
        const BatchScanner scanner(items, filter);
        int clean = 0;
        int lastIndex = -1;
        scanner.decideAll(paths, false, 3, [&](int index, const FileVerdict& verdict) {
            EXPECT_EQ(index, lastIndex + 1); // handed on in list order
            lastIndex = index;
            if (index == paths.size() - 1) {
                EXPECT_EQ(verdict.outcome, ScanOutcome::Missing);
                return;
            }
            jl::ViewTextBuilder view;
            jl::ReaderHooks hooks;
            hooks.filter = [filter] { return filter; };
            jl::Load_File_Into_View(paths.at(index), view, hooks);
            const QString text = view.toQString();
            bool expected = false;
            for (const QString& item : items)
                expected = expected || text.contains(item, Qt::CaseInsensitive);
            EXPECT_EQ(verdict.holdsAnyItem, expected) << index;
            clean += expected ? 0 : 1;
        });
        EXPECT_EQ(lastIndex, paths.size() - 1);
        EXPECT_GT(clean, 0); // both answers occur
        EXPECT_LT(clean, 60);
    }
}

TEST(BatchScanDifferential, AnItemWithALineBreakIsSearchedAcrossLines) {
    TempFolder folder;
    QByteArray bytes = "Received: from a\r\n";
    bytes += QByteArray(70000, 'x') + "\r\nlast line\r\nMessage-ID: <1@x>\r\n";
    const QString path = folder.write(QStringLiteral("m.eml"), bytes);
    EXPECT_TRUE(BatchScanner({"xx\nLAST"}, 1).decideAny(path).holdsAnyItem);
    EXPECT_FALSE(BatchScanner({"xx\nfirst"}, 1).decideAny(path).holdsAnyItem);
}

} // namespace

TEST(BatchScanCaps, ItemsAfterAnOverlongLineAreFound) {
    // A line past the view's line cap is cut there; the lines after it are
    // still read and searched, as the window shows them.
    TempFolder folder;
    const QByteArray longLine(2 * jl::ViewTextBuilder::DefaultLineCap + 5, 'x');
    const QString path = folder.write(
        QStringLiteral("m.eml"), "Received: from a\r\n" + longLine +
                                     "\r\nX-Offer: win at the casino\r\nMessage-ID: <1@x>\r\n");
    for (int filter : {0, 1, 2}) {
        SCOPED_TRACE(filter);
        EXPECT_TRUE(BatchScanner({"casino"}, filter).decideAny(path).holdsAnyItem);
        EXPECT_EQ(BatchScanner({"casino", "xxxx", "nowhere"}, filter).decideEach(path).present,
                  (std::vector<bool>{true, true, false}));
    }
}
