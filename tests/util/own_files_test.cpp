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
    // An interrupted rewrite in place: the copy holds the old contents.
    folder.write("Junkloupe.ini_file", "torn");
    folder.write(".Junkloupe.ini_file.inplace-42", "/m/a.eml\r\n/m/b.eml\r\n");

    EXPECT_EQ(clearStaleSaveFiles(own), QStringList{dir + "Junkloupe.ini_file"});
    EXPECT_EQ(folder.read("Junkloupe.ini_file"), QByteArray("/m/a.eml\r\n/m/b.eml\r\n"));
    EXPECT_EQ(folder.read("Junkloupe.ini_int"), QByteArray("items\r\n"));
    QStringList left = {".Junkloupe.ini_int.tmp", ".Junkloupe.ini_int.tmp-beef", ".other.tmp-1",
                        "Junkloupe.ini_file", "Junkloupe.ini_int"};
    if (root)
        left << ".Junkloupe.ini_file.tmp-ffff";
    left.sort();
    EXPECT_EQ(folderEntries(dir), left);
}

} // namespace
} // namespace jl
