#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"
#include "util/atomic_file.h"
#include "util/failure.h"
#include "util/list_file.h"
#include "util/list_file_keeper.h"
#include "util/list_ops.h"

#include <QDir>
#include <QFileInfo>

#include "qstring_printer.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jl {
namespace {

using test::ScriptedDialogs;
using test::TempFolder;

const QLocale english(QLocale::English, QLocale::UnitedStates);

TEST(ListFileFormat, DecodesEveryLineEnd) {
    struct Case {
        QByteArray bytes;
        QStringList entries;
    };
    const Case cases[] = {
        {"", {}},
        {"\r\n", {""}},
        {"a", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"x\r\nx\r\nX", {"x", "x", "X"}}, // last line without a line end
        {"a\nb\n", {"a", "b"}},           // LF only
        {"a\rb", {"a", "b"}},             // lone CR
        {"a\n\rb", {"a", "", "b"}},       // LF CR is two line ends
        {"a\r\n\r\nb", {"a", "", "b"}},   // empty line
        {"a\r\n\r\n", {"a", ""}},
        {"  spaced \t\r\n", {"  spaced \t"}}, // not trimmed
    };
    for (const Case& c : cases)
        EXPECT_EQ(decodeListFile(c.bytes), c.entries) << c.bytes.toStdString();
    // The NUL inside a literal ends it early; build one with bytes after it.
    QByteArray withNul("a\r\nb");
    withNul.append('\0');
    withNul.append("c\r\nd");
    EXPECT_EQ(decodeListFile(withNul), (QStringList{"a", "b"}));
}

TEST(ListFileFormat, ReadsUtf8AndFallsBackToWindows1252PerLine) {
    const QByteArray bytes = "caf\xc3\xa9\r\n"        // UTF-8
                             "caf\xe9 \x80 \x93x\r\n" // Windows-1252
                             "\xe2\x82\xac";          // UTF-8 euro sign
    EXPECT_EQ(decodeListFile(bytes),
              (QStringList{QStringLiteral("café"), QStringLiteral("café € \u201cx"),
                           QStringLiteral("€")}));
}

QByteArray utf16(const QString& text, bool bigEndian) {
    QByteArray out = bigEndian ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
    for (const QChar c : text) {
        const char hi = char(c.unicode() >> 8);
        const char lo = char(c.unicode() & 0xFF);
        out.append(bigEndian ? hi : lo).append(bigEndian ? lo : hi);
    }
    return out;
}

TEST(ListFileFormat, ByteOrderMarksAndWhereReadingStops) {
    const QString emoji = QStringLiteral("\U0001F600");
    const QString halfEmoji = emoji.left(1);
    struct Case {
        const char* what;
        QByteArray bytes;
        QStringList entries;
        QString shortfall;
    };
    const QString nulAt = QStringLiteral("reading stopped at line %1, which holds a NUL character");
    const Case cases[] = {
        {"UTF-16 LE",
         utf16("caf\u00e9\r\n" + emoji + "x\r\nlast", false),
         {"caf\u00e9", emoji + "x", "last"},
         {}},
        {"UTF-16 BE", utf16("a\nb\r\n", true), {"a", "b"}, {}},
        {"UTF-16 with a NUL",
         utf16(QStringLiteral("a\r\nb") + QChar(0) + "c", false),
         {"a", "b"},
         nulAt.arg(2)},
        {"UTF-16 with half a character",
         utf16("a\r\n" + halfEmoji + "b", false),
         {"a"},
         "reading stopped at line 2, which holds half of a character"},
        {"UTF-16 with an odd byte",
         utf16("a\r\nb", false) + 'c',
         {"a", "b"},
         "reading stopped at line 2, which holds a last byte that is half of a UTF-16 character"},
        {"UTF-8 with its mark", "\xEF\xBB\xBFx\r\ny", {"x", "y"}, {}},
        {"UTF-8 mark before Windows-1252", "\xEF\xBB\xBF\xe9\r\n", {"\u00e9"}, {}},
        {"a second mark is text", "\xEF\xBB\xBF\xEF\xBB\xBFx", {QStringLiteral("\uFEFFx")}, {}},
        {"NUL at the start", QByteArray("\0abc", 4), {}, nulAt.arg(1)},
        {"NUL after a line end", QByteArray("a\r\n\0b", 6), {"a"}, nulAt.arg(2)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const DecodedListFile decoded = decodeListFileText(c.bytes);
        EXPECT_EQ(decoded.entries, c.entries);
        EXPECT_EQ(decoded.shortfall, c.shortfall);
    }
}

TEST(ListFileFormat, WhatAnEntryMayHold) {
    const QString emoji = QStringLiteral("\U0001F600");
    const struct {
        QString text;
        EntryFault fault;
    } cases[] = {
        {"", EntryFault::None},
        {" tabs\tand \u2028 separators\u0085 ", EntryFault::None},
        {emoji + emoji, EntryFault::None},
        {"two\nlines", EntryFault::LineBreak},
        {"cr\r", EntryFault::LineBreak},
        {QStringLiteral("nul") + QChar(0), EntryFault::Nul},
        {emoji.left(1) + "x", EntryFault::BrokenCharacter},
        {"x" + emoji.right(1), EntryFault::BrokenCharacter},
        {emoji.right(1) + emoji.left(1), EntryFault::BrokenCharacter},
    };
    for (const auto& c : cases)
        EXPECT_EQ(listEntryFault(c.text), c.fault) << c.text.toStdString();
}

TEST(ListFileFormat, EncodesEveryEntryWithCrLfAsUtf8) {
    EXPECT_EQ(encodeListFile({}), QByteArray());
    EXPECT_EQ(encodeListFile({QStringLiteral("a"), QStringLiteral("b")}), QByteArray("a\r\nb\r\n"));
    EXPECT_EQ(encodeListFile({QString(), QStringLiteral("é")}), QByteArray("\r\n\xc3\xa9\r\n"));
    // An entry holding a line break is written unchanged and reads back as two.
    const QByteArray bytes = encodeListFile({QStringLiteral("one\r\ntwo")});
    EXPECT_EQ(bytes, QByteArray("one\r\ntwo\r\n"));
    EXPECT_EQ(decodeListFile(bytes), (QStringList{"one", "two"}));
    // A first entry that begins with U+FEFF comes after a byte-order mark,
    // so that it comes back with it.
    const QStringList marked = {QStringLiteral("\uFEFFfirst"), QStringLiteral("second")};
    EXPECT_EQ(encodeListFile(marked), QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF"
                                                 "first\r\nsecond\r\n"));
    EXPECT_EQ(decodeListFile(encodeListFile(marked)), marked);
}

class ListFiles : public testing::Test {
protected:
    TempFolder folder;
    ScriptedDialogs dialogs;
    SortedList list{SortedList::Selection::Multiple, english};
};

TEST_F(ListFiles, SaveWritesListOrderAndLoadReadsItBack) {
    list.insertMany({QStringLiteral("b"), QStringLiteral("a")});
    const QString path = folder.file(QStringLiteral("Junkloupe.ini_int"));
    EXPECT_EQ(Save_List_File(list, path, dialogs), 0);
    EXPECT_EQ(folder.read(QStringLiteral("Junkloupe.ini_int")), QByteArray("a\r\nb\r\n"));
    EXPECT_EQ(dialogs.count(), 0u);

    SortedList loaded(SortedList::Selection::Multiple, english);
    loaded.insert(QStringLiteral("stale"));
    Load_List_File(loaded, path);
    EXPECT_EQ(loaded.entries(), (QStringList{"a", "b"}));
}

TEST_F(ListFiles, EmptyListMakesAZeroByteFile) {
    const QString path = folder.write(QStringLiteral("list"), "old contents\r\n");
    EXPECT_EQ(Save_List_File(list, path, dialogs), 0);
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(QFileInfo(path).size(), 0);
    list.insert(QStringLiteral("x"));
    Load_List_File(list, path);
    EXPECT_TRUE(list.isEmpty());
}

TEST_F(ListFiles, LoadSortsAndKeepsDuplicates) {
    const QString path = folder.write(QStringLiteral("list"), "x\r\nx\r\nX");
    Load_List_File(list, path);
    ASSERT_EQ(list.count(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(list.collator().compare(list.at(i), QStringLiteral("x")), 0);

    Load_List_File(list, folder.write(QStringLiteral("lf"), "zeta\n\nAlpha\rbeta"));
    EXPECT_EQ(list.entries(), (QStringList{"", "Alpha", "beta", "zeta"}));
}

TEST_F(ListFiles, MissingFileOrDirectoryGivesAnEmptyListSilently) {
    list.insert(QStringLiteral("x"));
    Load_List_File(list, folder.file(QStringLiteral("nothing")));
    EXPECT_TRUE(list.isEmpty());
    list.insert(QStringLiteral("x"));
    Load_List_File(list, folder.mkdir(QStringLiteral("adir")));
    EXPECT_TRUE(list.isEmpty());
}

TEST_F(ListFiles, UnreadableFileFailsWithTheExactText) {
    const QString fifo = folder.file(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    list.insert(QStringLiteral("x"));
    try {
        Load_List_File(list, fifo); // must neither block nor succeed
        ADD_FAILURE() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.text(), QStringLiteral("Cannot open file ") + fifo);
    }
    EXPECT_TRUE(list.isEmpty());
}

TEST_F(ListFiles, AListSavedAsUtf16ByAWindowsEditorReadsEntryByEntry) {
    QStringList items;
    for (int i = 0; i < 300; ++i)
        items << QStringLiteral("spam-host-%1.example").arg(i, 3, 10, QLatin1Char('0'));
    const QString path = folder.write(QStringLiteral("Junkloupe.ini_int"),
                                      utf16(items.join("\r\n") + "\r\n", false));
    const ListFileContents read = Load_List_File(list, path);
    EXPECT_EQ(read.status, ListFileRead::Ok);
    EXPECT_EQ(list.entries(), items);
}

TEST_F(ListFiles, ListFilePastTheSizeLimitIsNotRead) {
    // Sparse: it claims the size without taking the disk.
    const QString path = folder.write(QStringLiteral("Junkloupe.ini_file"), "a\r\n");
    ASSERT_EQ(::truncate(QFile::encodeName(path).constData(), kListFileSizeLimit + 1), 0);
    list.insert(QStringLiteral("stale"));
    try {
        Load_List_File(list, path);
        ADD_FAILURE() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.text(), "Cannot open file " + path + "\nthe file is larger than 256 MB");
    }
    EXPECT_TRUE(list.isEmpty());
}

// A list file read only in part holds more than the list: the keeper writes
// over it only after a change and the user's Yes.
TEST_F(ListFiles, FileNotReadWholeIsReplacedOnlyAfterAChangeAndAYes) {
    const QByteArray bytes("a\r\nb\0hidden\r\nmore\r\n", 20);
    const QString path = folder.write(QStringLiteral("Junkloupe.ini_int"), bytes);
    ListFileKeeper keeper(list, path);
    EXPECT_EQ(keeper.load(), "The list file " + path +
                                 " was not read whole: reading stopped at line 2, which holds a "
                                 "NUL character.\r\nThe list holds the 2 entries read before that "
                                 "point. The file is not written over unless you change this "
                                 "list, and then only after you agree.");
    EXPECT_EQ(list.entries(), (QStringList{"a", "b"}));
    using Occasion = ListFileKeeper::Occasion;
    for (Occasion occasion : {Occasion::AfterChange, Occasion::Close})
        EXPECT_EQ(keeper.save(dialogs, occasion), 0); // unchanged: left alone, silently
    EXPECT_EQ(dialogs.count(), 0u);

    list.insert(QStringLiteral("new"));
    dialogs.answerNo();
    EXPECT_EQ(keeper.save(dialogs, Occasion::AfterChange), 0);
    EXPECT_EQ(keeper.save(dialogs, Occasion::AfterChange), 0); // "No" holds for auto-saves
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.lastType(), test::Shown::Type::Confirmation);
    EXPECT_EQ(dialogs.lastText(), listFileReplaceQuestion(path, "reading stopped at line 2, "
                                                                "which holds a NUL character"));
    dialogs.answerNo();
    EXPECT_EQ(keeper.save(dialogs, Occasion::Close), 0); // the close asks again
    EXPECT_EQ(folder.read(QStringLiteral("Junkloupe.ini_int")), bytes);
    dialogs.answerYes();
    EXPECT_EQ(keeper.save(dialogs, Occasion::Close), 0);
    EXPECT_EQ(folder.read(QStringLiteral("Junkloupe.ini_int")), QByteArray("a\r\nb\r\nnew\r\n"));
    EXPECT_EQ(dialogs.count(), 3u);
    EXPECT_TRUE(dialogs.scriptUsedUp());

    // From then on the file is the list's: saved without a question, as is a
    // file read whole.
    list.insert(QStringLiteral("more"));
    EXPECT_EQ(keeper.save(dialogs, Occasion::AfterChange), 0);
    EXPECT_EQ(dialogs.count(), 3u);
    EXPECT_TRUE(keeper.load().isEmpty());
    EXPECT_EQ(keeper.save(dialogs, Occasion::Close), 0);
    EXPECT_EQ(dialogs.count(), 3u);
}

// The file as another program (an editor, a script) leaves it since the
// keeper read it: a list the window did not change is never written, and a
// changed one replaces the file unasked only when the file's bytes are still
// those read. A list never loaded is never written.
TEST_F(ListFiles, FileChangedOnDiskIsReplacedOnlyAfterAYes) {
    const QString name = QStringLiteral("Junkloupe.ini_int");
    const QString path = folder.file(name);
    const QByteArray native = QFile::encodeName(path);
    const struct {
        const char* what;
        std::function<void()> change;
        bool asks;
    } cases[] = {
        {"nothing", [] {}, false},
        {"an item appended", [&] { folder.write(name, "a\r\nb\r\nc\r\n"); }, true},
        {"an item changed, same size", [&] { folder.write(name, "a\r\nB\r\n"); }, true},
        {"removed", [&] { QFile::remove(path); }, false},
        {"touched",
         [&] {
             const timespec times[2] = {{0, UTIME_OMIT}, {12345, 0}};
             ::utimensat(AT_FDCWD, native.constData(), times, 0);
         },
         false},
        {"the same bytes in a new file",
         [&] {
             folder.write(QStringLiteral("new"), "a\r\nb\r\n");
             ::rename(QFile::encodeName(folder.file(QStringLiteral("new"))).constData(),
                      native.constData());
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        folder.write(name, "a\r\nb\r\n");
        list.clear();
        ListFileKeeper keeper(list, path);
        list.insert(QStringLiteral("before the load"));
        EXPECT_EQ(keeper.save(dialogs, ListFileKeeper::Occasion::Close), 0);
        EXPECT_EQ(folder.read(name), QByteArray("a\r\nb\r\n")) << "written unloaded";
        EXPECT_TRUE(keeper.load().isEmpty());
        c.change();
        const bool there = QFileInfo::exists(path);
        const QByteArray outside = folder.read(name);
        EXPECT_EQ(keeper.save(dialogs, ListFileKeeper::Occasion::Close), 0);
        EXPECT_EQ(QFileInfo::exists(path), there);
        EXPECT_EQ(folder.read(name), outside) << "written unchanged";

        list.insert(QStringLiteral("w"));
        dialogs.clear();
        if (c.asks)
            dialogs.answerYes();
        EXPECT_EQ(keeper.save(dialogs, ListFileKeeper::Occasion::AfterChange), 0);
        EXPECT_EQ(dialogs.count(), c.asks ? 1u : 0u);
        EXPECT_EQ(folder.read(name), QByteArray("a\r\nb\r\nw\r\n"));
        EXPECT_FALSE(keeper.fileChangedOnDisk());
    }
}

// A list file that was not there when read is made at the save even when the
// list did not change (nothing is lost); one removed after the read is not.
TEST_F(ListFiles, AnUnchangedListMakesOnlyAFileThatWasNeverThere) {
    const QString name = QStringLiteral("Junkloupe.ini_file");
    const QString path = folder.file(name);
    for (const bool thereAtRead : {false, true}) {
        SCOPED_TRACE(thereAtRead);
        if (thereAtRead)
            folder.write(name, "a\r\n");
        list.clear();
        ListFileKeeper keeper(list, path);
        keeper.load();
        QFile::remove(path);
        EXPECT_EQ(keeper.save(dialogs, ListFileKeeper::Occasion::Close), 0);
        EXPECT_EQ(QFileInfo::exists(path), !thereAtRead);
    }
    EXPECT_EQ(dialogs.count(), 0u);
}

// No to replacing a file changed on disk leaves it as the other program made
// it and keeps the window's list beside it, in one file for the whole run.
TEST_F(ListFiles, NoToReplacingAFileChangedOnDiskKeepsTheListBesideIt) {
    const QString name = QStringLiteral("Junkloupe.ini_int");
    const QString path = folder.write(name, "a\r\nb\r\n");
    ListFileKeeper keeper(list, path);
    keeper.load();
    folder.write(name, "a\r\nb\r\nfrom a script\r\n");
    list.insert(QStringLiteral("w"));
    dialogs.answerNo();
    using Occasion = ListFileKeeper::Occasion;
    EXPECT_EQ(keeper.save(dialogs, Occasion::AfterChange), 0);
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.lastType(), test::Shown::Type::Warning);
    const QString beside = keeper.keptBeside();
    EXPECT_EQ(dialogs.lastText(), listFileChangedQuestion(path, beside));
    EXPECT_TRUE(beside.startsWith(path + ".window-")) << qPrintable(beside);
    EXPECT_EQ(folder.read(name), QByteArray("a\r\nb\r\nfrom a script\r\n"));
    EXPECT_EQ(folder.read(QFileInfo(beside).fileName()), QByteArray("a\r\nb\r\nw\r\n"));

    list.insert(QStringLiteral("x"));
    EXPECT_EQ(keeper.save(dialogs, Occasion::AfterChange), 0); // "No" holds for auto-saves
    EXPECT_EQ(dialogs.count(), 1u);
    dialogs.answerNo();
    EXPECT_EQ(keeper.save(dialogs, Occasion::Close), 0); // the close asks again
    EXPECT_EQ(keeper.keptBeside(), beside);
    EXPECT_EQ(folder.read(QFileInfo(beside).fileName()), QByteArray("a\r\nb\r\nw\r\nx\r\n"));
    dialogs.answerYes();
    EXPECT_EQ(keeper.save(dialogs, Occasion::Close), 0);
    EXPECT_EQ(folder.read(name), QByteArray("a\r\nb\r\nw\r\nx\r\n"));
    EXPECT_EQ(dialogs.count(), 3u);
}

TEST_F(ListFiles, UnreadableFileIsNotWrittenOverUnlessChangedAndAgreed) {
    const QString path = folder.write(QStringLiteral("Junkloupe.ini_int"), "a\r\n");
    ASSERT_EQ(::truncate(QFile::encodeName(path).constData(), kListFileSizeLimit + 1), 0);
    ListFileKeeper keeper(list, path);
    EXPECT_THROW(keeper.load(), Failure);
    EXPECT_EQ(keeper.save(dialogs, ListFileKeeper::Occasion::Close), 0);
    EXPECT_EQ(QFileInfo(path).size(), kListFileSizeLimit + 1);
    list.insert(QStringLiteral("x"));
    dialogs.answerYes();
    EXPECT_EQ(keeper.save(dialogs, ListFileKeeper::Occasion::Close), 0);
    EXPECT_EQ(folder.read(QStringLiteral("Junkloupe.ini_int")), QByteArray("x\r\n"));
}

TEST_F(ListFiles, FailedSaveShowsTheMessageAndReturnsMinusOne) {
    list.insert(QStringLiteral("entry"));
    // Tests may run as root, so permissions cannot make a save fail: use a
    // path below a regular file, and a path that is a directory.
    const QString underFile =
        folder.write(QStringLiteral("plain"), "keep") + QStringLiteral("/Junkloupe.ini_file");
    const QString isDirectory = folder.mkdir(QStringLiteral("Junkloupe.ini_int"));
    for (const QString& path : {underFile, isDirectory}) {
        dialogs.clear();
        EXPECT_EQ(Save_List_File(list, path, dialogs), -1);
        ASSERT_EQ(dialogs.count(), 1u);
        EXPECT_EQ(dialogs.lastType(), test::Shown::Type::Information);
        EXPECT_EQ(dialogs.lastText(),
                  "The " + path +
                      " could not be saved !\r\n\r\nPossible reasons for this include :\r\n"
                      "- there may not be enough disk space, \r\n"
                      "- there may be errors on the disk, \r\n"
                      "- you may be saving to a read only disk (such as a CD-ROM), \r\n"
                      "- the file may already exist and be read-only or write locked, \r\n"
                      "\r\nor there may be some other reason for the failure.");
    }
    EXPECT_EQ(folder.read(QStringLiteral("plain")), QByteArray("keep"));
    EXPECT_TRUE(QFileInfo(isDirectory).isDir());
}

// The write fails half way for real: the file size limit stops it after the
// first bytes, as a full disk would. The old list must survive whole and no
// temporary file may be left behind.
TEST_F(ListFiles, SaveThatFailsHalfWayLeavesTheOldFileWhole) {
    const QByteArray old = "old one\r\nold two\r\n";
    const QString path = folder.write(QStringLiteral("Junkloupe.ini_int"), old);
    QStringList many;
    for (int i = 0; i < 5000; ++i)
        many << QStringLiteral("entry number %1").arg(i);
    list.insertMany(many);

    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int result = Save_List_File(list, path, dialogs);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(result, -1);
    EXPECT_EQ(dialogs.lastText(), listSaveFailureMessage(path));
    EXPECT_EQ(folder.read(QStringLiteral("Junkloupe.ini_int")), old);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("Junkloupe.ini_int")});
}

TEST_F(ListFiles, SaveKeepsPermissionsAndWritesThroughALink) {
    const QString real = folder.write(QStringLiteral("real"), "x\r\n");
    ASSERT_TRUE(QFile::setPermissions(real, QFile::ReadOwner | QFile::WriteOwner));
    const QString link = folder.file(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(real, link));
    list.insert(QStringLiteral("new"));
    EXPECT_EQ(Save_List_File(list, link, dialogs), 0);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(folder.read(QStringLiteral("real")), QByteArray("new\r\n"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

} // namespace
} // namespace jl
