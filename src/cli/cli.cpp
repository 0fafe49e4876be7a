#include "cli/cli.h"

#include "cli/file_walk.h"
#include "cli/options.h"
#include "cli/tally.h"
#include "items/batch_scan.h"
#include "items/scan_tally.h"
#include "util/atomic_file.h"
#include "util/failure.h"
#include "util/file_helpers.h"
#include "util/list_file.h"
#include "util/lock_table.h"
#include "util/product.h"
#include "view/message_reader.h"

#include <QFile>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <numeric>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace jl::cli {

namespace {

// Thrown when the output cannot be written; ends the run in trouble.
struct WriteFailure {
    int error;
};

// Buffered writing of standard output; a failed write throws WriteFailure.
class Output {
public:
    explicit Output(std::FILE* stream) : m_stream(stream) { m_buffer.reserve(Capacity); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void write(const char* data, size_t size) {
        if (m_buffer.size() + size > Capacity)
            flush();
        if (size >= Capacity)
            put(data, size);
        else
            m_buffer.append(data, size);
    }
    void write(std::string_view text) { write(text.data(), text.size()); }
    void write(const QByteArray& bytes) { write(bytes.constData(), size_t(bytes.size())); }
    void flush() {
        put(m_buffer.data(), m_buffer.size());
        m_buffer.clear();
        if (std::fflush(m_stream) != 0)
            throw WriteFailure{errno};
    }

private:
    void put(const char* data, size_t size) {
        if (size > 0 && std::fwrite(data, 1, size, m_stream) != size)
            throw WriteFailure{errno};
    }
    static constexpr size_t Capacity = 1 << 16;
    std::FILE* m_stream;
    std::string m_buffer;
};

// A descriptor to read from: "-" is standard input, anything else is opened.
class InputFile {
public:
    explicit InputFile(const QByteArray& name)
        : m_fd(name == "-" ? STDIN_FILENO : ::open(name.constData(), O_RDONLY | O_CLOEXEC)),
          m_error(m_fd < 0 ? errno : 0), m_own(name != "-") {}
    ~InputFile() {
        if (m_own && m_fd >= 0)
            ::close(m_fd);
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    int fd() const { return m_fd; }
    int openError() const { return m_error; }

private:
    int m_fd;
    int m_error;
    bool m_own;
};

QByteArray shownName(const QByteArray& name) {
    return name == "-" ? QByteArray("(standard input)") : name;
}

// Reads the whole input; on failure reports it and returns nothing. Unlike
// the window's own files, a pipe is read here: the user named it.
std::optional<QByteArray> readAll(const QByteArray& name, Diagnostics& diagnostics) {
    const InputFile input(name);
    if (input.fd() < 0) {
        diagnostics.problem(name, systemReason(input.openError()));
        return std::nullopt;
    }
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(input.fd(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            diagnostics.problem(shownName(name), systemReason(errno));
            return std::nullopt;
        }
        if (got == 0)
            return bytes;
        bytes.append(buffer, got);
    }
}

// The path as a text for the reader, or nothing (reported) when its bytes
// would not come back from the text.
std::optional<QString> pathText(const QByteArray& name, Diagnostics& diagnostics) {
    const QString path = QFile::decodeName(name);
    if (QFile::encodeName(path) != name) {
        diagnostics.problem(name, QStringLiteral("the name is not valid in the system's encoding"));
        return std::nullopt;
    }
    return path;
}

int usageError(std::FILE* err, const QString& problem) {
    const QByteArray text = "junkloupe-cli: " + problem.toLocal8Bit() +
                            "\nTry 'junkloupe-cli --help' for more information.\n";
    std::fwrite(text.constData(), 1, size_t(text.size()), err);
    std::fflush(err);
    return Trouble;
}

// Copies standard input into file; false, with the reason in *error, when
// that fails.
bool copyStandardInput(QFile& file, QString* error) {
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return failWith(error, systemReason(errno));
        if (got == 0)
            break;
        if (file.write(buffer, got) != got)
            return failWith(error, file.errorString());
    }
    if (!file.flush())
        return failWith(error, file.errorString());
    return true;
}

int runView(const Options& options, Output& out, Diagnostics& diagnostics) {
    const QByteArray& name = options.operands.first();
    ViewTextBuilder view;
    const int filter = options.filter;
    std::optional<QString> failure; // after the lines read before it
    // The decoder reads a file twice: standard input is read into a file of
    // its own first.
    QTemporaryFile copy;
    std::optional<QString> path;
    if (name == "-" && options.decode) {
        if (!copy.open()) {
            diagnostics.problem(shownName(name), copy.errorString());
            return Trouble;
        }
        if (QString problem; !copyStandardInput(copy, &problem)) {
            diagnostics.problem(shownName(name), problem);
            return Trouble;
        }
        path = copy.fileName();
    } else if (name != "-") {
        path = pathText(name, diagnostics);
        if (!path)
            return Trouble;
    }
    if (!path) {
        LineFilter lines(view, [filter] { return filter; });
        char buffer[32768];
        for (;;) {
            const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                failure = systemReason(errno);
            if (got <= 0)
                break;
            if (lines.feed(buffer, size_t(got)) < size_t(got))
                break; // the first header has ended, or the view is full
        }
        if (!lines.stopped() && !view.full())
            lines.finish();
    } else {
        ReaderHooks hooks;
        hooks.filter = [filter] { return filter; };
        hooks.decodeMime = options.decode;
        const LoadResult load = Load_File_Into_View(*path, view, hooks);
        if (load.status == LoadStatus::InUse) {
            diagnostics.problem(name, QStringLiteral("the file is in use by another process"));
            return Trouble;
        }
        if (load.status == LoadStatus::CannotRead) {
            diagnostics.problem(name, load.error);
            return Trouble;
        }
        if (load.status == LoadStatus::ReadError)
            failure = load.error.isEmpty() ? QStringLiteral("read error") : load.error;
    }
    // The lines read before a read error are shown, as the window shows them.
    if (view.lineCount() > 0) {
        out.write(std::string_view(view.text()));
        out.write("\n", 1);
    }
    out.flush();
    if (failure)
        diagnostics.problem(shownName(name), *failure);
    return diagnostics.trouble() ? Trouble : Success;
}

// Examines files for scan and hits and keeps the counts.
class Examiner {
public:
    Examiner(const BatchScanner& scanner, const Options& options, Output& out,
             Diagnostics& diagnostics)
        : m_scanner(scanner), m_options(options), m_out(out), m_diagnostics(diagnostics),
          m_hits(options.command != Command::Scan),
          m_tally(scanner.items(), scanner.filter(), scanner.decodeMime()) {}

