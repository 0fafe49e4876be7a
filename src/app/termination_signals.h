#pragma once
// The signals that ask a program to end (SIGTERM from kill, systemctl and
// many log-outs, SIGHUP when the terminal goes, SIGINT from Ctrl+C) turned
// into a Qt signal on the thread that made this object, so that the window
// can end as its Exit command does, saving first. The handler itself only
// writes the signal's number into a pipe; all the work happens when the
// event loop (or any call that lets events run) reads it.

#include <QObject>

#include <array>

#include <csignal>

class QSocketNotifier;

namespace jl {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // SIGTERM, SIGHUP and SIGINT.
    static constexpr std::array<int, 3> kSignals = {SIGTERM, SIGHUP, SIGINT};

    // Catches the signals from now on, except one that the process was
    // started with ignored (nohup, a background job of a plain shell): that
    // one stays ignored. One object at a time.
    explicit TerminationSignals(QObject* parent = nullptr);
    // Puts the handlers that were there before back.
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Whether the signal is being caught (false for one started ignored).
    bool catches(int signalNumber) const;

signals:
    // One emission per signal delivered, in the order they came.
    void received(int signalNumber);

private:
    void readPipe();

    int m_pipe[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
    std::array<struct sigaction, kSignals.size()> m_previous{};
    std::array<bool, kSignals.size()> m_caught{};
};

} // namespace jl
