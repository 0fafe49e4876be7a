#include "util/background_job.h"

#include <QEventLoop>
#include <QMetaObject>

namespace jl {

BackgroundJob::BackgroundJob(QObject* parent) : QObject(parent) {}

BackgroundJob::~BackgroundJob() {
    requestStop();
    join();
}

bool BackgroundJob::start(std::function<void(const JobControl&)> work) {
    if (isRunning())
        return false;
    m_stop = std::stop_source();
    if (std::exchange(m_stopNext, false))
        m_stop.request_stop();
    m_failure = nullptr;
    m_done = 0;
    m_total = 0;
    m_doneShown = 0;
    m_totalShown = 0;
    JobControl control(m_stop.get_token(),
                       [this](qint64 done, qint64 total) { postProgress(done, total); });
    const quint64 run = ++m_runs;
    m_thread = std::jthread([this, run, work = std::move(work), control = std::move(control)] {
        try {
            work(control);
        } catch (...) {
            m_failure = std::current_exception();
        }
        // Delivered after every progress event posted before it. A job that is
        // destroyed first has joined this thread and drops the event.
        QMetaObject::invokeMethod(
            this, [this, run] { workEnded(run); }, Qt::QueuedConnection);
    });
    return true;
}

void BackgroundJob::wait() {
    if (isRunning()) {
        QEventLoop loop;
        connect(this, &BackgroundJob::finished, &loop, &QEventLoop::quit);
        // finished() may have been queued before the loop was connected.
        QMetaObject::invokeMethod(
            &loop,
            [this, &loop] {
                if (!isRunning())
                    loop.quit();
            },
            Qt::QueuedConnection);
        loop.exec();
        if (isRunning()) {
            // The loop was ended from outside (the application quits): the
            // work is not left running behind it.
            requestStop();
            finish();
        }
    }
    if (m_failure)
        std::rethrow_exception(std::exchange(m_failure, nullptr));
}

void BackgroundJob::requestStop() {
    if (isRunning())
        m_stop.request_stop();
    else
        m_stopNext = true;
}

void BackgroundJob::postProgress(qint64 done, qint64 total) {
    m_done.store(done, std::memory_order_relaxed);
    m_total.store(total, std::memory_order_relaxed);
    // One event in the queue at a time; it reads the latest figures.
    if (!m_progressPosted.exchange(true, std::memory_order_acq_rel))
        QMetaObject::invokeMethod(this, &BackgroundJob::deliverProgress, Qt::QueuedConnection);
}

void BackgroundJob::deliverProgress() {
    m_progressPosted.store(false, std::memory_order_release);
    const qint64 done = m_done.load(std::memory_order_relaxed);
    const qint64 total = m_total.load(std::memory_order_relaxed);
    if (done == m_doneShown && total == m_totalShown)
        return;
    m_doneShown = done;
    m_totalShown = total;
    emit progressed(done, total);
}

void BackgroundJob::workEnded(quint64 run) {
    // A run that a wait ended early has been finished already.
    if (run == m_runs && isRunning())
        finish();
}

void BackgroundJob::finish() {
    join();
    // The last figures the work reported, whatever the queue held back.
    deliverProgress();
    emit finished();
}

void BackgroundJob::join() {
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace jl
