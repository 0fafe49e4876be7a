#include "util/program_folder.h"

#include "util/atomic_file.h"
#include "util/file_helpers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <unistd.h>

namespace jl {

namespace {

// The folder with exactly one trailing "/".
QString withSlash(QString folder) {
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

bool folderTakesNewFiles(const QString& folder) {
    return isExistingDirectory(folder) &&
           ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

} // namespace

QString userConfigHome(const QString& xdgConfigHome, const QString& home) {
    QString folder = (!xdgConfigHome.isEmpty() && QDir::isAbsolutePath(xdgConfigHome))
                         ? xdgConfigHome
                         : withSlash(home) + QStringLiteral(".config");
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

QString userConfigFolder(const QString& xdgConfigHome, const QString& home) {
    return withSlash(userConfigHome(xdgConfigHome, home)) + QStringLiteral("junkloupe/");
}

QString installedDataPath(const QString& programDirectory, const QString& relativePath) {
    return QDir::cleanPath(withSlash(programDirectory) + QStringLiteral("../share/") +
                           relativePath);
}

QString chooseUserFilesFolder(const QString& programDirectory, const QString& configFolder) {
    const QString folder = withSlash(programDirectory);
    if (folderTakesNewFiles(folder))
        return folder;
    // A read-only folder is the user's only when every one of the three files
    // is there and can be replaced by a complete new copy.
    for (const QString& name : {kSettingsFileName, kFileListFileName, kItemsListFileName}) {
        const QString path = folder + name;
        if (!isExistingFile(path) || !canReplaceFile(path))
            return withSlash(configFolder);
    }
    return folder;
}

ProgramFolder::ProgramFolder(const QString& folder, QString executableName)
    : ProgramFolder(folder, std::move(executableName), folder) {}

ProgramFolder::ProgramFolder(QString folder, QString executableName, QString userFilesFolder)
    : m_directory(withSlash(std::move(folder))), m_executableName(std::move(executableName)),
      m_userFiles(withSlash(std::move(userFilesFolder))) {}

ProgramFolder ProgramFolder::ofExecutable() {
    const QFileInfo exe(QCoreApplication::instance()
                            ? QCoreApplication::applicationFilePath()
                            : QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget());
    const QString directory = withSlash(exe.absolutePath());
    QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty()) {
        if (const passwd* entry = ::getpwuid(::getuid()))
            home = QFile::decodeName(entry->pw_dir);
    }
    const QString config = userConfigFolder(qEnvironmentVariable("XDG_CONFIG_HOME"), home);
    return ProgramFolder(directory, exe.fileName(), chooseUserFilesFolder(directory, config));
}

bool ProgramFolder::prepareUserFilesFolder() const {
    // mkpath creates each missing folder with mode 0777 less the umask.
    return isExistingDirectory(m_userFiles) || QDir().mkpath(m_userFiles);
}

} // namespace jl
