#include "cli/options.h"

#include <array>
#include <cmath>
#include <cstring>

namespace jl::cli {

namespace {

constexpr unsigned bit(Command c) {
    return unsigned(c);
}
constexpr unsigned kView = bit(Command::View);
constexpr unsigned kScan = bit(Command::Scan);
constexpr unsigned kHits = bit(Command::Hits);
constexpr unsigned kSum = bit(Command::Sum);
constexpr unsigned kExport = bit(Command::Export);
constexpr unsigned kAll = kView | kScan | kHits | kSum | kExport;

enum OptionId {
    Filter,
    Decode,
    Items,
    Recursive,
    DereferenceRecursive,
    FilesFrom,
    Null,
    Format,
    Score,
    Action,
    Output,
    Threads,
    Help,
    Version,
};

constexpr std::array<OptionEntry, 14> kOptions{{
    {"filter", 'f', "N", kView | kScan | kHits | kExport,
     "the view filter: 0 the first header only,\n"
     "1 all headers (the default), 2 all printable\n"
     "text"},
    {"decode", 'd', nullptr, kView | kScan | kHits | kExport,
     "decode MIME parts: encoded words in header\n"
     "fields, base64 and quoted-printable text in\n"
     "its charset, one line naming each other part"},
    {"items", 'i', "FILE", kScan | kHits | kExport,
     "the list file of interesting items, one per\n"
     "line ('-' reads standard input); letter case\n"
     "is ignored, empty items match nothing"},
    {"recursive", 'r', nullptr, kScan | kHits | kExport,
     "descend into sub-directories; links to\n"
     "directories met on the way are not followed"},
    {"dereference-recursive", 'R', nullptr, kScan | kHits | kExport,
     "descend into sub-directories, following links\n"
     "to directories"},
    {"files-from", 'T', "FILE", kScan | kHits | kExport,
     "read the names to examine from FILE ('-' reads\n"
     "standard input), one per line (a CR before the\n"
     "line end is dropped) or NUL-separated with -0;\n"
     "may be given more than once"},
    {"null", '0', nullptr, kScan | kHits | kExport,
     "names read by --files-from are separated by\n"
     "NUL, and scan ends each name it prints with\n"
     "NUL instead of a line end"},
    {"format", 0, "FORMAT", kHits | kSum | kExport,
     "hits, sum: the form of the counts: text (the\n"
     "default), tsv or json; tsv and json carry the\n"
     "number of files examined, and sum adds them up\n"
     "export: spamassassin, postfix, csv or json"},
    {"score", 0, "N", kExport,
     "the score of each SpamAssassin rule (default\n"
     "0.1)"},
    {"action", 0, "ACTION", kExport,
     "the action of each Postfix table line\n"
     "(default WARN)"},
    {"output", 'o', "FILE", kExport,
     "write the export to FILE (replaced by a\n"
     "complete new file) instead of standard output"},
    {"threads", 'j', "N", kScan | kHits | kExport,
     "read and search files on N threads (default:\n"
     "one per processor, at most 4)"},
    {"help", 'h', nullptr, kAll, "print this help and exit"},
    {"version", 'V', nullptr, kAll, "print the version and exit"},
}};

QString text(const QByteArray& bytes) {
    return QString::fromLocal8Bit(bytes);
}

class Parser {
public:
    explicit Parser(const QList<QByteArray>& args) : m_args(args) {}

    ParsedCommandLine parse() {
        QList<QByteArray> operands;
        bool onlyOperands = false;
        for (m_next = 1; m_next < m_args.size() && m_result.error.isEmpty() && !m_stop;) {
            const QByteArray& arg = m_args.at(m_next++);
            if (onlyOperands || arg == "-" || !arg.startsWith('-'))
                operands.append(arg);
            else if (arg == "--")
                onlyOperands = true;
            else if (arg.startsWith("--"))
                longOption(arg);
            else
                shortOptions(arg);
        }
        if (!m_result.error.isEmpty() || m_stop)
            return std::move(m_result);

        Options& options = m_result.options;
        if (operands.isEmpty()) {
            fail(QStringLiteral("no command given"));
            return std::move(m_result);
        }
        const QByteArray& name = operands.takeFirst();
        for (const Command c :
             {Command::View, Command::Scan, Command::Hits, Command::Sum, Command::Export})
            if (name == commandName(c).toLatin1())
                options.command = c;
        if (options.command == Command::None) {
            fail(QStringLiteral("unknown command '%1'").arg(text(name)));
            return std::move(m_result);
        }
        options.operands = std::move(operands);
        for (const auto& [id, written] : m_given) {
            if ((kOptions[size_t(id)].commands & bit(options.command)) == 0) {
                fail(QStringLiteral("option '%1' does not apply to %2")
                         .arg(written, commandName(options.command)));
                return std::move(m_result);
            }
        }
        takeFormat();
        if (m_result.error.isEmpty())
            checkOperands();
        return std::move(m_result);
    }

private:
    void fail(const QString& problem) {
        if (m_result.error.isEmpty())
            m_result.error = problem;
    }

