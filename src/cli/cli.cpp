#include "cli/cli.h"

#include "filelist/file_enumeration.h"
#include "items/batch_scan.h"
#include "util/list_file.h"
#include "util/sorted_list.h"
#include "view/message_reader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cerrno>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <thread>

namespace jl::cli {

namespace {

const char* const kProgram = "junkloupe-cli";

enum ExitStatus { Done = 0, InputUnreadable = 1, WrongUsage = 2 };

// Buffered writing of one output stream.
class Output {
public:
    explicit Output(std::FILE* stream) : m_stream(stream) { m_buffer.reserve(Capacity); }
    ~Output() { flush(); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void write(const char* data, size_t size) {
        if (m_buffer.size() + size > Capacity)
            flush();
        if (size >= Capacity)
            std::fwrite(data, 1, size, m_stream);
        else
            m_buffer.append(data, size);
    }
    void write(std::string_view text) { write(text.data(), text.size()); }
    void write(const QByteArray& bytes) { write(bytes.constData(), size_t(bytes.size())); }
    void flush() {
        if (!m_buffer.empty()) {
            std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_stream);
            m_buffer.clear();
        }
        std::fflush(m_stream);
    }

private:
    static constexpr size_t Capacity = 1 << 16;
    std::FILE* m_stream;
    std::string m_buffer;
};

void complain(std::FILE* err, const QByteArray& text) {
    const QByteArray line = QByteArray(kProgram) + ": " + text + "\n";
    std::fwrite(line.constData(), 1, size_t(line.size()), err);
    std::fflush(err);
}

void complainAbout(std::FILE* err, const QString& path, const QString& reason) {
    complain(err, QFile::encodeName(path) + ": " + reason.toLocal8Bit());
}

int usageError(std::FILE* err, const QString& problem) {
    complain(err, problem.toLocal8Bit());
    const QByteArray usage = usageText().toLocal8Bit();
    std::fwrite(usage.constData(), 1, size_t(usage.size()), err);
    std::fflush(err);
    return WrongUsage;
}

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

struct Invocation {
    QString command;
    int filter = AllHeaders;
    std::optional<QString> items;
    QStringList paths;
    bool help = false;
};

// Parses the options (in any order, before the paths) and the paths. Returns
// the problem text on wrong usage.
std::optional<QString> parse(const QStringList& args, Invocation& invocation) {
    if (args.size() < 2)
        return QStringLiteral("no command given");
    invocation.command = args.at(1);
    if (invocation.command == QLatin1String("--help") ||
        invocation.command == QLatin1String("-h")) {
        invocation.help = true;
        return std::nullopt;
    }
    if (invocation.command != QLatin1String("view") &&
        invocation.command != QLatin1String("scan") && invocation.command != QLatin1String("hits"))
        return QStringLiteral("unknown command '%1'").arg(invocation.command);
    const bool wantsItems = invocation.command != QLatin1String("view");

    qsizetype i = 2;
    auto value = [&args, &i](const QString& arg, const QString& name,
                             QString& out) -> std::optional<QString> {
        const QString withEquals = name + QLatin1Char('=');
        if (arg.startsWith(withEquals)) {
            out = arg.mid(withEquals.size());
            return std::nullopt;
        }
        if (i + 1 >= args.size())
            return QStringLiteral("option %1 needs a value").arg(name);
        out = args.at(++i);
        return std::nullopt;
    };
    for (; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (arg == QLatin1String("--")) {
            ++i;
            break;
        }
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            invocation.help = true;
            return std::nullopt;
        }
        if (arg == QLatin1String("--filter") || arg.startsWith(QLatin1String("--filter="))) {
            QString text;
            if (auto problem = value(arg, QStringLiteral("--filter"), text))
                return problem;
            if (text != QLatin1String("0") && text != QLatin1String("1") &&
                text != QLatin1String("2"))
                return QStringLiteral("the filter must be 0, 1 or 2, not '%1'").arg(text);
            invocation.filter = text.toInt();
            continue;
        }
        if (wantsItems &&
            (arg == QLatin1String("--items") || arg.startsWith(QLatin1String("--items=")))) {
            QString text;
            if (auto problem = value(arg, QStringLiteral("--items"), text))
                return problem;
            if (text.isEmpty())
                return QStringLiteral("option --items needs a file name");
            invocation.items = text;
            continue;
        }
        if (arg.size() > 1 && arg.startsWith(QLatin1Char('-')))
            return QStringLiteral("unknown option '%1'").arg(arg);
        break;
    }
    invocation.paths = args.mid(i);

