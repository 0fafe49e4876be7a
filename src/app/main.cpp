// Starts the tool: the application, the main window, the event loop.
#include "app/widgets/main_form.h"

#include <QApplication>

int main(int argc, char** argv) {
    // --help and a command line that cannot be used need no display.
    if (const int status = jl::commandLineExitStatus(argc, argv); status >= 0)
        return status;
    QApplication app(argc, argv);
    return jl::runJunkloupe(app);
}
