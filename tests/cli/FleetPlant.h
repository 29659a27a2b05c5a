#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "sim/SimulatedUnit.h"
#include "tests/LoopbackUnit.h"

namespace mervane::testing {

// The settings a fleet's units start from and the profile's: every field differs (the active
// flag, the mask, each output's ON and OFF time), so a unit written half-way holds neither.
sim::UnitSettingsState oldFleetSettings();
sim::UnitSettingsState newFleetSettings();
// Equal in everything an apply writes: the active flag, the mask and every output's times.
bool sameWrittenFields(const sim::UnitSettingsState& a, const sim::UnitSettingsState& b);

// Eight-output letter units of generation 4 on PREFIX1, PREFIX2, ... ("127.0.81." gives
// 127.0.81.1 on), each on the ports mervane-cli uses (UDP 30718, TCP 10003) and holding
// oldFleetSettings(), with the faults `faultsOf(i)` gives unit i. Beside them, in a directory of
// their own that goes with the plant, the hosts file (every unit, in order) and the profile of
// newFleetSettings(). A unit that cannot start fails the test.
class FleetPlant {
  public:
    FleetPlant(const std::string& prefix, int count,
               const std::function<sim::UnitFaults(int)>& faultsOf = {});
    ~FleetPlant();
    FleetPlant(const FleetPlant&) = delete;
    FleetPlant& operator=(const FleetPlant&) = delete;

    sim::SimulatedUnit& operator[](size_t i) { return units_[i]; }
    size_t size() const { return hosts_.size(); }
    const std::string& host(size_t i) const { return hosts_[i]; }

    // Every unit back to oldFleetSettings() with `faults`, its records dropped.
    void reset(const sim::UnitFaults& faults);
    // A file of that name in the plant's directory, for a run's output.
    std::filesystem::path file(const std::string& name) const { return directory_ / name; }
    // `--json --hosts FILE apply --profile P --verify`, after `before`.
    std::vector<std::string> applyArgs(std::vector<std::string> before = {}) const;

  private:
    std::filesystem::path directory_;
    std::vector<std::string> hosts_;
    SharedPortUnits units_;
};

// The elements of a fleet run's JSON array by their "host"; empty (and the test failed) when
// `out` is not such an array.
std::map<std::string, nlohmann::json> resultsByHost(const std::string& out);

// Threads of this process, to show that a run leaves none behind.
int threadCount();

// Waits (at most 10 s, for threads and sockets that are still being closed) until `count()` is
// `expected`, and returns the last count.
int settledCount(const std::function<int()>& count, int expected);

}  // namespace mervane::testing
