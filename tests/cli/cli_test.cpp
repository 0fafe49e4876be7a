// junkloupe-cli: exact output and exit status of view, scan, hits and sum.

#include "cli/cli.h"
#include "cli/tally.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>

#include <sys/stat.h>
#include <unistd.h>

using jl::test::TempFolder;

// Failures show bytes as text.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QByteArray& bytes, std::ostream* os) {
    *os << '"' << bytes.toStdString() << '"';
}
QT_END_NAMESPACE

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

// Runs the program with the given standard input; out names a file to write
// standard output to instead of a temporary one (as /dev/full).
CliResult runCli(QStringList args, const QByteArray& input = {}, const char* out = nullptr) {
    args.prepend(QStringLiteral("junkloupe-cli"));
    std::FILE* in = std::tmpfile();
    std::fwrite(input.constData(), 1, size_t(input.size()), in);
    std::rewind(in);
    const int savedStdin = ::dup(STDIN_FILENO);
    ::dup2(::fileno(in), STDIN_FILENO);
    std::FILE* outFile = out ? std::fopen(out, "w") : std::tmpfile();
    std::FILE* err = std::tmpfile();
    CliResult result;
    result.status = jl::cli::run(args, outFile, err);
    ::dup2(savedStdin, STDIN_FILENO);
    ::close(savedStdin);
    std::fclose(in);
    if (out)
        std::fclose(outFile);
    else
        result.out = drain(outFile);
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

TEST(CliView, WorkedExampleUnderEachFilterAndOptionSpelling) {
    TempFolder folder;
    const QString file = folder.write(QStringLiteral("m1.eml"), kWorkedExample);
    folder.write(QStringLiteral("-f"), kWorkedExample);
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    struct Case {
        QStringList args;
        QByteArray expected;
    };
    const QByteArray firstHeader = "\nReceived: from a\nby b\n\nMessage-ID: 1.x\n";
    const QByteArray allHeaders = "\nReceived: from a\nby b\n\nMessage-ID: 1.x\n\n\n";
    const QByteArray allText =
        "\nReturn-Path: x\n\nReceived: from a\n\nby b\n\nMessage-ID: 1.x\n\n\n"
        "\nSubject: hi\n\n\n\nbody\n";
    const Case cases[] = {
        {{"view", file}, allHeaders}, // the default filter is 1
        {{"view", "--filter", "0", file}, firstHeader},
        {{"view", "--filter=0", file}, firstHeader},
        {{"view", "-f0", file}, firstHeader},
        {{"view", "-f", "2", file}, allText},
        {{"view", file, "--filter", "2"}, allText},            // options after the operand
        {{"-f2", "view", file}, allText},                      // and before the command
        {{"view", "--filt=2", file}, allText},                 // an unambiguous prefix
        {{"view", "-f", "0", "--filter", "2", file}, allText}, // the last one counts
        {{"view", "-f2", "--", file}, allText},
        {{"view", "-f0", "--", "-f"}, firstHeader}, // "--" ends the options
        {{"view", "-"}, allHeaders},                // standard input
        {{"view", "-f2", "-"}, allText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliResult r = runCli(c.args, kWorkedExample);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, c.expected);
        EXPECT_EQ(r.err, QByteArray());
    }
    QDir::setCurrent(before);
}

TEST(CliView, EmptyMissingAndUnreadableFiles) {
    TempFolder folder;
    const QString empty = folder.write(QStringLiteral("empty.eml"), "");
    const QString noLines = folder.write(QStringLiteral("nolines.eml"), "Subject: none\r\n");
    const QString dir = folder.mkdir(QStringLiteral("dir"));
    const QString missing = folder.file(QStringLiteral("missing.eml"));

    for (const QString& quiet : {empty, noLines}) {
        const CliResult r = runCli({"view", quiet});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out + r.err, QByteArray());
    }
    EXPECT_EQ(runCli({"view", "-"}, "").out, QByteArray());

    const QList<std::pair<QString, QByteArray>> bad = {{missing, "No such file or directory"},
                                                       {dir, "Is a directory"}};
    for (const auto& [path, reason] : bad) {
        SCOPED_TRACE(path.toStdString());
        const CliResult r = runCli({"view", path});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, QByteArray());
        EXPECT_EQ(r.err, "junkloupe-cli: " + QFile::encodeName(path) + ": " + reason + "\n");
    }
}

