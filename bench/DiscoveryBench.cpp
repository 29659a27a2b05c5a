// mervane-bench-discovery: `mervane-cli discover` of a range against a plant of simulated units
// on loopback, timed from the process's start to its last row, beside the least time the search
// could take: its reply window plus the probes of every unit, --jobs at a time, each as long as
// one probe measured alone in the same run. Prints table rows for docs/benchmarks.md.
//
//   mervane-bench-discovery [--runs N] [--units N] [--jobs N] [--cli PATH]

#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "bench/Measure.h"
#include "bench/ProcessRun.h"
#include "fleet/Discovery.h"
#include "fleet/RequestSweep.h"
#include "fleet/UnitProbe.h"
#include "sim/SimulatedPlant.h"

namespace {

using namespace mervane;

constexpr const char* kFirstAddress = "127.0.40.1";
constexpr const char* kRange = "127.0.40.0/24";  // room for up to 254 units
constexpr int kRangeAddresses = 256;
constexpr int kReplyWindowMs = 200;
// Its own peak memory, sampled: ru_maxrss would count this process's plant as well.
constexpr int kMemorySampleMs = 1;

struct Options {
    int runs = 30;
    int units = 250;
    int jobs = 16;
    std::string cli;
};

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "mervane-bench-discovery: %s\n", why.c_str());
    std::exit(1);
}

Options parseOptions(int argc, char** argv) {
    Options options;
    options.cli = bench::besideThisProgram("../tools/cli/mervane-cli");
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--runs") {
            options.runs = std::max(1, std::atoi(value.c_str()));
        } else if (name == "--units") {
            options.units = std::clamp(std::atoi(value.c_str()), 1, 254);
        } else if (name == "--jobs") {
            options.jobs = std::clamp(std::atoi(value.c_str()), 1, 256);
        } else if (name == "--cli") {
            options.cli = value;
        } else {
            fail("unknown option " + name);
        }
    }
    return options;
}

// One unit's probe on its own, as the search runs it: the floor of each probe in the search.
double singleProbeMs(const sim::SimulatedPlant& plant, int runs) {
    bench::Samples samples;
    for (int run = 0; run < runs; ++run) {
        fleet::DiscoveredUnit unit;
        unit.source.sin_family = AF_INET;
        unit.source.sin_port = htons(plant.udpPort());
        inet_pton(AF_INET, kFirstAddress, &unit.source.sin_addr);
        unit.typeCode = plant.unitConfig(0).typeCode;
        DeviceLink link;
        const int64_t start = bench::monotonicNs();
        fleet::probeFoundUnit(link, unit, kReplyWindowMs, plant.tcpPort());
        samples.add(static_cast<double>(bench::monotonicNs() - start) / 1e6);
        if (!unit.error.empty()) fail("the probe of " + std::string(kFirstAddress) + " failed");
    }
    return samples.median();
}

// Rows of the text listing whose state is a unit's ("Active", "Non-active", "not supported").
int unitsProbed(const std::string& listing) {
    std::istringstream lines(listing);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        if (line.ends_with("Active") || line.ends_with("Non-active") ||
            line.ends_with("not supported")) {
            ++count;
        }
    }
    return count;
}

void row(const std::string& what, const std::string& unit, const std::string& median,
         const std::string& floor, const std::string& ratio, const std::string& goal) {
    std::printf("| %s | %s |  | %s | %s | %s | %s |\n", what.c_str(), unit.c_str(), median.c_str(),
                floor.c_str(), ratio.c_str(), goal.c_str());
}

