// Starts the tool: the command line, the application, the main window, the
// event loop.
#include "app/command_line.h"
#include "app/widgets/start_up.h"

#include <QApplication>

int main(int argc, char** argv) {
    // --help and a command line that cannot be used need no display.
    const jl::CommandLine commandLine = jl::parseCommandLine(argc, argv);
    if (const int status = jl::commandLineExitStatus(commandLine); status >= 0)
        return status;
    QApplication app(argc, argv);
    return jl::runJunkloupe(app, commandLine);
}
