// The one directory walk: what it takes, where it descends, what it tells.

#include "filelist/directory_walk.h"
#include "support/temp_folder.h"

#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using jl::DirectoryWalk;
using jl::WalkOptions;
using jl::test::TempFolder;

namespace {

// Writes what the walk tells as lines, paths relative to the root.
class Recorder : public jl::WalkVisitor {
public:
    explicit Recorder(const QByteArray& root) : m_root(root) {}
    void file(const QByteArray& directory, const char* name, const struct stat* status) override {
        QString line = relative(DirectoryWalk::entryPath(directory, name));
        if (status)
            line += QStringLiteral(" (status)");
        lines << line;
    }
    void problem(const QByteArray& path, int error) override {
        lines << QStringLiteral("problem %1 %2").arg(relative(path)).arg(error);
    }
    void subdirectoriesLeftOut(const QByteArray& directory, int count) override {
        lines << QStringLiteral("left out %1 in %2").arg(count).arg(relative(directory));
    }
    void loop(const QByteArray& path) override {
        lines << QStringLiteral("loop ") + relative(path);
    }
    QStringList lines;

private:
    QString relative(const QByteArray& path) const {
        return QFile::decodeName(path.startsWith(m_root) ? path.mid(m_root.size()) : path);
    }
    QByteArray m_root;
};

// root/top: a file, a link to it, a pipe, a dangling link, sub/ with a file
// and a link back to top, and a link to a folder outside that only links reach.
class WalkTree : public ::testing::Test {
protected:
    void SetUp() override {
        root = QFile::encodeName(folder.path());
        folder.write(QStringLiteral("top/a.eml"), "a");
        folder.write(QStringLiteral("top/sub/b.eml"), "b");
        folder.write(QStringLiteral("outside/c.eml"), "c");
        ASSERT_EQ(::symlink("a.eml", (root + "top/link.eml").constData()), 0);
        ASSERT_EQ(::symlink("nowhere", (root + "top/dangling").constData()), 0);
        ASSERT_EQ(::mkfifo((root + "top/pipe").constData(), 0600), 0);
        ASSERT_EQ(::symlink("..", (root + "top/sub/up").constData()), 0);
        ASSERT_EQ(::symlink((root + "outside").constData(), (root + "top/out").constData()), 0);
    }
    QStringList run(const WalkOptions& options, const QList<QByteArray>& now,
                    const QList<QByteArray>& later = {}) {
        Recorder recorder(root);
        DirectoryWalk walk(options, recorder);
        for (const QByteArray& name : now)
            walk.walk(root + name);
        for (const QByteArray& name : later)
            walk.walkLater(root + name);
        walk.finish();
        return recorder.lines;
    }

    TempFolder folder;
    QByteArray root;
};

TEST_F(WalkTree, OptionsDecideWhereTheWalkGoes) {
    WalkOptions flat;
    WalkOptions recursive;
    recursive.recursive = true;
    WalkOptions follow = recursive;
    follow.followLinks = true;
    WalkOptions pattern;
    pattern.pattern = "*.eml";
    WalkOptions status = recursive;
    status.fileStatus = true;
    struct Case {
        const char* what;
        WalkOptions options;
        QList<QByteArray> now, later;
        QStringList expected; // files sorted, then the rest as told
    };
    const Case cases[] = {
        {"flat", flat, {"top"}, {}, {"top/a.eml", "top/link.eml (status)", "left out 2 in top"}},
        {"pattern", pattern, {"top/"}, {}, {"top/a.eml", "top/link.eml (status)"}},
        {"recursive",
         recursive,
         {"top"},
         {},
         {"top/a.eml", "top/link.eml (status)", "top/sub/b.eml"}},
        {"status of every file",
         status,
         {"top"},
         {},
         {"top/a.eml (status)", "top/link.eml (status)", "top/sub/b.eml (status)"}},
        // Through links: a loop is told and not walked; the folder outside
        // once, though two ways lead to it.
        {"links followed",
         follow,
         {"top", "outside"},
         {"top/out"},
         {"outside/c.eml", "top/a.eml", "top/link.eml (status)", "top/sub/b.eml",
          "loop top/sub/up"}},
        // A directory named twice, or reached again below another, once.
        {"named twice",
         recursive,
         {"top/sub", "top", "top/sub/"},
         {},
         {"top/a.eml", "top/link.eml (status)", "top/sub/b.eml"}},
        {"missing", flat, {"none"}, {}, {QStringLiteral("problem none %1").arg(ENOENT)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QStringList lines = run(c.options, c.now, c.later);
        QStringList files, rest;
        for (const QString& line : lines)
            (line.contains(QLatin1String(".eml")) && !line.startsWith(QLatin1String("loop")) ? files
                                                                                             : rest)
                << line;
        files.sort();
        EXPECT_EQ(files + rest, c.expected);
    }
}

TEST_F(WalkTree, StopEndsTheWholeWalk) {
    WalkOptions options;
    options.recursive = true;
    int asked = 0;
    options.stop = [&asked] { return ++asked >= 1; };
    const QStringList lines = run(options, {"top", "outside"});
    EXPECT_EQ(asked, 1);
    EXPECT_LE(lines.size(), 1); // the first entry of top, whatever it is
    EXPECT_FALSE(lines.join(QLatin1Char(' ')).contains(QLatin1String("outside")));
}

} // namespace
