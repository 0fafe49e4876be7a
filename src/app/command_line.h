#pragma once
// The command line of the window program: parsed once at start-up, before
// any display is opened, so that --help and a wrong command line need none.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdio>

namespace jl {

class ProgramFolder;

// How the window first appears at every first-show sequence: the start-up
// show command, given on the command line (--show=...).
enum class StartUpShow { Normal, Minimized, Maximized };

// What the command line asks for. Options: --show=normal|minimized|maximized
// (also "--show STATE"), -h/--help, --version, "--" ending the options; every other
// argument is a path (a file:// URL counts as its path). The toolkit's own
// options (-platform, -style, ...) are let through.
struct CommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    StartUpShow show = StartUpShow::Normal;
    bool showGiven = false; // --show was on the command line
    QStringList paths;
    // Path arguments whose bytes are not valid in the system's encoding: no
    // text names those files, so they are only counted as left out.
    QList<QByteArray> undecodablePaths;
    QString screenshot;                            // --screenshot FILE, for the documentation
    QString error;                                 // what is wrong with the command line
    QString program = QStringLiteral("junkloupe"); // the program's file name, for messages
};

// arguments[0] is the program as it was started; rawArguments, when given,
// are the same arguments as the bytes the program received.
CommandLine parseCommandLine(const QStringList& arguments,
                             const QList<QByteArray>& rawArguments = {});
CommandLine parseCommandLine(int argc, char** argv);
QStringList commandLineArguments(int argc, char** argv);
QString commandLineUsage(const QString& program);
// What --help prints: the usage, then the folder where this copy keeps the
// user's files (ProgramFolder::userFilesFolder()) and how it was chosen.
QString commandLineHelp(const QString& program, const ProgramFolder& folder);

// The end of a command line that starts no window: prints the help on out for
// --help (0), "junkloupe <version>" on out for --version (0), or the error and
// the usage on err (2). -1: start the window.
int commandLineExitStatus(const CommandLine& commandLine, std::FILE* out = stdout,
                          std::FILE* err = stderr);

} // namespace jl