    void longOption(const QByteArray& arg) {
        const qsizetype equals = arg.indexOf('=');
        const QByteArray name = arg.mid(2, equals < 0 ? -1 : equals - 2);
        int found = -1;
        QStringList candidates;
        for (size_t k = 0; k < kOptions.size(); ++k) {
            const char* longName = kOptions[k].longName;
            if (name == longName) {
                found = int(k);
                candidates.clear();
                break;
            }
            if (!name.isEmpty() &&
                std::strncmp(longName, name.constData(), size_t(name.size())) == 0) {
                found = int(k);
                candidates.append(QStringLiteral("'--%1'").arg(QLatin1String(longName)));
            }
        }
        const QString written = QStringLiteral("--") + text(name);
        if (found < 0) {
            fail(QStringLiteral("unrecognized option '%1'").arg(text(arg)));
            return;
        }
        if (candidates.size() > 1) {
            fail(QStringLiteral("option '%1' is ambiguous; possibilities: %2")
                     .arg(written, candidates.join(QLatin1Char(' '))));
            return;
        }
        const OptionEntry& option = kOptions[size_t(found)];
        const QString full = QStringLiteral("--") + QLatin1String(option.longName);
        if (!option.valueName) {
            if (equals >= 0)
                fail(QStringLiteral("option '%1' doesn't allow an argument").arg(full));
            else
                apply(OptionId(found), full, {});
            return;
        }
        if (equals >= 0) {
            apply(OptionId(found), full, arg.mid(equals + 1));
        } else if (m_next < m_args.size()) {
            apply(OptionId(found), full, m_args.at(m_next++));
        } else {
            fail(QStringLiteral("option '%1' requires an argument").arg(full));
        }
    }

    void shortOptions(const QByteArray& arg) {
        for (qsizetype j = 1; j < arg.size() && m_result.error.isEmpty() && !m_stop; ++j) {
            const char c = arg.at(j);
            int found = -1;
            for (size_t k = 0; k < kOptions.size(); ++k)
                if (kOptions[k].shortName != 0 && kOptions[k].shortName == c)
                    found = int(k);
            if (found < 0) {
                fail(QStringLiteral("invalid option -- '%1'").arg(text(QByteArray(1, c))));
                return;
            }
            const QString written = QStringLiteral("-") + QLatin1Char(c);
            if (!kOptions[size_t(found)].valueName) {
                apply(OptionId(found), written, {});
                continue;
            }
            if (j + 1 < arg.size())
                apply(OptionId(found), written, arg.mid(j + 1));
            else if (m_next < m_args.size())
                apply(OptionId(found), written, m_args.at(m_next++));
            else
                fail(QStringLiteral("option requires an argument -- '%1'").arg(QLatin1Char(c)));
            return;
        }
    }

    void apply(OptionId id, const QString& written, const QByteArray& value) {
        Options& options = m_result.options;
        m_given.append({id, written});
        switch (id) {
        case Filter:
            if (value != "0" && value != "1" && value != "2") {
                fail(QStringLiteral("invalid filter '%1' (0, 1 or 2)").arg(text(value)));
                return;
            }
            options.filter = value.toInt();
            return;
        case Items:
            if (value.isEmpty()) {
                fail(QStringLiteral("option '%1' needs a file name").arg(written));
                return;
            }
            options.items = value;
            return;
        case Decode:
            options.decode = true;
            return;
        case Recursive:
            options.recursive = true;
            return;
        case DereferenceRecursive:
            options.recursive = true;
            options.followLinks = true;
            return;
        case FilesFrom:
            if (value.isEmpty()) {
                fail(QStringLiteral("option '%1' needs a file name").arg(written));
                return;
            }
            options.filesFrom.append(value);
            return;
        case Null:
            options.null = true;
            return;
        case Format:
            m_format = value; // its meaning depends on the command
            return;
        case Score: {
            bool ok = false;
            options.exportOptions.score = QString::fromLatin1(value).toDouble(&ok);
            if (!ok || !std::isfinite(options.exportOptions.score))
                fail(QStringLiteral("invalid score '%1' (a number)").arg(text(value)));
            return;
        }
        case Action:
            options.exportOptions.action = QString::fromUtf8(value);
            if (QString problem; !checkExportOptions(options.exportOptions, &problem))
                fail(QStringLiteral("invalid action: %1").arg(problem));
            return;
        case Output:
            if (value.isEmpty()) {
                fail(QStringLiteral("option '%1' needs a file name").arg(written));
                return;
            }
            options.output = value;
            return;
        case Threads: {
            bool ok = false;
            const int n = value.toInt(&ok);
            if (!ok || n < 1 || n > 256 || value.startsWith('+')) {
                fail(QStringLiteral("invalid number of threads '%1' (1 to 256)").arg(text(value)));
                return;
            }
            options.threads = n;
            return;
        }
        case Help:
            options.help = true;
            m_stop = true;
            return;
        case Version:
            options.version = true;
            m_stop = true;
            return;
        }
    }

