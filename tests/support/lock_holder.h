#pragma once
// Another process holding a lock on a file, for tests of the in-use probes.

#include <QString>

#include <sys/types.h>

namespace jl::test {

enum class LockKind {
    FlockExclusive, // flock(2) LOCK_EX
    FlockShared,    // flock(2) LOCK_SH
    RecordWrite,    // fcntl(2) F_SETLK write lock on the whole file
    RecordRead,     // fcntl(2) F_SETLK read lock on the whole file
    OpenFileWrite,  // fcntl(2) F_OFD_SETLK write lock on the whole file
};

// A child process that takes the lock and holds it until this is destroyed.
// The constructor returns once the child has the lock or has failed to take
// it; locked() tells which.
class LockHolder {
public:
    explicit LockHolder(const QString& path, LockKind kind = LockKind::FlockExclusive);
    ~LockHolder();
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    bool locked() const { return m_locked; }

private:
    pid_t m_child = -1;
    bool m_locked = false;
};

} // namespace jl::test
