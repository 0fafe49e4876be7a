// junkloupe-cli: batch use of the message reader, view filter and matcher.
#include "cli/cli.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return jl::cli::run(QCoreApplication::arguments());
}
