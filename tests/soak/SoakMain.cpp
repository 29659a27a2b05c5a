// mervane-soak [cycles]: connects to, reads and disconnects from simulated units `cycles` times
// (default 10000), half of them misbehaving, through the connection procedure the window uses,
// and fails when descriptors, threads or resident memory grow between cycle 100 and the end.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/soak/CycleRunner.h"
#include "tests/soak/ProcessFigures.h"
#include "tests/soak/SanitizerBuild.h"
#include "tests/soak/Scenarios.h"
#include "tests/soak/SoakUnits.h"

namespace {

using namespace mervane::soak;

constexpr int kDefaultCycles = 10000;
constexpr int kBaselineCycle = 100;  // by then every lazy allocation has happened
constexpr long kRssGrowthLimitKiB = 1024;
constexpr int kProgressEvery = 1000;

int fail(const std::string& reason) {
    std::printf("soak: FAIL: %s\n", reason.c_str());
    return 1;
}

bool parseCycles(int argc, char** argv, int& cycles) {
    cycles = kDefaultCycles;
    if (argc == 1) return true;
    if (argc != 2) return false;
    char* end = nullptr;
    const long value = std::strtol(argv[1], &end, 10);
    if (end == argv[1] || *end != '\0' || value <= kBaselineCycle || value > 10'000'000) {
        return false;
    }
    cycles = static_cast<int>(value);
    return true;
}

// Empty when nothing grew beyond its limit.
std::string growth(const ProcessFigures& baseline, const ProcessFigures& end) {
    if (end.descriptors > baseline.descriptors) {
        return "open descriptors grew from " + std::to_string(baseline.descriptors) + " to " +
               std::to_string(end.descriptors);
    }
    if (end.threads > baseline.threads) {
        return "threads grew from " + std::to_string(baseline.threads) + " to " +
               std::to_string(end.threads);
    }
    if (kRssIsMeaningful && end.rssKiB - baseline.rssKiB >= kRssGrowthLimitKiB) {
        return "resident memory grew by " + std::to_string(end.rssKiB - baseline.rssKiB) +
               " KiB (limit " + std::to_string(kRssGrowthLimitKiB) + " KiB)";
    }
    return {};
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    int cycles = 0;
    if (!parseCycles(argc, argv, cycles)) {
        return fail("usage: mervane-soak [cycles], cycles above " + std::to_string(kBaselineCycle));
    }
    // Line-buffered, so progress shows while the run goes on and survives an abort.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    SoakUnits units;
    std::string error;
    if (!units.start(error)) return fail("simulated unit did not start: " + error);
    CycleRunner runner(units);

    std::vector<int> ran(static_cast<size_t>(scenarioCount()), 0);
    std::vector<double> spent(ran.size(), 0.0);
    ProcessFigures baseline;
    const auto start = std::chrono::steady_clock::now();
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        const int index = scenarioIndexForCycle(cycle);
        const Scenario& scenario = scenarioAt(index);
        const auto cycleStart = std::chrono::steady_clock::now();
        const std::string wrong = runner.run(scenario, cycle);
        spent[static_cast<size_t>(index)] += secondsSince(cycleStart);
        if (!wrong.empty()) {
            return fail("cycle " + std::to_string(cycle) + " (" + scenario.name + "): " + wrong);
        }
        ++ran[static_cast<size_t>(index)];
        if (cycle == kBaselineCycle) baseline = settledProcessFigures();
        if (cycle % kProgressEvery == 0 && cycle != cycles) {
            std::printf("soak: cycle %d, %.1f s, %s\n", cycle, secondsSince(start),
                        describe(settledProcessFigures()).c_str());
        }
    }
    const double seconds = secondsSince(start);
    const ProcessFigures end = settledProcessFigures();

    std::printf("soak: %d cycles in %.1f s (%.1f ms per cycle)\n", cycles, seconds,
                1000.0 * seconds / cycles);
    for (int i = 0; i < scenarioCount(); ++i) {
        const auto at = static_cast<size_t>(i);
        std::printf("soak:   %5d x %-38s %7.1f ms each\n", ran[at], scenarioAt(i).name,
                    ran[at] > 0 ? 1000.0 * spent[at] / ran[at] : 0.0);
    }
    std::printf("soak: at cycle %d: %s\n", kBaselineCycle, describe(baseline).c_str());
    std::printf("soak: at cycle %d: %s (RSS %+ld KiB)\n", cycles, describe(end).c_str(),
                end.rssKiB - baseline.rssKiB);
    if (!kRssIsMeaningful) {
        std::printf(
            "soak: %s build: RSS not checked (its allocator and shadow memory inflate "
            "it); descriptors and threads checked\n",
            kMemorySanitizer);
    }
    const std::string grew = growth(baseline, end);
    if (!grew.empty()) return fail(grew);
    std::printf("soak: PASS\n");
    return 0;
}