    // known, when given, holds the verdicts of some paths already (index for
    // index; nothing: not yet decided); the others are decided, and every
    // verdict is taken in the order of the paths.
    void examine(const QStringList& paths, const QList<bool>& listedRegular,
                 const std::vector<std::optional<FileVerdict>>* known = nullptr) {
        if (!known ||
            std::none_of(known->begin(), known->end(),
                         [](const std::optional<FileVerdict>& v) { return v.has_value(); })) {
            m_scanner.decideAll(
                paths, m_hits, m_options.threads,
                [&](int index, const FileVerdict& verdict) { take(paths.at(index), verdict); },
                listedRegular);
            return;
        }
        QStringList rest;
        QList<bool> restListedRegular;
        std::vector<qsizetype> restAt;
        for (qsizetype i = 0; i < paths.size(); ++i) {
            if ((*known)[size_t(i)])
                continue;
            rest.append(paths.at(i));
            restListedRegular.append(listedRegular.at(i));
            restAt.push_back(i);
        }
        qsizetype taken = 0;
        auto takeKnownBefore = [&](qsizetype end) {
            for (; taken < end; ++taken)
                take(paths.at(taken), *(*known)[size_t(taken)]);
        };
        m_scanner.decideAll(
            rest, m_hits, m_options.threads,
            [&](int index, const FileVerdict& verdict) {
                const qsizetype at = restAt[size_t(index)];
                takeKnownBefore(at);
                take(paths.at(at), verdict);
                taken = at + 1;
            },
            restListedRegular);
        takeKnownBefore(paths.size());
    }

