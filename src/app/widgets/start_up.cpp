#include "app/widgets/start_up.h"

#include "about/widgets/app_icon.h"
#include "app/command_line.h"
#include "app/single_instance.h"
#include "app/termination_signals.h"
#include "app/widgets/main_form.h"
#include "desktop/desktop_services.h"
#include "util/clipboard.h"
#include "util/dialogs.h"
#include "util/program_folder.h"
#include "util/widgets/qt_dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSessionManager>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

namespace jl {

namespace {

// The dialogs service of the running program: Qt boxes parented to the main
// window, which exists only after the service is handed to it. While quiet,
// messages go to standard error and every question is answered No: nobody
// may be there to answer (the program ends on a signal, the session ends).
class WindowDialogs : public Dialogs {
public:
    explicit WindowDialogs(QString program) : m_program(std::move(program)) {}
    void setWindow(QWidget* window) { m_real = std::make_unique<QtDialogs>(window); }
    void setQuiet(bool quiet) { m_quiet = quiet; }
    void message(MessageKind kind, const QString& text) override {
        if (m_quiet)
            printLine(text);
        else
            real().message(kind, text);
    }
    bool ask(QuestionKind kind, const QString& text) override {
        return !m_quiet && real().ask(kind, text);
    }
    QString chooseDirectory(const QString& start) override {
        return m_quiet ? QString() : real().chooseDirectory(start);
    }
    QString chooseSaveFile(const QString& title, const QString& proposed,
                           const QString& filter) override {
        return m_quiet ? QString() : real().chooseSaveFile(title, proposed, filter);
    }
    int chooseOne(const QString& title, const QString& label, const QStringList& choices,
                  int current) override {
        return m_quiet ? -1 : real().chooseOne(title, label, choices, current);
    }
    // program: text, each line break of the text as one.
    void printLine(const QString& text) const {
        QString line = m_program + QStringLiteral(": ") + text;
        line.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
    }

private:
    QtDialogs& real() {
        if (!m_real)
            m_real = std::make_unique<QtDialogs>(nullptr);
        return *m_real;
    }
    QString m_program;
    std::unique_ptr<QtDialogs> m_real;
    bool m_quiet = false;
};

// Whether a message box can be seen by anyone: not on the platforms that
// draw into memory only.
bool boxesAreSeen() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

QString noAnswerMessage(const ProgramFolder& folder) {
    return QStringLiteral("Junkloupe is already running with the files in %1, but that window "
                          "does not answer.\n\nClose it (or end its process) and start Junkloupe "
                          "again.")
        .arg(QDir::toNativeSeparators(folder.userFilesFolder()));
}

QString tooBigMessage(const ProgramFolder& folder, const HandOffRequest& request) {
    return QStringLiteral("Junkloupe is already running with the files in %1, but the %2 names "
                          "given to this start are more than it takes from another start (%3 "
                          "MB of names at most). None of them was added.\n\nAdd their folder "
                          "with Files in Directory, or give them in smaller parts.")
        .arg(QDir::toNativeSeparators(folder.userFilesFolder()))
        .arg(request.paths.size() + request.undecodablePaths.size())
        .arg(kMaxHandOffBytes / (qsizetype(1024) * 1024));
}

// Ends the modal dialogs that are open as if cancelled: the window they
// belong to has closed.
void cancelModalDialogs() {
    for (int guard = 0; guard < 16; ++guard) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }
}

} // namespace

