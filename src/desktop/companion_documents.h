#pragma once
// The two plain-text documents beside the executable (the readme named after
// it and "catalog.txt"), opened in the desktop's document opener, xdg-open.
// The document path is handed to the opener as one argument of a detached
// process: no shell, no splitting at blanks.

#include <QString>
#include <QStringList>

namespace jl {

class Dialogs;

// Starts programs that run on their own.
class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    // Starts program with exactly these arguments; true when it started.
    virtual bool startDetached(const QString& program, const QStringList& arguments) = 0;
};

// QProcess::startDetached: no shell, arguments passed as they are.
class DetachedProcessLauncher : public ProcessLauncher {
public:
    bool startDetached(const QString& program, const QStringList& arguments) override;
};

// The full path of an executable file named name in one of the folders of a
// PATH-style list (absolute folders only), or the empty text.
QString findProgramOnPath(const QString& name, const QString& pathVariable);

class DocumentOpener {
public:
    // pathVariable: the program search path (the process's $PATH in the program).
    DocumentOpener(ProcessLauncher& launcher, QString pathVariable);

    // Opens one text document. "Windows Notepad could not be found." when no
    // opener is installed, "No Log File to View." for an empty path; the
    // start itself is not checked.
    void View_Text_File_In_Notepad(Dialogs& dialogs, const QString& documentPath);

private:
    ProcessLauncher& m_launcher;
    QString m_path;
};

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