    // Names that could not be examined before they reached the reader.
    void countUnreadable(qint64 count) { m_tally.unreadable += count; }
    const ScanTally& tally() const { return m_tally; }

private:
    // One verdict, on the calling thread, in the order of the paths.
    void take(const QString& path, const FileVerdict& verdict) {
        m_tally.add(verdict);
        if (!verdict.isDecided()) {
            m_diagnostics.problem(QFile::encodeName(path), verdict.outcome == ScanOutcome::Missing
                                                               ? systemReason(ENOENT)
                                                               : verdict.reason);
        } else if (!verdict.holdsAnyItem && !m_hits) {
            m_out.write(QFile::encodeName(path));
            m_out.write(m_options.null ? std::string_view("\0", 1) : std::string_view("\n"));
        }
    }

    const BatchScanner& m_scanner;
    const Options& m_options;
    Output& m_out;
    Diagnostics& m_diagnostics;
    const bool m_hits;
    ScanTally m_tally;
};

// The entries of the items file, or nothing (reported) when it cannot be
// read whole: files judged against a part of the items would be reported
// wrongly as holding none of them, and an export would lack the rest.
std::optional<QStringList> readItems(const QByteArray& name, Diagnostics& diagnostics) {
    // The file's bytes go once they are decoded.
    const std::optional<QByteArray> bytes = readAll(name, diagnostics);
    if (!bytes)
        return std::nullopt;
    DecodedListFile decoded = decodeListFileText(*bytes);
    if (!decoded.shortfall.isEmpty()) {
        diagnostics.problem(shownName(name),
                            QStringLiteral("the items cannot be read whole: ") + decoded.shortfall);
        return std::nullopt;
    }
    return std::move(decoded.entries);
}

// The files examined while the list is still being made: the walk adds each
// file as it lists it, a thread examines them in that order once the matcher
// is built, and end() stops it and hands over the verdicts it has (by the
// walk's index; nothing where a file was not reached).
class EarlyVerdicts {
public:
    explicit EarlyVerdicts(bool enabled) : m_enabled(enabled) {}
    bool enabled() const { return m_enabled; }

    void add(const QString& path, bool listedRegular) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_paths.size() >= kMostWaiting)
            return;
        m_paths.push_back({path, listedRegular});
        m_wake.notify_one();
    }

    // On the examining thread: until end().
    void work(const BatchScanner& scanner) {
        if (!m_enabled)
            return;
        LockTable locks;
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_ended || m_verdicts.size() < m_paths.size(); });
            if (m_ended)
                return;
            const Listed file = m_paths[m_verdicts.size()];
            lock.unlock();
            FileVerdict verdict = scanner.decide(file.path, false, &locks, file.listedRegular);
            lock.lock();
            m_verdicts.emplace_back(std::move(verdict));
        }
    }

    std::vector<std::optional<FileVerdict>> end() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_ended = true;
        m_wake.notify_one();
        return std::move(m_verdicts);
    }

private:
    // Verdicts wait in memory until the list is sorted: no more than these.
    static constexpr size_t kMostWaiting = size_t(1) << 16;
    struct Listed {
        QString path;
        bool listedRegular;
    };
    const bool m_enabled;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_ended = false;
    std::vector<Listed> m_paths;
    std::vector<std::optional<FileVerdict>> m_verdicts;
};

