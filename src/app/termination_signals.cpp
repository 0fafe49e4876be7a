#include "app/termination_signals.h"

#include <QSocketNotifier>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace jl {

namespace {

// The write end of the pipe of the one live object; -1 when there is none.
volatile sig_atomic_t g_writeEnd = -1;

extern "C" void onTerminationSignal(int signalNumber) {
    const int savedErrno = errno;
    const int fd = g_writeEnd;
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        // A full pipe already holds more signals than anyone will read.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_pipe[0] = m_pipe[1] = -1;
        return;
    }
    g_writeEnd = m_pipe[1];
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);

    for (size_t i = 0; i < kSignals.size(); ++i) {
        struct sigaction current {};
        if (::sigaction(kSignals[i], nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = onTerminationSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        m_caught[i] = ::sigaction(kSignals[i], &action, &m_previous[i]) == 0;
    }
}

TerminationSignals::~TerminationSignals() {
    for (size_t i = 0; i < kSignals.size(); ++i) {
        if (m_caught[i])
            ::sigaction(kSignals[i], &m_previous[i], nullptr);
    }
    g_writeEnd = -1;
    delete m_notifier;
    for (int fd : m_pipe) {
        if (fd >= 0)
            ::close(fd);
    }
}

bool TerminationSignals::catches(int signalNumber) const {
    for (size_t i = 0; i < kSignals.size(); ++i) {
        if (kSignals[i] == signalNumber)
            return m_caught[i];
    }
    return false;
}

void TerminationSignals::readPipe() {
    unsigned char bytes[64];
    for (;;) {
        const ssize_t got = ::read(m_pipe[0], bytes, sizeof bytes);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return;
        for (ssize_t i = 0; i < got; ++i)
            emit received(bytes[i]);
    }
}

} // namespace jl
