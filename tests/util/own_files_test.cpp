// The tool's own files in a folder shared with other users: links of others
// are not followed, a save keeps the file's owner, group and permissions,
// and the leftovers of interrupted saves are cleared at start. Cases with a
// second user need root (to make files of another user, and a child that
// runs as one); CI runs as root, elsewhere they skip.

#include "support/lock_holder.h"
#include "support/temp_folder.h"
#include "util/atomic_file.h"
#include "util/failure.h"
#include "util/file_helpers.h"
#include "util/list_ops.h"
#include "util/own_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "qstring_printer.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace jl {
namespace {

using test::TempFolder;

constexpr uid_t kOther = 65534; // nobody
constexpr gid_t kShared = 4242; // a group both users are in

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

struct stat statOf(const QString& path) {
    struct stat st {};
    ::lstat(native(path).constData(), &st);
    return st;
}

QStringList folderEntries(const QString& dir) {
    QStringList names =
        QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

// Runs call in a child process as the other user (also in the shared group);
// its result, or -1 when the child could not become that user.
int asOtherUser(const std::function<int()>& call) {
    const pid_t child = ::fork();
    if (child == 0) {
        const gid_t groups[] = {kShared};
        if (::setgroups(1, groups) != 0 || ::setresgid(kOther, kOther, kOther) != 0 ||
            ::setresuid(kOther, kOther, kOther) != 0)
            ::_exit(255);
        ::_exit(call());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) != 255 ? WEXITSTATUS(status) : -1;
}

class SharedFolder : public testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root to act as a second user";
        // The other user must reach the folders inside.
        ASSERT_EQ(::chmod(native(folder.path()).constData(), 0755), 0);
    }
    TempFolder folder;
};

TEST_F(SharedFolder, LinksOfOthersAreNotFollowedForReadingOrWriting) {
    // A sticky folder open to all, as /tmp.
    const QString dir = folder.mkdir("sticky");
    ASSERT_EQ(::chmod(native(dir).constData(), 01777), 0);
    const QString victim = folder.write("sticky/victim", "mine\r\n");
    const QString planted = dir + "Junkloupe.ini_int";
    ASSERT_TRUE(QFile::link(victim, planted));
    ASSERT_EQ(::lchown(native(planted).constData(), kOther, kOther), 0);

    QString error;
    EXPECT_FALSE(writeFileAtomically(planted, "overwritten\r\n", &error));
    EXPECT_TRUE(error.contains("belongs to another user (nobody)")) << qPrintable(error);
    const RegularFileContents read = readRegularFile(planted, kNoSizeLimit, LinkRule::OwnFile);
    EXPECT_EQ(read.status, RegularFileRead::RefusedLink);
    EXPECT_EQ(read.error, error);
    EXPECT_EQ(folder.read("sticky/victim"), QByteArray("mine\r\n"));
    EXPECT_EQ(folderEntries(dir), (QStringList{"Junkloupe.ini_int", "victim"}));
    // Other readers follow links as the system does.
    EXPECT_EQ(readRegularFile(planted).bytes, QByteArray("mine\r\n"));
    // The list loaded from it is refused with the reason.
    SortedList list(SortedList::Selection::Multiple);
    try {
        Load_List_File(list, planted);
        ADD_FAILURE() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.text(), "Cannot open file " + planted + "\n" + error);
    }
    EXPECT_TRUE(list.isEmpty());

    // A link of the folder's owner, or of the user, is followed.
    ASSERT_EQ(::chown(native(dir).constData(), kOther, kOther), 0);
    EXPECT_TRUE(writeFileAtomically(planted, "owner's link\r\n", &error)) << qPrintable(error);
    EXPECT_EQ(folder.read("sticky/victim"), QByteArray("owner's link\r\n"));
    ASSERT_EQ(::chown(native(dir).constData(), 0, 0), 0);
    ASSERT_EQ(::lchown(native(planted).constData(), 0, 0), 0);
    EXPECT_TRUE(writeFileAtomically(planted, "own link\r\n", &error)) << qPrintable(error);
    EXPECT_EQ(folder.read("sticky/victim"), QByteArray("own link\r\n"));
}

