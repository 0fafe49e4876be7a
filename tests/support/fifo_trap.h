#pragma once
// A named pipe where a file is expected, for tests that a reader never waits
// on one. A reader that does open it for reading waits for a writer: run()
// gives the call a few seconds, then opens the pipe for writing itself so
// that the call comes back and the test can fail instead of hanging.

#include <QString>

#include <functional>

namespace jl::test {

class FifoTrap {
public:
    explicit FifoTrap(QString path); // makes the pipe (the folder must exist)
    bool made() const { return m_made; }
    // True when call returned on its own within the time given.
    bool run(const std::function<void()>& call, int seconds = 5) const;

private:
    QString m_path;
    bool m_made = false;
};

} // namespace jl::test
