#pragma once
// junkloupe-cli: the message reader, the view filter and the item matcher of
// the window, for use from the shell and in batch.
//
//   junkloupe-cli view [--filter 0|1|2] FILE
//   junkloupe-cli scan --items ITEMS [--filter 0|1|2] PATH...
//   junkloupe-cli hits --items ITEMS [--filter 0|1|2] PATH...
//
// Exit status: 0 done, 1 some input could not be read (reasons on standard
// error), 2 wrong usage.

#include <QStringList>

#include <cstdio>

namespace jl::cli {

// args as QCoreApplication::arguments() gives them (program name first).
// Writes to stdout and stderr and returns the exit status.
int run(const QStringList& args);

// The same, writing to the given streams.
int run(const QStringList& args, std::FILE* out, std::FILE* err);

// The usage text printed by --help and after a usage error.
QString usageText();

} // namespace jl::cli
