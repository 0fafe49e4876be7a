#include "desktop/freedesktop_registry.h"

#include "desktop/desktop_entry.h"
#include "util/atomic_file.h"

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace jl {

namespace {

QString normalisedKeyPath(QString path) {
    if (path.startsWith(QLatin1Char('\\')))
        path.remove(0, 1);
    return path;
}

bool sameKeyPath(const QString& a, const QString& b) {
    return normalisedKeyPath(a).compare(normalisedKeyPath(b), Qt::CaseInsensitive) == 0;
}

bool mayCreateAndDeleteIn(const QString& folder) {
    const QFileInfo info(folder);
    return info.isDir() && ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

bool entryExists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

FreedesktopRegistry::FreedesktopRegistry(DesktopEnvironment environment)
    : m_env(std::move(environment)) {}

QString FreedesktopRegistry::autostartFolder() const {
    return m_env.systemConfigDir() + QStringLiteral("/autostart");
}

QString FreedesktopRegistry::shellFolder(const QString& name) const {
    if (name.compare(QLatin1String("Desktop"), Qt::CaseInsensitive) == 0)
        return m_env.desktopDir();
    if (name.compare(QLatin1String("Start Menu"), Qt::CaseInsensitive) == 0)
        return m_env.dataHome() + QStringLiteral("/applications");
    if (name.compare(QLatin1String("SendTo"), Qt::CaseInsensitive) == 0)
        return m_env.dataHome() + QStringLiteral("/Thunar/sendto");
    return QString();
}

FreedesktopRegistry::Key FreedesktopRegistry::keyFor(const QString& keyPath) const {
    if (m_root == RegistryRoot::LocalMachine && sameKeyPath(keyPath, kRunKeyPath))
        return Key::Run;
    if (m_root == RegistryRoot::CurrentUser && sameKeyPath(keyPath, kShellFoldersKeyPath))
        return Key::ShellFolders;
    return Key::None;
}

QString FreedesktopRegistry::runValueFile(const QString& name) const {
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QChar(0)))
        return QString();
    return autostartFolder() + QLatin1Char('/') + name + QStringLiteral(".desktop");
}

void FreedesktopRegistry::selectRoot(RegistryRoot root) {
    m_root = root;
    m_open = Key::None;
}

bool FreedesktopRegistry::keyOpensWithFullAccess(const QString& keyPath) {
    switch (keyFor(keyPath)) {
    case Key::Run:
        return mayCreateAndDeleteIn(autostartFolder());
    case Key::ShellFolders:
        return true;
    case Key::None:
        break;
    }
    return false;
}

bool FreedesktopRegistry::openKey(const QString& keyPath) {
    m_open = keyOpensWithFullAccess(keyPath) ? keyFor(keyPath) : Key::None;
    return m_open != Key::None;
}

void FreedesktopRegistry::closeKey() {
    m_open = Key::None;
}

bool FreedesktopRegistry::writeString(const QString& name, const QString& data) {
    if (m_open != Key::Run)
        return false; // the shell folders are read-only here
    const QString file = runValueFile(name);
    if (file.isEmpty())
        return false;
    return writeFileAtomically(file, applicationEntry(name, quoteExecArgument(data)));
}

Registry::ValueType FreedesktopRegistry::readString(const QString& name, QString* data) {
    data->clear();
    if (m_open == Key::ShellFolders) {
        const QString folder = shellFolder(name);
        if (folder.isEmpty() || !QFileInfo(folder).isDir())
            return ValueType::Absent;
        *data = folder;
        return ValueType::String;
    }
    if (m_open != Key::Run)
        return ValueType::Absent;
    const QString path = runValueFile(name);
    if (path.isEmpty() || !entryExists(path))
        return ValueType::Absent;
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return ValueType::Other;
    const QByteArray bytes = file.readAll();
    if (!hasDesktopEntryGroup(bytes))
        return ValueType::Other;
    const std::optional<QString> exec = desktopEntryValue(bytes, QStringLiteral("Exec"));
    if (!exec)
        return ValueType::String; // an entry without a command holds empty data
    const std::optional<QStringList> args = splitExecLine(*exec);
    *data = (args && args->size() == 1) ? args->front() : *exec;
    return ValueType::String;
}

bool FreedesktopRegistry::deleteValue(const QString& name) {
    if (m_open != Key::Run)
        return false;
    const QString path = runValueFile(name);
    if (path.isEmpty() || !entryExists(path))
        return true;
    return QFile::remove(path);
}

bool FreedesktopRegistry::valueExists(const QString& name) {
    if (m_open == Key::ShellFolders) {
        QString ignored;
        return readString(name, &ignored) != ValueType::Absent;
    }
    if (m_open != Key::Run)
        return false;
    const QString path = runValueFile(name);
    return !path.isEmpty() && entryExists(path);
}

} // namespace jl
