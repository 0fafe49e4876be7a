#include "util/program_folder.h"

#include "util/atomic_file.h"
#include "util/file_helpers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <pwd.h>
#include <sys/stat.h>
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

const QString kUserFileNames[] = {kSettingsFileName, kFileListFileName, kItemsListFileName};

// The install record is one short line.
constexpr qint64 kInstallRecordSizeLimit = 4096;

bool ownedByUser(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && st.st_uid == ::geteuid();
}

} // namespace

bool isInstalledProgramFolder(const QString& programDirectory) {
    const RegularFileContents record = readRegularFile(
        installedDataPath(programDirectory, kInstallRecordPath), kInstallRecordSizeLimit);
    if (record.status != RegularFileRead::Ok)
        return false;
    const QString bindir = QFile::decodeName(record.bytes.trimmed());
    if (!QDir::isAbsolutePath(bindir))
        return false;
    const QString recorded = QFileInfo(bindir).canonicalFilePath();
    return !recorded.isEmpty() && recorded == QFileInfo(programDirectory).canonicalFilePath();
}

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

QString chooseUserFilesFolder(const QString& programDirectory, const QString& configFolder,
                              bool installedCopy) {
    const QString folder = withSlash(programDirectory);
    if (installedCopy)
        return withSlash(configFolder);
    if (folderTakesNewFiles(folder))
        return folder;
    // A read-only folder is the user's only when every one of the three files
    // is there and can be replaced by a complete new copy.
    for (const QString& name : kUserFileNames) {
        const QString path = folder + name;
        if (!isExistingFile(path) || !canReplaceFile(path))
            return withSlash(configFolder);
    }
    return folder;
}

ProgramFolder::ProgramFolder(const QString& folder, QString executableName)
    : ProgramFolder(folder, std::move(executableName), folder) {}

ProgramFolder::ProgramFolder(QString folder, QString executableName, QString userFilesFolder,
                             bool installedCopy)
    : m_directory(withSlash(std::move(folder))), m_executableName(std::move(executableName)),
      m_userFiles(withSlash(std::move(userFilesFolder))), m_installed(installedCopy) {}

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
    const bool installed = isInstalledProgramFolder(directory);
    return ProgramFolder(directory, exe.fileName(),
                         chooseUserFilesFolder(directory, config, installed), installed);
}

bool ProgramFolder::prepareUserFilesFolder() const {
    // mkpath creates each missing folder with mode 0777 less the umask.
    return isExistingDirectory(m_userFiles) || QDir().mkpath(m_userFiles);
}

QString takeOverFilesBesideProgram(const ProgramFolder& folder) {
    if (folder.userFilesBesideProgram())
        return QString();
    for (const QString& name : kUserFileNames) {
        if (isAnythingAt(folder.userFilesFolder() + name))
            return QString(); // the configuration folder is in use already
    }
    QStringList copied;
    QStringList failed;
    for (const QString& name : kUserFileNames) {
        const QString beside = folder.directory() + name;
        if (!isExistingFile(beside) || (folder.installedCopy() && !ownedByUser(beside)))
            continue;
        const RegularFileContents file = readRegularFile(beside);
        QString error = file.error;
        if (file.status == RegularFileRead::Ok) {
            if (folder.prepareUserFilesFolder() &&
                writeFileAtomically(folder.userFilesFolder() + name, file.bytes, &error)) {
                copied << name;
                continue;
            }
            if (error.isEmpty())
                error = QStringLiteral("the folder could not be made");
        }
        failed << QStringLiteral("%1 (%2)").arg(name, error);
    }
    if (copied.isEmpty() && failed.isEmpty())
        return QString();

    // The folders on lines of their own, so that no box breaks them.
    QString text = QStringLiteral("Junkloupe keeps your settings and lists in\r\n%1\r\n%2\r\n%3")
                       .arg(folder.userFilesFolder(),
                            folder.installedCopy()
                                ? QStringLiteral("and not beside the program, in the folder of an "
                                                 "installation:")
                                : QStringLiteral("and not beside the program, where you may not "
                                                 "write them:"),
                            folder.directory());
    if (!copied.isEmpty()) {
        text += QStringLiteral("\r\n\r\nIt goes on from copies of the files found there: %1. "
                               "Those files are left as they are and are no longer read.")
                    .arg(copied.join(QStringLiteral(", ")));
    }
    if (!failed.isEmpty()) {
        text += QStringLiteral("\r\n\r\nThese could not be taken over and start afresh: %1.")
                    .arg(failed.join(QStringLiteral(", ")));
    }
    return text;
}

} // namespace jl
