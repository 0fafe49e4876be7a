// junkloupe-cli: batch use of the message reader, view filter and matcher.
#include "cli/cli.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    QList<QByteArray> args;
    args.reserve(argc);
    for (int i = 0; i < argc; ++i)
        args.append(QByteArray(argv[i]));
    int status = jl::cli::run(args, stdout, stderr);
    // A failure that only closing the output shows is a write error too.
    if (std::fclose(stdout) != 0 && status != jl::cli::Trouble) {
        std::fprintf(stderr, "junkloupe-cli: write error: %s\n", std::strerror(errno));
        status = jl::cli::Trouble;
    }
    return status;
}