// scan and hits; for export (tally given) the counts are kept in *tally
// instead of being printed.
int runScanOrHits(const Options& options, Output& out, Diagnostics& diagnostics,
                  ScanTally* tally = nullptr) {
    std::optional<QStringList> read = readItems(*options.items, diagnostics);
    if (!read)
        return Trouble;
    QStringList items = std::move(*read);
    const bool hits = options.command != Command::Scan;
    // Counts come out in the order of the window's items list; the scan
    // itself does not depend on the order of the items.
    if (hits)
        items = itemsInListOrder(items);

    // The matcher is built on a second thread while this one lists the files
    // named on the command line, in the order of the window's file list.
    // With more than one thread, the second then examines the files listed
    // so far, in the order they come, until the list is whole and sorted;
    // their verdicts wait for their turn in the list's order.
    std::optional<BatchScanner> built;
    std::exception_ptr buildFailure;
    EarlyVerdicts early(options.threads != 1 && !hits && std::thread::hardware_concurrency() > 1);
    std::thread builder([&] {
        try {
            built.emplace(items, options.filter, options.decode);
            early.work(*built);
        } catch (...) {
            buildFailure = std::current_exception();
        }
    });
    WalkOptions walk;
    walk.recursive = options.recursive;
    walk.followLinks = options.followLinks;
    QStringList files;
    QList<bool> listedRegular;     // in the order of the walk
    std::vector<qsizetype> walked; // where each file of the list was in the walk
    std::function<void(const QString&, bool)> listed;
    if (early.enabled())
        listed = [&early](const QString& file, bool regular) { early.add(file, regular); };
    const qint64 problemsBefore = diagnostics.problems();
    try {
        expandNames(options.operands, walk, diagnostics, files, &listedRegular, listed);
        walked.resize(size_t(files.size()));
        std::iota(walked.begin(), walked.end(), 0);
        // The names of one operand cannot repeat (the walk lists each
        // directory once); only several may name a file twice.
        if (options.operands.size() > 1)
            walked = dropRepeatedPaths(files);
        const std::vector<qsizetype> sorted = sortInListOrder(files);
        std::vector<qsizetype> order(sorted.size());
        for (size_t i = 0; i < sorted.size(); ++i)
            order[i] = walked[size_t(sorted[i])];
        walked = std::move(order);
    } catch (...) {
        early.end();
        builder.join();
        throw;
    }
    std::vector<std::optional<FileVerdict>> decided = early.end();
    builder.join();
    if (buildFailure)
        std::rethrow_exception(buildFailure);

    QList<bool> sortedListedRegular;
    sortedListedRegular.reserve(files.size());
    std::vector<std::optional<FileVerdict>> known(size_t(files.size()));
    for (size_t i = 0; i < walked.size(); ++i) {
        const auto at = size_t(walked[i]);
        sortedListedRegular.append(listedRegular.at(qsizetype(at)));
        if (at < decided.size())
            known[i] = std::move(decided[at]);
    }
    Examiner examiner(*built, options, out, diagnostics);
    examiner.countUnreadable(diagnostics.problems() - problemsBefore);
    examiner.examine(files, sortedListedRegular, &known);

    // Names from --files-from are taken as they come, a batch at a time, so
    // that a long stream of names needs no more memory than a short one.
    constexpr qsizetype kBatch = 4096;
    for (const QByteArray& source : options.filesFrom) {
        const InputFile input(source);
        if (input.fd() < 0) {
            diagnostics.problem(source, systemReason(input.openError()));
            continue;
        }
        QStringList batch;
        QList<bool> batchListedRegular;
        QString error;
        const bool read = readNames(
            input.fd(), options.null ? '\0' : '\n',
            [&](const QByteArray& name) {
                QStringList named;
                QList<bool> namedListedRegular;
                const qint64 before = diagnostics.problems();
                expandNames({name}, walk, diagnostics, named, &namedListedRegular);
                examiner.countUnreadable(diagnostics.problems() - before);
                if (named.size() > 1) {
                    for (const qsizetype at : sortInListOrder(named))
                        batchListedRegular.append(namedListedRegular.at(at));
                } else {
                    batchListedRegular += namedListedRegular;
                }
                batch += named;
                if (batch.size() >= kBatch) {
                    examiner.examine(batch, batchListedRegular);
                    batch.clear();
                    batchListedRegular.clear();
                }
            },
            &error);
        examiner.examine(batch, batchListedRegular);
        if (!read)
            diagnostics.problem(shownName(source), error);
    }

    if (tally)
        *tally = examiner.tally();
    else if (hits)
        out.write(formatTally(examiner.tally(), options.format));
    out.flush();
    if (diagnostics.trouble())
        return Trouble;
    return hits || examiner.tally().without > 0 ? Success : NoneListed;
}

