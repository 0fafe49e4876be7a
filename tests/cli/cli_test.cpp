// junkloupe-cli: exact output and exit status of view, scan and hits.

#include "cli/cli.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

using jl::test::TempFolder;

namespace {

struct CliResult {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

QByteArray drain(std::FILE* file) {
    std::rewind(file);
    QByteArray bytes;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, qsizetype(n));
    std::fclose(file);
    return bytes;
}

CliResult runCli(QStringList args) {
    args.prepend(QStringLiteral("junkloupe-cli"));
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    CliResult result;
    result.status = jl::cli::run(args, out, err);
    result.out = drain(out);
    result.err = drain(err);
    return result;
}

// The seven lines of the reader's worked example, CR LF ended.
const QByteArray kWorkedExample = "Return-Path: x\r\n"
                                  "Received: from a\r\n"
                                  "\tby b\r\n"
                                  "Message-ID: 1.x\r\n"
                                  "Subject: hi\r\n"
                                  "\r\n"
                                  "body\r\n";

TEST(CliView, WorkedExampleUnderEachFilter) {
    TempFolder folder;
    const QString file = folder.write(QStringLiteral("m1.eml"), kWorkedExample);
    struct Case {
        QStringList options;
        QByteArray expected;
    };
    const QByteArray firstHeader = "\nReceived: from a\nby b\n\nMessage-ID: 1.x\n";
    const QByteArray allHeaders = "\nReceived: from a\nby b\n\nMessage-ID: 1.x\n\n\n";
    const QByteArray allText =
        "\nReturn-Path: x\n\nReceived: from a\n\nby b\n\nMessage-ID: 1.x\n\n\n"
        "\nSubject: hi\n\n\n\nbody\n";
    const Case cases[] = {
        {{}, allHeaders}, // the default filter is 1
        {{"--filter", "0"}, firstHeader},
        {{"--filter=0"}, firstHeader},
        {{"--filter", "1"}, allHeaders},
        {{"--filter", "2"}, allText},
        {{"--filter=2"}, allText},
        {{"--filter", "0", "--filter", "2"}, allText}, // the last one counts
        {{"--filter", "2", "--"}, allText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString());
        const CliResult r = runCli(QStringList{"view"} + c.options + QStringList{file});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, c.expected);
        EXPECT_EQ(r.err, QByteArray());
    }
}

TEST(CliView, EmptyMissingAndUnreadableFiles) {
    TempFolder folder;
    const QString empty = folder.write(QStringLiteral("empty.eml"), "");
    const QString noLines = folder.write(QStringLiteral("nolines.eml"), "Subject: none\r\n");
    const QString dir = folder.mkdir(QStringLiteral("dir"));
    const QString missing = folder.file(QStringLiteral("missing.eml"));

    CliResult r = runCli({"view", empty});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, QByteArray());
    EXPECT_EQ(r.err, QByteArray());

    r = runCli({"view", noLines}); // read, but filter 1 shows nothing
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, QByteArray());

    for (const QString& bad : {missing, dir}) {
        SCOPED_TRACE(bad.toStdString());
        r = runCli({"view", bad});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, QByteArray());
        EXPECT_TRUE(r.err.startsWith("junkloupe-cli: " + QFile::encodeName(bad) + ": "))
            << r.err.constData();
        EXPECT_TRUE(r.err.endsWith("\n"));
    }
}

TEST(CliUsage, WrongUsageGivesStatusTwoAndTheUsage) {
    TempFolder folder;
    const QString file = folder.write(QStringLiteral("m.eml"), kWorkedExample);
    const QString items = folder.write(QStringLiteral("items"), "a\r\n");
    const QList<QStringList> cases = {
        {},
        {"show", file},
        {"view"},
        {"view", file, file},
        {"view", "--filter", "3", file},
        {"view", "--filter=x", file},
        {"view", "--filter"},
        {"view", "--items", items, file},
        {"view", "--colour", file},
        {"scan", file},
        {"scan", "--items", items},
        {"scan", "--items=", file},
        {"hits", "--filter", "1", file},
        {"hits", "--items"},
    };
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const CliResult r = runCli(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, QByteArray());
        EXPECT_TRUE(r.err.startsWith("junkloupe-cli: "));
        EXPECT_TRUE(r.err.contains("Usage: junkloupe-cli view"));
    }
}

