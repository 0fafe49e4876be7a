#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"
#include "util/atomic_file.h"
#include "util/failure.h"
#include "util/list_file.h"
#include "util/list_ops.h"

#include <QDir>
#include <QFileInfo>

#include "qstring_printer.h"

#include <gtest/gtest.h>

#include <csignal>
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
    // Overlong forms and surrogates are not UTF-8.
    EXPECT_EQ(decodeListFile("\xc0\xaf"), QStringList{QStringLiteral("À¯")});
    EXPECT_EQ(decodeListFile("\xed\xa0\x80"), QStringList{QStringLiteral("í\u00a0€")});
}

TEST(ListFileFormat, EncodesEveryEntryWithCrLfAsUtf8) {
    EXPECT_EQ(encodeListFile({}), QByteArray());
    EXPECT_EQ(encodeListFile({QStringLiteral("a"), QStringLiteral("b")}), QByteArray("a\r\nb\r\n"));
    EXPECT_EQ(encodeListFile({QString(), QStringLiteral("é")}), QByteArray("\r\n\xc3\xa9\r\n"));
    // An entry holding a line break is written unchanged and reads back as two.
    const QByteArray bytes = encodeListFile({QStringLiteral("one\r\ntwo")});
    EXPECT_EQ(bytes, QByteArray("one\r\ntwo\r\n"));
    EXPECT_EQ(decodeListFile(bytes), (QStringList{"one", "two"}));
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
