#include "desktop/companion_documents.h"

#include "util/dialogs.h"
#include "util/file_helpers.h"
#include "util/program_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace jl {

bool DetachedProcessLauncher::startDetached(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
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
    m_launcher.startDetached(opener, {documentPath});
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
