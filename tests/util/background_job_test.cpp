// Work off the user-interface thread: results, progress on the owning thread,
// stop requests while the waiting thread stays live, failures, and a job
// destroyed while its work runs.

#include "util/background_job.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace jl {
namespace {

using namespace std::chrono_literals;

// Work that reports a step every millisecond until it is asked to stop (or a
// safety limit passes, so a broken stop fails the test instead of hanging it).
int untilStopped(const JobControl& control) {
    int steps = 0;
    const auto limit = std::chrono::steady_clock::now() + 10s;
    while (!control.stopRequested() && std::chrono::steady_clock::now() < limit) {
        control.reportProgress(++steps, 0);
        std::this_thread::sleep_for(1ms);
    }
    return steps;
}

TEST(BackgroundJob, ResultAndProgressComeBackToTheOwningThread) {
    BackgroundJob job;
    QThread* const owner = QThread::currentThread();
    std::thread::id workerId;
    std::vector<std::pair<qint64, qint64>> seen;
    bool offOwner = true;
    int finished = 0;
    QObject::connect(&job, &BackgroundJob::progressed, [&](qint64 done, qint64 total) {
        offOwner = offOwner && QThread::currentThread() == owner;
        seen.emplace_back(done, total);
    });
    QObject::connect(&job, &BackgroundJob::finished, [&] { ++finished; });

    const std::optional<qint64> sum =
        job.run<qint64>([&workerId](const JobControl& control) -> qint64 {
            workerId = std::this_thread::get_id();
            qint64 total = 0;
            for (int i = 1; i <= 100000; ++i) {
                total += i;
                control.reportProgress(i, 100000);
            }
            return total;
        });

    ASSERT_TRUE(sum.has_value());
    EXPECT_EQ(*sum, 5000050000);
    EXPECT_NE(workerId, std::this_thread::get_id());
    EXPECT_TRUE(offOwner);
    EXPECT_EQ(finished, 1);
    EXPECT_FALSE(job.isRunning());
    EXPECT_FALSE(job.stopRequested());
    // Coalesced, in order, ending with the last report.
    ASSERT_FALSE(seen.empty());
    EXPECT_LT(seen.size(), 100000u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), std::make_pair(qint64(100000), qint64(100000)));
    EXPECT_EQ(job.done(), 100000);
    EXPECT_EQ(job.total(), 100000);
}

TEST(BackgroundJob, StopRequestedWhileTheWaitingThreadHandlesEvents) {
    // Each way of asking to stop, from an event handled while run() waits.
    const struct {
        const char* name;
        bool fromProgress; // at the first progress signal, else from a timer
    } cases[] = {{"timer", false}, {"progress", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BackgroundJob job;
        bool timerFired = false;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            timerFired = true;
            if (!c.fromProgress)
                job.requestStop();
        });
        QObject::connect(&job, &BackgroundJob::progressed, [&] {
            if (c.fromProgress)
                job.requestStop();
        });
        timer.start(20);
        const std::optional<int> steps = job.run<int>(untilStopped);
        ASSERT_TRUE(steps.has_value());
        EXPECT_TRUE(job.stopRequested());
        EXPECT_GT(*steps, 0);
        EXPECT_LT(*steps, 5000); // stopped, not timed out
        if (!c.fromProgress) {
            EXPECT_TRUE(timerFired);
        }
    }
}

TEST(BackgroundJob, FailureOfTheWorkIsThrownFromRunAndTheJobCanRunAgain) {
    BackgroundJob job;
    EXPECT_THROW(job.run<int>([](const JobControl&) -> int { throw std::runtime_error("disk"); }),
                 std::runtime_error);
    EXPECT_FALSE(job.isRunning());
    EXPECT_EQ(job.run<int>([](const JobControl&) { return 7; }), std::optional<int>(7));
}

TEST(BackgroundJob, OneWorkAtATime) {
    BackgroundJob job;
    ASSERT_TRUE(job.start(untilStopped));
    EXPECT_TRUE(job.isRunning());
    EXPECT_FALSE(job.start([](const JobControl&) {}));
    EXPECT_EQ(job.run<int>([](const JobControl&) { return 1; }), std::nullopt);
    job.requestStop();
    job.wait();
    EXPECT_FALSE(job.isRunning());
}

TEST(BackgroundJob, StopAskedBeforeTheStartHoldsForTheNextWorkOnly) {
    BackgroundJob job;
    job.requestStop();
    EXPECT_EQ(job.run<bool>([](const JobControl& c) { return c.stopRequested(); }), true);
    EXPECT_EQ(job.run<bool>([](const JobControl& c) { return c.stopRequested(); }), false);
}

TEST(BackgroundJob, DestroyedWhileRunningStopsAndWaitsForTheWork) {
    std::atomic<bool> sawStop{false};
    std::atomic<bool> ended{false};
    {
        BackgroundJob job;
        job.start([&](const JobControl& control) {
            untilStopped(control);
            sawStop = control.stopRequested();
            ended = true;
        });
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_TRUE(ended);
    EXPECT_TRUE(sawStop);
    // Events the work posted for the destroyed job are dropped.
    QCoreApplication::processEvents();
}

TEST(BackgroundJob, WithoutAJobNothingStopsAndProgressGoesNowhere) {
    const JobControl none;
    EXPECT_FALSE(none.stopRequested());
    none.reportProgress(1, 2);
}

} // namespace
} // namespace jl
