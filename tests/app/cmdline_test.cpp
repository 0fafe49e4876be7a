// The command line of the program: options, paths, and what the built program
// does with --help and with options it does not know, without any display.

#include "app/command_line.h"
#include "util/product.h"
#include "util/program_folder.h"
#include "util/qstring_printer.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace jl {
namespace {

TEST(CommandLine, OptionsAndPaths) {
    using A = CommandLine::Action;
    const struct {
        QStringList arguments;
        A action;
        StartUpShow show;
        QStringList paths;
    } cases[] = {
        {{}, A::Run, StartUpShow::Normal, {}},
        {{"a.eml", "dir/"}, A::Run, StartUpShow::Normal, {"a.eml", "dir/"}},
        {{"--show=minimized", "x"}, A::Run, StartUpShow::Minimized, {"x"}},
        {{"--show", "MAXIMISED"}, A::Run, StartUpShow::Maximized, {}},
        {{"--show=maximized", "--show=normal"}, A::Run, StartUpShow::Normal, {}},
        {{"x", "--help", "--bogus"}, A::Help, StartUpShow::Normal, {"x"}},
        {{"-h"}, A::Help, StartUpShow::Normal, {}},
        {{"x", "--version", "--bogus"}, A::Version, StartUpShow::Normal, {"x"}},
        {{"--", "--version"}, A::Run, StartUpShow::Normal, {"--version"}},
        {{"--show=sideways"}, A::Error, StartUpShow::Normal, {}},
        {{"--show"}, A::Error, StartUpShow::Normal, {}},
        {{"--bogus"}, A::Error, StartUpShow::Normal, {}},
        {{"-x"}, A::Error, StartUpShow::Normal, {}},
        // "--" ends the options; a lone "-" is a name.
        {{"--", "-odd.eml", "--help"}, A::Run, StartUpShow::Normal, {"-odd.eml", "--help"}},
        {{"-"}, A::Run, StartUpShow::Normal, {"-"}},
        // The toolkit's own options pass, with their values.
        {{"-platform", "offscreen", "-style=fusion", "--reverse", "m"},
         A::Run,
         StartUpShow::Normal,
         {"m"}},
        {{"file:///tmp/a%20b.eml"}, A::Run, StartUpShow::Normal, {"/tmp/a b.eml"}},
        {{"--screenshot", "shot.png", "m"}, A::Run, StartUpShow::Normal, {"m"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(qPrintable(c.arguments.join(' ')));
        const CommandLine parsed = parseCommandLine(QStringList{"junkloupe"} + c.arguments);
        EXPECT_EQ(parsed.action, c.action);
        if (parsed.action == A::Error) {
            EXPECT_FALSE(parsed.error.isEmpty());
            continue;
        }
        EXPECT_EQ(parsed.show, c.show);
        if (parsed.action == A::Run) {
            EXPECT_EQ(parsed.paths, c.paths);
        }
    }
    EXPECT_EQ(parseCommandLine({"junkloupe", "--screenshot", "s.png"}).screenshot, "s.png");
}

TEST(CommandLine, UsageListsEveryOption) {
    const QString usage = commandLineUsage("junkloupe");
    EXPECT_TRUE(usage.startsWith("Usage: junkloupe [--show=normal|minimized|maximized] [PATH...]"));
    EXPECT_TRUE(usage.contains("--help"));
    EXPECT_TRUE(usage.contains("--version"));
    EXPECT_FALSE(usage.contains("screenshot"));
    const QString help = commandLineHelp(
        "junkloupe", ProgramFolder("/usr/bin", "junkloupe", "/home/u/.config/junkloupe"));
    EXPECT_TRUE(help.startsWith(usage));
    EXPECT_TRUE(help.contains("Junkloupe.ini, Junkloupe.ini_file, Junkloupe.ini_int) in\n"
                              "  /home/u/.config/junkloupe/\n"));
}

// The built program, with no display to talk to.
struct Outcome {
    int status;
    QByteArray out;
    QByteArray err;
};

Outcome runProgram(const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("QT_QPA_PLATFORM", "xcb");
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(JUNKLOUPE_BIN_DIR "/junkloupe"), arguments);
    if (!process.waitForFinished(20000))
        return {-1, {}, {}};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

TEST(CommandLine, ProgramAnswersHelpAndRefusesUnknownOptionsWithoutADisplay) {
    if (!QFileInfo::exists(QStringLiteral(JUNKLOUPE_BIN_DIR "/junkloupe")))
        GTEST_SKIP() << "the program is not built";
    const Outcome help = runProgram({"--help"});
    EXPECT_EQ(help.status, 0);
    // The build tree can be written: the files are kept beside the program.
    EXPECT_EQ(QString::fromLocal8Bit(help.out),
              commandLineHelp("junkloupe", ProgramFolder(JUNKLOUPE_BIN_DIR, "junkloupe")));
    EXPECT_TRUE(help.err.isEmpty());

    const Outcome version = runProgram({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, QByteArray("junkloupe ") + kProductVersion + "\n");
    EXPECT_EQ(productCaption(), QString("Junkloupe v") + kProductVersion);

    const Outcome unknown = runProgram({"--frobnicate", "x.eml"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.out.isEmpty());
    EXPECT_TRUE(unknown.err.startsWith("junkloupe: unknown option '--frobnicate'\n"));
    EXPECT_TRUE(unknown.err.contains(commandLineUsage("junkloupe").toLocal8Bit()));
}

} // namespace
} // namespace jl
