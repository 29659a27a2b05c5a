// mervane-bench-plant: the window's plant list, driven by clicks on the platform Qt is given
// (offscreen, or Xvfb), against simulated units on loopback. Prints table rows for
// docs/benchmarks.md:
//
// - how long the window thread goes without a turn (a 1 ms heartbeat's longest gap) while the
//   list searches 1000 units and while it reads them all (設定受信), with how long each takes:
//   once with the plant at nice 19, once at the window's own priority;
// - resident memory with the 1000 units listed and after reading them, against the window alone
//   before the list was opened;
// - プロファイル適用 with its check on 50 units whose replies are 5 ms late, against
//   `mervane-cli --hosts FILE apply --profile FILE --verify` on the same units in the same run.
//
//   mervane-bench-plant [--runs N] [--window-runs N] [--window-only] [--many N] [--cli PATH]
//                       [--unit PATH]
//
// The 1000 units are a `mervane-unit` of their own on 127.2.0.1..127.2.3.232, so that their
// memory and priority are not the window's; the 50 run in this process on 127.1.0.1..50. Both
// answer on UDP port 30718 and TCP port 10003. The window searches only those ranges.

#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "bench/Measure.h"
#include "bench/PlantApply.h"
#include "bench/PlantManyUnits.h"
#include "bench/PlantWindow.h"
#include "bench/ProcessRun.h"
#include "bench/WindowThreadWatch.h"

namespace {

using namespace mervane;
using bench::fixed;

// The units stand in for devices on a LAN, which take no turns from the window thread; at the
// window's priority a thousand of them answering at once on the same cores do. Measured both ways,
// the goal judged on the first.
constexpr int kPlantNice = 19;
constexpr double kStallGoalMs = 50;
constexpr int kApplyUnits = 50;
constexpr int kApplyDelayMs = 5;
constexpr double kApplyGoal = 1.1;

struct Options {
    int runs = 10;       // pairs of applies
    int windowRuns = 3;  // searches and reads of the many units
    int many = 1000;     // fewer only to see that it runs
    bool windowOnly = false;
    std::string cli;
    std::string unit;
};

Options parseOptions(int argc, char** argv) {
    Options options;
    options.cli = bench::besideThisProgram("../tools/cli/mervane-cli");
    options.unit = bench::besideThisProgram("../tools/unit/mervane-unit");
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--window-only") {
            options.windowOnly = true;
            continue;
        }
        if (i + 1 >= argc) throw std::runtime_error("no value after " + name);
        const std::string value = argv[++i];
        if (name == "--runs") {
            options.runs = std::max(1, std::atoi(value.c_str()));
        } else if (name == "--many") {
            options.many = std::clamp(std::atoi(value.c_str()), 1, 1000);
        } else if (name == "--window-runs") {
            options.windowRuns = std::max(1, std::atoi(value.c_str()));
        } else if (name == "--cli") {
            options.cli = value;
        } else if (name == "--unit") {
            options.unit = value;
        } else {
            throw std::runtime_error("unknown option " + name);
        }
    }
    return options;
}

void row(const std::string& what, const std::string& units, const std::string& median,
         const std::string& floor = "", const std::string& ratio = "",
         const std::string& goal = "") {
    std::printf("| %s | %s |  | %s | %s | %s | %s |\n", what.c_str(), units.c_str(), median.c_str(),
                floor.c_str(), ratio.c_str(), goal.c_str());
    std::fflush(stdout);
}

std::string ms(double value, int decimals = 1) {
    return fixed(value, decimals) + " ms";
}

std::string mib(long kib) {
    return fixed(static_cast<double>(kib) / 1024, 1) + " MiB";
}

