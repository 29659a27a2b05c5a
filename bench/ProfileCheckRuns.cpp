#include "bench/ProfileCheckRuns.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "bench/ProcessRun.h"

namespace mervane::bench {

namespace {

constexpr double kGoalRatio = 1.05;  // nothing more is sent than the read's requests
constexpr int kSlowReplyMs = 5;

enum class Kind { kRead, kCheck, kApply };

struct Command {
    Kind kind;
    const char* name;
};

constexpr Command kCommands[] = {{Kind::kRead, "`read`"},
                                 {Kind::kCheck, "`check --profile FILE`"},
                                 {Kind::kApply, "`apply --profile FILE --verify`, unchanged"}};

// Whether every unit of the --json array answered as the command should against units that
// hold the profile: read without an error, check "same", apply "changed": false.
bool everyUnitAsExpected(const std::string& output, Kind kind, int units) {
    const nlohmann::json array = nlohmann::json::parse(output, nullptr, false);
    if (!array.is_array() || array.size() != static_cast<size_t>(units)) return false;
    for (const nlohmann::json& unit : array) {
        if (!unit.is_object() || unit.contains("error")) return false;
        if (kind == Kind::kCheck && unit.value("same", false) != true) return false;
        if (kind == Kind::kApply && unit.value("changed", true) != false) return false;
    }
    return true;
}

std::vector<std::string> argv(const ProfileCheckSetup& setup, Kind kind) {
    std::vector<std::string> args{setup.cli, "--json",       "--jobs", std::to_string(setup.jobs),
                                  "--hosts", setup.hostsFile};
    switch (kind) {
        case Kind::kRead:
            args.emplace_back("read");
            break;
        case Kind::kCheck:
            args.insert(args.end(), {"check", "--profile", setup.profileFile});
            break;
        case Kind::kApply:
            args.insert(args.end(), {"apply", "--profile", setup.profileFile, "--verify"});
            break;
    }
    return args;
}

void printRow(const std::vector<std::string>& cells) {
    std::string row = "|";
    for (const std::string& cell : cells)
        row += " " + cell + " |";
    std::printf("%s\n", row.c_str());
}

}  // namespace

std::vector<ProfileCheckRow> measureProfileChecks(const ProfileCheckSetup& setup,
                                                  sim::SimulatedPlant& plant) {
    std::vector<ProfileCheckRow> rows;
    for (const int delayMs : {0, kSlowReplyMs}) {
        for (const Command& command : kCommands) {
            ProfileCheckRow row{command.name, delayMs, {}, {}, 0, -1};
            if (command.kind != Kind::kRead) row.against = static_cast<int>(rows.size()) - 1;
            rows.push_back(row);
        }
    }
    const auto units = static_cast<size_t>(setup.units);
    for (int run = 0; run < setup.runs; ++run) {
        for (size_t first = 0; first < rows.size(); first += std::size(kCommands)) {
            sim::UnitFaults faults;
            faults.replyDelayMs = rows[first].delayMs;
            for (size_t u = 0; u < plant.size(); ++u)
                plant.unit(u).setFaults(faults);
            for (size_t c = 0; c < std::size(kCommands); ++c) {
                holdVariant(plant, units, setup.held);
                for (size_t u = 0; u < units; ++u)
                    plant.unit(u).clearReceived();  // the plant keeps every request otherwise
                const Kind kind = kCommands[c].kind;
                const auto result = runProcess(argv(setup, kind));
                ProfileCheckRow& row = rows[first + c];
                if (result.exitStatus != 0 ||
                    !everyUnitAsExpected(result.output, kind, setup.units)) {
                    throw std::runtime_error(row.command + " of " + std::to_string(units) +
                                             " units: status " + std::to_string(result.exitStatus) +
                                             ", or a unit not as expected");
                }
                row.wall.add(result.wallMs);
                row.cpu.add(result.cpuMs);
                ++row.runs;
            }
        }
    }
    return rows;
}

void printProfileChecks(const std::vector<ProfileCheckRow>& rows, int units, int jobs) {
    std::printf("\n");
    printRow({"Command (--jobs " + std::to_string(jobs) + ", units holding the profile)", "Units",
              "Replies", "Median", "Against", "Ratio", "Goal", "CPU, mervane-cli", "Runs"});
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    for (const ProfileCheckRow& row : rows) {
        const double median = row.wall.median();
        std::string against;
        std::string ratio;
        std::string goal;
        if (row.against >= 0) {
            const ProfileCheckRow& base = rows[static_cast<size_t>(row.against)];
            against = base.command + ", " + fixed(base.wall.median(), 1) + " ms";
            ratio = fixed(median / base.wall.median(), 3);
            goal = "≤ " + fixed(kGoalRatio, 2);
            if (median / base.wall.median() > kGoalRatio) ratio += " ✗";
        }
        printRow({row.command, std::to_string(units),
                  row.delayMs > 0 ? std::to_string(row.delayMs) + " ms late" : "at once",
                  fixed(median, 1) + " ms", against, ratio, goal,
                  fixed(row.cpu.median(), 0) + " ms", std::to_string(row.runs)});
    }
}

}  // namespace mervane::bench