    if (!wantsItems) {
        if (invocation.paths.size() != 1)
            return QStringLiteral("view takes exactly one FILE");
        return std::nullopt;
    }
    if (!invocation.items)
        return QStringLiteral("%1 needs --items ITEMS").arg(invocation.command);
    if (invocation.paths.isEmpty())
        return QStringLiteral("%1 needs at least one PATH").arg(invocation.command);
    return std::nullopt;
}

int runView(const Invocation& invocation, std::FILE* outStream, std::FILE* err) {
    const QString& path = invocation.paths.first();
    const QFileInfo info(path);
    if (!info.exists()) {
        complainAbout(err, path, systemReason(ENOENT));
        return InputUnreadable;
    }
    if (info.isDir()) {
        complainAbout(err, path, systemReason(EISDIR));
        return InputUnreadable;
    }

    ViewTextBuilder view;
    ReaderHooks hooks;
    const int filter = invocation.filter;
    hooks.filter = [filter] { return filter; };
    const LoadResult load = Load_File_Into_View(path, view, hooks);
    if (load.status == kStatusInUse) {
        complainAbout(err, path, QStringLiteral("the file is in use by another process"));
        return InputUnreadable;
    }
    if (load.status == kStatusCannotRead) {
        complainAbout(err, path,
                      load.error.isEmpty() ? QStringLiteral("cannot be read") : load.error);
        return InputUnreadable;
    }

    // The lines read before a read error are shown, as the window shows them.
    Output out(outStream);
    if (view.lineCount() > 0) {
        out.write(std::string_view(view.text()));
        out.write("\n", 1);
    }
    out.flush();
    if (load.status == kStatusReadError) {
        complainAbout(err, path, load.error.isEmpty() ? QStringLiteral("read error") : load.error);
        return InputUnreadable;
    }
    return Done;
}

// Reads the entries of the items list file as they stand, duplicates
// included.
bool loadItems(const QString& path, QStringList& items, std::FILE* err) {
    ListFileContents contents = readListFile(path);
    switch (contents.status) {
    case ListFileRead::Ok:
        items = std::move(contents.entries);
        return true;
    case ListFileRead::Missing:
        complainAbout(err, path, systemReason(ENOENT));
        return false;
    case ListFileRead::Unreadable:
        complainAbout(err, path,
                      contents.error.isEmpty() ? QStringLiteral("cannot be read") : contents.error);
        return false;
    }
    return false;
}

// Builds the file list as a drop of the paths would; every path that names
// nothing, and every file left out for its name, is reported.
bool buildFileList(const QStringList& paths, SortedList& files, std::FILE* err) {
    bool complete = true;
    QStringList names;
    names.reserve(paths.size());
    for (const QString& path : paths) {
        if (path.isEmpty()) {
            complain(err, "an empty PATH names nothing");
            complete = false;
            continue;
        }
        const QFileInfo info(path);
        if (!info.exists()) {
            complainAbout(err, path, systemReason(ENOENT));
            complete = false;
            continue;
        }
        // A drop hands over full paths.
        names.append(QDir::cleanPath(QDir::current().absoluteFilePath(path)));
    }
    AddFilesOptions options = fileListOptions();
    options.skippedName = [err, &complete](const QByteArray& rawPath, const QString& reason) {
        complain(err, rawPath + ": left out, " + reason.toLocal8Bit());
        complete = false;
    };
    const DropOutcome outcome = dropNamesIntoList(files, names, options);
    for (const QString& ignored : outcome.ignored) {
        complainAbout(err, ignored,
                      QStringLiteral("left out, its name cannot stand in the file list"));
        complete = false;
    }
    return complete;
}

int runScanOrHits(const Invocation& invocation, std::FILE* outStream, std::FILE* err) {
    QStringList items;
    if (!loadItems(*invocation.items, items, err))
        return InputUnreadable;
    const bool hits = invocation.command == QLatin1String("hits");
    if (hits) {
        // Counts come out in the order of the window's items list; the scan
        // itself does not depend on the order of the items.
        SortedList sorted(SortedList::Selection::Multiple, QLocale());
        sorted.insertMany(items);
        items = sorted.entries();
    }
    // The matcher is built on a second thread while this one lists the files.
    std::optional<BatchScanner> built;
    std::exception_ptr buildFailure;
    std::thread builder([&] {
        try {
            built.emplace(items, invocation.filter);
        } catch (...) {
            buildFailure = std::current_exception();
        }
    });
    SortedList files(SortedList::Selection::Single, QLocale());
    bool complete = false;
    try {
        complete = buildFileList(invocation.paths, files, err);
    } catch (...) {
        builder.join();
        throw;
    }
    builder.join();
    if (buildFailure)
        std::rethrow_exception(buildFailure);
    const BatchScanner& scanner = *built;
    std::vector<int> perItem(size_t(items.size()), 0);
    int withoutItems = 0;

    Output out(outStream);
    const QStringList paths = files.entries();
    scanner.decideAll(paths, hits, 0, [&](int index, const FileVerdict& verdict) {
        const QString& path = paths.at(index);
        if (verdict.outcome == ScanOutcome::Unreadable) {
            complainAbout(err, path, verdict.reason);
            complete = false;
            return;
        }
        if (!verdict.isDecided())
            return;
        if (!verdict.holdsAnyItem) {
            ++withoutItems;
            if (!hits) {
                out.write(QFile::encodeName(path));
                out.write("\n", 1);
            }
        }
        for (size_t k = 0; k < verdict.present.size(); ++k)
            if (verdict.present[k])
                ++perItem[k];
    });
    if (hits) {
        for (qsizetype k = 0; k < items.size(); ++k) {
            out.write(QByteArray::number(perItem[size_t(k)]) + '\t' + items.at(k).toLocal8Bit() +
                      '\n');
        }
        out.write(QByteArray::number(withoutItems) + '\n');
    }
    out.flush();
    return complete ? Done : InputUnreadable;
}

} // namespace

