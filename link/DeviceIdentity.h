#pragma once

#include <netinet/in.h>

#include <array>
#include <cstdint>
#include <string_view>

#include "link/ModelTable.h"

namespace mervane {

// What the link knows about the one connected unit. Filled by identification (UDP exchange and
// the unit query of the probe session); read by everything that talks to the unit afterwards.
// Not synchronised: the connection worker writes it while every control that would read it is
// disabled, and the window thread reads it afterwards.
struct DeviceIdentity {
    // The unit's endpoint, network byte order: the source of the first identification reply,
    // with the port replaced by the operator's TCP port once the UDP exchange is done.
    sockaddr_in unitAddress{};
    std::array<char, 2> typeCode{};  // bytes 8 and 9 of the first identification reply
    uint8_t unitId = 0;              // 0..15; 255 while no unit query has answered
    int32_t modelIndex = 0;          // 0..31; -1 while no unit query has answered
    int32_t identTimeoutMs = 0;      // identification time-out of the current attempt
    UnitGeneration generation = UnitGeneration::kUnset;
};

inline constexpr uint8_t kUnitIdUnknown = 255;
inline constexpr int32_t kModelIndexUnknown = -1;

// Start of every identification: forget the unit id, model and generation of any earlier unit.
// unitAddress and typeCode are overwritten by the first reply.
void resetIdentity(DeviceIdentity& identity, int32_t identTimeoutMs);

// The model row of the identified unit (an all-zero row while none is identified).
const ModelRow& modelRow(const DeviceIdentity& identity);

// The identified unit's outputs DO1..DOn: n, 0..8 (0 while none is identified).
int outputCount(const DeviceIdentity& identity);

// The model's display text for its generation (the second name when generation is exactly 3).
std::string_view modelDisplayName(const DeviceIdentity& identity);

// Generation-4 units time each output (ON and OFF times); all others share one interval.
bool hasPerOutputTimes(const DeviceIdentity& identity);

// Whether the identified unit has automatic ON/OFF: family 1 or 3, or family 2 on generation 3.
bool supportsAutoOnOff(const DeviceIdentity& identity);

// The command form the unit understands, from its family and generation at the time of a call.
enum class CommandForm { kRefused, kBinary, kLetter };
CommandForm commandForm(const DeviceIdentity& identity);

}  // namespace mervane