    // --format, read as the command asks: the form of the counts, or what
    // to export (which export needs).
    void takeFormat() {
        Options& options = m_result.options;
        if (options.command == Command::Export) {
            if (m_format.isEmpty()) {
                fail(QStringLiteral("export needs --format FORMAT (spamassassin, postfix, csv or "
                                    "json)"));
                return;
            }
            const std::optional<ExportFormat> format =
                exportFormatFromName(QString::fromLatin1(m_format));
            if (!format)
                fail(QStringLiteral("invalid format '%1' (spamassassin, postfix, csv or json)")
                         .arg(text(m_format)));
            else
                options.exportOptions.format = *format;
            return;
        }
        if (m_format.isNull() || m_format == "text")
            options.format = TallyFormat::Text;
        else if (m_format == "tsv")
            options.format = TallyFormat::Tsv;
        else if (m_format == "json")
            options.format = TallyFormat::Json;
        else
            fail(QStringLiteral("invalid format '%1' (text, tsv or json)").arg(text(m_format)));
    }

    void checkOperands() {
        const Options& options = m_result.options;
        const QString name = commandName(options.command);
        const bool stdinItems = options.items && *options.items == "-";
        switch (options.command) {
        case Command::View:
            if (options.operands.isEmpty())
                fail(QStringLiteral("view needs a FILE ('-' for standard input)"));
            else if (options.operands.size() > 1)
                fail(QStringLiteral("view takes one FILE, not %1").arg(options.operands.size()));
            return;
        case Command::Scan:
        case Command::Hits:
            if (!options.items) {
                fail(QStringLiteral("%1 needs --items FILE").arg(name));
            } else if (options.operands.isEmpty() && options.filesFrom.isEmpty()) {
                fail(QStringLiteral("%1 needs a PATH or --files-from FILE").arg(name));
            } else if (options.operands.contains("-")) {
                fail(QStringLiteral("'-' is no PATH: --files-from - reads names from standard "
                                    "input"));
            } else if (int(stdinItems) + options.filesFrom.count("-") > 1) {
                fail(QStringLiteral("standard input can be read only once"));
            }
            return;
        case Command::Sum:
            if (options.operands.count("-") > 1)
                fail(QStringLiteral("standard input can be read only once"));
            return;
        case Command::Export: {
            const ExportFormat format = options.exportOptions.format;
            const bool counted = format == ExportFormat::Csv || format == ExportFormat::Json;
            if (!options.items)
                fail(QStringLiteral("export needs --items FILE"));
            else if (!counted && (!options.operands.isEmpty() || !options.filesFrom.isEmpty()))
                fail(QStringLiteral("files are counted only for csv and json, not for %1")
                         .arg(exportFormatName(format)));
            else if (!counted && options.decode)
                fail(
                    QStringLiteral("--decode counts files in their decoded text; the %1 rules look "
                                   "at the message as it stands")
                        .arg(exportFormatName(format)));
            else if (options.operands.contains("-"))
                fail(QStringLiteral("'-' is no PATH: --files-from - reads names from standard "
                                    "input"));
            else if (int(stdinItems) + options.filesFrom.count("-") > 1)
                fail(QStringLiteral("standard input can be read only once"));
            return;
        }
        case Command::None:
            return;
        }
    }

    const QList<QByteArray>& m_args;
    qsizetype m_next = 1;
    bool m_stop = false; // --help or --version seen
    QByteArray m_format; // as given; null when not
    QList<std::pair<OptionId, QString>> m_given;
    ParsedCommandLine m_result;
};

} // namespace

std::span<const OptionEntry> optionTable() {
    return kOptions;
}

QString commandName(Command command) {
    switch (command) {
    case Command::View:
        return QStringLiteral("view");
    case Command::Scan:
        return QStringLiteral("scan");
    case Command::Hits:
        return QStringLiteral("hits");
    case Command::Sum:
        return QStringLiteral("sum");
    case Command::Export:
        return QStringLiteral("export");
    case Command::None:
        break;
    }
    return {};
}

ParsedCommandLine parseCommandLine(const QList<QByteArray>& args) {
    return Parser(args).parse();
}

} // namespace jl::cli
