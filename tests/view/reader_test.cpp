// The message reader: line ends, the line table under each view filter, the
// byte rule, chunk boundaries, statuses, the view's cap, and the corpus
// against a byte-by-byte model of the line table.

#include "view/message_reader.h"

#include "support/lock_holder.h"
#include "support/temp_folder.h"

#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

class RecordingSink : public jl::LineSink {
public:
    void appendLine(std::string_view line) override { lines.emplace_back(line); }
    Lines lines;
};

// The line table applied byte by byte, as plainly as it can be written.
Lines referenceView(const QByteArray& bytes, int filter) {
    Lines out;
    std::string raw;
    bool inBlock = false, stop = false, pending = false, prevCr = false;
    auto decide = [&] {
        std::string upper = raw;
        for (char& c : upper)
            if (c >= 'a' && c <= 'z')
                c = char(c - 'a' + 'A');
        const bool received = upper.find("RECEIVED:") != std::string::npos;
        const bool messageId = upper.find("MESSAGE-ID:") != std::string::npos;
        if (received || (filter == 2 && !messageId)) {
            out.push_back("");
            out.push_back(raw);
            inBlock = true;
        } else if (messageId) {
            out.push_back("");
            out.push_back(raw);
            if (filter != 0) {
                out.push_back("");
                out.push_back("");
            }
            inBlock = false;
            stop = filter == 0;
        } else if (inBlock) {
            out.push_back(raw);
        }
        raw.clear();
        pending = false;
    };
    for (char ch : bytes) {
        if (stop)
            break;
        const auto b = static_cast<unsigned char>(ch);
        if (b == '\r') {
            decide();
            prevCr = true;
            continue;
        }
        if (b == '\n') {
            if (!prevCr)
                decide();
            prevCr = false;
            continue;
        }
        prevCr = false;
        pending = true;
        if (b >= 0x20 && b <= 0x7A)
            raw.push_back(char(b));
    }
    if (pending && !stop)
        decide();
    return out;
}

Lines feedInPieces(const QByteArray& bytes, int filter, size_t piece) {
    RecordingSink sink;
    jl::LineFilter lf(sink, [filter] { return filter; });
    for (qsizetype at = 0; at < bytes.size() && !lf.stopped(); at += qsizetype(piece))
        lf.feed(bytes.constData() + at, std::min(piece, size_t(bytes.size() - at)));
    lf.finish();
    return sink.lines;
}

struct Loaded {
    jl::LoadResult result;
    Lines lines;
};

Loaded loadFile(const QString& path, int filter) {
    Loaded l;
    RecordingSink sink;
    jl::ReaderHooks hooks;
    hooks.filter = [filter] { return filter; };
    l.result = jl::Load_File_Into_View(path, sink, hooks);
    l.lines = sink.lines;
    return l;
}

Loaded loadBytes(const QByteArray& bytes, int filter) {
    jl::test::TempFolder dir;
    return loadFile(dir.write(QStringLiteral("m.eml"), bytes), filter);
}

const QByteArray kWorkedExample = "Return-Path: x\r\n"
                                  "Received: from a\r\n"
                                  "\tby b\r\n"
                                  "Message-ID: 1.x\r\n"
                                  "Subject: hi\r\n"
                                  "\r\n"
                                  "body\r\n";

TEST(ReaderLineTable, WorkedExampleUnderEachFilter) {
    const Lines expected[3] = {
        {"", "Received: from a", "by b", "", "Message-ID: 1.x"},
        {"", "Received: from a", "by b", "", "Message-ID: 1.x", "", ""},
        {"", "Return-Path: x", "", "Received: from a", "", "by b", "", "Message-ID: 1.x", "", "",
         "", "Subject: hi", "", "", "", "body"},
    };
    for (int filter = 0; filter < 3; ++filter) {
        SCOPED_TRACE(filter);
        const Loaded l = loadBytes(kWorkedExample, filter);
        EXPECT_EQ(l.result.status, jl::LoadStatus::Read);
        EXPECT_EQ(l.lines, expected[filter]);
    }
}

