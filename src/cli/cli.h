#pragma once
// junkloupe-cli: the message reader, the view filter and the item matcher of
// the window, for use from the shell and in batch. See usageText() and the
// manual page docs/junkloupe-cli.1.

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <cstdio>

namespace jl::cli {

enum ExitStatus { Success = 0, NoneListed = 1, Trouble = 2 };

// args as main() gets them (program name first), unconverted bytes. Writes
// to the given streams and returns the exit status.
int run(const QList<QByteArray>& args, std::FILE* out, std::FILE* err);

// The same with the arguments as texts (tests).
int run(const QStringList& args, std::FILE* out, std::FILE* err);

// The text printed by --help.
QString usageText();

// The text printed by --version.
QString versionText();

} // namespace jl::cli
