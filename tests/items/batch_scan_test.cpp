// The batch scan decides each file as the window's scan would on a small pile
// with known answers.

#include "items/batch_scan.h"
#include "items/collection_stats.h"
#include "support/lock_holder.h"
#include "support/temp_folder.h"
#include "util/lock_table.h"
#include "view/message_reader.h"

#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <memory>
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

// One file decided by the engine, through decideAll as its users ask.
FileVerdict decide(const BatchScanner& scanner, const QString& path, bool each) {
    FileVerdict verdict;
    scanner.decideAll({path}, each, 1, [&verdict](int, const FileVerdict& v) { verdict = v; });
    return verdict;
}

// The files that junkloupe-cli scan lists, and those it reports unreadable.
QStringList withoutItems(const QStringList& paths, const QStringList& items, int filter,
                         QStringList* unreadable = nullptr) {
    QStringList listed;
    BatchScanner(items, filter).decideAll(paths, false, 0, [&](int i, const FileVerdict& v) {
        if (v.outcome == ScanOutcome::Unreadable && unreadable) {
            EXPECT_FALSE(v.reason.isEmpty());
            unreadable->append(paths.at(i));
        }
        if (v.holdsNoItem())
            listed.append(paths.at(i));
    });
    return listed;
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
            const FileVerdict any = decide(scanner, c.path, false);
            const FileVerdict each = decide(scanner, c.path, true);
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
    EXPECT_EQ(withoutItems(paths, items, 1), (QStringList{bodyHit, empty, clean}));
    EXPECT_EQ(withoutItems(paths, items, 2), (QStringList{empty, clean}));
}

TEST_F(Pile, NoItemsOrOnlyEmptyItemsMatchNothing) {
    const QStringList paths{clean, headerHit, missing};
    EXPECT_EQ(withoutItems(paths, {}, 2), (QStringList{clean, headerHit}));
    EXPECT_EQ(withoutItems(paths, {"", ""}, 2), (QStringList{clean, headerHit}));
}

TEST_F(Pile, ItemsMatchIgnoringLetterCase) {
    const BatchScanner scanner({"RELAY.EXAMPLE", "Mid.Example"}, 0);
    const FileVerdict verdict = decide(scanner, clean, true);
    EXPECT_EQ(verdict.present, (std::vector<bool>{true, true}));
}

TEST_F(Pile, FileInUseCountsAsHoldingNoItem) {
    const LockHolder holder(headerHit);
    ASSERT_TRUE(holder.locked());
    const BatchScanner scanner(items, 2);
    const FileVerdict verdict = decide(scanner, headerHit, false);
    EXPECT_EQ(verdict.outcome, ScanOutcome::InUse);
    EXPECT_TRUE(verdict.holdsNoItem());
}

// A batch looks at the system's lock table instead of probing every file: a
// lock of any kind is still seen, also one taken while the batch runs.
TEST_F(Pile, ABatchSeesEveryLockAnotherProcessHolds) {
    using Lock = jl::test::LockKind;
    const BatchScanner scanner(items, 2);
    auto outcomes = [&](const std::function<void(int)>& after = {}) {
        std::vector<ScanOutcome> seen;
        scanner.decideAll({clean, headerHit, bodyHit}, false, 1,
                          [&](int index, const FileVerdict& verdict) {
                              seen.push_back(verdict.outcome);
                              if (after)
                                  after(index);
                          });
        return seen;
    };
    const std::vector<ScanOutcome> headerInUse{ScanOutcome::Read, ScanOutcome::InUse,
                                               ScanOutcome::Read};
    for (const Lock kind : {Lock::FlockExclusive, Lock::FlockShared, Lock::RecordWrite,
                            Lock::RecordRead, Lock::OpenFileWrite}) {
        SCOPED_TRACE(int(kind));
        const LockHolder holder(headerHit, kind);
        ASSERT_TRUE(holder.locked());
        EXPECT_EQ(outcomes(), headerInUse);
    }
    std::unique_ptr<LockHolder> later;
    EXPECT_EQ(outcomes([&](int index) {
                  if (index == 0) {
                      later = std::make_unique<LockHolder>(headerHit);
                      ASSERT_TRUE(later->locked());
                      // Older than the lock table the batch read at its start.
                      usleep(useconds_t(2 * jl::LockTable::DefaultMaxAge.count() * 1000));
                  }
              }),
              headerInUse);
}

TEST_F(Pile, UnreadableFilesAreReportedAndPassedOver) {
    QStringList reported;
    EXPECT_EQ(withoutItems({pipe, clean}, items, 1, &reported), QStringList{clean});
    EXPECT_EQ(reported, QStringList{pipe});
}

TEST_F(Pile, HitCountsPerItem) {
    const QStringList paths{clean, headerHit, bodyHit, joined, returnPath, lfOnly, empty, missing};
    const jl::ScanTally headers = jl::collectStats(BatchScanner(items, 1), paths, jl::JobControl());
    EXPECT_EQ(headers.files, (std::vector<qint64>{2, 0, 0, 0}));
    EXPECT_EQ(headers.without, 5); // clean, body, joined, return, empty
    EXPECT_EQ(headers.unreadable, 1);
    const jl::ScanTally all = jl::collectStats(BatchScanner(items, 2), paths, jl::JobControl());
    EXPECT_EQ(all.files, (std::vector<qint64>{2, 2, 1, 0}));
    EXPECT_EQ(all.without, 2); // clean and empty
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
    EXPECT_TRUE(decide(BatchScanner({"xx\nLAST"}, 1), path, false).holdsAnyItem);
    EXPECT_FALSE(decide(BatchScanner({"xx\nfirst"}, 1), path, false).holdsAnyItem);
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
        EXPECT_TRUE(decide(BatchScanner({"casino"}, filter), path, false).holdsAnyItem);
        EXPECT_EQ(decide(BatchScanner({"casino", "xxxx", "nowhere"}, filter), path, true).present,
                  (std::vector<bool>{true, true, false}));
    }
}
