#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sim/SimulatedUnit.h"

namespace mervane::cli::testing {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

// Every output ready to cycle: enabled, DO(i+1) ON i+1, OFF 10*(i+1); interval index 4.
sim::UnitSettingsState readySettings();

// Whether the unit received any command that changes its settings.
bool sentAnySetting(const sim::SimulatedUnit& unit);

}  // namespace mervane::cli::testing
