// The lock table: which inodes the system's table names, and when a copy in
// hand is read again.

#include "util/lock_table.h"

#include "support/temp_folder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using jl::LockTable;
using jl::test::TempFolder;

TEST(LockTable, NamesTheInodeOfEveryKindOfLockAndWaiter) {
    struct Row {
        const char* text;
        std::vector<uint64_t> inodes;
    };
    const Row rows[] = {
        {"1: FLOCK  ADVISORY  WRITE 20718 fe:00:10979645 0 EOF\n", {10979645}},
        {"2: POSIX  ADVISORY  READ 31 08:01:77 128 1023\n"
         "3: OFDLCK ADVISORY  WRITE -1 00:2d:5 0 EOF\n"
         "4: LEASE  BREAKING  READ 812 00:19:12 0 EOF\n",
         {5, 12, 77}},
        // Waiters follow the lock they wait for, after "->".
        {"2: FLOCK  ADVISORY  WRITE 29080 fe:00:5333032 0 EOF\n"
         "2: -> FLOCK  ADVISORY  WRITE 5948 fe:00:5333032 0 EOF\n"
         "2:  -> POSIX  ADVISORY  WRITE 12235 fe:00:41 0 EOF\n",
         {41, 5333032}},
        // A last line without its line end still counts.
        {"7: POSIX  ADVISORY  WRITE 1 103:02:18446744073709551615 0 EOF", {18446744073709551615u}},
        {"", {}},
        {"garbage : no fields:here 1:2:x :: 1::2\n", {2}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(LockTable::inodesIn(row.text), row.inodes);
    }
}

TEST(LockTable, ProbesOnlyFilesItNamesAndReadsAgainWhenOld) {
    TempFolder folder;
    const QString file = folder.write(QStringLiteral("m.eml"), "x");
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY);
    ASSERT_GE(fd, 0);
    struct stat info {};
    ASSERT_EQ(::fstat(fd, &info), 0);
    const QByteArray other =
        "1: FLOCK  ADVISORY  WRITE 1 fe:00:" + QByteArray::number(quint64(info.st_ino) + 1) +
        " 0 EOF\n";
    const QByteArray naming =
        other + "2: POSIX  ADVISORY  WRITE 1 fe:00:" + QByteArray::number(quint64(info.st_ino)) +
        " 0 EOF\n";
    const QString source = folder.write(QStringLiteral("locks"), other);

    LockTable kept(QFile::encodeName(source), std::chrono::hours(1));
    LockTable fresh(QFile::encodeName(source), std::chrono::milliseconds(0));
    EXPECT_FALSE(kept.mayBeLocked(fd, info));
    EXPECT_FALSE(fresh.mayBeLocked(fd, info));
    folder.write(QStringLiteral("locks"), naming);
    EXPECT_FALSE(kept.mayBeLocked(fd, info)); // its copy is not old yet
    usleep(2000);
    EXPECT_TRUE(fresh.mayBeLocked(fd, info));

    // A table that cannot be read tells nothing: every file is probed.
    LockTable missing(QFile::encodeName(folder.file(QStringLiteral("none"))),
                      std::chrono::hours(1));
    EXPECT_TRUE(missing.mayBeLocked(fd, info));
    ::close(fd);
}

} // namespace
