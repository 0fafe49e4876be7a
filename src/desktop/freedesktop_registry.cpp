#include "desktop/freedesktop_registry.h"

#include "desktop/desktop_entry.h"
#include "util/atomic_file.h"
#include "util/file_helpers.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>
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

// A desktop entry is a few lines.
constexpr qint64 kEntrySizeLimit = qint64(1) << 20;

// Creates the folder and its missing parents, each with mode 0700, as the
// freedesktop base directory rules ask for folders made on the user's behalf.
void makeFolders(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    for (qsizetype slash = path.indexOf('/', 1);; slash = path.indexOf('/', slash + 1)) {
        const QByteArray part = slash < 0 ? path : path.left(slash);
        if (::mkdir(part.constData(), 0700) != 0 && errno != EEXIST)
            return;
        if (slash < 0)
            return;
    }
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

FreedesktopRegistry::Key FreedesktopRegistry::keyFor(RegistryRoot root, const QString& keyPath) {
    if (root == RegistryRoot::LocalMachine && sameKeyPath(keyPath, kRunKeyPath))
        return Key::Run;
    if (root == RegistryRoot::CurrentUser && sameKeyPath(keyPath, kShellFoldersKeyPath))
        return Key::ShellFolders;
    return Key::None;
}

QString FreedesktopRegistry::placeOf(RegistryRoot root, const QString& keyPath,
                                     const QString& name) const {
    switch (keyFor(root, keyPath)) {
    case Key::Run:
        return autostartFolder();
    case Key::ShellFolders:
        return shellFolder(name);
    case Key::None:
        break;
    }
    return QString();
}

void FreedesktopRegistry::prepareFolder(RegistryRoot root, const QString& keyPath,
                                        const QString& name) {
    if (keyFor(root, keyPath) != Key::ShellFolders ||
        name.compare(QLatin1String("Start Menu"), Qt::CaseInsensitive) != 0)
        return;
    const QString folder = shellFolder(name);
    if (!QFileInfo(folder).isDir())
        makeFolders(folder);
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
    switch (keyFor(m_root, keyPath)) {
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
    m_open = keyOpensWithFullAccess(keyPath) ? keyFor(m_root, keyPath) : Key::None;
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
    // Through the one reader: a pipe or device under the entry's name is not
    // waited on, and a file of absurd size is not read.
    const RegularFileContents file = readRegularFile(path, kEntrySizeLimit);
    if (file.status != RegularFileRead::Ok)
        return ValueType::Other;
    const QByteArray& bytes = file.bytes;
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
