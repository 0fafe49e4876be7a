#pragma once
// The two plain-text documents beside the executable (the readme named after
// it and "catalog.txt"), opened in the desktop's document opener, xdg-open.
// The document path is handed to the opener as one argument of a process of
// its own: no shell, no splitting at blanks. When the opener cannot open the
// document (it cannot be started, or it ends with a failure status), a box
// says so and gives the document's path, so that the user can open it by hand.

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace jl {

class Dialogs;

// Starts programs that run on their own.
class ProcessLauncher {
public:
    // Called with the reason in words ("ended with status 4").
    using FailureReport = std::function<void(const QString& reason)>;
    virtual ~ProcessLauncher() = default;
    // Starts program with exactly these arguments. When it cannot be started,
    // or later ends with a status other than 0 or by a crash, failed is
    // called, on this thread, once the event loop runs.
    virtual void start(const QString& program, const QStringList& arguments,
                       FailureReport failed) = 0;
};

// QProcess, no shell, arguments passed as they are, standard input empty and
// the outputs those of this program. The process is watched until it ends,
// never ended by this program: the tool may end first, and a viewer that the
// opener waits for keeps running.
class WatchedProcessLauncher : public ProcessLauncher {
public:
    void start(const QString& program, const QStringList& arguments, FailureReport failed) override;
};

// The full path of an executable file named name in one of the folders of a
// PATH-style list (absolute folders only), or the empty text.
QString findProgramOnPath(const QString& name, const QString& pathVariable);

class DocumentOpener {
public:
    // pathVariable: the program search path (the process's $PATH in the program).
    DocumentOpener(ProcessLauncher& launcher, QString pathVariable);

    // Opens one text document. "Windows Notepad could not be found." when no
    // opener is installed, "No Log File to View." for an empty path. An
    // opener that fails is reported later (openerFailureMessage) through
    // dialogs, which must outlive this opener; nothing is reported once the
    // opener is gone.
    void View_Text_File_In_Notepad(Dialogs& dialogs, const QString& documentPath);

private:
    ProcessLauncher& m_launcher;
    QString m_path;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

// The error shown when the opener could not open documentPath.
QString openerFailureMessage(const QString& documentPath, const QString& reason);

// programDirectory ends with "/". The readme is the executable's file name cut
// before its first "." (the whole name when it has none) + ".txt".
QString readmePath(const QString& programDirectory, const QString& executableName);
// Where the readme is found: readmePath() when that file exists, else the same
// name in the installation's share/doc/junkloupe/ folder when it exists there
// (an installed copy), else readmePath().
QString readmeLocation(const QString& programDirectory, const QString& executableName);
QString cataloguePath(const QString& programDirectory);

// Opens the readme at readmeLocation(), whether or not it exists (the opener
// reports a missing one).
void View_Readme_File(DocumentOpener& opener, Dialogs& dialogs, const QString& programDirectory,
                      const QString& executableName);

// Opens "catalog.txt" when it exists, else says where it should have come from.
// productName: the About dialog's product caption.
void View_Shareware_Catalog(DocumentOpener& opener, Dialogs& dialogs,
                            const QString& programDirectory, const QString& productName);

QString catalogueMissingMessage(const QString& productName);

} // namespace jl
