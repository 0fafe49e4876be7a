#include "support/fifo_trap.h"

#include <QFile>

#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace jl::test {

FifoTrap::FifoTrap(QString path) : m_path(std::move(path)) {
    m_made = ::mkfifo(QFile::encodeName(m_path).constData(), 0600) == 0;
}

bool FifoTrap::run(const std::function<void()>& call, int seconds) const {
    auto done = std::async(std::launch::async, call);
    if (done.wait_for(std::chrono::seconds(seconds)) == std::future_status::ready) {
        done.get();
        return true;
    }
    // Stuck in open(): a writer lets it go on (to an empty read).
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0)
        ::close(fd);
    done.wait();
    return false;
}

} // namespace jl::test
