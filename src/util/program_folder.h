#pragma once
// Where the tool keeps the user's files: the settings file "Junkloupe.ini"
// and the two list files "Junkloupe.ini_file" (the file list) and
// "Junkloupe.ini_int" (the interesting items). The three always live together
// in one folder, chosen once at start-up by chooseUserFilesFolder():
//
// 1. Beside the executable when the tool can keep them there: the
//    executable's folder takes new files, or it is read-only but already
//    holds all three and each of them can be replaced there (a link into a
//    folder the user may write counts). A portable copy keeps working.
// 2. Otherwise in the user's configuration folder, $XDG_CONFIG_HOME/junkloupe/
//    ($HOME/.config/junkloupe/ when the variable is unset, empty or not an
//    absolute path). It is created, with the user's umask, when a file is
//    first written there, not before.
//
// A read-only executable folder that holds only some of the three files, or
// files this user may not replace (left there by another user or by the
// superuser), is not the user's: the files there are left alone, neither read
// nor written, and the configuration folder is used. An installed copy in
// /usr/bin or /opt thus never writes into its installation, while "Unable to
// write to ..." still reports a file that cannot be written in the folder
// chosen here.

#include <QString>

namespace jl {

// The fixed names of the user's files.
inline const QString kSettingsFileName = QStringLiteral("Junkloupe.ini");
inline const QString kFileListFileName = QStringLiteral("Junkloupe.ini_file");
inline const QString kItemsListFileName = QStringLiteral("Junkloupe.ini_int");

// $XDG_CONFIG_HOME when it is an absolute path, else home + "/.config"; no
// trailing "/".
QString userConfigHome(const QString& xdgConfigHome, const QString& home);
// The tool's folder in it: userConfigHome(...) + "/junkloupe/".
QString userConfigFolder(const QString& xdgConfigHome, const QString& home);

// A file of the installation that holds the executable: programDirectory +
// "../share/" + relativePath, cleaned. For /usr/bin/ it is under /usr/share/;
// the build tree mirrors that layout (build/bin/ and build/share/).
QString installedDataPath(const QString& programDirectory, const QString& relativePath);

// The decision described above: programDirectory or configFolder, with one
// trailing "/". Looks at the file system only; creates and changes nothing.
QString chooseUserFilesFolder(const QString& programDirectory, const QString& configFolder);

class ProgramFolder {
public:
    // The folder of the running executable (QCoreApplication must exist, or
    // the path is read from /proc/self/exe), with the user's files placed by
    // chooseUserFilesFolder() under the process's $XDG_CONFIG_HOME and $HOME
    // (the password database's home folder when $HOME is unset or empty).
    static ProgramFolder ofExecutable();
    // Any folder, for tests: the user's files are kept in the folder itself.
    // The executable path is folder + executableName.
    ProgramFolder(const QString& folder, QString executableName);
    // Any folder with the user's files in userFilesFolder.
    ProgramFolder(QString folder, QString executableName, QString userFilesFolder);

    // The executable's folder with exactly one trailing "/".
    QString directory() const { return m_directory; }
    // The executable's file name without directory ("junkloupe").
    QString executableName() const { return m_executableName; }
    // directory() + executableName(): the executable's full path.
    QString executablePath() const { return m_directory + m_executableName; }

    // The folder of the user's files, with one trailing "/".
    QString userFilesFolder() const { return m_userFiles; }
    bool userFilesBesideProgram() const { return m_userFiles == m_directory; }
    QString settingsFile() const { return m_userFiles + kSettingsFileName; }
    QString fileListFile() const { return m_userFiles + kFileListFileName; }
    QString itemsListFile() const { return m_userFiles + kItemsListFileName; }

    // Creates the folder of the user's files (and missing parents) with the
    // user's umask when it does not exist yet. Every writer calls this first.
    // False when it is still missing afterwards; the write then fails and
    // reports the file it could not write.
    bool prepareUserFilesFolder() const;

private:
    QString m_directory;
    QString m_executableName;
    QString m_userFiles;
};

} // namespace jl
