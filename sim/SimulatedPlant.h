#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/SimulatedUnit.h"

namespace mervane::sim {

inline constexpr int kMaxPlantUnits = 1000;

// One kind of unit in a varied plant: what it is and whether its outputs cycle from the start.
struct UnitKind {
    std::array<char, 2> typeCode;
    int modelIndex;
    bool active;
};

// The kinds a varied plant cycles through, unit i being kind i % size: generation 4 with letter
// commands (8, 4 and 2 outputs), generation 3 with binary commands (5 outputs, and 3 outputs of
// a model that has them on generation 3 only), and a model without automatic ON/OFF. Active and
// stopped units alternate, so a discovery meets every state.
inline constexpr std::array<UnitKind, 6> kVarietyCycle{{
    {{'_', 'W'}, 19, true},
    {{'_', 'L'}, 3, true},
    {{'_', 'W'}, 17, false},
    {{'_', 'L'}, 1, false},
    {{'_', 'W'}, 25, true},
    {{'_', 'W'}, 21, false},
}};

struct PlantConfig {
    // The first unit: address, ports, unit id, kind, settings and faults. Unit i is a copy on
    // the i-th next address with unit id (first id + i) % 16, on the same ports.
    UnitConfig first{};
    int count = 1;  // 1..kMaxPlantUnits
    // Type, model and active flag from kVarietyCycle (or-ed with the first's active flag), the
    // enable mask cut down to each model's outputs.
    bool variety = false;
    // Where the units' broadcasts arrive, dotted. "": subnetBroadcast() of the first address,
    // none for 0.0.0.0 (whose unit takes broadcasts itself).
    std::string broadcastAddress;
};

// Every unit's config in address order, or nothing with the reason: a count outside
// 1..kMaxPlantUnits, a first address that is not IPv4, 0.0.0.0 for more than one unit, addresses
// running past 255.255.255.255, a broadcast address that is not IPv4. Ports are copied as given.
std::optional<std::vector<UnitConfig>> plantUnitConfigs(const PlantConfig& config,
                                                        std::string& error);

// Many simulated units in one process, on consecutive addresses, sharing the UDP and the TCP
// port. Each unit is a SimulatedUnit of its own (sockets, threads, settings, cycle); only a
// broadcast listener is shared, handing every broadcast datagram to every unit, which answers
// it from its own address.
//
// Thread: start(), stop() and the setters from one owning thread; size(), unit(), unitConfig()
// and the ports from any thread while the plant runs. Observers run on the units' threads, told
// the unit's index, and must neither block nor call stop().
class SimulatedPlant {
  public:
    explicit SimulatedPlant(PlantConfig config);
    ~SimulatedPlant();  // stops the plant
    SimulatedPlant(const SimulatedPlant&) = delete;
    SimulatedPlant& operator=(const SimulatedPlant&) = delete;

    // Set before start(); applies to every unit, so that nothing received is missed. (Output
    // observers are set on unit(i) after start().)
    void setReceiveObserver(std::function<void(size_t unit, const ReceivedRecord&)> observer);

    // Starts every unit, then the broadcast listener. A port 0 is chosen by the first unit and
    // taken by all. False with the reason (naming the unit's address) when the configuration is
    // refused or anything cannot be opened; whatever had started is stopped again.
    bool start(std::string* error = nullptr);
    // Stops the listener and every unit, closing every socket and joining every thread.
    // Idempotent.
    void stop();

    size_t size() const;  // units started: 0 before start()
    SimulatedUnit& unit(size_t index);
    const SimulatedUnit& unit(size_t index) const;
    // The unit's config as started, with the ports actually bound.
    const UnitConfig& unitConfig(size_t index) const;
    uint16_t udpPort() const;  // host byte order; 0 before start()
    uint16_t tcpPort() const;
    // The address the broadcast listener is bound to, dotted; "" when there is none.
    std::string broadcastAddress() const;

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace mervane::sim
