#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "sim/SimulatedUnit.h"

// What mervane-unit prints and parses, as pure functions.
namespace mervane::unit {

// "ON:OFF", each 0..255; nothing for anything else.
std::optional<std::pair<uint8_t, uint8_t>> parseTimes(const std::string& text);

// "DO1 ON  DO2 off ...", as many outputs as the model has.
std::string outputsText(uint8_t outputs, int outputCount);

// "udp F6  00 00 00 F6", "tcp#1 UU  55 55".
std::string recordText(const sim::ReceivedRecord& record);

// "simulated unit, type _W, model 19 (KX-M19), 8 outputs, unit id 0".
std::string unitText(const sim::UnitConfig& config);

// The start-up line of a single unit: what it is and where it listens.
std::string describe(const sim::UnitConfig& config, uint16_t udpPort, uint16_t tcpPort);

}  // namespace mervane::unit
