// mervane-bench-fleet: `mervane-cli read` and `apply --profile FILE --verify` of many units at
// once, each timed as a whole process from its start to its exit against a plant of simulated
// units on loopback, beside the same command on one unit measured in the same run. Every run
// must end with status 0 and list every unit read, or verified; anything else ends the benchmark
// with status 1. Each run's floor is measured right after it: the requests every unit received,
// replayed to it by the least possible client, all units at once (bench/ReplayAtOnce.h). Prints
// two tables for docs/benchmarks.md: the figures, and where the time goes (when the units
// received their requests, and the CPU time of mervane-cli and of the plant). A third table sets
// the largest count of units to hold a profile and times `check` against `read`, and an apply of
// that profile (which writes nothing) against `check` (bench/ProfileCheckRuns.h).
//
//   mervane-bench-fleet [--runs N] [--units 1,10,50,250] [--jobs N] [--cli PATH]

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/Measure.h"
#include "bench/ProcessRun.h"
#include "bench/ProfileCheckRuns.h"
#include "bench/ProfileVariants.h"
#include "bench/ReplayAtOnce.h"
#include "bench/RequestTimes.h"
#include "bench/ScratchDirectory.h"
#include "sim/SimulatedPlant.h"

namespace {

using namespace mervane;

constexpr const char* kAddressPrefix = "127.0.70.";  // unit i on 127.0.70.(i + 1)
constexpr uint32_t kFirstAddress = 0x7F004601;       // 127.0.70.1, host byte order
constexpr int kMostUnits = 254;
constexpr int kSlowReplyMs = 5;
constexpr int kGoalUnits = 250;
constexpr double kGoalRatio = 1.5;  // kGoalUnits with slow replies, against one unit
constexpr int kSampleMs = 1;        // peak memory and threads of mervane-cli

struct Options {
    int runs = 30;
    std::vector<int> units{1, 10, 50, 250};  // always with 1, ascending
    int jobs = 256;
    std::string cli;
};

// Thrown to end the benchmark, so that the plant stops and the scratch files go.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::vector<int> parseUnits(const std::string& list) {
    std::vector<int> units{1};
    std::istringstream items(list);
    std::string item;
    while (std::getline(items, item, ',')) {
        const int count = std::atoi(item.c_str());
        if (count < 1 || count > kMostUnits) throw Failure("--units: each count must be 1..254");
        units.push_back(count);
    }
    std::sort(units.begin(), units.end());
    units.erase(std::unique(units.begin(), units.end()), units.end());
    return units;
}

Options parseOptions(int argc, char** argv) {
    Options options;
    options.cli = bench::besideThisProgram("../tools/cli/mervane-cli");
    if (argc % 2 == 0) throw Failure(std::string("no value after ") + argv[argc - 1]);
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--runs") {
            options.runs = std::max(1, std::atoi(value.c_str()));
        } else if (name == "--units") {
            options.units = parseUnits(value);
        } else if (name == "--jobs") {
            options.jobs = std::clamp(std::atoi(value.c_str()), 1, 256);
        } else if (name == "--cli") {
            options.cli = value;
        } else {
            throw Failure("unknown option " + name);
        }
    }
    return options;
}

// Elements of the --json array that name a unit without an error and, for an apply, verified.
int unitsDone(const std::string& output, bool apply) {
    const nlohmann::json array = nlohmann::json::parse(output, nullptr, false);
    if (!array.is_array()) return 0;
    int done = 0;
    for (const nlohmann::json& unit : array) {
        if (!unit.is_object() || !unit.contains("host") || unit.contains("error")) continue;
        if (apply ? unit.value("verified", false) : unit.value("outputs", 0) == 8) ++done;
    }
    return done;
}

