#pragma once
// Starting the window program: the services every run has (the dialogs, the
// clipboard, the desktop services), the main window, the event loop.

class QApplication;

namespace jl {

struct CommandLine;

// Builds the real services, creates the main window with them, applies the
// command line (start-up show command, paths handled as a drop) and runs the
// event loop until the window closes. With --screenshot FILE the window is
// shown, a picture of it saved to FILE, and the program ends (0 when saved).
int runJunkloupe(QApplication& app, const CommandLine& commandLine);

} // namespace jl
