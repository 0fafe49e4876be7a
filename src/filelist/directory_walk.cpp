#include "filelist/directory_walk.h"

#include <QList>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>

namespace jl {

void WalkVisitor::problem(const QByteArray& /*path*/, int /*error*/) {}
void WalkVisitor::subdirectoriesLeftOut(const QByteArray& /*directory*/, int /*count*/) {}
void WalkVisitor::loop(const QByteArray& /*path*/) {}

DirectoryWalk::DirectoryWalk(const WalkOptions& options, WalkVisitor& visitor)
    : m_options(options), m_visitor(visitor) {}

QByteArray DirectoryWalk::entryPath(const QByteArray& directory, const char* name) {
    return directory.endsWith('/') ? directory + name : directory + '/' + name;
}

bool DirectoryWalk::statDirectory(const QByteArray& path, DirectoryId& id) {
    struct stat info {};
    if (::stat(path.constData(), &info) != 0) {
        m_visitor.problem(path, errno);
        return false;
    }
    id = {info.st_dev, info.st_ino};
    return true;
}

void DirectoryWalk::walk(const QByteArray& directory) {
    DirectoryId id{};
    if (!statDirectory(directory, id))
        return;
    std::vector<DirectoryId> ancestors{id};
    this->directory(directory, ancestors);
}

void DirectoryWalk::walkLater(const QByteArray& directory) {
    m_later.emplace_back(directory, std::vector<DirectoryId>{});
}

void DirectoryWalk::finish() {
    while (!m_later.empty()) {
        auto [path, ancestors] = std::move(m_later.front());
        m_later.pop_front();
        DirectoryId id{};
        if (!statDirectory(path, id))
            continue;
        ancestors.push_back(id);
        directory(path, ancestors);
    }
}

// Lists one directory; its sub-directories are walked after it is closed, so
// that a deep tree holds one directory open at a time.
void DirectoryWalk::directory(const QByteArray& path, std::vector<DirectoryId>& ancestors) {
    if (m_stopped || !m_walked.insert({ancestors.back().device, ancestors.back().inode}).second)
        return;
    QList<std::pair<QByteArray, bool>> subdirectories; // and whether a link
    int leftOut = 0;
    {
        const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.constData()), ::closedir);
        if (!dir) {
            m_visitor.problem(path, errno);
            return;
        }
        const int fd = ::dirfd(dir.get());
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(dir.get());
            if (!entry) {
                if (errno != 0)
                    m_visitor.problem(path, errno);
                break;
            }
            const char* raw = entry->d_name;
            if (std::strcmp(raw, ".") == 0 || std::strcmp(raw, "..") == 0)
                continue;
            if (!m_options.pattern.isEmpty() &&
                ::fnmatch(m_options.pattern.constData(), raw, 0) != 0)
                continue;
            if (!m_first && m_options.stop && m_options.stop()) {
                m_stopped = true;
                return;
            }
            m_first = false;

            unsigned char type = entry->d_type;
            struct stat info {};
            bool haveInfo = false;
            if (type == DT_UNKNOWN) {
                if (::fstatat(fd, raw, &info, AT_SYMLINK_NOFOLLOW) != 0) {
                    if (errno != ENOENT)
                        m_visitor.problem(entryPath(path, raw), errno);
                    continue;
                }
                haveInfo = true;
                type = S_ISREG(info.st_mode)   ? DT_REG
                       : S_ISDIR(info.st_mode) ? DT_DIR
                       : S_ISLNK(info.st_mode) ? DT_LNK
                                               : DT_UNKNOWN;
            }
            bool link = false;
            if (type == DT_LNK) {
                if (::fstatat(fd, raw, &info, 0) != 0) {
                    if (errno != ENOENT && errno != ENOTDIR && errno != ELOOP)
                        m_visitor.problem(entryPath(path, raw), errno);
                    continue;
                }
                type = S_ISREG(info.st_mode) ? DT_REG : S_ISDIR(info.st_mode) ? DT_DIR : DT_UNKNOWN;
                link = true;
            }
            if (type == DT_REG) {
                if (m_options.fileStatus && !haveInfo && !link) {
                    if (::fstatat(fd, raw, &info, 0) != 0) {
                        if (errno != ENOENT)
                            m_visitor.problem(entryPath(path, raw), errno);
                        continue;
                    }
                    haveInfo = true;
                }
                m_visitor.file(path, raw, (haveInfo || link) ? &info : nullptr);
            } else if (type == DT_DIR) {
                if (!m_options.recursive)
                    ++leftOut;
                else if (!link || m_options.followLinks)
                    subdirectories.append({entryPath(path, raw), link});
            }
        }
    }
    if (leftOut > 0)
        m_visitor.subdirectoriesLeftOut(path, leftOut);
    // In a fixed order, so that what is reported on the way is too.
    std::sort(subdirectories.begin(), subdirectories.end());
    for (const auto& [sub, link] : subdirectories) {
        DirectoryId id{};
        if (!statDirectory(sub, id))
            continue;
        if (std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end()) {
            m_visitor.loop(sub);
            continue;
        }
        if (link) {
            m_later.emplace_back(sub, ancestors);
            continue;
        }
        ancestors.push_back(id);
        directory(sub, ancestors);
        ancestors.pop_back();
        if (m_stopped)
            return;
    }
}

} // namespace jl