// A thousand units answering one broadcast at once, found by the search in-process (no probes):
// the runs in which every unit was found, the fewest found, and the receive buffer the system
// gave the search's socket.
void broadcastRows(int runs) {
    constexpr int kUnits = 1000;
    sim::PlantConfig config;
    config.first.bindAddress = "127.0.48.1";  // 127.0.48.1 .. 127.0.51.232
    config.first.udpPort = 0;
    config.first.tcpPort = 0;
    config.count = kUnits;
    sim::SimulatedPlant plant(config);
    std::string error;
    if (!plant.start(&error)) fail("cannot start the 1000-unit plant: " + error);

    int everyUnitRuns = 0;
    size_t fewest = kUnits;
    for (int run = 0; run < runs; ++run) {
        fleet::DiscoveryPlan plan;
        inet_pton(AF_INET, "127.255.255.255", &plan.broadcasts.emplace_back());
        plan.identificationPort = plant.udpPort();
        plan.replyWindowMs = kReplyWindowMs;
        plan.probe = false;
        fleet::Discovery discovery;
        fleet::DiscoveryObserver quiet;
        const size_t found = discovery.run(plan, quiet).units.size();
        fewest = std::min(fewest, found);
        everyUnitRuns += found == kUnits ? 1 : 0;
    }
    std::string socketError;
    const UniqueFd probe = fleet::openSearchSocket(0, 30718, true, socketError);
    int bufferBytes = 0;
    socklen_t length = sizeof bufferBytes;
    ::getsockopt(probe.get(), SOL_SOCKET, SO_RCVBUF, &bufferBytes, &length);
    row("One broadcast answered by a plant at once, units found (no probes)", "1000 units",
        std::to_string(everyUnitRuns) + " of " + std::to_string(runs) + " runs found all (fewest " +
            std::to_string(fewest) + "); receive buffer " +
            bench::fixed(bufferBytes / 1048576.0, 2) + " MiB",
        "", "", "every unit, every run");
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    sim::PlantConfig config;
    config.first.bindAddress = kFirstAddress;
    config.count = options.units;
    config.variety = true;
    sim::SimulatedPlant plant(config);
    std::string error;
    if (!plant.start(&error)) fail("cannot start the plant: " + error);

    const double probeMs = singleProbeMs(plant, options.runs);
    const auto waves = (options.units + options.jobs - 1) / options.jobs;
    const double floorMs = kReplyWindowMs + waves * probeMs;
    // The pacing of the range's requests comes before the reply window: the last "LN" goes
    // 10 ms after the last first request.
    const double pacingMs = kRangeAddresses / fleet::kAddressesPerMs + 10.0;

    bench::Samples wall;
    int worst = options.units;
    int everyUnitRuns = 0;
    long peakKiB = 0;
    for (int run = 0; run < options.runs; ++run) {
        const auto result =
            bench::runProcess({options.cli, "-T", std::to_string(kReplyWindowMs), "--jobs",
                               std::to_string(options.jobs), "discover", kRange},
                              {}, kMemorySampleMs);
        if (!result.started) fail("cannot start " + options.cli);
        if (result.exitStatus != 0) fail("mervane-cli discover failed");
        wall.add(result.wallMs);
        const int probed = unitsProbed(result.output);
        worst = std::min(worst, probed);
        everyUnitRuns += probed == options.units ? 1 : 0;
        peakKiB = std::max(peakKiB, result.sampledPeakKiB);
    }
    plant.stop();

    const std::string units =
        std::to_string(options.units) + " units, --jobs " + std::to_string(options.jobs);
    const double ratio = wall.median() / floorMs;
    row("`mervane-cli discover` of a range with probes, start to last row printed (-T " +
            std::to_string(kReplyWindowMs) + ")",
        units, bench::fixed(wall.median(), 1) + " ms",
        bench::fixed(floorMs, 1) + " ms (-T + " + std::to_string(waves) + " × " +
            bench::fixed(probeMs, 2) + " ms)",
        bench::fixed(ratio, 3) + " (" + bench::fixed(wall.median() / (floorMs + pacingMs), 3) +
            " with the " + bench::fixed(pacingMs, 0) + " ms of paced requests)",
        "");
    row("· units found and probed, every run", units,
        std::to_string(everyUnitRuns) + " of " + std::to_string(options.runs) +
            " runs found all (fewest " + std::to_string(worst) + ")",
        "", everyUnitRuns == options.runs ? "every unit, every run" : "✗ units missed",
        "every unit, every run");
    row("· peak resident memory", units,
        bench::fixed(static_cast<double>(peakKiB) / 1024, 1) + " MiB", "", "", "");
    broadcastRows(options.runs);
    return 0;
}
