#include "filelist/left_out_files.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <dirent.h>
#include <sys/stat.h>

namespace jl {

QString undecodableNameReason() {
    return QStringLiteral("the name is not valid in the system's encoding");
}

QString lineBreakNameReason() {
    return QStringLiteral("the name holds a line break");
}

QString notRegularFileReason() {
    return QStringLiteral("it is a named pipe, a device or a socket");
}

namespace {

// The path absolute (from the current directory) with runs of "/" collapsed,
// so that two spellings of one name meet.
QByteArray absolutePath(const QByteArray& rawPath) {
    QByteArray full =
        rawPath.startsWith('/') ? rawPath : QFile::encodeName(QDir::currentPath()) + '/' + rawPath;
    QByteArray path;
    path.reserve(full.size());
    for (const char c : full) {
        if (c != '/' || !path.endsWith('/'))
            path += c;
    }
    return path;
}

bool isRegularFile(int dirFd, const char* name) {
    struct stat st {};
    return ::fstatat(dirFd, name, &st, 0) == 0 && S_ISREG(st.st_mode);
}

} // namespace

void LeftOutFiles::add(const QString& reason, const QByteArray& rawPath) {
    if (m_counted.insert(absolutePath(rawPath)).second)
        ++m_counts[reason];
}

void LeftOutFiles::addFilesBehind(const QString& reason, const QByteArray& rawName) {
    struct stat st {};
    if (rawName.isEmpty() || ::stat(rawName.constData(), &st) != 0)
        return;
    if (S_ISREG(st.st_mode))
        add(reason, rawName);
    if (!S_ISDIR(st.st_mode))
        return;
    DIR* dir = ::opendir(rawName.constData());
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_type == DT_REG || ((entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) &&
                                        isRegularFile(dirFd, entry->d_name)))
            add(reason, rawName + '/' + entry->d_name);
    }
    ::closedir(dir);
}

QString LeftOutFiles::notice() const {
    QStringList lines;
    for (const auto& [reason, files] : m_counts) {
        lines.append(files == 1
                         ? QStringLiteral("1 file was left out of the list (%1).").arg(reason)
                         : QStringLiteral("%1 files were left out of the list (%2).")
                               .arg(files)
                               .arg(reason));
    }
    return lines.join(QLatin1Char('\n'));
}

std::function<void(const QByteArray&, const QString&)> LeftOutFiles::recorder() {
    return [this](const QByteArray& rawPath, const QString& reason) { add(reason, rawPath); };
}

} // namespace jl