TEST_F(SharedFolder, SaveByAGroupMemberKeepsOwnerGroupAndModeAndUndoesAFailure) {
    const QString dir = folder.mkdir("shared");
    ASSERT_EQ(::chown(native(dir).constData(), 0, kShared), 0);
    ASSERT_EQ(::chmod(native(dir).constData(), 0775), 0);
    const QString list = folder.write("shared/Junkloupe.ini_int", "old\r\n");
    ASSERT_EQ(::chown(native(list).constData(), 0, kShared), 0);
    ASSERT_EQ(::chmod(native(list).constData(), 0664), 0);

    // Written by the other user: the file stays root's, in the group, 0664.
    EXPECT_EQ(asOtherUser([&] { return writeFileAtomically(list, "new\r\n") ? 0 : 1; }), 0);
    EXPECT_EQ(folder.read("shared/Junkloupe.ini_int"), QByteArray("new\r\n"));
    struct stat st = statOf(list);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_gid, kShared);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
    EXPECT_EQ(folderEntries(dir), QStringList{"Junkloupe.ini_int"});

    // A rewrite in place that fails half way puts the old contents back.
    const QByteArray big(100000, 'x');
    EXPECT_EQ(asOtherUser([&] {
                  std::signal(SIGXFSZ, SIG_IGN);
                  struct rlimit small {
                      8192, 8192
                  };
                  ::setrlimit(RLIMIT_FSIZE, &small);
                  return writeFileAtomically(list, big) ? 0 : 1;
              }),
              1);
    EXPECT_EQ(folder.read("shared/Junkloupe.ini_int"), QByteArray("new\r\n"));
    EXPECT_EQ(folderEntries(dir), QStringList{"Junkloupe.ini_int"});
    st = statOf(list);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_gid, kShared);

    // The owner saves as before: a new file with the same attributes.
    EXPECT_TRUE(writeFileAtomically(list, "again\r\n"));
    st = statOf(list);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_gid, kShared);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
}

TEST(HardLinkedFile, EveryNameSeesTheSavedContents) {
    TempFolder folder;
    const QString list = folder.write("Junkloupe.ini_int", "old\r\n");
    const QString other = folder.file("items-backup.txt");
    ASSERT_EQ(::link(native(list).constData(), native(other).constData()), 0);
    ASSERT_EQ(::chmod(native(list).constData(), 0640), 0);
    const ino_t inode = statOf(list).st_ino;

    QString error;
    ASSERT_TRUE(writeFileAtomically(list, "new\r\nlonger\r\n", &error)) << qPrintable(error);
    EXPECT_EQ(folder.read("items-backup.txt"), QByteArray("new\r\nlonger\r\n"));
    const struct stat st = statOf(list);
    EXPECT_EQ(st.st_ino, inode);
    EXPECT_EQ(st.st_nlink, 2u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(folderEntries(folder.path()), (QStringList{"Junkloupe.ini_int", "items-backup.txt"}));
}

TEST(StaleSaveFiles, OnlyOursOfOurPatternAndNotInUseAreCleared) {
    TempFolder folder;
    const QString dir = folder.path();
    const QStringList own = {dir + "Junkloupe.ini", dir + "Junkloupe.ini_file",
                             dir + "Junkloupe.ini_int"};
    folder.write("Junkloupe.ini_int", "items\r\n");
    folder.write(".Junkloupe.ini_int.tmp-1a2b3c", "a full copy left by a kill\r\n");
    folder.write(".Junkloupe.ini.tmp-77", "[Junkloupe]\r\n");
    folder.write(".other.tmp-1", "not ours");
    folder.write(".Junkloupe.ini_int.tmp", "not the pattern's random part, but its prefix");
    const QString othersTemp = folder.write(".Junkloupe.ini_file.tmp-ffff", "another user's");
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(native(othersTemp).constData(), kOther, kOther), 0);
    }
    // A save running in another copy of the tool holds its file locked.
    const QString running = folder.write(".Junkloupe.ini_int.tmp-beef", "being written");
    test::LockHolder save(running);
    ASSERT_TRUE(save.locked());
    // An interrupted rewrite in place, cut off after its first bytes.
    const QByteArray before = "/m/a.eml\r\n";
    const QByteArray after = "/m/b.eml\r\n/m/c.eml\r\n";
    const QString list = folder.write("Junkloupe.ini_file", after.left(4) + before.mid(4));
    const struct stat st = statOf(list);
    folder.write(".Junkloupe.ini_file.inplace-42",
                 inPlaceCopyHeader(st.st_dev, st.st_ino, before.size(), after.size()) + before +
                     after);

    const StaleSaveReport report = clearStaleSaveFiles(own);
    EXPECT_EQ(report.restored, QStringList{dir + "Junkloupe.ini_file"});
    EXPECT_TRUE(report.setAside.isEmpty());
    EXPECT_EQ(folder.read("Junkloupe.ini_file"), after);
    EXPECT_EQ(folder.read("Junkloupe.ini_int"), QByteArray("items\r\n"));
    QStringList left = {".Junkloupe.ini_int.tmp", ".Junkloupe.ini_int.tmp-beef", ".other.tmp-1",
                        "Junkloupe.ini_file", "Junkloupe.ini_int"};
    if (root)
        left << ".Junkloupe.ini_file.tmp-ffff";
    left.sort();
    EXPECT_EQ(folderEntries(dir), left);
}

