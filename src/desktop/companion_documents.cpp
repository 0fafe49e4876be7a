#include "desktop/companion_documents.h"

#include "util/dialogs.h"
#include "util/file_helpers.h"
#include "util/program_folder.h"
#include "util/text_helpers.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace jl {

void WatchedProcessLauncher::start(const QString& program, const QStringList& arguments,
                                   FailureReport failed) {
    // Owned by no one: it deletes itself once the program has ended, and is
    // left running when this program ends first.
    auto* process = new QProcess;
    process->setProgram(program);
    process->setArguments(arguments);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, failed](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return; // a crash comes with finished() too
                         failed(QStringLiteral("could not be started: ") + process->errorString());
                         process->deleteLater();
                     });
    QObject::connect(process, &QProcess::finished, process,
                     [process, failed](int status, QProcess::ExitStatus how) {
                         if (how == QProcess::CrashExit)
                             failed(QStringLiteral("ended abnormally"));
                         else if (status != 0)
                             failed(QStringLiteral("ended with status %1").arg(status));
                         process->deleteLater();
                     });
    process->start();
}

QString findProgramOnPath(const QString& name, const QString& pathVariable) {
    QStringList folders;
    for (const QString& folder : pathVariable.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        // Relative entries would search wherever the program happens to run.
        if (QDir::isAbsolutePath(folder))
            folders << folder;
    }
    if (folders.isEmpty())
        return QString(); // an empty list would make Qt search the process's PATH
    return QStandardPaths::findExecutable(name, folders);
}

DocumentOpener::DocumentOpener(ProcessLauncher& launcher, QString pathVariable)
    : m_launcher(launcher), m_path(std::move(pathVariable)) {}

void DocumentOpener::View_Text_File_In_Notepad(Dialogs& dialogs, const QString& documentPath) {
    const QString opener = findProgramOnPath(QStringLiteral("xdg-open"), m_path);
    if (opener.isEmpty()) {
        dialogs.information(QStringLiteral("Windows Notepad could not be found."));
        return;
    }
    if (documentPath.isEmpty()) {
        dialogs.information(QStringLiteral("No Log File to View."));
        return;
    }
    m_launcher.start(opener, {documentPath},
                     [alive = std::weak_ptr<bool>(m_alive), &dialogs, documentPath,
                      opener](const QString& reason) {
                         if (alive.lock())
                             dialogs.error(openerFailureMessage(
                                 documentPath, Get_File_Name(opener) + QLatin1Char(' ') + reason));
                     });
}

QString openerFailureMessage(const QString& documentPath, const QString& reason) {
    return QStringLiteral("The document could not be opened: %1.\r\n\r\nYou can open it "
                          "yourself, it is\r\n%2")
        .arg(reason, documentPath);
}

QString readmePath(const QString& programDirectory, const QString& executableName) {
    const qsizetype dot = executableName.indexOf(QLatin1Char('.'));
    return programDirectory + (dot < 0 ? executableName : executableName.left(dot)) +
           QStringLiteral(".txt");
}

QString readmeLocation(const QString& programDirectory, const QString& executableName) {
    const QString beside = readmePath(programDirectory, executableName);
    if (isExistingFile(beside))
        return beside;
    const QString installed = installedDataPath(programDirectory, QStringLiteral("doc/junkloupe/") +
                                                                      QFileInfo(beside).fileName());
    return isExistingFile(installed) ? installed : beside;
}

QString cataloguePath(const QString& programDirectory) {
    return programDirectory + QStringLiteral("catalog.txt");
}

QString catalogueMissingMessage(const QString& productName) {
    return QStringLiteral("Oskarn's Shareware Catalog is not in the same directory as ") +
           productName + QStringLiteral(".  ") +
           QStringLiteral("The required file 'catalog.txt' was included in the ") +
           QStringLiteral("distribution ZIP file.  Please unzip this file and try again.");
}

void View_Readme_File(DocumentOpener& opener, Dialogs& dialogs, const QString& programDirectory,
                      const QString& executableName) {
    opener.View_Text_File_In_Notepad(dialogs, readmeLocation(programDirectory, executableName));
}

void View_Shareware_Catalog(DocumentOpener& opener, Dialogs& dialogs,
                            const QString& programDirectory, const QString& productName) {
    const QString path = cataloguePath(programDirectory);
    const QFileInfo info(path);
    if (info.exists() && !info.isDir())
        opener.View_Text_File_In_Notepad(dialogs, path);
    else
        dialogs.information(catalogueMissingMessage(productName));
}

} // namespace jl
