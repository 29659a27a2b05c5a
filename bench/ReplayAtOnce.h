#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/SimulatedUnit.h"

namespace mervane::bench {

// One unit's part in replayAtOnce(): where it is and what it received from the program.
struct UnitConversation {
    uint32_t address = 0;  // host byte order
    std::vector<sim::ReceivedRecord> records;
};

// The floor of working on several units at once: each unit's conversation replayed by the least
// possible client (replayConnect(), its pauses included) on a thread of its own, the threads
// all started first and then let go together. Returns the time from letting them go until the
// last one ended, in milliseconds; nullopt, with `error` set, when a thread cannot be started
// or a unit leaves a request unanswered.
std::optional<double> replayAtOnce(const std::vector<UnitConversation>& units, uint16_t udpPort,
                                   uint16_t tcpPort, std::string& error);

}  // namespace mervane::bench