// The items, in the items list's order, as rules, a table or indicators;
// csv and json with the files holding each item when files were named.
int runExport(const Options& options, Output& out, Diagnostics& diagnostics) {
    ScanTally tally;
    const bool count = !options.operands.isEmpty() || !options.filesFrom.isEmpty();
    if (count) {
        const int status = runScanOrHits(options, out, diagnostics, &tally);
        if (status == Trouble && tally.items.isEmpty())
            return Trouble;
    } else {
        const std::optional<QStringList> items = readItems(*options.items, diagnostics);
        if (!items)
            return Trouble;
        tally.items = itemsInListOrder(*items);
    }
    ExportOptions exportOptions = options.exportOptions;
    exportOptions.filter = options.filter;
    exportOptions.decoded = count && options.decode;
    const QByteArray bytes =
        exportItems(tally.items, count ? &tally.files : nullptr, exportOptions);
    if (options.output) {
        QString error;
        if (!writeFileAtomically(QFile::decodeName(*options.output), bytes, &error)) {
            diagnostics.problem(*options.output, error);
            return Trouble;
        }
    } else {
        out.write(bytes);
        out.flush();
    }
    return diagnostics.trouble() ? Trouble : Success;
}

int runSum(const Options& options, Output& out, Diagnostics& diagnostics) {
    const QList<QByteArray> inputs =
        options.operands.isEmpty() ? QList<QByteArray>{"-"} : options.operands;
    TallySum sum;
    QString problem; // empty: none so far
    for (const QByteArray& input : inputs) {
        const InputFile file(input);
        if (file.fd() < 0) {
            diagnostics.problem(input, systemReason(file.openError()));
            return Trouble;
        }
        // Line by line, so that the partial results of any number of runs
        // need no more memory than one of them.
        const QString name = QString::fromLocal8Bit(shownName(input));
        int lineNumber = 0;
        QString readError;
        const bool read = readRecords(
            file.fd(), '\n',
            [&](const QByteArray& line, bool ended) {
                const QString where = QStringLiteral("%1:%2").arg(name).arg(++lineNumber);
                if (!ended)
                    return failWith(&problem,
                                    where + QStringLiteral(": the last line has no line "
                                                           "end: the input was cut short"));
                return sum.addLine(line, where, &problem);
            },
            &readError);
        if (!read)
            problem = QStringLiteral("%1: %2").arg(name, readError);
        if (problem.isEmpty())
            sum.endInput(QStringLiteral("%1:%2").arg(name).arg(lineNumber), &problem);
        if (!problem.isEmpty()) {
            diagnostics.problem(problem);
            return Trouble;
        }
    }
    ScanTally tally;
    if (!sum.result(tally, &problem)) {
        diagnostics.problem(problem);
        return Trouble;
    }
    out.write(formatTally(tally, options.format));
    out.flush();
    return Success;
}

QString optionLines() {
    QString text;
    for (const OptionEntry& option : optionTable()) {
        QString head = option.shortName
                           ? QStringLiteral("  -%1, ").arg(QLatin1Char(option.shortName))
                           : QStringLiteral("      ");
        head += QStringLiteral("--") + QLatin1String(option.longName);
        if (option.valueName)
            head += QLatin1Char('=') + QLatin1String(option.valueName);
        const QStringList lines = QString::fromLatin1(option.help).split(QLatin1Char('\n'));
        constexpr int kColumn = 30;
        for (qsizetype k = 0; k < lines.size(); ++k) {
            if (k == 0 && head.size() < kColumn)
                text += head.leftJustified(kColumn) + lines[k] + QLatin1Char('\n');
            else if (k == 0)
                text += head + QLatin1Char('\n') + QString(kColumn, QLatin1Char(' ')) + lines[k] +
                        QLatin1Char('\n');
            else
                text += QString(kColumn, QLatin1Char(' ')) + lines[k] + QLatin1Char('\n');
        }
    }
    return text;
}

} // namespace