TEST(CliUsage, WrongUsageIsOneLineAndAPointerToTheHelp) {
    TempFolder folder;
    const QString file = folder.write(QStringLiteral("m.eml"), kWorkedExample);
    const QString items = folder.write(QStringLiteral("items"), "a\r\n");
    struct Case {
        QStringList args;
        const char* problem;
    };
    const Case cases[] = {
        {{}, "no command given"},
        {{"--filter", "2"}, "no command given"},
        {{"show", file}, "unknown command 'show'"},
        {{"view"}, "view needs a FILE ('-' for standard input)"},
        {{"view", file, file}, "view takes one FILE, not 2"},
        {{"view", "--filter", "3", file}, "invalid filter '3' (0, 1 or 2)"},
        {{"view", "-fx", file}, "invalid filter 'x' (0, 1 or 2)"},
        {{"view", file, "--filter"}, "option '--filter' requires an argument"},
        {{"view", file, "-f"}, "option requires an argument -- 'f'"},
        {{"view", "--items", items, file}, "option '--items' does not apply to view"},
        {{"view", "-r", file}, "option '-r' does not apply to view"},
        {{"view", "--colour", file}, "unrecognized option '--colour'"},
        {{"view", "-x", file}, "invalid option -- 'x'"},
        {{"view", "--f=1", file},
         "option '--f' is ambiguous; possibilities: '--filter' '--files-from' '--format'"},
        {{"view", "--help=1"}, "option '--help' doesn't allow an argument"},
        {{"scan", file}, "scan needs --items FILE"},
        {{"scan", "--items", items}, "scan needs a PATH or --files-from FILE"},
        {{"scan", "--items=", file}, "option '--items' needs a file name"},
        {{"scan", "-i", items, "-"},
         "'-' is no PATH: --files-from - reads names from standard input"},
        {{"scan", "-i-", "-T-"}, "standard input can be read only once"},
        {{"scan", "-i", items, "--format", "tsv", file},
         "option '--format' does not apply to scan"},
        {{"hits", "--filter", "1", file}, "hits needs --items FILE"},
        {{"hits", "-i", items, "--format", "xml", file},
         "invalid format 'xml' (text, tsv or json)"},
        {{"hits", "-i", items, "-j", "0", file}, "invalid number of threads '0' (1 to 256)"},
        {{"hits", "--items"}, "option '--items' requires an argument"},
        {{"sum", "-r"}, "option '-r' does not apply to sum"},
        {{"sum", "-d"}, "option '-d' does not apply to sum"},
        {{"sum", "-", "-"}, "standard input can be read only once"},
        {{"export", "-i", items},
         "export needs --format FORMAT (spamassassin, postfix, csv or json)"},
        {{"export", "--format", "tsv", "-i", items},
         "invalid format 'tsv' (spamassassin, postfix, csv or json)"},
        {{"export", "--format", "csv"}, "export needs --items FILE"},
        {{"export", "--format", "postfix", "-i", items, file},
         "files are counted only for csv and json, not for postfix"},
        {{"export", "--format", "spamassassin", "-i", items, "-d"},
         "--decode counts files in their decoded text; the spamassassin rules look at the "
         "message as it stands"},
        {{"export", "--format", "postfix", "-i", items, "--score", "1e999"},
         "invalid score '1e999' (a number)"},
        {{"export", "--format", "postfix", "-i", items, "--action", "WARN\nX"},
         "invalid action: the action must be one line"},
        {{"hits", "-i", items, "--action", "WARN", file},
         "option '--action' does not apply to hits"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliResult r = runCli(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, QByteArray());
        EXPECT_EQ(r.err, QByteArray("junkloupe-cli: ") + c.problem +
                             "\nTry 'junkloupe-cli --help' for more information.\n");
    }
}

TEST(CliUsage, HelpAndVersionGoToStandardOutput) {
    struct Case {
        QStringList args;
        QString expected;
    };
    const QString help = jl::cli::usageText();
    const Case cases[] = {
        {{"--help"}, help},
        {{"-h"}, help},
        {{"view", "--help"}, help},
        {{"scan", "--filter", "2", "--help", "--bogus"}, help}, // acted on when met
        {{"--version"}, "junkloupe-cli 1.0f\n"},
        {{"hits", "-V"}, "junkloupe-cli 1.0f\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliResult r = runCli(c.args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, c.expected.toUtf8());
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
        folder.write(QStringLiteral("pile/sub/deeper/evil.eml"), "Received: evil.example\r\n");
        // Items file as the window writes it; the empty line is an empty item.
        items =
            folder.write(QStringLiteral("items.txt"), "evil.example\r\nCasino\r\n\r\nabsent\r\n");
    }
    void write(const char* name, const QByteArray& bytes) {
        folder.write(QStringLiteral("pile/") + QLatin1String(name), bytes);
    }
    QByteArray path(const char* name) const { return QFile::encodeName(dir) + name; }
    // What a scan of dir without -r says about pile/sub.
    QByteArray note() const {
        return "junkloupe-cli: " + QFile::encodeName(dir) +
               ": 1 sub-directory not searched (-r descends into it)\n";
    }
    QByteArray lines(std::initializer_list<const char*> names, char end = '\n') const {
        QByteArray out;
        for (const char* name : names)
            out += path(name) + end;
        return out;
    }

    TempFolder folder;
    QString dir;
    QString items;
};

TEST_F(CliPile, ScanListsFilesWithoutItems) {
    struct Case {
        QStringList args;
        QByteArray input;
        QByteArray expected;
        bool note = true; // that pile/sub was not searched
    };
    const QByteArray headers = lines({"A-clean.eml", "c-casino.eml", "e-empty.eml"});
    const QByteArray allText = lines({"A-clean.eml", "e-empty.eml"});
    const QByteArray deep = lines({"sub/deep.eml"});
    const QByteArray named = path("e-empty.eml") + '\n' + path("A-clean.eml") + '\n';
    const QString namesFile = folder.write(QStringLiteral("names.txt"), named);
    const Case cases[] = {
        {{"scan", "--items", items, dir}, {}, headers},
        {{"scan", dir, "--items", items}, {}, headers},
        {{"scan", "--items", items, dir, "--filter", "2"}, {}, allText},
        {{"scan", "-i", items, "-f2", dir}, {}, allText},
        {{"scan", "-0", "-f2", "-i", items, dir}, {}, lines({"A-clean.eml", "e-empty.eml"}, '\0')},
        // Files and directories mixed: every file once, in list order.
        {{"scan", "-f2", "-i", items, dir + "e-empty.eml", dir, dir + "./A-clean.eml"},
         {},
         allText},
        // Recursion: list order over the whole tree.
        {{"scan", "-r", "-f2", "-i", items, dir}, {}, allText + deep, false},
        {{"scan", "-R", "-f2", "-i", items, dir}, {}, allText + deep, false},
        // Names from standard input or a file, in the order given; CR LF
        // and empty lines are fine; a directory gives its files.
        {{"scan", "-f2", "-i", items, "--files-from", "-"},
         path("e-empty.eml") + "\r\n\n" + path("b-evil.eml") + "\n" + path("A-clean.eml"),
         named,
         false},
        {{"scan", "-f2", "-i", items, "-T", namesFile, "--files-from=" + namesFile},
         {},
         named + named,
         false}, // every name as often as given
        {{"scan", "-0", "-f2", "-i", items, "-T", "-"},
         path("e-empty.eml") + '\0' + path("A-clean.eml") + '\0',
         path("e-empty.eml") + '\0' + path("A-clean.eml") + '\0',
         false},
        {{"scan", "-f2", "-i", items, "-T-", dir + "sub/deep.eml"},
         QFile::encodeName(dir) + "\n",
         deep + allText},
        {{"scan", "-f1", "-i", "-", dir}, "evil.example\n", lines({".f-hidden.eml"}) + headers},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliResult r = runCli(c.args, c.input);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, c.expected);
        EXPECT_EQ(r.err, c.note ? note() : QByteArray());
    }
}

TEST_F(CliPile, PathsArePrintedAsGiven) {
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    const CliResult r = runCli({"scan", "-f2", "-i", items, "pile", "./pile/A-clean.eml", "pile/"});
    const CliResult listed =
        runCli({"scan", "-f2", "-i", items, "-T-"}, "pile/../pile/e-empty.eml");
    QDir::setCurrent(before);
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_EQ(r.out, QByteArray("pile/A-clean.eml\npile/e-empty.eml\n"));
    EXPECT_EQ(listed.out, QByteArray("pile/../pile/e-empty.eml\n"));
}

TEST_F(CliPile, SubDirectoriesAndLinks) {
    const QByteArray pile = QFile::encodeName(dir);
    ASSERT_EQ(::symlink((pile + "sub").constData(), (pile + "link-to-sub").constData()), 0);
    ASSERT_EQ(::symlink((pile + "A-clean.eml").constData(), (pile + "link.eml").constData()), 0);
    ASSERT_EQ(::symlink(pile.constData(), (pile + "sub/loop").constData()), 0);
    ASSERT_EQ(::symlink("nowhere", (pile + "dangling").constData()), 0);
    // A folder outside the pile that only two links lead to, and a link to
    // the pile itself.
    const QString elsewhere = folder.mkdir(QStringLiteral("elsewhere"));
    folder.write(QStringLiteral("elsewhere/far.eml"), "clean\r\n");
    for (const char* link : {"one-way", "other-way"})
        ASSERT_EQ(::symlink(QFile::encodeName(elsewhere).constData(), (pile + link).constData()),
                  0);
    const QString pileLink = folder.file(QStringLiteral("pile-link"));
    ASSERT_EQ(::symlink(pile.constData(), QFile::encodeName(pileLink).constData()), 0);
    struct Case {
        QStringList args;
        QByteArray out;
        QByteArray err;
    };
    const QByteArray clean = lines({"A-clean.eml", "e-empty.eml", "link.eml"});
    // Every file once: a directory reached through two links, or through a
    // link and its own path, is walked once, under its own path if it has one.
    const QByteArray deref =
        lines({"A-clean.eml", "e-empty.eml", "link.eml", "one-way/far.eml", "sub/deep.eml"});
    const QByteArray loop =
        "junkloupe-cli: warning: " + pile + "sub/loop: recursive directory loop\n";
    const Case cases[] = {
        {{dir},
         clean,
         "junkloupe-cli: " + pile + ": 4 sub-directories not searched (-r descends into them)\n"},
        {{dir, "-r"}, clean + lines({"sub/deep.eml"}), {}},
        {{dir, "-R"}, deref, loop},
        {{pileLink + "/", dir, "-R"}, deref, loop},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliResult r = runCli(QStringList{"scan", "-f2", "-i", items} + c.args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
    }
}

TEST_F(CliPile, ScanExitStatusFollowsGrep) {
    const QString all = folder.write(QStringLiteral("all.txt"), "received\r\n");
    const QString missing = folder.file(QStringLiteral("missing.eml"));
    const QString pipe = folder.file(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    struct Case {
        QStringList args;
        int status;
        QByteArray out;
        QByteArray err;
    };
    const QByteArray noFile = ": No such file or directory\n";
    const Case cases[] = {
        {{"-i", items, dir + "A-clean.eml"}, 0, lines({"A-clean.eml"}), {}},
        {{"-i", all, dir + "A-clean.eml"}, 1, {}, {}},
        {{"-i", items, missing, dir + "A-clean.eml"},
         2,
         lines({"A-clean.eml"}),
         "junkloupe-cli: " + QFile::encodeName(missing) + noFile},
        {{"-i", all, pipe},
         2,
         {},
         "junkloupe-cli: " + QFile::encodeName(pipe) + ": Not a regular file (a named pipe)\n"},
        {{"-i", all, "-T", missing},
         2,
         {},
         "junkloupe-cli: " + QFile::encodeName(missing) + noFile},
        {{"-i", missing, dir}, 2, {}, "junkloupe-cli: " + QFile::encodeName(missing) + noFile},
        {{"-i", dir, dir},
         2,
         {},
         "junkloupe-cli: " + QFile::encodeName(dir) + ": Is a directory\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliResult r = runCli(QStringList{"scan"} + c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
    }
}

TEST_F(CliPile, NamesNotValidInTheEncodingAreReported) {
    const QByteArray odd = QFile::encodeName(dir) + "odd-\xff.eml";
    std::FILE* f = std::fopen(odd.constData(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    const CliResult r = runCli({"scan", "--filter", "2", "--items", items, dir});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, lines({"A-clean.eml", "e-empty.eml"}));
    EXPECT_EQ(r.err, "junkloupe-cli: " + odd +
                         ": the name is not valid in the system's encoding\n" + note());
    ::unlink(odd.constData()); // the temporary folder cannot remove what it cannot name
}

TEST_F(CliPile, HitsInEveryFormat) {
    // Items in list order (letter case ignored), the empty item first; an
    // item that is there twice is counted once.
    const QString odd =
        folder.write(QStringLiteral("odd.txt"),
                     "evil.example\r\nevil.example\r\na\tb\\c\r\nCasino\r\n\"q\"\r\n");
    struct Case {
        QStringList args;
        QByteArray expected;
    };
    const Case cases[] = {
        {{"-f2", "-i", items}, "0\t\n0\tabsent\n3\tCasino\n2\tevil.example\n2\n"},
        {{"-i", items}, "0\t\n0\tabsent\n1\tCasino\n2\tevil.example\n3\n"},
        {{"-i", odd, "--format", "tsv", "-j1"},
         "kind\tnumber\titem\titem_kind\nfilter\t1\t\t\nfiles\t6\t\t\nwithout\t3\t\t\n"
         "unreadable\t0\t\t\nitem\t0\t\"q\"\tother\nitem\t0\ta\\tb\\\\c\tother\n"
         "item\t1\tCasino\tother\nitem\t2\tevil.example\thost\ncheck\t3737330563648986752\t\t\n"},
        {{"-i", odd, "--format=json", "-f0", "-j3"},
         "{\n  \"filter\": 0,\n  \"files\": 6,\n  \"without\": 3,\n  \"unreadable\": 0,\n"
         "  \"items\": [\n    {\"item\": \"\\\"q\\\"\", \"kind\": \"other\", \"count\": 0},\n"
         "    {\"item\": \"a\\tb\\\\c\", \"kind\": \"other\", \"count\": 0},\n"
         "    {\"item\": \"Casino\", \"kind\": \"other\", \"count\": 1},\n"
         "    {\"item\": \"evil.example\", \"kind\": \"host\", \"count\": 2}\n  ]\n}\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliResult r = runCli(QStringList{"hits", dir} + c.args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, c.expected);
        EXPECT_EQ(r.err, note());
    }
}

// Items read in part would report files as holding none of them: every
// command that reads them stops and says why.
TEST_F(CliPile, ItemsFileReadInPartIsTrouble) {
    struct Case {
        QByteArray bytes;
        const char* where;
    };
    const Case files[] = {
        {QByteArray("absent\r\nevil.ex\0ample\r\n", 23), "a NUL character"},
        {QByteArray("\xFF\xFE"
                    "a\0\r\0\n\0"
                    "e",
                    9),
         "a last byte that is half of a UTF-16 character"},
    };
    for (const Case& file : files) {
        const QString bad = folder.write(QStringLiteral("bad.txt"), file.bytes);
        for (const QStringList& args : {QStringList{"scan", dir}, QStringList{"hits", dir},
                                        QStringList{"export", "--format=csv"}}) {
            SCOPED_TRACE((args.join(' ') + " " + file.where).toStdString());
            const CliResult r = runCli(args + QStringList{"-i", bad});
            EXPECT_EQ(r.status, 2);
            EXPECT_EQ(r.out, QByteArray());
            EXPECT_EQ(r.err, "junkloupe-cli: " + QFile::encodeName(bad) +
                                 ": the items cannot be read whole: reading stopped at line 2, "
                                 "which holds " +
                                 file.where + "\n");
        }
    }
}

TEST_F(CliPile, ExportsCountWhatHitsCountsAndReplaceTheirFile) {
    // csv and json count the files named as hits does, in the same order.
    CliResult r = runCli({"export", "--format", "csv", "-f2", "-i", items, dir});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Kind,Item,Files\r\nother,,0\r\nother,absent,0\r\nother,Casino,3\r\n"
                     "host,evil.example,2\r\n");
    // Without files: the items and their kinds alone.
    r = runCli({"export", "--format", "csv", "-i", items});
    EXPECT_EQ(r.out, "Kind,Item,Files\r\nother,,\r\nother,absent,\r\nother,Casino,\r\n"
                     "host,evil.example,\r\n");
    // -o replaces the file by a complete new one; standard output stays empty.
    const QString target = folder.write(QStringLiteral("rules.cf"), "old rules\n");
    r = runCli({"export", "--format", "spamassassin", "--score=2.5", "-i", items, "-o", target});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, QByteArray());
    QFile written(target);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray rules = written.readAll();
    EXPECT_TRUE(rules.startsWith("# Junkloupe v1.0f: 4 interesting items as SpamAssassin rules"));
    // Under the default filter (all headers), header rules; the empty item
    // would match every message: it has none.
    EXPECT_TRUE(rules.contains("\nheader   JL_4_EVIL_EXAMPLE ALL =~ /evil\\x2eexample/i\n"));
    EXPECT_TRUE(rules.contains("\n# Item 1 is empty: it matches nothing and has no rule.\n"));
    EXPECT_FALSE(rules.contains("JL_1"));
    EXPECT_TRUE(rules.contains("\nscore    JL_4_EVIL_EXAMPLE 2.5\n"));
    // A folder that takes no file: trouble, and nothing half written.
    r = runCli({"export", "--format", "postfix", "-i", items, "-o", dir + "/no/such/t.regexp"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(
        r.err.startsWith("junkloupe-cli: " + QFile::encodeName(dir) + "/no/such/t.regexp: "));
}

TEST_F(CliPile, WriteErrorsAreTrouble) {
    const QList<QStringList> cases = {
        {"--help"},
        {"--version"},
        {"view", dir + "A-clean.eml"},
        {"scan", "-i", items, dir},
        {"hits", "-i", items, dir},
        {"sum", "-"},
    };
    const QByteArray partial = runCli({"hits", "--format=tsv", "-i", items, dir}).out;
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const CliResult r = runCli(args, partial, "/dev/full");
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(r.err.endsWith("\njunkloupe-cli: write error: No space left on device\n") ||
                    r.err == "junkloupe-cli: write error: No space left on device\n")
            << r.err.constData();
    }
}

// With several threads the files listed first are examined while the rest is
// listed and sorted; whatever that reaches, the output, the messages and the
// status are those of one thread: a folder of 3,000 files in mixed letter
// case, every outcome among them, named twice and beside some of its files.
TEST_F(CliPile, ThreadsChangeNoOutput) {
    QRandomGenerator random(26);
    for (int i = 0; i < 3000; ++i) {
        const int kind = int(random.bounded(5));
        const QByteArray name = QByteArray(i % 2 ? "M" : "m") +
                                QByteArray::number(random.bounded(100000)) + "-" +
                                QByteArray::number(i) + ".eml";
        write(name.constData(),
              kind == 0   ? QByteArray()
              : kind == 1 ? "Received: from evil.example\r\n"
              : kind == 2
                  ? "Subject: a casino\r\n"
                  : "Received: from relay.example\r\nSubject: " + QByteArray::number(i) + "\r\n");
    }
    ::mkfifo(path("z-pipe.eml").constData(), 0644);
    const QStringList args[] = {
        {"scan", "-f2", "-i", items, dir},
        {"scan", "-f0", "-i", items, dir + "A-clean.eml", dir + "A-clean.eml", dir, dir + "/",
         folder.file(QStringLiteral("gone.eml"))},
        {"scan", "-r", "-0", "-i", items, dir},
        {"hits", "-f2", "-i", items, dir, dir + "b-evil.eml"},
    };
    auto on = [](QStringList a, const char* threads) {
        a.insert(1, QStringLiteral("-j"));
        a.insert(2, QString::fromLatin1(threads));
        return runCli(a);
    };
    for (const QStringList& a : args) {
        SCOPED_TRACE(a.join(' ').toStdString());
        const CliResult one = on(a, "1");
        EXPECT_FALSE(one.out.isEmpty());
        for (const char* threads : {"2", "4"}) {
            const CliResult several = on(a, threads);
            EXPECT_EQ(several.status, one.status);
            EXPECT_EQ(several.out, one.out);
            EXPECT_EQ(several.err, one.err);
        }
    }
}

// Partial results of hits over random splits of the pile, in random forms,
// add up to one hits run over the whole pile in every form; so do their TSV
// lines shuffled, as a map-reduce shuffle hands them over.
TEST_F(CliPile, SumOfPartsEqualsOneRun) {
    const QByteArray unreadable = QFile::encodeName(folder.file(QStringLiteral("gone.eml")));
    QStringList files;
    for (const char* name : {"A-clean.eml", "b-evil.eml", "c-casino.eml", "d-both.eml",
                             "e-empty.eml", ".f-hidden.eml", "sub/deep.eml", "sub/deeper/evil.eml"})
        files.append(QString::fromLatin1(path(name)));
    files.append(QString::fromLatin1(unreadable));
    const QString formats[] = {"text", "tsv", "json"};
    QMap<QString, QByteArray> whole;
    const QByteArray allNames = files.join('\n').toUtf8();
    for (const QString& format : formats) {
        const CliResult r =
            runCli({"hits", "-f2", "-i", items, "-T-", "--format", format}, allNames);
        EXPECT_EQ(r.status, 2); // the missing file
        whole[format] = r.out;
    }
    QRandomGenerator random(16);
    for (int round = 0; round < 40; ++round) {
        QStringList shuffled = files;
        std::shuffle(shuffled.begin(), shuffled.end(), random);
        QByteArray parts;
        QByteArrayList tsvLines;
        for (qsizetype start = 0; start < shuffled.size();) {
            const qsizetype size = random.bounded(0, 4);
            const QString format =
                random.bounded(2) ? QStringLiteral("tsv") : QStringLiteral("json");
            const CliResult part = runCli({"hits", "-f2", "-i", items, "-T-", "--format", format},
                                          shuffled.mid(start, size).join('\n').toUtf8());
            parts += part.out;
            // A sum of one partial result is that result, here as TSV lines.
            tsvLines += runCli({"sum", "--format=tsv"}, part.out).out.split('\n');
            start += size;
        }
        const QString format = formats[random.bounded(3)];
        const CliResult sum = runCli({"sum", "--format", format}, parts);
        ASSERT_EQ(sum.status, 0) << sum.err.constData();
        ASSERT_EQ(sum.out, whole[format]) << parts.constData();
        tsvLines.removeAll(QByteArray());
        std::shuffle(tsvLines.begin(), tsvLines.end(), random);
        const CliResult lineSum =
            runCli({"sum", "--format", "tsv", "-"}, tsvLines.join('\n') + '\n');
        ASSERT_EQ(lineSum.out, whole["tsv"]) << lineSum.err.constData();
    }
}

// A TSV part as hits writes it, check row included.
QByteArray tsvPart(const QStringList& items, qint64 count = 1, bool decoded = false) {
    jl::ScanTally tally(items, 1, decoded);
    tally.examined = 2;
    tally.without = 1;
    tally.files.assign(size_t(items.size()), count);
    return jl::cli::formatTally(tally, jl::cli::TallyFormat::Tsv);
}

TEST(CliSum, InputThatDoesNotAddUpIsRefused) {
    TempFolder folder;
    const QByteArray head = "kind\tnumber\titem\titem_kind\n";
    const QByteArray one = tsvPart({"x"});
    const QByteArray rows = one.mid(head.size());
    const QByteArray oneWithoutCheck = one.left(one.indexOf("check"));
    const QString json = "{\"filter\": 1, \"files\": 2, \"without\": 1, \"unreadable\": 0, "
                         "\"items\": [{\"item\": \"x\", \"kind\": \"other\", \"count\": 1}]}\n";
    const QByteArray tooMany =
        "the partial results were made with different items: 'y' is in 1 of 2";
    struct Case {
        QByteArray input;
        const char* problem;
    };
    const Case cases[] = {
        {"", "no partial results in the input"},
        {one + tsvPart({"x", "y"}).mid(head.size()), tooMany},
        {one + "filter\t2\t\t\n",
         "(standard input):8: made with filter 2, the results before with filter 1"},
        {one + "files\t1\t\t\n",
         "the partial results are incomplete: 2 'files' rows, but 1 'filter' rows"},
        {oneWithoutCheck,
         "the partial results are incomplete: 1 'files' rows in TSV, but 0 'check' rows (a "
         "part may be cut short, or made by an older junkloupe-cli)"},
        // A row twice in one part makes up for it missing from another: the
        // counts alone fit together, the checks do not.
        {one + "item\t1\tx\tother\n" + tsvPart({}),
         "the rows do not add up to the checks of their parts: a row is there twice, missing or "
         "changed"},
        {QByteArray(one).replace("files\t2", "files\t3"),
         "the rows do not add up to the checks of their parts: a row is there twice, missing or "
         "changed"},
        {one + "item\t1\tx\tother",
         "(standard input):8: the last line has no line end: the input was "
         "cut short"},
        {one + "item\t-1\tx\tother\n", "(standard input):8: '-1' is no count"},
        {one + "item\t9223372036854775808\tx\tother\n",
         "(standard input):8: '9223372036854775808' is no count"},
        {one + "item\t1\n", "(standard input):8: a row must have four fields separated by tabs "
                            "(kind, number, item, item_kind), not 2"},
        {one + "item\t1\tx\thost\n",
         "(standard input):8: the kind of the item 'x' is other, not host"},
        {one + "files\t1\tx\t\n", "(standard input):8: a 'files' row has no item"},
        {one + "item\t1\ta\\b\tother\n",
         "(standard input):8: a backslash in an item must be followed by \\, t, r or n"},
        {one + "lines\t1\t\t\n", "(standard input):8: unknown kind of row 'lines'"},
        {one + rows.repeated(2) +
             tsvPart({"x"}, std::numeric_limits<qint64>::max() - 2).mid(head.size()),
         "(standard input):24: a sum grows beyond 9223372036854775807"},
        {one + tsvPart({"x"}, 1, true).mid(head.size()),
         "the partial results were made with and without --decode: 1 of 2 decoded"},
        {one + "decoded\t2\t\t\n", "(standard input):8: a 'decoded' row holds 1"},
        {json.toUtf8().replace("\"items\"", "\"decoded\": 1, \"items\""),
         "(standard input):1: \"decoded\" must be true or false"},
        {json.toUtf8() + "{\n",
         "(standard input):2: the JSON object begun at (standard input):2 does not end"},
        {json.toUtf8().replace("\"files\": 2", "\"files\": -2"),
         "(standard input):1: \"files\" must be a count"},
        {json.toUtf8().replace("\"files\": 2", "\"files\": 9223372036854775808"),
         "(standard input):1: \"files\" must be a count"},
        {json.toUtf8().replace("\"filter\"", "\"filtre\""),
         "(standard input):1: unknown key \"filtre\""},
        {json.toUtf8().replace("\"other\"", "\"host\""),
         "(standard input):1: the kind of the item 'x' is other, not host"},
        {json.toUtf8().replace("}]}", "}, {\"item\": \"x\", \"kind\": \"other\", \"count\": 1}]}"),
         "(standard input):1: the item \"x\" is there twice"},
        {json.toUtf8().replace("\"files\": 2", "\"files\": 2, \"files\": 2"),
         "(standard input):1: a member is there twice in one object"},
        {json.toUtf8().replace("\"count\": 1", "\"count\": 1, \"count\": 1"),
         "(standard input):1: a member is there twice in one object"},
        {json.toUtf8().replace("}]}", "}]} x"),
         "(standard input):1: text after the end of a JSON object"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input.toStdString());
        const CliResult r = runCli({"sum"}, c.input);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, QByteArray());
        EXPECT_EQ(r.err, QByteArray("junkloupe-cli: ") + c.problem + "\n");
    }
    const QString file = folder.write(QStringLiteral("part.json"), json.toUtf8());
    const CliResult mixed = runCli({"sum", file, "-", "--format=json"}, one);
    EXPECT_EQ(mixed.status, 0) << mixed.err.constData();
    EXPECT_EQ(mixed.out,
              QByteArray("{\n  \"filter\": 1,\n  \"files\": 4,\n  \"without\": 2,\n"
                         "  \"unreadable\": 0,\n  \"items\": [\n"
                         "    {\"item\": \"x\", \"kind\": \"other\", \"count\": 2}\n  ]\n}\n"));
}

// Counts are exact up to the largest a sum can hold, in every form, and what
// sum writes it reads back.
TEST(CliSum, LargeCountsStayExact) {
    const qint64 max = std::numeric_limits<qint64>::max();
    const qint64 twoTo53 = qint64(1) << 53;
    const QByteArray jsonPart =
        "{\"filter\": 1, \"files\": 9007199254740993, \"without\": 0, "
        "\"unreadable\": 0, \"items\": [{\"item\": \"x\", \"kind\": \"other\", \"count\": " +
        QByteArray::number(twoTo53) + "}]}\n";
    struct Case {
        QByteArray input;
        qint64 files, count;
    };
    const Case cases[] = {
        {jsonPart, twoTo53 + 1, twoTo53},
        {jsonPart + jsonPart, 2 * twoTo53 + 2, 2 * twoTo53},
        {tsvPart({"x"}, max), 2, max},
        {tsvPart({"x"}, max - 1) + tsvPart({"x"}, 1), 4, max},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input.toStdString());
        for (const char* format : {"json", "tsv"}) {
            const CliResult r = runCli({"sum", "--format", format}, c.input);
            ASSERT_EQ(r.status, 0) << r.err.constData();
            EXPECT_TRUE(r.out.contains(QByteArray::number(c.files)));
            EXPECT_TRUE(r.out.contains(QByteArray::number(c.count)));
            const CliResult again = runCli({"sum", "--format", format}, r.out);
            EXPECT_EQ(again.status, 0) << again.err.constData();
            EXPECT_EQ(again.out, r.out);
        }
    }
}

// With --decode, view, scan and hits read the decoded text: an item that
// only the encoding hides is found, and the counts say they were decoded.
TEST(CliDecode, ViewScanAndHitsReadTheDecodedText) {
    TempFolder folder;
    const QByteArray message = "Received: from a\r\nSubject: =?utf-8?B?SGk=?=\r\n"
                               "Message-ID: <1@x>\r\nContent-Transfer-Encoding: base64\r\n\r\n"
                               "Z28gdG8gZXZpbC5leGFtcGxlCg==\r\n"; // "go to evil.example"
    const QString file = folder.write(QStringLiteral("m.eml"), message);
    const QString items = folder.write(QStringLiteral("items.txt"), "EVIL.example\r\n");
    const QByteArray decodedView =
        "\nReceived: from a\n\nSubject: Hi\n\nMessage-ID: <1@x>\n\n\n"
        "\nContent-Transfer-Encoding: base64\n\n\n\ngo to evil.example\n";
    jl::ScanTally counted(QStringList{"EVIL.example"}, 2, true);
    counted.examined = 1;
    counted.files = {1};
    const QByteArray tsv = jl::cli::formatTally(counted, jl::cli::TallyFormat::Tsv);
    counted.examined = 2;
    counted.files = {2};
    const QByteArray twice = jl::cli::formatTally(counted, jl::cli::TallyFormat::Tsv);
    struct Case {
        QStringList args;
        QByteArray input;
        int status;
        QByteArray out;
    };
    const Case cases[] = {
        {{"view", "-d", "-f2", file}, {}, 0, decodedView},
        {{"view", "--decode", "-f2", "-"}, message, 0, decodedView},
        {{"scan", "-d", "-f2", "-i", items, file}, {}, 1, {}},
        {{"scan", "-f2", "-i", items, file}, {}, 0, QFile::encodeName(file) + '\n'},
        {{"hits", "-d", "-f2", "-i", items, file}, {}, 0, "1\tEVIL.example\n0\n"},
        {{"hits", "-f2", "-i", items, file}, {}, 0, "0\tEVIL.example\n1\n"},
        {{"hits", "-d", "-f2", "-i", items, "--format=tsv", file}, {}, 0, tsv},
        {{"sum", "--format=tsv"}, tsv + tsv.mid(tsv.indexOf('\n') + 1), 0, twice},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliResult r = runCli(c.args, c.input);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, QByteArray());
    }
    const CliResult json = runCli({"hits", "-d", "-f2", "-i", items, "--format=json", file});
    EXPECT_TRUE(json.out.contains("\"unreadable\": 0,\n  \"decoded\": true,\n"))
        << json.out.constData();
    EXPECT_EQ(runCli({"sum", "--format=tsv"}, json.out).out, tsv);
}

// The threads hand their verdicts on in list order: any number of them
// gives the output of one.
TEST(CliCorpus, ThreadsChangeNothing) {
    const QString corpus = jl::test::corpusDir();
    if (corpus.isEmpty())
        GTEST_SKIP() << "no corpus";
    const QString items = corpus + QStringLiteral("items/items-1000.txt");
    for (const char* command : {"scan", "hits"}) {
        SCOPED_TRACE(command);
        const QStringList args{command, "-r", "-f2", "-i", items, corpus + "ham"};
        const CliResult one = runCli(args + QStringList{"-j1"});
        const CliResult three = runCli(args + QStringList{"-j3"});
        EXPECT_FALSE(one.out.isEmpty());
        EXPECT_EQ(one.out, three.out);
        EXPECT_EQ(one.status, three.status);
    }
}

} // namespace
