#include "support/lock_holder.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"
#include "util/file_helpers.h"

#include <QFile>

#include "qstring_printer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace jl {
namespace {

using test::ScriptedDialogs;
using test::TempFolder;

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

using test::LockHolder;
using test::LockKind;

struct Snapshot {
    QByteArray bytes;
    struct timespec mtime {};
    mode_t mode = 0;
};

Snapshot snapshot(const QString& path) {
    Snapshot s;
    QFile f(path);
    if (f.open(QIODevice::ReadOnly))
        s.bytes = f.readAll();
    struct stat st {};
    ::stat(native(path).constData(), &st);
    s.mtime = st.st_mtim;
    s.mode = st.st_mode;
    return s;
}

// decodedName() against the round trip through the system's encoding that
// defines a decodable name: ASCII, UTF-8 of two to four bytes, and bytes that
// no text gives back (lone continuation bytes, an overlong form, a cut
// sequence, a surrogate, 0xFF).
TEST(DecodedName, AgreesWithTheRoundTrip) {
    const QByteArray names[] = {"",
                                "msg-0001.eml",
                                "MiXed Case ~!@#$%^&()_+",
                                "caf\xC3\xA9.eml",
                                "\xE2\x82\xAC\xF0\x9F\x98\x80",
                                "\x80-abc",
                                "abc\xBF",
                                "\xC0\xAF",
                                "\xE2\x82",
                                "\xED\xA0\x80",
                                "\xFF"};
    for (const QByteArray& raw : names) {
        SCOPED_TRACE(raw.toHex().toStdString());
        const bool roundTrips = QFile::encodeName(QFile::decodeName(raw)) == raw;
        const std::optional<QString> name = decodedName(raw);
        EXPECT_EQ(name.has_value(), roundTrips);
        EXPECT_EQ(isUndecodableName(raw), !roundTrips);
        if (name) {
            EXPECT_EQ(*name, QFile::decodeName(raw));
        }
    }
    EXPECT_FALSE(decodedName("\xFF"));
    EXPECT_EQ(decodedName("caf\xC3\xA9"), QStringLiteral("caf\u00E9"));
}

TEST(FileStatus, LockHeldByAnotherProcessIsOpenAndTheProbeChangesNothing) {
    TempFolder folder;
    const QString path = folder.write(QStringLiteral("message.eml"), "Received: x\r\n");
    for (LockKind kind : {LockKind::FlockExclusive, LockKind::FlockShared, LockKind::RecordWrite,
                          LockKind::RecordRead}) {
        const Snapshot before = snapshot(path);
        {
            LockHolder child(path, kind);
            ASSERT_TRUE(child.locked()) << int(kind);
            EXPECT_EQ(Get_File_Status(path), QStringLiteral("OPEN")) << int(kind);
            EXPECT_FALSE(Delete_File_If_Closed(path));
            EXPECT_TRUE(isExistingFile(path));
        }
        // Lock gone with the child.
        EXPECT_EQ(Get_File_Status(path), QStringLiteral("CLOSED")) << int(kind);
        const Snapshot after = snapshot(path);
        EXPECT_EQ(after.bytes, before.bytes);
        EXPECT_EQ(after.mtime.tv_sec, before.mtime.tv_sec);
        EXPECT_EQ(after.mtime.tv_nsec, before.mtime.tv_nsec);
    }
}

// Two readers going through the same files in step (two batch runs over one
// pile) must not take each other's probe for a lock that holds a file.
TEST(FileStatus, ProbesOfOtherReadersAreNoLock) {
    TempFolder folder;
    std::vector<QByteArray> paths;
    paths.reserve(200);
    for (int i = 0; i < 200; ++i)
        paths.push_back(native(folder.write(QStringLiteral("m%1.eml").arg(i), "Received: x\r\n")));
    std::atomic<int> seenLocked{0};
    auto probe = [&] {
        for (int round = 0; round < 25; ++round) {
            for (const QByteArray& path : paths) {
                const int fd = ::open(path.constData(), O_RDONLY);
                seenLocked += isLockedByAnother(fd) ? 1 : 0;
                ::close(fd);
            }
        }
    };
    std::thread other(probe);
    probe();
    other.join();
    EXPECT_EQ(seenLocked.load(), 0);
}

TEST(FileStatus, AnswersForPathsThatAreNoPlainFile) {
    TempFolder folder;
    EXPECT_EQ(Get_File_Status(QString()), QString());
    EXPECT_EQ(Get_File_Status(folder.file(QStringLiteral("missing"))), QString());
    EXPECT_EQ(Get_File_Status(folder.mkdir(QStringLiteral("dir"))), QString());
    EXPECT_EQ(Get_File_Status(folder.file(QStringLiteral("dir"))), QString());

    // A pipe is never opened: the probe answers at once instead of hanging.
    const QString fifo = folder.file(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(native(fifo).constData(), 0600), 0);
    EXPECT_EQ(Get_File_Status(fifo), QStringLiteral("ERROR"));
    EXPECT_EQ(Get_File_Status(QStringLiteral("/dev/null")), QStringLiteral("ERROR"));
}

TEST(RegularFileReading, EachKindOfPathGivesItsOwnAnswer) {
    TempFolder folder;
    // A file bigger than one read, so the loop has to put pieces together.
    QByteArray big(200000, 'a');
    big[0] = '\0';
    big[150000] = '\r';
    const QString file = folder.write(QStringLiteral("file"), big);
    const RegularFileContents whole = readRegularFile(file);
    EXPECT_EQ(whole.status, RegularFileRead::Ok);
    EXPECT_EQ(whole.bytes, big);
    EXPECT_TRUE(whole.error.isEmpty());

    const QString empty = folder.write(QStringLiteral("empty"), QByteArray());
    EXPECT_EQ(readRegularFile(empty).status, RegularFileRead::Ok);
    EXPECT_TRUE(readRegularFile(empty).bytes.isEmpty());

    for (const QString& missing :
         {QString(), folder.file(QStringLiteral("none")), file + QStringLiteral("/below")}) {
        SCOPED_TRACE(missing.toStdString());
        const RegularFileContents r = readRegularFile(missing);
        EXPECT_EQ(r.status, RegularFileRead::Missing);
        EXPECT_TRUE(r.error.isEmpty());
    }

    const RegularFileContents dir = readRegularFile(folder.mkdir(QStringLiteral("dir")));
    EXPECT_EQ(dir.status, RegularFileRead::Directory);
    EXPECT_EQ(dir.error, QString::fromLocal8Bit(std::strerror(EISDIR)));

    // A pipe without a writer must be refused at once, not waited on.
    const QString fifo = folder.file(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(native(fifo).constData(), 0600), 0);
    const RegularFileContents pipe = readRegularFile(fifo);
    EXPECT_EQ(pipe.status, RegularFileRead::NotRegular);
    EXPECT_EQ(pipe.error, QStringLiteral("not a regular file"));
    EXPECT_EQ(readRegularFile(QStringLiteral("/dev/null")).status, RegularFileRead::NotRegular);

    if (::geteuid() != 0) {
        const QString locked = folder.write(QStringLiteral("noread"), "x");
        ASSERT_EQ(::chmod(native(locked).constData(), 0000), 0);
        const RegularFileContents denied = readRegularFile(locked);
        EXPECT_EQ(denied.status, RegularFileRead::Failed);
        EXPECT_EQ(denied.error, QString::fromLocal8Bit(std::strerror(EACCES)));
        EXPECT_TRUE(denied.bytes.isEmpty());
    }
}

TEST(FileStatus, TheLengthRuleStartsAt128Characters) {
    TempFolder folder;
    const QString dir = folder.path();
    ASSERT_LT(dir.size(), 100);
    const QString missing127 = dir + QString(127 - dir.size(), QLatin1Char('m'));
    const QString missing128 = missing127 + QLatin1Char('m');
    ASSERT_EQ(missing127.size(), 127);
    EXPECT_EQ(Get_File_Status(missing127), QString()); // still tested
    EXPECT_EQ(Get_File_Status(missing128), QStringLiteral("CLOSED"));
}

TEST(FileStatus, ReadOnlyFileIsAnError) {
    TempFolder folder;
    QString path = folder.write(QStringLiteral("ro"), "x");
    ASSERT_EQ(::chmod(native(path).constData(), 0444), 0);
    if (::geteuid() == 0) {
        // The superuser may write any file he owns; a read-only kernel
        // attribute refuses even him.
        path = QStringLiteral("/sys/kernel/mm/transparent_hugepage/hpage_pmd_size");
        if (!isExistingFile(path))
            GTEST_SKIP() << "no file here that refuses the superuser";
    }
    EXPECT_EQ(Get_File_Status(path), QStringLiteral("ERROR"));
}

TEST(DeleteFileIfClosed, DeletesReadOnlyFilesNobodyHolds) {
    TempFolder folder;
    EXPECT_FALSE(Delete_File_If_Closed(folder.file(QStringLiteral("missing"))));
    const QString dir = folder.mkdir(QStringLiteral("dir"));
    EXPECT_FALSE(Delete_File_If_Closed(dir));
    EXPECT_TRUE(isExistingDirectory(dir));

    const QString path = folder.write(QStringLiteral("Junkloupe.ini"), "[Junkloupe]\r\n");
    ASSERT_EQ(::chmod(native(path).constData(), 0444), 0);
    EXPECT_TRUE(Delete_File_If_Closed(path));
    EXPECT_FALSE(isExistingFile(path));
}

TEST(DeleteFileIfClosed, LeavesAHeldFileWritableByItsOwner) {
    TempFolder folder;
    const QString path = folder.write(QStringLiteral("held"), "x");
    ASSERT_EQ(::chmod(native(path).constData(), 0444), 0);
    LockHolder child(path, LockKind::FlockShared);
    ASSERT_TRUE(child.locked());
    EXPECT_FALSE(Delete_File_If_Closed(path));
    EXPECT_TRUE(isExistingFile(path));
    EXPECT_EQ(snapshot(path).mode & 0777, 0644u);
}

TEST(FileSize, SixtyFourBitsAndMinusOneForNothing) {
    TempFolder folder;
    EXPECT_EQ(Get_File_Size(folder.file(QStringLiteral("missing"))), -1);
    EXPECT_EQ(Get_File_Size(QString()), -1);
    EXPECT_EQ(Get_File_Size(folder.write(QStringLiteral("three"), "abc")), 3);
    EXPECT_EQ(Get_File_Size(folder.write(QStringLiteral("empty"), "")), 0);
    const QString big = folder.write(QStringLiteral("big"), "");
    const qint64 fiveGiB = qint64(5) << 30;
    ASSERT_EQ(::truncate(native(big).constData(), fiveGiB), 0); // sparse
    EXPECT_EQ(Get_File_Size(big), fiveGiB);
}

TEST(ChooseDirectory, StartsAtAUsableDirectoryElseTheFallback) {
    TempFolder folder;
    const QString existing = folder.mkdir(QStringLiteral("mail"));
    const QString fallback = folder.mkdir(QStringLiteral("program"));
    const std::pair<QString, QString> cases[] = {
        {existing, existing},
        {QString(), fallback},
        {QStringLiteral("/"), fallback},
        {QStringLiteral("."), fallback},
        {QStringLiteral(".."), fallback},
        {QStringLiteral("./"), fallback},
        {QStringLiteral("../"), fallback},
        {folder.file(QStringLiteral("gone")), fallback},
        {folder.write(QStringLiteral("plain"), "x"), fallback},
    };
    for (const auto& [start, expected] : cases) {
        ScriptedDialogs dialogs;
        dialogs.chooseNext(QString()); // cancel
        EXPECT_EQ(
            Choose_Directory(dialogs, QStringLiteral("Select Vaze Directory"), start, fallback),
            QString());
        EXPECT_EQ(dialogs.lastStartDirectory(), expected) << start.toStdString();
    }
}

TEST(ChooseDirectory, ReturnsTheChoiceAsChosenWithOneSeparator) {
    // Blanks and other control characters at either end are part of a name.
    const std::pair<QString, QString> cases[] = {
        {"/data//mail", "/data/mail/"},      {"/data/mail/", "/data/mail/"},
        {"/data/mail ", "/data/mail /"},     {"/data/ mail\t/", "/data/ mail\t/"},
        {"/data/mail \n", "/data/mail \n/"},
    };
    for (const auto& [chosen, expected] : cases) {
        ScriptedDialogs dialogs;
        dialogs.chooseNext(chosen);
        EXPECT_EQ(Choose_Directory(dialogs, QString(), QString(), QStringLiteral("/")), expected)
            << qPrintable(chosen);
    }
}

} // namespace
} // namespace jl
