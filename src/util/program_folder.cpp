#include "util/program_folder.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace jl {

ProgramFolder::ProgramFolder(QString folder, QString executableName)
    : m_directory(std::move(folder)), m_executableName(std::move(executableName)) {
    while (m_directory.endsWith(QLatin1Char('/')) && m_directory.size() > 1)
        m_directory.chop(1);
    if (!m_directory.endsWith(QLatin1Char('/')))
        m_directory += QLatin1Char('/');
}

ProgramFolder ProgramFolder::ofExecutable() {
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    return ProgramFolder(exe.absolutePath(), exe.fileName());
}

} // namespace jl