QString usageText() {
    return QStringLiteral("Usage: junkloupe-cli view [--filter 0|1|2] FILE\n"
                          "       junkloupe-cli scan --items ITEMS [--filter 0|1|2] PATH...\n"
                          "       junkloupe-cli hits --items ITEMS [--filter 0|1|2] PATH...\n"
                          "       junkloupe-cli --help\n"
                          "\n"
                          "view  prints the text the message view shows for FILE, one view line\n"
                          "      per output line.\n"
                          "scan  prints, one per line in list order, every file whose shown text\n"
                          "      holds none of the items.\n"
                          "hits  prints, for each item in list order, the number of files whose\n"
                          "      shown text holds it, a tab and the item; then one line with the\n"
                          "      number of files whose shown text holds none of the items.\n"
                          "\n"
                          "Options (in any order, before the paths; --filter=N works too):\n"
                          "  --filter N  0 first header only, 1 all headers (the default),\n"
                          "              2 all printable text\n"
                          "  --items F   the list file of interesting items, one item per line;\n"
                          "              letter case is ignored, empty items match nothing\n"
                          "\n"
                          "The PATHs make the file list as if they were dropped on the window: a\n"
                          "directory gives the files directly inside it, a file gives itself, and\n"
                          "a file already in the list (letter case ignored) is not added again.\n"
                          "A file that is empty or in use counts as holding no item.\n"
                          "\n"
                          "Exit status: 0 done, 1 some input could not be read (the reasons are\n"
                          "on standard error), 2 wrong usage.\n");
}

int run(const QStringList& args) {
    return run(args, stdout, stderr);
}

int run(const QStringList& args, std::FILE* out, std::FILE* err) {
    Invocation invocation;
    if (const auto problem = parse(args, invocation))
        return usageError(err, *problem);
    if (invocation.help) {
        const QByteArray usage = usageText().toLocal8Bit();
        std::fwrite(usage.constData(), 1, size_t(usage.size()), out);
        std::fflush(out);
        return Done;
    }
    if (invocation.command == QLatin1String("view"))
        return runView(invocation, out, err);
    return runScanOrHits(invocation, out, err);
}

} // namespace jl::cli
