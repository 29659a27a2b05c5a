// What the plant list's benchmark reports must be what happened: a stall of the window thread
// as long as what held it, told apart as work or waiting; a peak of memory that is the measured
// step's own; a plant that is up when started and gone when done.

#include <arpa/inet.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QTimer>

#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "bench/Measure.h"
#include "bench/PlantProcess.h"
#include "bench/WindowThreadWatch.h"
#include "link/UniqueFd.h"

namespace mervane::bench {
namespace {

int64_t threadCpuNs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// Whether a TCP connection to address:port is accepted.
bool accepts(const char* address, uint16_t port) {
    const UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    inet_pton(AF_INET, address, &target.sin_addr);
    return ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0;
}

TEST(WindowThreadWatchTest, WorkAndSleepOnTheWindowThreadShowAsStallsToldApart) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "mervane_bench_tests";
    char* argv[] = {name, nullptr};
    TimedApplication app(argc, argv);
    WindowThreadWatch watch(app);
    const bool timesKept = app.threadTimes().cpuNs > 0;

    // 40 ms of the thread's own CPU time: however busy the machine, at least 40 ms of wall time.
    bool worked = false;
    const WatchedStep work = watch.run(
        [&] {
            QTimer::singleShot(5, &app, [&] {
                const int64_t until = threadCpuNs() + 40'000'000;
                while (threadCpuNs() < until) {
                }
                worked = true;
            });
        },
        [&] { return worked; }, 10000, 10);
    ASSERT_TRUE(work.finished);
    EXPECT_GE(work.longestGapMs, 40);
    EXPECT_GE(work.longestEventMs, 40);
    EXPECT_GE(work.ms, 40);
    if (timesKept) {
        EXPECT_GE(work.longestGapCpuMs, 35);
        EXPECT_GE(work.longestEventCpuMs, 35);
    }

    // The same stall asleep: as long, but next to no time on a core.
    bool slept = false;
    const WatchedStep sleep = watch.run(
        [&] {
            QTimer::singleShot(5, &app, [&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(40));
                slept = true;
            });
        },
        [&] { return slept; }, 10000, 10);
    ASSERT_TRUE(sleep.finished);
    EXPECT_GE(sleep.longestGapMs, 40);
    EXPECT_GE(sleep.longestEventMs, 40);
    if (timesKept) {
        EXPECT_LT(sleep.longestGapCpuMs, 20);
    }

    // A later step starts afresh: the earlier stalls are not its own.
    const WatchedStep calm = watch.run([] {}, [] { return true; }, 10000, 20);
    EXPECT_LT(calm.longestEventMs, 40);
}

TEST(PeakResidentTest, AResetForgetsTheEarlierPeak) {
    {
        std::vector<char> held(64 << 20, 1);
        EXPECT_EQ(held[held.size() / 2], 1);
    }
    EXPECT_GE(peakResidentKiB(), residentKiB() + 48 * 1024);
    ASSERT_TRUE(resetPeakResident());
    EXPECT_LT(peakResidentKiB(), residentKiB() + 16 * 1024);
}

// 127.0.71.x: no other test uses it.
TEST(PlantProcessTest, ItsUnitsAnswerOnceStartedAndAreGoneWithIt) {
    {
        const PlantProcess plant(MERVANE_UNIT_PROGRAM, {"--count", "3", "--address", "127.0.71.1"},
                                 3);
        EXPECT_TRUE(accepts("127.0.71.1", 10003));
        EXPECT_TRUE(accepts("127.0.71.3", 10003));
        EXPECT_GE(plant.cpuMs(), 0);
    }
    EXPECT_FALSE(accepts("127.0.71.3", 10003));

    // A program that ends without starting its units is a failure, not a wait.
    EXPECT_THROW(PlantProcess("/bin/false", {}, 3), std::runtime_error);
}

}  // namespace
}  // namespace mervane::bench
