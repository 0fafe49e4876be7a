#pragma once
// Where the tool keeps the user's files: the settings file "Junkloupe.ini"
// and the two list files "Junkloupe.ini_file" (the file list) and
// "Junkloupe.ini_int" (the interesting items). The three always live together
// in one folder, chosen once at start-up by chooseUserFilesFolder():
//
// 1. An installed copy (the program in the folder an installation put it in,
//    by the package or by `cmake --install` into any prefix; see
//    isInstalledProgramFolder()) keeps them in the user's configuration
//    folder, for every user, the superuser included: an installation holds
//    only what its package or its install put there.
// 2. Any other copy keeps them beside the executable when it can keep them
//    there: the executable's folder takes new files, or it is read-only but
//    already holds all three and each of them can be replaced there (a link
//    into a folder the user may write counts). A portable copy keeps working.
// 3. Otherwise they are kept in the user's configuration folder,
//    $XDG_CONFIG_HOME/junkloupe/ ($HOME/.config/junkloupe/ when the variable
//    is unset, empty or not an absolute path). It is created, with the user's
//    umask, when a file is first written there, not before.
//
// Files beside the program that the chosen folder does not use are never
// written. When the configuration folder holds none of the three yet, the
// start takes over those the user may read (for an installed copy: those the
// user owns, left there by an earlier version) by copying them, and tells the
// user once where the files are kept from then on (takeOverFilesBesideProgram).
// "Unable to write to ..." still reports a file that cannot be written in the
// folder chosen here.

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

// The record an installation keeps of where it put the programs: one line,
// the absolute path of its bindir as the system sees it once installed,
// written by the install into <prefix>/share/ beside the other data.
inline const QString kInstallRecordPath = QStringLiteral("junkloupe/installed-bindir");

// True when programDirectory is the folder an installation put the program
// in: the install record of the tree it stands in
// (installedDataPath(programDirectory, kInstallRecordPath)) names this very
// folder, both compared with their links resolved. The build tree, a copy
// moved elsewhere and an unpacked package (whose record names the folder it
// will be installed in) are not installed copies.
bool isInstalledProgramFolder(const QString& programDirectory);

// The decision described above: programDirectory or configFolder, with one
// trailing "/". Looks at the file system only; creates and changes nothing.
QString chooseUserFilesFolder(const QString& programDirectory, const QString& configFolder,
                              bool installedCopy);

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
    // Any folder with the user's files in userFilesFolder; installedCopy
    // tells whether folder is an installation's (isInstalledProgramFolder).
    ProgramFolder(QString folder, QString executableName, QString userFilesFolder,
                  bool installedCopy = false);

    // The executable's folder with exactly one trailing "/".
    QString directory() const { return m_directory; }
    // The executable's file name without directory ("junkloupe").
    QString executableName() const { return m_executableName; }
    // directory() + executableName(): the executable's full path.
    QString executablePath() const { return m_directory + m_executableName; }

    // The folder of the user's files, with one trailing "/".
    QString userFilesFolder() const { return m_userFiles; }
    bool userFilesBesideProgram() const { return m_userFiles == m_directory; }
    bool installedCopy() const { return m_installed; }
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
    bool m_installed = false;
};

// At start, before the files are read: when the user's files are kept in the
// configuration folder and it holds none of the three yet, the ones beside
// the program that the user may read (an installed copy: that the user owns)
// are copied there, each as a complete new copy made with the user's umask;
// the originals are left as they are and are not read again. Returns the
// notice to show once, at this start: where the files are kept from now on
// and why, which were copied and which could not be read. Empty when nothing
// beside the program was passed over.
QString takeOverFilesBesideProgram(const ProgramFolder& folder);

} // namespace jl
