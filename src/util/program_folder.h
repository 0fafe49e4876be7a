#pragma once
// Where the tool keeps its own files: the directory of the running executable
// unless a test or the command line points it elsewhere.

#include <QString>

namespace jl {

class ProgramFolder {
public:
    // The folder of the running executable (QCoreApplication must exist).
    static ProgramFolder ofExecutable();
    // Any folder, for tests. The executable path is folder + executableName.
    ProgramFolder(QString folder, QString executableName);

    // The folder with exactly one trailing "/".
    QString directory() const { return m_directory; }
    // The executable's file name without directory ("junkloupe").
    QString executableName() const { return m_executableName; }
    // directory() + executableName(): the executable's full path.
    QString executablePath() const { return m_directory + m_executableName; }

    QString settingsFile() const { return m_directory + QStringLiteral("Junkloupe.ini"); }
    QString fileListFile() const { return settingsFile() + QStringLiteral("_file"); }
    QString itemsListFile() const { return settingsFile() + QStringLiteral("_int"); }

private:
    QString m_directory;
    QString m_executableName;
};

} // namespace jl