double cpuMs(int who) {
    rusage usage{};
    ::getrusage(who, &usage);
    const auto ms = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// User and system time of the plant's threads so far: this process's but for the calling
// thread, which starts mervane-cli, samples it and reads its output.
double plantCpuMs() {
    return cpuMs(RUSAGE_SELF) - cpuMs(RUSAGE_THREAD);
}

struct Figures {
    bench::Samples wall;
    bench::Samples floor;  // the same conversations replayed at once
    bench::Samples cliCpu;
    bench::Samples plantCpu;
    bench::Samples firstRequest;
    bench::Samples lastUnitFirstRequest;
    bench::Samples lastRequest;
    long peakKiB = 0;
    int peakThreads = 0;
    int runs = 0;
};

struct Series {
    bool apply = false;
    int delayMs = 0;
    std::map<int, Figures> byUnits;
};

class FleetRuns {
  public:
    FleetRuns(const Options& options, sim::SimulatedPlant& plant, bench::RequestTimes& requests,
              const bench::ScratchDirectory& scratch)
        : options_(options), plant_(plant), requests_(requests) {
        std::string hosts;
        for (int count = 1; count <= options.units.back(); ++count) {
            hosts += kAddressPrefix + std::to_string(count) + '\n';
            if (std::binary_search(options.units.begin(), options.units.end(), count)) {
                hostFiles_[count] = scratch.write("hosts-" + std::to_string(count), hosts);
            }
        }
        // The profiles are the first unit's own, as read, with each variant's changes.
        const std::string first = kAddressPrefix + std::string("1");
        const auto read = bench::runProcess({options.cli, "--json", "read", first});
        for (size_t v = 0; v < bench::kProfileVariants.size(); ++v) {
            const std::string text =
                bench::variantProfileText(read.output, bench::kProfileVariants[v]);
            if (read.exitStatus != 0 || text.empty()) throw Failure("cannot read " + first);
            profileFiles_[v] = scratch.write("profile-" + std::to_string(v) + ".json", text);
        }
    }

    // The runs of one command and reply delay, the unit counts taking turns run by run so that
    // anything else on the machine meets them all alike.
    Series measure(bool apply, int delayMs) {
        sim::UnitFaults faults;
        faults.replyDelayMs = delayMs;
        for (size_t u = 0; u < plant_.size(); ++u)
            plant_.unit(u).setFaults(faults);
        Series series{apply, delayMs, {}};
        for (int run = 0; run < options_.runs; ++run) {
            for (const int count : options_.units)
                once(series, count);
        }
        return series;
    }

    const std::string& hostsFile(int count) const { return hostFiles_.at(count); }
    const std::string& profileFile(size_t variant) const { return profileFiles_.at(variant); }

  private:
    void once(Series& series, int count) {
        const auto units = static_cast<size_t>(count);
        std::vector<std::string> argv{options_.cli, "--json",
                                      "--jobs",     std::to_string(options_.jobs),
                                      "--hosts",    hostFiles_.at(count)};
        // Each apply writes the other profile than the one before, to units holding that other.
        const size_t writes = applies_ % bench::kProfileVariants.size();
        const bench::ProfileVariant& written = bench::kProfileVariants[writes];
        if (series.apply) {
            holdVariant(plant_, units,
                        bench::kProfileVariants[(writes + 1) % bench::kProfileVariants.size()]);
            ++applies_;
            argv.insert(argv.end(), {"apply", "--profile", profileFiles_[writes], "--verify"});
        } else {
            argv.emplace_back("read");
        }
        for (size_t u = 0; u < units; ++u)
            plant_.unit(u).clearReceived();  // the plant keeps every request otherwise
        requests_.clear();

        const double cpuBefore = plantCpuMs();
        const auto result = bench::runProcess(argv, {}, kSampleMs);
        const double plantCpu = plantCpuMs() - cpuBefore;

        const std::string what = std::string(series.apply ? "apply" : "read") + " of " +
                                 std::to_string(count) + " units";
        if (!result.started) throw Failure("cannot start " + options_.cli);
        if (result.exitStatus != 0) {
            throw Failure(what + ": mervane-cli ended with status " +
                          std::to_string(result.exitStatus));
        }
        const int done = unitsDone(result.output, series.apply);
        if (done != count) {
            throw Failure(what + ": " + std::to_string(done) +
                          (series.apply ? " verified" : " read"));
        }
        if (series.apply && !holdsVariant(plant_, units, written)) {
            throw Failure(what + ": the units do not hold what was written");
        }
        const auto span = requests_.since(result.startNs, units);
        if (!span.everyUnit) throw Failure(what + ": a unit received no request");

        // Right after the program, so that its floor meets the machine in the same state.
        std::vector<bench::UnitConversation> conversations(units);
        for (size_t u = 0; u < units; ++u) {
            conversations[u].address = kFirstAddress + static_cast<uint32_t>(u);
            conversations[u].records = plant_.unit(u).received();
        }
        std::string error;
        const auto floor =
            bench::replayAtOnce(conversations, plant_.udpPort(), plant_.tcpPort(), error);
        if (!floor) throw Failure(what + ", replayed: " + error);

        Figures& figures = series.byUnits[count];
        figures.wall.add(result.wallMs);
        figures.floor.add(*floor);
        figures.cliCpu.add(result.cpuMs);
        figures.plantCpu.add(plantCpu);
        figures.firstRequest.add(span.firstMs);
        figures.lastUnitFirstRequest.add(span.lastUnitFirstMs);
        figures.lastRequest.add(span.lastMs);
        figures.peakKiB = std::max(figures.peakKiB, result.sampledPeakKiB);
        figures.peakThreads = std::max(figures.peakThreads, result.peakThreads);
        ++figures.runs;
    }

    const Options& options_;
    sim::SimulatedPlant& plant_;
    bench::RequestTimes& requests_;
    std::map<int, std::string> hostFiles_;
    std::array<std::string, bench::kProfileVariants.size()> profileFiles_;
    size_t applies_ = 0;
};

void printRow(const std::vector<std::string>& cells) {
    std::string row = "|";
    for (const std::string& cell : cells)
        row += " " + cell + " |";
    std::printf("%s\n", row.c_str());
}

std::string ms(double value, int decimals = 1) {
    return bench::fixed(value, decimals) + " ms";
}

std::vector<std::string> rowStart(const Series& series, int count) {
    return {series.apply ? "`apply --profile FILE --verify`" : "`read`", std::to_string(count),
            series.delayMs > 0 ? std::to_string(series.delayMs) + " ms late" : "at once"};
}

void printFigures(const std::vector<Series>& all, int jobs) {
    printRow({"Command (--jobs " + std::to_string(jobs) + ")", "Units", "Replies", "Median",
              "One unit", "Ratio", "Goal", "Floor (replayed at once)", "Its ratio", "Peak resident",
              "Peak threads", "Runs"});
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const Series& series : all) {
        const Figures& one = series.byUnits.at(1);
        for (const auto& [count, figures] : series.byUnits) {
            const double median = figures.wall.median();
            const double floor = figures.floor.median();
            std::string against;
            std::string ratio;
            std::string goal;
            std::string floorRatio;
            if (count > 1) {
                against = ms(one.wall.median());
                ratio = bench::fixed(median / one.wall.median(), 3);
                floorRatio = bench::fixed(floor / one.floor.median(), 3);
                if (series.delayMs > 0 && count == kGoalUnits) {
                    goal = "≤ " + bench::fixed(kGoalRatio, 2);
                    if (median / one.wall.median() > kGoalRatio) ratio += " ✗";
                }
            }
            auto cells = rowStart(series, count);
            cells.insert(cells.end(),
                         {ms(median), against, ratio, goal, ms(floor), floorRatio,
                          bench::fixed(static_cast<double>(figures.peakKiB) / 1024, 1) + " MiB",
                          std::to_string(figures.peakThreads), std::to_string(figures.runs)});
            printRow(cells);
        }
    }
}

