// Waiting on the UI thread: events and timers are served during the wait, the wait ends when
// its condition holds (also when another thread makes it hold), and the thread sleeps meanwhile
// instead of spinning.
#include <gtest/gtest.h>

#include <time.h>

#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <thread>

#include "platform/os/EventWait.h"

namespace {

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

TEST(EventWait, WaitsTheWholeTimeServingTimersWithoutSpinning) {
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(50);
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = ThreadCpuMs();
    RunEventsFor(500);
    const double cpu = ThreadCpuMs() - cpuBefore;
    EXPECT_GE(clock.elapsed(), 500);
    EXPECT_GE(ticks, 5) << "the timer ran during the wait";
    // A loop turning processEvents without waiting burns the whole half second.
    EXPECT_LT(cpu, 50.0) << "the waiting thread used " << cpu << " ms of CPU";
}

TEST(EventWait, UntilEndsWhenTheConditionHoldsOrTheTimeIsUp) {
    std::atomic<bool> set{false};
    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        set = true;  // no event tells the UI thread: the wait must look by itself
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(RunEventsUntil([&] { return set.load(); }, 5000));
    EXPECT_LT(clock.elapsed(), 2000);
    other.join();

    clock.restart();
    const double cpuBefore = ThreadCpuMs();
    EXPECT_FALSE(RunEventsUntil([] { return false; }, 300));
    EXPECT_GE(clock.elapsed(), 300);
    EXPECT_LT(ThreadCpuMs() - cpuBefore, 60.0);
}

}  // namespace
