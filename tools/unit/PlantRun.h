#pragma once

#include <signal.h>

#include <string>
#include <vector>

#include "sim/SimulatedPlant.h"

namespace mervane::unit {

// Runs a plant until one of `stopSignals` arrives; they must be blocked in every thread before
// the call. Prints a summary line and a line per unit; unless `quiet`, then logs the requests
// received and every unit's output changes, each line carrying the unit's address, and a last
// line when stopped. Raises the soft limit of open descriptors towards the hard one when the
// plant needs more.
//
// `units` are the configs plantUnitConfigs() made of `config`, checked by the caller.
// Returns the exit status: 0 when stopped by a signal, 1 when the plant cannot start.
int runPlant(const sim::PlantConfig& config, const std::vector<sim::UnitConfig>& units, bool quiet,
             const sigset_t& stopSignals);

}  // namespace mervane::unit