void printWhereTheTimeGoes(const std::vector<Series>& all) {
    std::printf("\n");
    printRow({"Command", "Units", "Replies", "First request", "Last unit's first request",
              "Last request", "Exit", "CPU, mervane-cli", "CPU, plant"});
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    for (const Series& series : all) {
        for (const auto& [count, figures] : series.byUnits) {
            auto cells = rowStart(series, count);
            cells.insert(
                cells.end(),
                {ms(figures.firstRequest.median()), ms(figures.lastUnitFirstRequest.median()),
                 ms(figures.lastRequest.median()), ms(figures.wall.median()),
                 ms(figures.cliCpu.median(), 0), ms(figures.plantCpu.median(), 0)});
            printRow(cells);
        }
    }
}

int run(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    sim::PlantConfig config;
    config.first.bindAddress = kAddressPrefix + std::string("1");  // generation 4, 8 outputs
    config.count = options.units.back();                           // ports 30718 and 10003
    sim::SimulatedPlant plant(config);
    bench::RequestTimes requests(static_cast<size_t>(config.count));
    plant.setReceiveObserver(
        [&requests](size_t unit, const sim::ReceivedRecord&) { requests.received(unit); });
    std::string error;
    if (!plant.start(&error)) throw Failure("cannot start the plant: " + error);

    const bench::ScratchDirectory scratch("mervane-bench-fleet");
    FleetRuns runs(options, plant, requests, scratch);
    std::vector<Series> all;
    for (const int delayMs : {0, kSlowReplyMs}) {
        for (const bool apply : {false, true})
            all.push_back(runs.measure(apply, delayMs));
    }
    printFigures(all, options.jobs);
    printWhereTheTimeGoes(all);
    const int most = options.units.back();
    const bench::ProfileCheckSetup checks{options.cli,
                                          options.jobs,
                                          options.runs,
                                          most,
                                          runs.hostsFile(most),
                                          runs.profileFile(0),
                                          bench::kProfileVariants[0]};
    bench::printProfileChecks(bench::measureProfileChecks(checks, plant), most, options.jobs);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::runtime_error& failure) {  // a Failure, or no scratch directory
        std::fprintf(stderr, "mervane-bench-fleet: %s\n", failure.what());
        return 1;
    }
}