// A copy of an in-place rewrite finishes that rewrite only while the file is
// the one it rewrote, as the cut-off rewrite left it. Otherwise (another
// member of a shared folder saved since, or the copy is none of ours: it
// once replaced a list of 10,000 items with its 2 lines) it is set aside,
// the file left alone, and the user told.
TEST(StaleSaveFiles, AnInPlaceCopyIsUsedOnlyForTheFileAsItsRewriteLeftIt) {
    QByteArray oldList;
    QByteArray newList;
    QByteArray othersList;
    for (int i = 0; i < 102; ++i) {
        const QByteArray item = "item-" + QByteArray::number(i) + "\r\n";
        oldList += i < 101 ? item : QByteArray();
        newList += item;
        othersList += i % 51 == 0 ? QByteArray() : item;
    }
    QByteArray bigList;
    for (int i = 0; i < 10000; ++i)
        bigList += "big-" + QByteArray::number(i) + "\r\n";
    const QByteArray torn = newList.left(700) + oldList.mid(700);
    enum class Copy { Ours, Foreign };
    const struct {
        const char* what;
        QByteArray file;
        bool replaced; // by another file (a save that renames)
        Copy copy;
        const char* why; // empty: finished
    } cases[] = {
        {"cut off half way", torn, false, Copy::Ours, ""},
        {"cut off before its first byte", oldList, false, Copy::Ours, ""},
        {"cut off before it was removed", newList, false, Copy::Ours, ""},
        {"another member saved in place since", othersList, false, Copy::Ours,
         "the file has been changed since"},
        {"another member saved a new file since", torn, true, Copy::Ours,
         "the file is no longer the one that save rewrote"},
        {"a copy of no known form", bigList, false, Copy::Foreign,
         "is not one the program can check"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        const QString list = folder.write("Junkloupe.ini_int", oldList);
        const struct stat st = statOf(list);
        const QByteArray copy =
            c.copy == Copy::Ours
                ? inPlaceCopyHeader(st.st_dev, st.st_ino, oldList.size(), newList.size()) +
                      oldList + newList
                : QByteArray("two\r\nlines\r\n");
        folder.write(".Junkloupe.ini_int.inplace-7", copy);
        if (c.replaced) {
            // Made while the old one is there, so it is another file.
            const QString other = folder.write("new-file", c.file);
            ASSERT_EQ(::rename(native(other).constData(), native(list).constData()), 0);
        } else {
            folder.write("Junkloupe.ini_int", c.file);
        }

        const StaleSaveReport report = clearStaleSaveFiles({list});
        const QStringList entries = folderEntries(folder.path());
        if (QByteArray(c.why).isEmpty()) {
            EXPECT_EQ(report.restored, QStringList{list});
            EXPECT_TRUE(report.setAside.isEmpty());
            EXPECT_EQ(folder.read("Junkloupe.ini_int"), newList);
            EXPECT_EQ(entries, QStringList{"Junkloupe.ini_int"});
            continue;
        }
        EXPECT_TRUE(report.restored.isEmpty());
        ASSERT_EQ(report.setAside.size(), 1);
        const SetAsideCopy& aside = report.setAside[0];
        EXPECT_EQ(aside.file, list);
        EXPECT_TRUE(aside.why.contains(c.why)) << qPrintable(aside.why);
        EXPECT_TRUE(aside.keptAs.startsWith(list + ".interrupted-")) << qPrintable(aside.keptAs);
        EXPECT_EQ(folder.read("Junkloupe.ini_int"), c.file);
        EXPECT_EQ(folder.read(QFileInfo(aside.keptAs).fileName()),
                  c.copy == Copy::Ours ? newList : copy);
        EXPECT_EQ(entries, (QStringList{"Junkloupe.ini_int", QFileInfo(aside.keptAs).fileName()}));
        EXPECT_TRUE(setAsideCopyNotice(aside).contains(aside.keptAs));
    }
}

// Saves in place killed at any moment: the next start always finds the file
// whole, as before or after the save, and sets nothing aside.
TEST(StaleSaveFiles, AKilledRewriteInPlaceIsFinishedOrUndone) {
    TempFolder folder;
    QByteArray a;
    QByteArray b;
    for (int i = 0; i < 6000; ++i) {
        a += "first-list-entry-" + QByteArray::number(i) + "\r\n";
        b += "second-" + QByteArray::number(i * 7) + "\r\n";
    }
    const QString list = folder.write("Junkloupe.ini_int", a);
    // A second name makes every save rewrite the file in place.
    ASSERT_EQ(::link(native(list).constData(), native(folder.file("other-name")).constData()), 0);
    int copiesMet = 0;
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE(round);
        const pid_t child = ::fork();
        if (child == 0) {
            for (;;) {
                writeFileAtomically(list, b);
                writeFileAtomically(list, a);
            }
        }
        ::usleep(useconds_t(2000 + round * 1700));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        for (const QString& name : folderEntries(folder.path()))
            copiesMet += name.contains(".inplace-") ? 1 : 0;
        const StaleSaveReport report = clearStaleSaveFiles({list});
        EXPECT_TRUE(report.setAside.isEmpty());
        const QByteArray now = folder.read("Junkloupe.ini_int");
        EXPECT_TRUE(now == a || now == b) << now.size() << " bytes";
        EXPECT_EQ(folderEntries(folder.path()), (QStringList{"Junkloupe.ini_int", "other-name"}));
    }
    EXPECT_GT(copiesMet, 0) << "no kill came during a rewrite";
}

} // namespace
} // namespace jl