void stallRows(const std::string& what, const bench::StepFigures& quiet,
               const bench::StepFigures& busy, const std::string& took, const std::string& units,
               const std::string& where) {
    row("Plant list, the window thread's longest stall while it " + what + " (window, " + where +
            ")",
        units + ", the plant at nice " + std::to_string(kPlantNice), quiet.gap.text(" ms"), "",
        quiet.gap.samples.median() < kStallGoalMs ? "" : "✗",
        "< " + fixed(kStallGoalMs, 0) + " ms");
    row("· of which the window thread on a core", units, quiet.gapCpu.text(" ms"));
    row("· the plant at the window's priority", units + ", the plant at nice 0",
        busy.gap.text(" ms"));
    row("· · of which the window thread on a core", units + ", the plant at nice 0",
        busy.gapCpu.text(" ms"));
    row("· " + took, units, ms(quiet.ms.median(), 0));
    row("· the longest single event on the window thread", units, quiet.event.text(" ms"));
}

void manyUnitRows(bench::PlantWindow& window, const Options& options, const std::string& where) {
    const bench::ManyUnitFigures quiet =
        bench::searchAndRead(window, options.unit, options.many, kPlantNice, options.windowRuns);
    const bench::ManyUnitFigures busy =
        bench::searchAndRead(window, options.unit, options.many, 0, options.windowRuns);
    const std::string units = std::to_string(options.many) + " units";
    stallRows("searches", quiet.search, busy.search,
              "the search, from the press of 検索... to its end", units, where);
    stallRows("reads every unit (設定受信)", quiet.read, busy.read,
              "すべて選択 and 設定受信, from the press to the last result", units, where);

    const bench::ListMemory& memory = quiet.memory;
    const auto against = [&memory](long kib) {
        return fixed(static_cast<double>(kib) / static_cast<double>(memory.alone), 2) +
               " × the window";
    };
    row("Plant list, resident memory: the window alone, before the list first opens (" + where +
            ")",
        "", mib(memory.alone));
    row("· with the units listed", units, mib(memory.listed), "", against(memory.listed));
    row("· after 設定受信 of every unit", units, mib(memory.read), "", against(memory.read));
    row("· peak while searching and reading (VmHWM)", units, mib(memory.peak), "",
        against(memory.peak));
    row("· the list closed again", units,
        mib(memory.closed) + " (" + mib(memory.trimmed) + " once the allocator returns it)", "",
        against(memory.trimmed));
}

void applyRows(bench::PlantWindow& window, const Options& options, const std::string& where) {
    const bench::ApplyComparison compared =
        bench::compareApplies(window, options.cli, kApplyUnits, kApplyDelayMs, options.runs);
    const std::string units = std::to_string(compared.units) + " units, replies " +
                              std::to_string(compared.delayMs) + " ms late, " +
                              std::to_string(compared.jobs) + " at a time";
    const double list = compared.list.median();
    const double cli = compared.cli.median();
    std::string ratio = fixed(list / cli, 3) + " against `mervane-cli`";
    if (list / cli > kApplyGoal) ratio += " ✗";
    row("Plant list, プロファイル適用 with its check, from the press to the last result (window, " +
            where + ")",
        units, ms(list), "", ratio, "≤ " + fixed(kApplyGoal, 2));
    row("· `mervane-cli --jobs " + std::to_string(compared.jobs) +
            " --hosts FILE apply --profile FILE --verify`, whole process (in turn with the row "
            "above)",
        units, ms(cli));
}

int run(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    bench::TimedApplication app(argc, argv);
    bench::WindowThreadWatch watch(app);
    bench::PlantWindow window(watch);
    window.show();
    // bench/run.sh gives xcb a virtual X server only.
    const QString platform = QGuiApplication::platformName();
    const std::string where = platform == QStringLiteral("xcb") ? "Xvfb" : platform.toStdString();
    manyUnitRows(window, options, where);
    if (!options.windowOnly) applyRows(window, options, where);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::runtime_error& failure) {
        std::fprintf(stderr, "mervane-bench-plant: %s\n", failure.what());
        return 1;
    }
}
