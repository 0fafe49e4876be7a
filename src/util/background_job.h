#pragma once
// Work off the user-interface thread, in one pattern for the whole tool.
//
// - The engine is a plain function of its input and a JobControl: it checks
//   stopRequested() between steps, reports progress (done of total), and
//   returns its result. It uses QtCore only, touches no widget and no object
//   of the user-interface thread, and is tested without a window.
// - A BackgroundJob runs that function on a thread of its own. Progress comes
//   back to the thread that owns the job as queued progressed() signals
//   (coalesced: a slow receiver sees the latest figures, never a backlog);
//   finished() follows when the work has ended.
// - run() starts the work and waits for it in a local event loop, so a
//   command keeps its order (start, wait, use the result) while the window
//   stays live: it repaints, shows the progress and takes the stop request.
//   A failure thrown by the work is thrown again from run().
// - Destroying a job, or a requestStop() (the window's Escape key, a click on
//   its progress panel, its close), asks the work to stop; the work ends at
//   its next check. Whatever it returns then is its result: the engine decides
//   what a stopped run gives (usually what it had found so far).
//
// The result must not refer to anything the work was not given: it is handed
// from the worker thread to the waiting one when the thread has ended.

#include <QObject>

#include <atomic>
#include <exception>
#include <functional>
#include <optional>
#include <stop_token>
#include <thread>

namespace jl {

// What the engine sees of its job: the stop request and the progress report.
// Without a job (a test, the command-line program) nothing ever asks to stop
// and progress goes nowhere.
class JobControl {
public:
    JobControl() = default;
    JobControl(std::stop_token stop, std::function<void(qint64, qint64)> progress)
        : m_stop(std::move(stop)), m_progress(std::move(progress)) {}

    bool stopRequested() const { return m_stop.stop_requested(); }
    // total 0: not known (yet). Cheap enough to call for every step.
    void reportProgress(qint64 done, qint64 total = 0) const {
        if (m_progress)
            m_progress(done, total);
    }

private:
    std::stop_token m_stop;
    std::function<void(qint64, qint64)> m_progress;
};

class BackgroundJob : public QObject {
    Q_OBJECT
public:
    explicit BackgroundJob(QObject* parent = nullptr);
    // Asks running work to stop and waits for its thread to end.
    ~BackgroundJob() override;
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    // Starts work on a thread of its own; false (and nothing started) when
    // this job runs already.
    bool start(std::function<void(const JobControl&)> work);
    // Runs the local event loop until the work has ended, then rethrows what
    // the work threw. Returns at once when nothing runs. If the application
    // quits meanwhile, the work is asked to stop and waited for.
    void wait();
    // start() and wait() in one, handing back the work's result; nullopt when
    // this job was running already.
    template <typename Result>
    std::optional<Result> run(const std::function<Result(const JobControl&)>& work) {
        std::optional<Result> result;
        if (!start([&result, &work](const JobControl& control) { result = work(control); }))
            return std::nullopt;
        wait();
        return result;
    }

    bool isRunning() const { return m_thread.joinable(); }
    // Asks the work to stop at its next check; returns at once. Asked while
    // nothing runs, the next work is asked to stop from its start.
    void requestStop();
    // Whether the running (or last) work was asked to stop.
    bool stopRequested() const { return m_stop.stop_requested(); }
    // The last progress delivered to this thread (0 of 0 before any).
    qint64 done() const { return m_doneShown; }
    qint64 total() const { return m_totalShown; }

signals:
    // On the owning thread: done of total (total 0: not known).
    void progressed(qint64 done, qint64 total);
    // On the owning thread, once the work's thread has ended.
    void finished();

private:
    void postProgress(qint64 done, qint64 total);
    void deliverProgress();
    void workEnded(quint64 run);
    void finish();
    void join();

    std::jthread m_thread;
    std::stop_source m_stop;
    std::exception_ptr m_failure;
    std::atomic<qint64> m_done{0};
    std::atomic<qint64> m_total{0};
    std::atomic<bool> m_progressPosted{false};
    quint64 m_runs = 0;
    bool m_stopNext = false;
    qint64 m_doneShown = 0;
    qint64 m_totalShown = 0;
};

} // namespace jl
