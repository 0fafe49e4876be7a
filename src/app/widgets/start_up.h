#pragma once
// Starting the window program: one window per folder of user files, the
// services every run has (the dialogs, the clipboard, the desktop services),
// the main window, its endings (Exit, a termination signal, the end of the
// session) and the event loop.

#include <functional>

class QApplication;

namespace jl {

struct CommandLine;
class TMainForm1;

// Hands the command line over to the window that runs already over the same
// user files, if there is one (0 when it took it; 1, with the reason on
// standard error and in a message box, when it did not answer in time).
// While that window cannot take paths (its lists are not loaded yet, or it
// is closing) the later start waits, saying so on standard error, until it
// takes them or has ended; then this start runs the window itself.
// Otherwise builds the real services, creates the main window with them and
// runs it (runMainWindow). Before the window reads the user's files, those
// left beside the program that are not used are taken over
// (takeOverFilesBesideProgram); its notice goes to standard error and, once
// the event loop runs, into a box over the window. With --screenshot FILE
// the window is shown, a picture of its three pages (the statistics counted)
// saved to FILE, and the program ends (0 when saved).
//
// SIGTERM, SIGHUP and SIGINT close the window as its Exit command does,
// saving first. When a save fails, the close is refused as for Exit: the
// window stays, with the failure on screen and on standard error, so that
// the user can make room and close it again. A second such signal ends the
// program after one more try of every save without any message box (status
// 0 when all were saved, 1 when not): the ending is never refused twice, so
// nothing that sends a signal and waits (a log-out, systemd, a shell) waits
// for ever. The session manager's commit-data request saves everything and
// stops the log-out when a save fails.
int runJunkloupe(QApplication& app, const CommandLine& commandLine);

// Shows the window with the start-up show command, drops the command line's
// paths on it and runs the event loop until the window has closed; onceShown,
// when given, runs first in that loop. A close that comes before the event
// loop runs (while the first file is read, say) ends it here.
int runMainWindow(QApplication& app, TMainForm1& form, const CommandLine& commandLine,
                  const std::function<void()>& onceShown = {});

} // namespace jl