TEST(CliUsage, HelpGoesToStandardOutput) {
    for (const QStringList& args : QList<QStringList>{
             {"--help"}, {"-h"}, {"view", "--help"}, {"scan", "--filter", "2", "--help"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const CliResult r = runCli(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, jl::cli::usageText().toUtf8());
        EXPECT_EQ(r.err, QByteArray());
    }
}

// A small pile with known answers for scan and hits.
class CliPile : public ::testing::Test {
protected:
    void SetUp() override {
        dir = folder.mkdir(QStringLiteral("pile"));
        write("b-evil.eml", "Received: from EVIL.example\r\nMessage-ID: <1@x>\r\n\r\nhello\r\n");
        write("A-clean.eml", "Received: from relay.example\r\nMessage-ID: <2@x>\r\n\r\nhello\r\n");
        write("c-casino.eml",
              "Received: from relay.example\r\nMessage-ID: <3@x>\r\n\r\nca|sino\r\n");
        write("d-both.eml", "Received: from evil.example\r\nMessage-ID: <4@x>\r\n\r\ncasino\r\n");
        write("e-empty.eml", "");
        write(".f-hidden.eml",
              "Received: from relay.example\r\nX: casino\r\nMessage-ID: <5@x>\r\n");
        folder.write(QStringLiteral("pile/sub/deep.eml"), "Received: from clean.example\r\n");
        // Items file as the window writes it; the empty line is an empty item.
        items =
            folder.write(QStringLiteral("items.txt"), "evil.example\r\nCasino\r\n\r\nabsent\r\n");
    }
    void write(const char* name, const QByteArray& bytes) {
        folder.write(QStringLiteral("pile/") + QLatin1String(name), bytes);
    }
    QByteArray path(const char* name) const { return QFile::encodeName(dir) + name; }

    TempFolder folder;
    QString dir;
    QString items;
};

TEST_F(CliPile, ScanListsFilesWithoutItemsInListOrder) {
    struct Case {
        QStringList args;
        QByteArray expected;
    };
    const QByteArray headers =
        path("A-clean.eml") + "\n" + path("c-casino.eml") + "\n" + path("e-empty.eml") + "\n";
    const QByteArray allText = path("A-clean.eml") + "\n" + path("e-empty.eml") + "\n";
    const Case cases[] = {
        {{"scan", "--items", items, dir}, headers},
        {{"scan", "--filter", "1", "--items", items, dir}, headers},
        {{"scan", "--items=" + items, "--filter=2", dir}, allText},
        {{"scan", "--filter", "2", "--items", items, dir}, allText},
        // Files and directories mixed: every file once, in list order.
        {{"scan", "--filter", "2", "--items", items, dir + "e-empty.eml", dir, dir + "A-clean.eml"},
         allText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliResult r = runCli(c.args);
        EXPECT_EQ(r.status, 0) << r.err.constData();
        EXPECT_EQ(r.out, c.expected);
        EXPECT_EQ(r.err, QByteArray());
    }
}

TEST_F(CliPile, HitsCountsFilesPerItem) {
    CliResult r = runCli({"hits", "--filter", "2", "--items", items, dir});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    // Items in list order (letter case ignored), the empty item first.
    EXPECT_EQ(r.out, QByteArray("0\t\n0\tabsent\n3\tCasino\n2\tevil.example\n2\n"));

    r = runCli({"hits", "--items", items, dir});
    EXPECT_EQ(r.out, QByteArray("0\t\n0\tabsent\n1\tCasino\n2\tevil.example\n3\n"));
}

TEST_F(CliPile, EmptyItemsFileMatchesNothing) {
    const QString none = folder.write(QStringLiteral("none.txt"), "");
    CliResult r =
        runCli({"scan", "--items", none, "--filter", "2", dir + "b-evil.eml", dir + "e-empty.eml"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, path("b-evil.eml") + "\n" + path("e-empty.eml") + "\n");
    r = runCli({"hits", "--items", none, dir + "b-evil.eml"});
    EXPECT_EQ(r.out, QByteArray("1\n"));
}

TEST_F(CliPile, RelativePathsBecomeFullPaths) {
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir));
    const CliResult r = runCli({"scan", "--filter", "2", "--items", items, ".", "./A-clean.eml"});
    QDir::setCurrent(before);
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_EQ(r.out, path("A-clean.eml") + "\n" + path("e-empty.eml") + "\n");
}

TEST_F(CliPile, UnreadableInputIsReportedWithStatusOne) {
    // Missing items file: nothing scanned.
    CliResult r = runCli({"scan", "--items", folder.file(QStringLiteral("no-items")), dir});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, QByteArray());
    EXPECT_TRUE(r.err.contains(QFile::encodeName(folder.file(QStringLiteral("no-items")))));

    // A path that names nothing and a named pipe: reported, the rest still printed.
    const QString pipe = folder.file(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString nothing = folder.file(QStringLiteral("nothing"));
    r = runCli({"scan", "--filter", "2", "--items", items, nothing, pipe, dir + "A-clean.eml"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, path("A-clean.eml") + "\n");
    EXPECT_TRUE(r.err.contains("junkloupe-cli: " + QFile::encodeName(nothing) + ": "));
    EXPECT_TRUE(r.err.contains("junkloupe-cli: " + QFile::encodeName(pipe) + ": "));
}

TEST_F(CliPile, NamesThatCannotStandInTheListAreReported) {
    const QByteArray odd = QFile::encodeName(dir) + "odd-\xff.eml";
    std::FILE* f = std::fopen(odd.constData(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    const CliResult r = runCli({"scan", "--filter", "2", "--items", items, dir});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, path("A-clean.eml") + "\n" + path("e-empty.eml") + "\n");
    EXPECT_TRUE(r.err.contains(odd)) << r.err.constData();
    ::unlink(odd.constData()); // the temporary folder cannot remove what it cannot name
}

} // namespace
