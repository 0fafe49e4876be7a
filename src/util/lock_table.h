#pragma once
// The system's table of file locks (/proc/locks), read once for many files:
// it names the inode of every file on which a process holds or waits for a
// flock(2) lock, a record lock, an open file description lock or a lease. A
// batch of reads asks it for each file and probes only a file whose inode it
// names (isLockedByAnother), instead of taking and asking locks on every file.
//
// It is read again when the copy in hand is older than its maximum age, so a
// lock taken during a long batch is seen within that time. Where the table
// cannot answer for every lock on a file, every file is probed: when it cannot
// be read, when this process lives in a process namespace of its own (the
// table then leaves out the locks of processes it cannot see), and for files
// on file systems whose locks may be held on another machine (any but the
// local ones listed in the source).
//
// Not thread-safe: each thread of a batch keeps its own.

#include <QByteArray>

#include <chrono>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include <sys/stat.h>

namespace jl {

class LockTable {
public:
    static constexpr std::chrono::milliseconds DefaultMaxAge{5};
    // The system's table, trusted when this process sees every process.
    LockTable();
    // The table in source (the format of /proc/locks), trusted as complete:
    // for tests.
    LockTable(QByteArray source, std::chrono::milliseconds maxAge);

    // False only when no process holds or waits for a lock on the file open
    // at fd (described by info), as far as the table can tell.
    bool mayBeLocked(int fd, const struct stat& info);

    // The inodes named by a table's text, sorted, each once.
    static std::vector<uint64_t> inodesIn(std::string_view text);

private:
    void refresh();
    bool localLocks(int fd, dev_t device);

    QByteArray m_source;
    std::chrono::milliseconds m_maxAge;
    bool m_trusted;
    bool m_read = false; // the last read of the table succeeded
    std::chrono::steady_clock::time_point m_readAt;
    std::vector<uint64_t> m_inodes;
    std::vector<std::pair<dev_t, bool>> m_devices; // and whether their locks are all local
};

} // namespace jl
