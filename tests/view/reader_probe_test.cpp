// How the reader opens a message file: the in-use test on the descriptor that
// reads it (every kind of lock another process can hold, the long-path rule,
// its own lock released at once), a read that never looks like a write to
// anyone watching the file, and reads started from events pumped inside
// another read.

#include "view/message_reader.h"

#include "support/lock_holder.h"
#include "support/temp_folder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using jl::test::TempFolder;

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

using jl::test::LockHolder;
using Lock = jl::test::LockKind;

class RecordingSink : public jl::LineSink {
public:
    void appendLine(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

std::vector<std::string> readLines(const QString& path, jl::LoadResult* result = nullptr) {
    RecordingSink sink;
    jl::ReaderHooks hooks;
    hooks.filter = [] { return int(jl::AllText); };
    const jl::LoadResult loaded = jl::Load_File_Into_View(path, sink, hooks);
    if (result)
        *result = loaded;
    return sink.lines;
}

const QByteArray kMessage = "Received: from relay.example\r\n"
                            "Message-ID: <1@x>\r\n"
                            "\r\n"
                            "body\r\n";

TEST(ReaderInUse, EveryLockAnotherProcessHoldsMakesTheFileInUse) {
    TempFolder folder;
    // The in-use test is skipped for paths of 128 characters or more.
    const QString longName = QString(128, QLatin1Char('n')) + QStringLiteral(".eml");
    struct Row {
        const char* what;
        Lock lock;
        bool longPath;
        jl::LoadStatus status;
    };
    const Row rows[] = {
        {"exclusive flock", Lock::FlockExclusive, false, jl::LoadStatus::InUse},
        {"shared flock", Lock::FlockShared, false, jl::LoadStatus::InUse},
        {"record write lock", Lock::RecordWrite, false, jl::LoadStatus::InUse},
        {"record read lock", Lock::RecordRead, false, jl::LoadStatus::InUse},
        {"open file description lock", Lock::OpenFileWrite, false, jl::LoadStatus::InUse},
        {"exclusive flock, long path", Lock::FlockExclusive, true, jl::LoadStatus::Read},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const QString path =
            folder.write(row.longPath ? longName : QStringLiteral("m.eml"), kMessage);
        ASSERT_EQ(path.size() >= 128, row.longPath);
        jl::LoadResult result;
        std::vector<std::string> lines;
        {
            LockHolder holder(path, row.lock);
            ASSERT_TRUE(holder.locked());
            lines = readLines(path, &result);
        }
        EXPECT_EQ(result.status, row.status);
        EXPECT_EQ(lines.empty(), row.status == jl::LoadStatus::InUse);
        // With the lock gone the file reads.
        EXPECT_EQ(readLines(path, &result), readLines(path));
        EXPECT_EQ(result.status, jl::LoadStatus::Read);
    }
}

// A sink that, at its first line, checks that nobody holds a lock on the file
// while the reader is reading it.
class LockCheckingSink : public RecordingSink {
public:
    explicit LockCheckingSink(const QString& path) : m_path(native(path)) {}
    void appendLine(std::string_view line) override {
        if (lines.empty()) {
            const int fd = ::open(m_path.constData(), O_RDWR);
            exclusiveFree = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
            struct flock range {};
            range.l_type = F_WRLCK;
            range.l_whence = SEEK_SET;
            recordFree = fd >= 0 && ::fcntl(fd, F_OFD_SETLK, &range) == 0;
            if (fd >= 0)
                ::close(fd);
        }
        RecordingSink::appendLine(line);
    }
    bool exclusiveFree = false;
    bool recordFree = false;

private:
    QByteArray m_path;
};

TEST(ReaderInUse, TheTestLeavesNoLockWhileTheFileIsRead) {
    TempFolder folder;
    const QString path = folder.write(QStringLiteral("m.eml"), kMessage);
    for (const bool window : {false, true}) {
        SCOPED_TRACE(window ? "with events pumped" : "batch");
        LockCheckingSink sink(path);
        jl::ReaderHooks hooks;
        if (window)
            hooks.pumpEvents = [] {};
        EXPECT_EQ(jl::Load_File_Into_View(path, sink, hooks).status, jl::LoadStatus::Read);
        ASSERT_FALSE(sink.lines.empty());
        EXPECT_TRUE(sink.exclusiveFree);
        EXPECT_TRUE(sink.recordFree);
    }
}

// Programs that watch files (indexers, synchronisers) take a descriptor closed
// after writing as a change of the file.
TEST(ReaderInUse, ReadingNeverLooksLikeAWrite) {
    TempFolder folder;
    const QString path = folder.write(QStringLiteral("m.eml"), kMessage);
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, native(path).constData(), IN_ALL_EVENTS), 0);

    EXPECT_FALSE(readLines(path).empty());

    uint32_t seen = 0;
    alignas(struct inotify_event) char buffer[4096];
    for (ssize_t got; (got = ::read(watch, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const struct inotify_event*>(buffer + at);
            seen |= event->mask;
            at += ssize_t(sizeof(struct inotify_event) + event->len);
        }
    }
    ::close(watch);
    EXPECT_TRUE(seen & IN_CLOSE_NOWRITE);
    EXPECT_FALSE(seen & (IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB)) << std::hex << seen;
}

// Events pumped while a file is read may start the reading of another file on
// the same thread; each read keeps its own bytes.
TEST(ReaderNesting, ReadStartedFromPumpedEventsLeavesTheOuterReadWhole) {
    TempFolder folder;
    QByteArray outerBytes;
    for (int i = 0; outerBytes.size() < 100000; ++i)
        outerBytes += "Received: outer line " + QByteArray::number(i) + "\r\n";
    QByteArray innerBytes;
    for (int i = 0; innerBytes.size() < 70000; ++i)
        innerBytes += "inner " + QByteArray::number(i) + "\n";
    const QString outer = folder.write(QStringLiteral("outer.eml"), outerBytes);
    const QString inner = folder.write(QStringLiteral("inner.eml"), innerBytes);
    const std::vector<std::string> outerAlone = readLines(outer);
    const std::vector<std::string> innerAlone = readLines(inner);

    RecordingSink sink;
    jl::ReaderHooks hooks;
    hooks.filter = [] { return int(jl::AllText); };
    int nested = 0;
    bool innerWhole = true;
    hooks.pumpEvents = [&] {
        ++nested;
        innerWhole = innerWhole && readLines(inner) == innerAlone;
    };
    EXPECT_EQ(jl::Load_File_Into_View(outer, sink, hooks).status, jl::LoadStatus::Read);
    EXPECT_GT(nested, 5); // pumps inside every chunk
    EXPECT_TRUE(innerWhole);
    EXPECT_EQ(sink.lines, outerAlone);
}

} // namespace
