#include "lock_holder.h"

#include <QFile>

#include <csignal>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace jl::test {

LockHolder::LockHolder(const QString& path, LockKind kind) {
    int ready[2];
    if (::pipe(ready) != 0)
        return;
    // Everything the child needs is prepared before the fork: after it only
    // plain system calls are safe in a process that had other threads.
    const QByteArray encoded = QFile::encodeName(path);
    const bool write = kind == LockKind::RecordWrite || kind == LockKind::OpenFileWrite;
    m_child = ::fork();
    if (m_child == 0) {
        ::close(ready[0]);
        const int fd = ::open(encoded.constData(), write ? O_RDWR : O_RDONLY);
        bool locked = false;
        if (fd >= 0 && (kind == LockKind::FlockExclusive || kind == LockKind::FlockShared)) {
            locked = ::flock(fd, kind == LockKind::FlockExclusive ? LOCK_EX : LOCK_SH) == 0;
        } else if (fd >= 0) {
            struct flock range {};
            range.l_type = write ? F_WRLCK : F_RDLCK;
            range.l_whence = SEEK_SET;
            locked =
                ::fcntl(fd, kind == LockKind::OpenFileWrite ? F_OFD_SETLK : F_SETLK, &range) == 0;
        }
        // Always answer, so the parent never waits on a child that failed.
        const char answer = locked ? 'y' : 'n';
        [[maybe_unused]] const auto written = ::write(ready[1], &answer, 1);
        ::close(ready[1]);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char answer = 'n';
    m_locked = m_child > 0 && ::read(ready[0], &answer, 1) == 1 && answer == 'y';
    ::close(ready[0]);
}

LockHolder::~LockHolder() {
    if (m_child > 0) {
        ::kill(m_child, SIGKILL);
        ::waitpid(m_child, nullptr, 0);
    }
}

} // namespace jl::test