int runMainWindow(QApplication& app, TMainForm1& form, const CommandLine& commandLine,
                  const std::function<void()>& onceShown) {
    // Every accepted close ends the event loop, whatever other window is up.
    QObject::connect(&form, &TMainForm1::closedForGood, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    // The start-up show command applies at every first show; the paths are
    // handled once, after the first.
    form.setStartUpShowCommand(commandLine.show);
    form.show();
    form.dropCommandLinePaths(commandLine.paths, commandLine.undecodablePaths);

    if (!commandLine.screenshot.isEmpty()) {
        // A picture of the window as it stands after the first show; nothing
        // is saved, since the window is never asked to close.
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
        return form.pagesPicture().save(commandLine.screenshot) ? 0 : 1;
    }
    // Queued only now: events that the first show and the drop let run
    // would otherwise run it before the window is on the screen.
    if (onceShown)
        QTimer::singleShot(0, &form, onceShown);
    // A close during the first show or the first drop has saved already; a
    // quit asked for before the event loop runs is lost, so the loop would
    // wait for ever for a window that is gone.
    if (form.closeAccepted())
        return 0;
    return app.exec();
}

int runJunkloupe(QApplication& app, const CommandLine& commandLine) {
    // The tool's icon on every window; the desktop matches the windows with
    // the menu entry junkloupe.desktop.
    QApplication::setWindowIcon(applicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("junkloupe"));
    // Where the user's files are kept is decided here, once for the run.
    const ProgramFolder folder = ProgramFolder::ofExecutable();
    WindowDialogs dialogs(commandLine.program);

    // One window per folder of user files: a later start hands its command
    // line over to the window that runs and ends. A screenshot saves nothing
    // and keeps out of it.
    const RuntimeFolder runtime = instanceRuntimeFolder(
        qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath(),
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation));
    SingleInstance instance(runtime.path, instanceName(folder.userFilesFolder()));
    if (commandLine.screenshot.isEmpty()) {
        if (!runtime.notice.isEmpty())
            dialogs.printLine(runtime.notice);
        HandOffRequest request;
        if (commandLine.showGiven)
            request.show = commandLine.show;
        for (const QString& path : commandLine.paths)
            request.paths.append(QFileInfo(path).absoluteFilePath());
        for (const QByteArray& path : commandLine.undecodablePaths)
            request.undecodablePaths.append(
                path.startsWith('/') ? path : QFile::encodeName(QDir::currentPath()) + '/' + path);
        QString problem;
        const auto waiting = [&dialogs] {
            dialogs.printLine(QStringLiteral("the window that runs already cannot take the files "
                                             "yet (a question of it may be open); waiting until "
                                             "it can, or until it has closed."));
        };
        const SingleInstance::Role role =
            instance.start(request, kHandOffTimeout, &problem, waiting);
        switch (role) {
        case SingleInstance::Role::HandedOver:
            return 0;
        case SingleInstance::Role::NoAnswer:
        case SingleInstance::Role::Foreign:
        case SingleInstance::Role::TooBig: {
            // Launched from a menu or a file manager nobody reads standard
            // error: the box is what the user sees.
            const QString message =
                role == SingleInstance::Role::TooBig ? tooBigMessage(folder, request)
                : role == SingleInstance::Role::Foreign
                    ? QStringLiteral("Junkloupe did not start: %1.").arg(problem)
                    : noAnswerMessage(folder);
            dialogs.printLine(message);
            if (boxesAreSeen())
                dialogs.error(message);
            return 1;
        }
        case SingleInstance::Role::Primary:
            if (!problem.isEmpty())
                dialogs.printLine(problem);
            break;
        }
    }

    // Files an earlier copy left beside the program come along, once, before
    // the window reads them; a screenshot takes nothing.
    const QString takeOverNotice =
        commandLine.screenshot.isEmpty() ? takeOverFilesBesideProgram(folder) : QString();

    // Caught before the window exists: a signal during the first show is
    // taken as soon as events run.
    TerminationSignals terminationSignals;
    SystemClipboard clipboard;
    DesktopServices desktop; // autostart folder, desktop entries, xdg-open of this session
    TMainForm1 form(folder, dialogs, clipboard, desktop);
    dialogs.setWindow(&form);

    QObject::connect(
        &instance, &SingleInstance::handedOver, &form, [&form](const HandOffRequest& request) {
            form.takeHandedOverStart(request.show, request.paths, request.undecodablePaths);
        });
    // A later start is told to wait while the window cannot keep its paths;
    // those the window took before it stopped taking are kept.
    instance.setAccepting([&form] { return form.acceptsHandOffs(); });
    form.setHandOffSettler([&instance] { instance.settle(); });
    // A closed window takes no more starts: the next one waits for this
    // process to end and then runs its own window over the saved files.
    QObject::connect(&form, &TMainForm1::closedForGood, &instance, &SingleInstance::stopListening);

    int signalsReceived = 0;
    QObject::connect(&terminationSignals, &TerminationSignals::received, &form, [&](int) {
        if (++signalsReceived == 1 && !form.closeAccepted()) {
            form.close();
            if (form.closeAccepted()) {
                cancelModalDialogs();
                return;
            }
            dialogs.printLine(QStringLiteral(
                "the window stays open: a file could not be saved. Make room and close it "
                "again, or send the signal once more to end after one more try."));
            return;
        }
        // Asked again: one more try of every save, then the end, whatever
        // the window is doing.
        dialogs.setQuiet(true);
        const bool saved = form.closeAccepted() || form.saveBeforeForcedEnd();
        instance.end();
        std::fflush(nullptr);
        std::_Exit(saved ? 0 : 1);
    });

    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&](QSessionManager& manager) {
                         if (form.closeAccepted())
                             return;
                         dialogs.setQuiet(true);
                         bool saved = form.saveAtSessionEnd();
                         dialogs.setQuiet(false);
                         if (saved)
                             return;
                         // Tell the user why the log-out stops, when the
                         // session manager lets us.
                         if (manager.allowsErrorInteraction()) {
                             saved = form.saveAtSessionEnd();
                             manager.release();
                         }
                         if (!saved)
                             manager.cancel();
                     });

    // Where the files are kept from now on is said once, over the window.
    std::function<void()> sayWhereFilesAreKept;
    if (!takeOverNotice.isEmpty()) {
        dialogs.printLine(takeOverNotice);
        if (boxesAreSeen())
            sayWhereFilesAreKept = [&dialogs, takeOverNotice] {
                dialogs.information(takeOverNotice);
            };
    }
    return runMainWindow(app, form, commandLine, sayWhereFilesAreKept);
}

} // namespace jl
