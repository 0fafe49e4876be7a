// Starts the tool: the application, the main window, the event loop.
#include "app/widgets/main_form.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return jl::runJunkloupe(app);
}