QString usageText() {
    return QStringLiteral(
               "Usage: junkloupe-cli view [OPTION]... FILE\n"
               "       junkloupe-cli scan --items=ITEMS [OPTION]... PATH...\n"
               "       junkloupe-cli hits --items=ITEMS [OPTION]... PATH...\n"
               "       junkloupe-cli sum [OPTION]... [FILE]...\n"
               "       junkloupe-cli export --format=FORMAT --items=ITEMS [OPTION]... [PATH]...\n"
               "Batch use of the message reader, view filter and item matcher of Junkloupe.\n"
               "\n"
               "Commands:\n"
               "  view  print the text the message view shows for FILE ('-' reads standard\n"
               "        input), one view line per output line\n"
               "  scan  print every file whose shown text holds none of the items\n"
               "  hits  print, for each item, the number of files whose shown text holds it;\n"
               "        as text: the count, a tab and the item, in the order of the items\n"
               "        list, then one line with the number of files holding none of them\n"
               "  sum   add up partial results of hits --format=tsv or json from the FILEs\n"
               "        ('-' or none: standard input) and print them as one hits run over\n"
               "        all of their files would\n"
               "  export  write the items for a mail filter: SpamAssassin rules or a\n"
               "        Postfix regexp: table (header_checks and body_checks) that look\n"
               "        where the view filter looks; or as csv or json with each item's\n"
               "        kind and, when PATHs are given, the files holding it\n"
               "\n"
               "Options (anywhere on the line; '--' ends them):\n") +
           optionLines() +
           QStringLiteral(
               "\n"
               "A PATH that is a directory gives the regular files inside it (links to\n"
               "regular files too, hidden files included; with -r also those of its\n"
               "sub-directories); any other PATH gives itself. The files of all PATHs\n"
               "are examined in the order of the window's file list (letter case\n"
               "ignored), each path once, and a directory reached by several names\n"
               "(through links) is searched once; names from --files-from are examined\n"
               "in the order given. Files are printed as named: DIR/NAME for a file\n"
               "found in DIR. A file that is empty or in use counts as holding no item.\n"
               "\n"
               "Exit status:\n"
               "  scan             0 when it printed a file, 1 when it printed none,\n"
               "                   2 on trouble\n"
               "  view, hits, sum,\n"
               "  export           0 when done, 2 on trouble\n"
               "Trouble is wrong usage, an input that could not be read or output that\n"
               "could not be written; every input that could not be read is named on\n"
               "standard error with the reason, and scan and hits still examine the rest.\n");
}

QString versionText() {
    return versionLine(QStringLiteral("junkloupe-cli"));
}

int run(const QStringList& args, std::FILE* out, std::FILE* err) {
    QList<QByteArray> bytes;
    bytes.reserve(args.size());
    for (const QString& arg : args)
        bytes.append(QFile::encodeName(arg));
    return run(bytes, out, err);
}

int run(const QList<QByteArray>& args, std::FILE* outStream, std::FILE* err) {
    const ParsedCommandLine parsed = parseCommandLine(args);
    if (!parsed.error.isEmpty())
        return usageError(err, parsed.error);
    const Options& options = parsed.options;
    Diagnostics diagnostics(err);
    Output out(outStream);
    try {
        if (options.help || options.version) {
            out.write((options.help ? usageText() : versionText()).toLocal8Bit());
            out.flush();
            return Success;
        }
        switch (options.command) {
        case Command::View:
            return runView(options, out, diagnostics);
        case Command::Scan:
        case Command::Hits:
            return runScanOrHits(options, out, diagnostics);
        case Command::Sum:
            return runSum(options, out, diagnostics);
        case Command::Export:
            return runExport(options, out, diagnostics);
        case Command::None:
            break;
        }
    } catch (const WriteFailure& failure) {
        diagnostics.problem(QStringLiteral("write error: %1").arg(systemReason(failure.error)));
    }
    return Trouble;
}

} // namespace jl::cli
