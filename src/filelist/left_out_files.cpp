#include "filelist/left_out_files.h"

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

int filesBehindName(const QByteArray& rawName) {
    struct stat st {};
    if (rawName.isEmpty() || ::stat(rawName.constData(), &st) != 0)
        return 0;
    if (S_ISREG(st.st_mode))
        return 1;
    if (!S_ISDIR(st.st_mode))
        return 0;
    DIR* dir = ::opendir(rawName.constData());
    if (!dir)
        return 0;
    int files = 0;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_type == DT_REG) {
            ++files;
        } else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat target {};
            if (::fstatat(dirFd, entry->d_name, &target, 0) == 0 && S_ISREG(target.st_mode))
                ++files;
        }
    }
    ::closedir(dir);
    return files;
}

void LeftOutFiles::add(const QString& reason, int files) {
    if (files > 0)
        m_counts[reason] += files;
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
    return [this](const QByteArray&, const QString& reason) { add(reason); };
}

} // namespace jl
