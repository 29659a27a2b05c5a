#pragma once

#include <memory>
#include <string>
#include <vector>

#include "link/DeviceLink.h"
#include "sim/SimulatedUnit.h"
#include "tests/OpenDescriptors.h"

namespace mervane::testing {

// Starts a simulated unit on loopback with ephemeral UDP and TCP ports (so tests may run side by
// side) and fails the test when it cannot.
std::unique_ptr<sim::SimulatedUnit> startLoopbackUnit(sim::UnitConfig config);

// A configuration for the unit of `modelIndex` with type code `type` ("_W", "_L", "X6", ...).
sim::UnitConfig unitConfig(int modelIndex, const char (&type)[3], sim::UnitFaults faults = {});

// Points `link`'s identification at `unit` and shortens the session time-out so that a silent
// unit costs milliseconds, not tens of seconds.
void aimLinkAt(DeviceLink& link, const sim::SimulatedUnit& unit, int sessionTimeoutMs = 200);

// Simulated units on loopback addresses of the test's choosing, all on one UDP and one TCP port
// (the given ones, or else the first unit's ephemeral ones), as the units of a plant are. A unit
// that cannot start fails the test.
class SharedPortUnits {
  public:
    SharedPortUnits() = default;
    SharedPortUnits(uint16_t udpPort, uint16_t tcpPort) : udpPort_(udpPort), tcpPort_(tcpPort) {}

    sim::SimulatedUnit& add(const std::string& address, sim::UnitConfig config);
    sim::SimulatedUnit& operator[](size_t i) { return *units_[i]; }
    size_t size() const { return units_.size(); }
    uint16_t udpPort() const { return udpPort_; }
    uint16_t tcpPort() const { return tcpPort_; }

  private:
    uint16_t udpPort_ = 0;
    uint16_t tcpPort_ = 0;
    std::vector<std::unique_ptr<sim::SimulatedUnit>> units_;
};

// The names of what the unit received over one channel, in order ("F6", "LN", "UU", "OJ", ...).
std::vector<std::string> udpCommands(const sim::SimulatedUnit& unit);
std::vector<std::string> tcpCommands(const sim::SimulatedUnit& unit);

}  // namespace mervane::testing
