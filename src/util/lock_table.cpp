#include "util/lock_table.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <string>

#include <fcntl.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace jl {

namespace {

// The inode number of the first process namespace; a process in any other
// sees only part of the system's processes, and the table leaves out the
// locks of the rest.
constexpr ino_t kInitialPidNamespace = 0xEFFFFFFCu;

bool seesEveryProcess() {
    struct stat info {};
    return ::stat("/proc/self/ns/pid", &info) == 0 && info.st_ino == kInitialPidNamespace;
}

// File systems whose locks are all taken on this machine, so that the table
// lists them: the common local ones. Network and cluster file systems (and
// anything unknown, FUSE included) may hold locks elsewhere.
bool locksAreLocal(unsigned long type) {
    switch (type) {
    case 0xEF53:     // ext2, ext3, ext4
    case 0x58465342: // xfs
    case 0x9123683E: // btrfs
    case 0x01021994: // tmpfs
    case 0x858458F6: // ramfs
    case 0xF2F52010: // f2fs
    case 0x2FC12FC1: // zfs
    case 0xCA451A4E: // bcachefs
    case 0x794C7630: // overlayfs
    case 0x52654973: // reiserfs
    case 0x3153464A: // jfs
    case 0x3434:     // nilfs
    case 0x4D44:     // fat
    case 0x2011BAB0: // exfat
    case 0x5346544E: // ntfs
    case 0x7366746E: // ntfs3
    case 0x482B:     // hfs+
    case 0x9660:     // iso9660
    case 0x15013346: // udf
    case 0x73717368: // squashfs
        return true;
    default:
        return false;
    }
}

// The whole text of a file that states no size (as those of /proc).
bool readText(const QByteArray& path, std::string& text) {
    text.clear();
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ::close(fd);
            return got == 0;
        }
        text.append(buffer, size_t(got));
    }
}

} // namespace

LockTable::LockTable()
    : m_source("/proc/locks"), m_maxAge(DefaultMaxAge), m_trusted(seesEveryProcess()) {}

LockTable::LockTable(QByteArray source, std::chrono::milliseconds maxAge)
    : m_source(std::move(source)), m_maxAge(maxAge), m_trusted(true) {}

std::vector<uint64_t> LockTable::inodesIn(std::string_view text) {
    // "1: FLOCK  ADVISORY  WRITE 20718 fe:00:10979645 0 EOF", and the same
    // after "->" for a waiting lock: the file is the field MAJOR:MINOR:INODE,
    // the only one with two colons.
    std::vector<uint64_t> inodes;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = std::min(text.find_first_of(" \n", at), text.size());
        const std::string_view field = text.substr(at, end - at);
        const size_t last = field.rfind(':');
        if (last != std::string_view::npos && last > 0 && field.find(':') < last) {
            uint64_t inode = 0;
            const char* digits = field.data() + last + 1;
            const auto [rest, error] = std::from_chars(digits, field.data() + field.size(), inode);
            if (error == std::errc() && rest == field.data() + field.size() && rest != digits)
                inodes.push_back(inode);
        }
        at = end + 1;
    }
    std::sort(inodes.begin(), inodes.end());
    inodes.erase(std::unique(inodes.begin(), inodes.end()), inodes.end());
    return inodes;
}

void LockTable::refresh() {
    std::string text;
    m_read = readText(m_source, text);
    m_inodes = m_read ? inodesIn(text) : std::vector<uint64_t>{};
    m_readAt = std::chrono::steady_clock::now();
}

bool LockTable::localLocks(int fd, dev_t device) {
    for (const auto& [known, local] : m_devices)
        if (known == device)
            return local;
    struct statfs fs {};
    const bool local = ::fstatfs(fd, &fs) == 0 && locksAreLocal((unsigned long)fs.f_type);
    m_devices.emplace_back(device, local);
    return local;
}

bool LockTable::mayBeLocked(int fd, const struct stat& info) {
    if (!m_trusted || !localLocks(fd, info.st_dev))
        return true;
    const auto now = std::chrono::steady_clock::now();
    if (m_readAt == std::chrono::steady_clock::time_point() || now - m_readAt > m_maxAge)
        refresh();
    // The device is not compared: the table names the device of the file
    // system's own inode, which a file system with volumes of its own (btrfs)
    // reports otherwise. An inode met on another device only costs a probe.
    return !m_read || std::binary_search(m_inodes.begin(), m_inodes.end(), uint64_t(info.st_ino));
}

} // namespace jl