TEST(ReaderLineTable, EdgeCases) {
    struct Case {
        const char* name;
        QByteArray bytes;
        int filter;
        Lines expected;
    };
    const std::vector<Case> cases = {
        {"two CRs make an empty line", "a\r\rb\r", 2, {"", "a", "", "", "", "b"}},
        {"LF-only line ends",
         "Received: x\nby y\nMessage-ID: z\nbody\n",
         1,
         {"", "Received: x", "by y", "", "Message-ID: z", "", ""}},
        {"last line without a line end", "a\r\nb", 2, {"", "a", "", "b"}},
        {"LF then CR is two line ends", "a\n\rb\r\n", 2, {"", "a", "", "", "", "b"}},
        {"the LF of CR LF at the end adds nothing", "a\r\n", 2, {"", "a"}},
        {"a dropped byte after the last line end still ends a line",
         "a\r\n\t",
         2,
         {"", "a", "", ""}},
        {"no Message-ID: filter 0 shows to the end",
         "x\r\nReceived: a\r\nb\r\nc",
         0,
         {"", "Received: a", "b", "c"}},
        {"no Message-ID: filter 1 shows to the end",
         "x\r\nReceived: a\r\nb\r\n",
         1,
         {"", "Received: a", "b"}},
        {"Message-ID before Received under filter 0",
         "Message-ID: m\r\nReceived: r\r\n",
         0,
         {"", "Message-ID: m"}},
        {"filter 1 hides lines after Message-ID until the next Received",
         "Received: 1\r\nMessage-ID: a\r\nhidden\r\nReceived: 2\r\nshown\r\n",
         1,
         {"", "Received: 1", "", "Message-ID: a", "", "", "", "Received: 2", "shown"}},
        {"a line with both labels is a Received line",
         "Message-ID: a Received: b\r\nnext\r\n",
         0,
         {"", "Message-ID: a Received: b", "next"}},
        {"labels match in any case and inside other labels",
         "X-Received: a\r\nx-message-id: b\r\n",
         0,
         {"", "X-Received: a", "", "x-message-id: b"}},
        {"a TAB or a high byte inside a label still matches",
         "Rec\teived: a\r\nMESSAGE\xff-ID: b\r\n",
         0,
         {"", "Received: a", "", "MESSAGE-ID: b"}},
        {"bytes 0x7B..0x7E and 0x80.. vanish",
         "a|b{c}d~e\x7f\x80\xfe"
         "f\r",
         2,
         {"", "abcdef"}},
        {"no line end at all", "Received: only", 1, {"", "Received: only"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(loadBytes(c.bytes, c.filter).lines, c.expected);
        EXPECT_EQ(referenceView(c.bytes, c.filter), c.expected);
    }
}

TEST(ReaderLineTable, EveryByteValueInOneLine) {
    QByteArray bytes;
    std::string kept;
    for (int b = 0; b < 256; ++b) {
        if (b == '\r' || b == '\n')
            continue;
        bytes.append(char(b));
        if (b >= 0x20 && b <= 0x7A)
            kept.push_back(char(b));
    }
    bytes.append("\r\n");
    EXPECT_EQ(loadBytes(bytes, 2).lines, (Lines{"", kept}));
}

TEST(ReaderLineTable, FilterIsAskedAtEveryLineEnd) {
    // A change of the option while the file is read takes effect from the
    // next line.
    RecordingSink sink;
    int filter = 2;
    jl::LineFilter lf(sink, [&filter] { return filter; });
    const QByteArray first = "one\r\n";
    lf.feed(first.constData(), size_t(first.size()));
    filter = 1;
    const QByteArray second = "two\r\n";
    lf.feed(second.constData(), size_t(second.size()));
    lf.finish();
    EXPECT_EQ(sink.lines, (Lines{"", "one", "two"}));
}

TEST(ReaderChunks, AnyPieceSizeGivesTheSameLines) {
    QByteArray bytes = kWorkedExample + "a\rb\nc\r\n\r\nReceived: \xe9t\xe9\n\rX\r";
    for (int filter = 0; filter < 3; ++filter) {
        const Lines whole = feedInPieces(bytes, filter, size_t(bytes.size()));
        EXPECT_EQ(whole, referenceView(bytes, filter));
        for (size_t piece = 1; piece < 9; ++piece)
            EXPECT_EQ(feedInPieces(bytes, filter, piece), whole) << filter << " " << piece;
    }
}

TEST(ReaderChunks, CrLfSplitAcrossTwoChunks) {
    // The CR is the last byte of the first 32,768-byte chunk, its LF the
    // first of the next: one line end, not two.
    QByteArray bytes = "Received: ";
    bytes.append(QByteArray(32767 - bytes.size(), 'x'));
    ASSERT_EQ(bytes.size(), 32767);
    bytes.append("\r\nMessage-ID: 1\r\n");
    const Loaded l = loadBytes(bytes, 1);
    ASSERT_EQ(l.lines.size(), 6u);
    EXPECT_EQ(l.lines[1].size(), 32767u);
    EXPECT_EQ(l.lines[2], "");
    EXPECT_EQ(l.lines[3], "Message-ID: 1");
}

TEST(ReaderChunks, LineLongerThanAChunkIsOneLine) {
    QByteArray bytes = "Received: ";
    bytes.append(QByteArray(70000, 'y'));
    bytes.append("|z\r\n");
    const Loaded l = loadBytes(bytes, 1);
    ASSERT_EQ(l.lines.size(), 2u);
    EXPECT_EQ(l.lines[1], "Received: " + std::string(70000, 'y') + "z");
}

TEST(ReaderStatus, EmptyFileTouchesNeitherViewNorGauge) {
    jl::test::TempFolder dir;
    const QString path = dir.write(QStringLiteral("empty.eml"), {});
    RecordingSink sink;
    int calls = 0;
    jl::ReaderHooks hooks;
    hooks.gaugeRange = [&](qint64) { ++calls; };
    hooks.gaugeProgress = [&](qint64) { ++calls; };
    hooks.pumpEvents = [&] { ++calls; };
    const jl::LoadResult r = jl::Load_File_Into_View(path, sink, hooks);
    EXPECT_EQ(r.status, jl::LoadStatus::Empty);
    EXPECT_TRUE(sink.lines.empty());
    EXPECT_EQ(calls, 0);
}

TEST(ReaderStatus, UnreadablePathsReportTheReason) {
    jl::test::TempFolder dir;
    const Loaded missing = loadFile(dir.file(QStringLiteral("absent.eml")), 1);
    EXPECT_EQ(missing.result.status, jl::LoadStatus::CannotRead);
    EXPECT_FALSE(missing.result.error.isEmpty());

    const Loaded directory = loadFile(dir.mkdir(QStringLiteral("sub")), 1);
    EXPECT_EQ(directory.result.status, jl::LoadStatus::CannotRead);
    EXPECT_FALSE(directory.result.error.isEmpty());
}

TEST(ReaderStatus, FifoIsNeverOpened) {
    jl::test::TempFolder dir;
    const QString fifo = dir.file(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // Opening a fifo for reading with no writer would block this test.
    const Loaded l = loadFile(fifo, 2);
    EXPECT_EQ(l.result.status, jl::LoadStatus::CannotRead);
    EXPECT_TRUE(l.result.error.contains(QStringLiteral("pipe")));
    EXPECT_TRUE(l.lines.empty());
}

TEST(ReaderStatus, FileLockedByAnotherProcessIsInUse) {
    jl::test::TempFolder dir;
    const QString path = dir.write(QStringLiteral("locked.eml"), kWorkedExample);
    Loaded l;
    {
        const jl::test::LockHolder holder(path);
        ASSERT_TRUE(holder.locked());
        l = loadFile(path, 2);
    }
    EXPECT_EQ(l.result.status, jl::LoadStatus::InUse);
    EXPECT_TRUE(l.lines.empty());
    // Once the lock is gone the file reads normally.
    EXPECT_EQ(loadFile(path, 2).result.status, jl::LoadStatus::Read);
}

TEST(ReaderProgress, PumpEvery10001BytesAcrossChunksAndGaugePerChunk) {
    jl::test::TempFolder dir;
    const QString path = dir.write(QStringLiteral("big.eml"), QByteArray(80000, 'a'));
    int pumps = 0;
    std::vector<qint64> progress;
    qint64 range = -1;
    jl::ReaderHooks hooks;
    hooks.filter = [] { return 2; };
    hooks.pumpEvents = [&] { ++pumps; };
    hooks.gaugeRange = [&](qint64 max) { range = max; };
    hooks.gaugeProgress = [&](qint64 p) { progress.push_back(p); };
    RecordingSink sink;
    EXPECT_EQ(jl::Load_File_Into_View(path, sink, hooks).status, jl::LoadStatus::Read);
    EXPECT_EQ(range, 80000);
    // Once after setting up the gauge, then after every 10,001 bytes: the
    // counter runs on over chunk boundaries.
    EXPECT_EQ(pumps, 1 + 80000 / 10001);
    EXPECT_EQ(progress, (std::vector<qint64>{32768, 65536, 80000, 80000}));
}

// Decoding reads the file twice (to take it apart, then to write it): the
// gauge moves with half of what was read, events are pumped as it goes, and
// a stop request ends the work with what was shown so far.
TEST(ReaderProgress, DecodingPumpsMovesTheGaugeAndStops) {
    QByteArray bytes = "Content-Transfer-Encoding: base64\r\n\r\n";
    for (int i = 0; i < 3000; ++i)
        bytes.append("YSBsaW5lIG9mIHRleHQsIG9uZSBvZiBtYW55ISEK\r\n"); // "a line of text, ..."
    jl::test::TempFolder dir;
    const QString path = dir.write(QStringLiteral("m.eml"), bytes);
    int pumps = 0;
    std::vector<qint64> progress;
    jl::ReaderHooks hooks;
    hooks.filter = [] { return 2; };
    hooks.decodeMime = true;
    hooks.pumpEvents = [&] { ++pumps; };
    hooks.gaugeProgress = [&](qint64 p) { progress.push_back(p); };
    RecordingSink whole;
    EXPECT_EQ(jl::Load_File_Into_View(path, whole, hooks).status, jl::LoadStatus::Read);
    EXPECT_GE(pumps, bytes.size() / 10001);
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), bytes.size());
    EXPECT_EQ(whole.lines.back(), "a line of text, one of many!!");

    hooks.stop = [&] { return pumps >= 16; }; // once writing
    pumps = 0;
    RecordingSink stopped;
    EXPECT_EQ(jl::Load_File_Into_View(path, stopped, hooks).status, jl::LoadStatus::Read);
    EXPECT_GT(stopped.lines.size(), 0u);
    EXPECT_LT(stopped.lines.size(), whole.lines.size());
}

TEST(ReaderProgress, FilterZeroStopsReadingAtMessageId) {
    QByteArray bytes = "Received: a\r\nMessage-ID: b\r\n";
    bytes.append(QByteArray(100000, 'z'));
    jl::test::TempFolder dir;
    const QString path = dir.write(QStringLiteral("m.eml"), bytes);
    std::vector<qint64> progress;
    jl::ReaderHooks hooks;
    hooks.filter = [] { return 0; };
    hooks.gaugeProgress = [&](qint64 p) { progress.push_back(p); };
    RecordingSink sink;
    jl::Load_File_Into_View(path, sink, hooks);
    EXPECT_EQ(sink.lines, (Lines{"", "Received: a", "", "Message-ID: b"}));
    // One chunk read (counted whole), then the gauge is set full.
    EXPECT_EQ(progress, (std::vector<qint64>{32768, bytes.size()}));
}

TEST(ReaderCap, ViewIsCutWithANoteAndReadingStops) {
    QByteArray bytes;
    for (int i = 0; i < 20000; ++i)
        bytes.append("line " + QByteArray::number(i) + "\r\n");
    jl::test::TempFolder dir;
    const QString path = dir.write(QStringLiteral("m.eml"), bytes);

    jl::ViewTextBuilder whole;
    jl::ReaderHooks hooks;
    hooks.filter = [] { return 2; };
    jl::Load_File_Into_View(path, whole, hooks);
    ASSERT_FALSE(whole.wasCut());

    int chunks = 0;
    hooks.gaugeProgress = [&](qint64) { ++chunks; };
    jl::ViewTextBuilder capped(1000);
    EXPECT_EQ(jl::Load_File_Into_View(path, capped, hooks).status, jl::LoadStatus::Read);
    EXPECT_TRUE(capped.wasCut());
    const std::string& text = capped.text();
    const size_t lastBreak = text.rfind('\n');
    ASSERT_NE(lastBreak, std::string::npos);
    EXPECT_EQ(text.substr(lastBreak + 1),
              " *** The view was cut here: the text is longer than 1,000 characters.");
    // Everything before the note is the start of the whole view, up to the cap.
    EXPECT_GE(lastBreak, 999u);
    EXPECT_LE(lastBreak, 1000u);
    EXPECT_EQ(text.substr(0, lastBreak), whole.text().substr(0, lastBreak));
    EXPECT_EQ(chunks, 2); // the first chunk filled the view; then the gauge is set full
}

TEST(ReaderCap, BuilderKeepsWhatFitsOfTheLineThatOverflows) {
    jl::ViewTextBuilder b(10);
    b.appendLine("abcd");
    b.appendLine("efghijkl");
    b.appendLine("more");
    EXPECT_TRUE(b.wasCut());
    EXPECT_EQ(b.text(),
              "abcd\nefghi\n *** The view was cut here: the text is longer than 10 characters.");
    EXPECT_EQ(b.lineCount(), 3);

    // A full view takes no further empty line either: each would add a line
    // break past the cap.
    jl::ViewTextBuilder full(4);
    full.appendLine("abcd");
    for (int i = 0; i < 100; ++i)
        full.appendLine({});
    EXPECT_EQ(full.text(),
              "abcd\n *** The view was cut here: the text is longer than 4 characters.");
}

TEST(ReaderCap, LongLineIsCappedButLabelsPastTheCapStillCount) {
    // The label lies past the line cap and is split over two pieces.
    const QByteArray bytes = "ignored\r\n" + QByteArray(40, 'x') + " RECEI" + "ved: y\r\nnext\r\n";
    for (size_t piece : {size_t(3), size_t(7), size_t(bytes.size())}) {
        RecordingSink sink;
        jl::LineFilter lf(
            sink, [] { return 1; }, 16);
        for (qsizetype at = 0; at < bytes.size(); at += qsizetype(piece))
            lf.feed(bytes.constData() + at, std::min(piece, size_t(bytes.size() - at)));
        lf.finish();
        EXPECT_EQ(sink.lines, (Lines{"", std::string(16, 'x'), "next"})) << piece;
    }
}

TEST(ReaderCap, VeryLongLineReadIntoASmallViewKeepsItsLabel) {
    // Past the cap the line is no longer kept, but a label at its very end
    // still makes it a Received line.
    QByteArray bytes = "hidden\r\n" + QByteArray(300000, 'q') + " Received: x\r\nafter\r\n";
    jl::test::TempFolder dir;
    const QString path = dir.write(QStringLiteral("m.eml"), bytes);
    jl::ViewTextBuilder view(1000);
    jl::ReaderHooks hooks;
    hooks.filter = [] { return 1; };
    EXPECT_EQ(jl::Load_File_Into_View(path, view, hooks).status, jl::LoadStatus::Read);
    EXPECT_EQ(view.text(), "\n" + std::string(999, 'q') +
                               "\n *** The view was cut here: the text is longer than 1,000 "
                               "characters.");
}

TEST(ReaderCap, AnOverlongLineIsCutAndTheViewGoesOn) {
    // A single line is capped well below the whole view: the text widget lays
    // out a line as one piece, so one huge line would cost gigabytes to show.
    // The lines after it are still shown (and so searched).
    jl::ViewTextBuilder b(1000, jl::ViewTextBuilder::Keep::Text, 8);
    b.appendLine("short");
    b.appendLine("0123456789abc");
    b.appendLine("after");
    EXPECT_FALSE(b.wasCut());
    EXPECT_EQ(b.cutLines(), 1);
    EXPECT_EQ(b.text(), "short\n01234567\n *** The line above was cut: it is longer than 8 "
                        "characters.\nafter");

    // Read from a file with the default caps: two 2 Mi-character lines, the
    // second with a Received label past the cap, each followed by a line.
    const qsizetype lineCap = jl::ViewTextBuilder::DefaultLineCap;
    const QByteArray longLine(2 * lineCap, 'z');
    jl::test::TempFolder dir;
    const QString path =
        dir.write(QStringLiteral("m.eml"), "Received: a\r\n" + longLine + "\r\nb\r\n" + longLine +
                                               " received: c\r\nd\r\nMessage-ID: e\r\n");
    jl::ViewTextBuilder view;
    jl::ReaderHooks hooks;
    hooks.filter = [] { return 1; };
    EXPECT_EQ(jl::Load_File_Into_View(path, view, hooks).status, jl::LoadStatus::Read);
    const std::string cut = std::string(size_t(lineCap), 'z') +
                            "\n *** The line above was cut: it is longer than 262,144 characters.";
    EXPECT_EQ(view.text(), "\nReceived: a\n" + cut + "\nb\n\n" + cut + "\nd\n\nMessage-ID: e\n\n");
    EXPECT_EQ(view.cutLines(), 2);
    EXPECT_FALSE(view.wasCut());
}

TEST(ReaderCap, TheLineCountIsCappedAndReadingStops) {
    jl::ViewTextBuilder b(1000, jl::ViewTextBuilder::Keep::Text, 100, 3);
    for (const char* line : {"a", "", "b", "c", "d"})
        b.appendLine(line);
    EXPECT_TRUE(b.wasCut());
    EXPECT_EQ(b.text(), "a\n\nb\n *** The view was cut here: the text has more than 3 lines.");
    EXPECT_EQ(b.lineCount(), 4);

    // A file of bare CRs and one of bare LFs, each line an empty line: under
    // "all text" every file line gives two view lines. Reading ends with the
    // view, half way through the file.
    const int maxLines = jl::ViewTextBuilder::DefaultMaxLines;
    for (const char ending : {'\r', '\n'}) {
        SCOPED_TRACE(int(ending));
        jl::test::TempFolder dir;
        const QByteArray bytes(qsizetype(4) * maxLines, ending);
        const QString path = dir.write(QStringLiteral("m.eml"), bytes);
        jl::ViewTextBuilder view;
        jl::ReaderHooks hooks;
        hooks.filter = [] { return 2; };
        std::vector<qint64> progress;
        hooks.gaugeProgress = [&](qint64 p) { progress.push_back(p); };
        EXPECT_EQ(jl::Load_File_Into_View(path, view, hooks).status, jl::LoadStatus::Read);
        EXPECT_TRUE(view.wasCut());
        EXPECT_EQ(view.lineCount(), maxLines + 1);
        EXPECT_EQ(view.text(), std::string(size_t(maxLines), '\n') +
                                   " *** The view was cut here: the text has more than 262,144 "
                                   "lines.");
        // The last chunk read, before the gauge is set full.
        ASSERT_GE(progress.size(), 2u);
        EXPECT_LE(progress[progress.size() - 2], maxLines);
        EXPECT_EQ(progress.back(), bytes.size());
    }
}

TEST(ReaderCorpus, EveryFileUnderEachFilterMatchesTheLineTable) {
    const QString corpus = jl::test::corpusDir();
    if (corpus.isEmpty())
        GTEST_SKIP() << "no corpus";
    QDirIterator it(corpus, QDir::Files, QDirIterator::Subdirectories);
    int files = 0;
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = path.mid(corpus.size());
        if (!relative.contains(QLatin1Char('/')) || relative.startsWith(QStringLiteral("items/")))
            continue; // the manifest, notes and item lists are not messages
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
        const QByteArray bytes = f.readAll();
        for (int filter = 0; filter < 3; ++filter) {
            const Loaded l = loadFile(path, filter);
            const jl::LoadStatus expectedStatus =
                bytes.isEmpty() ? jl::LoadStatus::Empty : jl::LoadStatus::Read;
            ASSERT_EQ(l.result.status, expectedStatus) << path.toStdString();
            ASSERT_EQ(l.lines, referenceView(bytes, filter)) << path.toStdString() << " " << filter;
        }
        ++files;
    }
    EXPECT_GT(files, 1000);
}

} // namespace
