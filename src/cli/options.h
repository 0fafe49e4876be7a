#pragma once
// The command line of junkloupe-cli: one table of options, parsed the way GNU
// programs parse theirs. Options may stand anywhere (before or after the
// command and the operands), "--" ends them, short options cluster ("-r0")
// and take their value joined or as the next argument ("-f2", "-f 2"), long
// options take "=VALUE" or the next argument and may be shortened to any
// unambiguous prefix. The first operand is the command.

#include <QByteArray>
#include <QList>
#include <QString>

#include "items/item_export.h"

#include <optional>
#include <span>

namespace jl::cli {

enum class Command : unsigned { None = 0, View = 1, Scan = 2, Hits = 4, Sum = 8, Export = 16 };

enum class TallyFormat { Text, Tsv, Json };

struct OptionEntry {
    const char* longName;
    char shortName;        // 0: none
    const char* valueName; // nullptr: takes no value
    unsigned commands;     // bit set of the Command values it applies to
    const char* help;      // one or more lines for --help
};

// Every option, in the order --help lists them.
std::span<const OptionEntry> optionTable();

struct Options {
    Command command = Command::None;
    int filter = 1;
    bool decode = false; // read the decoded text of MIME messages
    std::optional<QByteArray> items;
    bool recursive = false;
    bool followLinks = false;    // also descend through links to directories
    QList<QByteArray> filesFrom; // names of files that list the names to examine
    bool null = false;           // names in and out separated by NUL
    TallyFormat format = TallyFormat::Text;
    ExportOptions exportOptions;      // export: the format and what it writes
    std::optional<QByteArray> output; // export: the file to write instead of standard output
    int threads = 0;                  // 0: as many as help
    bool help = false;
    bool version = false;
    QList<QByteArray> operands; // after the command
};

struct ParsedCommandLine {
    Options options;
    // Wrong usage: one line saying what is wrong; empty when none.
    QString error;
};

// args as main() gets them (program name first).
ParsedCommandLine parseCommandLine(const QList<QByteArray>& args);

QString commandName(Command command);

} // namespace jl::cli
