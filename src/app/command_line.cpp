// The window program's command line: options, paths and the usage text.

#include "app/command_line.h"

#include "util/file_helpers.h"
#include "util/product.h"
#include "util/program_folder.h"

#include <QFileInfo>
#include <QUrl>

namespace jl {

namespace {

// Options of the toolkit itself, which it takes out of the command line when
// the application starts; they are let through untouched before that.
const QStringList kToolkitOptionsWithValue = {
    QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
    QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
    QStringLiteral("qwindowgeometry"), QStringLiteral("geometry"),
    QStringLiteral("qwindowtitle"),    QStringLiteral("title"),
    QStringLiteral("qwindowicon"),     QStringLiteral("icon"),
    QStringLiteral("display"),         QStringLiteral("name"),
    QStringLiteral("style"),           QStringLiteral("stylesheet"),
    QStringLiteral("session"),         QStringLiteral("qmljsdebugger")};
const QStringList kToolkitFlags = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                   QStringLiteral("nograb"),  QStringLiteral("dograb"),
                                   QStringLiteral("sync"),    QStringLiteral("testability")};

bool parseShowValue(const QString& value, StartUpShow* show) {
    const QString v = value.toLower();
    if (v == QLatin1String("normal"))
        *show = StartUpShow::Normal;
    else if (v == QLatin1String("minimized") || v == QLatin1String("minimised"))
        *show = StartUpShow::Minimized;
    else if (v == QLatin1String("maximized") || v == QLatin1String("maximised"))
        *show = StartUpShow::Maximized;
    else
        return false;
    return true;
}

// A path as a file manager may hand it over: a plain path or a file URL.
QString pathArgument(const QString& argument) {
    if (argument.startsWith(QLatin1String("file://"))) {
        const QUrl url(argument);
        if (url.isLocalFile())
            return url.toLocalFile();
    }
    return argument;
}

// The bytes of a path argument as the file system knows them: the
// argument's own, or a file URL's path with its escapes undone.
QByteArray pathBytes(const QByteArray& argument) {
    if (!argument.startsWith("file://"))
        return argument;
    QByteArray escaped;
    for (const char c : argument) {
        if (static_cast<unsigned char>(c) < 0x80)
            escaped += c;
        else
            escaped += '%' + QByteArray::number(static_cast<unsigned char>(c), 16);
    }
    const QUrl url = QUrl::fromEncoded(escaped, QUrl::TolerantMode);
    if (!url.isLocalFile())
        return argument;
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
}

} // namespace

CommandLine parseCommandLine(int argc, char** argv) {
    QList<QByteArray> raw;
    for (int i = 0; i < argc; ++i)
        raw.append(QByteArray(argv[i]));
    return parseCommandLine(commandLineArguments(argc, argv), raw);
}

CommandLine parseCommandLine(const QStringList& arguments, const QList<QByteArray>& rawArguments) {
    CommandLine result;
    if (!arguments.isEmpty() && !arguments[0].isEmpty())
        result.program = QFileInfo(arguments[0]).fileName();
    auto fail = [&result](const QString& error) {
        result.action = CommandLine::Action::Error;
        result.error = error;
        return result;
    };
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const bool isOption =
            !optionsEnded && argument.size() > 1 && argument.startsWith(QLatin1Char('-'));
        if (!isOption) {
            const QByteArray bytes =
                i < rawArguments.size() ? pathBytes(rawArguments[i]) : QByteArray();
            if (isUndecodableName(bytes))
                result.undecodablePaths.append(bytes);
            else
                result.paths.append(pathArgument(argument));
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            result.action = CommandLine::Action::Help;
            return result;
        }
        if (argument == QLatin1String("--version")) {
            result.action = CommandLine::Action::Version;
            return result;
        }
        // --show=STATE or --show STATE
        if (argument == QLatin1String("--show") || argument.startsWith(QLatin1String("--show="))) {
            QString value;
            if (argument.contains(QLatin1Char('='))) {
                value = argument.section(QLatin1Char('='), 1);
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            } else {
                return fail(QStringLiteral("option '--show' needs a value"));
            }
            if (!parseShowValue(value, &result.show))
                return fail(QStringLiteral("'%1' is not a window state for '--show'").arg(value));
            result.showGiven = true;
            continue;
        }
        // A picture of the window for the documentation (not in the usage).
        if (argument == QLatin1String("--screenshot")) {
            if (i + 1 >= arguments.size())
                return fail(QStringLiteral("option '--screenshot' needs a file name"));
            result.screenshot = arguments[++i];
            continue;
        }
        // The toolkit's own options, "-name value", "--name value" or "-name=value".
        QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        const bool inlineValue = name.contains(QLatin1Char('='));
        name = name.section(QLatin1Char('='), 0, 0);
        if (kToolkitOptionsWithValue.contains(name)) {
            if (!inlineValue && name != QLatin1String("qmljsdebugger"))
                ++i;
            continue;
        }
        if (kToolkitFlags.contains(name) && !inlineValue)
            continue;
        return fail(QStringLiteral("unknown option '%1'").arg(argument));
    }
    return result;
}

QString commandLineUsage(const QString& program) {
    return QStringLiteral(
               "Usage: %1 [--show=normal|minimized|maximized] [PATH...]\n"
               "\n"
               "Steps through junk e-mail messages saved one per file, shows the part of each\n"
               "message you choose and gathers their tell-tale strings in one sorted list.\n"
               "\n"
               "  PATH...          message files or directories to add to the file list, as\n"
               "                   if they were dropped on the window\n"
               "  --show=STATE     how the window first appears: normal (the default),\n"
               "                   minimized or maximized\n"
               "  -h, --help       show this help and exit\n"
               "  --version        print the version and exit\n")
        .arg(program);
}

QString commandLineHelp(const QString& program, const ProgramFolder& folder) {
    return commandLineUsage(program) +
           QStringLiteral(
               "\n"
               "This copy keeps your settings and both lists (%1, %2, %3) in\n"
               "  %4\n"
               "An installed copy (the package's, or one installed with cmake --install)\n"
               "keeps them in $XDG_CONFIG_HOME/junkloupe/ (by default\n"
               "~/.config/junkloupe/) for every user. Any other copy keeps them beside\n"
               "the program when its folder lets you write them there, otherwise in\n"
               "the configuration folder too. This copy is %5.\n")
               .arg(kSettingsFileName, kFileListFileName, kItemsListFileName,
                    folder.userFilesFolder(),
                    folder.installedCopy() ? QStringLiteral("installed")
                                           : QStringLiteral("not an installed one"));
}

QStringList commandLineArguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

int commandLineExitStatus(const CommandLine& commandLine, std::FILE* out, std::FILE* err) {
    const QString& program = commandLine.program;
    switch (commandLine.action) {
    case CommandLine::Action::Run:
        return -1;
    case CommandLine::Action::Help:
        std::fputs(
            commandLineHelp(program, ProgramFolder::ofExecutable()).toLocal8Bit().constData(), out);
        std::fflush(out);
        return 0;
    case CommandLine::Action::Version:
        std::fputs(versionLine(QStringLiteral("junkloupe")).toLocal8Bit().constData(), out);
        std::fflush(out);
        return 0;
    case CommandLine::Action::Error:
        std::fputs(QStringLiteral("%1: %2\n\n%3")
                       .arg(program, commandLine.error, commandLineUsage(program))
                       .toLocal8Bit()
                       .constData(),
                   err);
        std::fflush(err);
        return 2;
    }
    return -1;
}

} // namespace jl
