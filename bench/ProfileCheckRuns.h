#pragma once

#include <string>
#include <vector>

#include "bench/Measure.h"
#include "bench/ProfileVariants.h"
#include "sim/SimulatedPlant.h"

namespace mervane::bench {

// What the comparison runs need: the plant's first `units` units, listed in `hostsFile`, are set
// to hold `held` before every run, and `profileFile` is that profile.
struct ProfileCheckSetup {
    std::string cli;
    int jobs = 256;
    int runs = 30;
    int units = 250;
    std::string hostsFile;
    std::string profileFile;
    ProfileVariant held;
};

// One command at one reply delay; `against` the row its median is compared with (-1: none).
struct ProfileCheckRow {
    std::string command;
    int delayMs = 0;
    Samples wall;
    Samples cpu;
    int runs = 0;
    int against = -1;
};

// `read`, `check --profile` and `apply --profile --verify` of units that hold the profile
// already, taking turns run by run, with the replies at once and 5 ms late: check against read,
// and the apply (which writes nothing) against check. Every run must end with status 0 and every
// unit read, the same as the profile, or unchanged; the first that does not throws a
// std::runtime_error.
std::vector<ProfileCheckRow> measureProfileChecks(const ProfileCheckSetup& setup,
                                                  sim::SimulatedPlant& plant);

// The rows as a table for docs/benchmarks.md, with the goal (within 1.05) on each comparison.
void printProfileChecks(const std::vector<ProfileCheckRow>& rows, int units, int jobs);

}  // namespace mervane::bench
