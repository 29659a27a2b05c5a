// What the benchmarks report of a process and of a plant must be that process's and that plant's
// own: a child's memory apart from its parent's, each unit's first and last request apart.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "bench/Measure.h"
#include "bench/ProcessRun.h"
#include "bench/RequestTimes.h"

namespace mervane::bench {
namespace {

// ru_maxrss of a spawned child counts its parent's peak: a benchmark holding a plant reported
// a 4.6 MiB program at 15 to 30 MiB.
TEST(ProcessRunTest, SampledPeakMemoryIsTheChildsOwnNotItsParents) {
    std::vector<char> held(64 << 20, 1);
    const ProcessResult result = runProcess({"/bin/sh", "-c", "sleep 0.05; echo done"}, {}, 1);
    ASSERT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.output, "done\n");
    EXPECT_GT(result.sampledPeakKiB, 0);
    EXPECT_LT(result.sampledPeakKiB, 16 * 1024);
    EXPECT_GE(result.peakThreads, 1);
    EXPECT_EQ(held[held.size() / 2], 1);  // still held while the child ran
}

TEST(RequestTimesTest, TellsTheFirstRequestTheLastUnitReachedAndTheLastRequestApart) {
    RequestTimes times(3);
    const int64_t start = monotonicNs();
    times.received(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    times.received(0);  // the last unit reached
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    times.received(1);

    const RequestTimes::Span span = times.since(start, 2);
    ASSERT_TRUE(span.everyUnit);
    EXPECT_GE(span.lastUnitFirstMs - span.firstMs, 2.5);
    EXPECT_GE(span.lastMs - span.lastUnitFirstMs, 2.5);
    EXPECT_FALSE(times.since(start, 3).everyUnit);  // unit 2 received nothing

    times.clear();
    EXPECT_FALSE(times.since(start, 1).everyUnit);
}

}  // namespace
}  // namespace mervane::bench
