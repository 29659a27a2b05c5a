#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fleet/Profile.h"
#include "link/AutoOnOffSettings.h"
#include "link/DeviceIdentity.h"

namespace mervane::fleet {

// One field in which a unit's settings differ from a profile's.
struct SettingDifference {
    enum class Field { kEnableMask, kActive, kOnTime, kOffTime, kIntervalMs };
    Field field = Field::kEnableMask;
    int output = 0;       // DO number (1-based) for kOnTime and kOffTime; 0 otherwise
    int64_t unit = 0;     // the unit's value (mask: its outputs' bits; active: 0/1; interval: ms)
    int64_t profile = 0;  // the profile's
};

// "enableMask", "active", "onTime", "offTime", "intervalMs".
const char* fieldName(SettingDifference::Field field);

// Where `settings`, as read from `unit`, differ from what writing `profile` (which fits the unit:
// profileMismatch() empty) would leave: the mask bits of the unit's outputs, each of its
// outputs' ON and OFF times (generation 4) or the common interval (others), and the active flag.
// In that order; empty when the unit holds the profile. Pure.
std::vector<SettingDifference> settingsDifferences(const Profile& profile,
                                                   const AutoOnOffSettings& settings,
                                                   const DeviceIdentity& unit);

// The first of the unit's outputs (DO number, 1-based) whose ON or OFF time in `settings` is
// outside 1..255, which the unit refuses: an apply writes every output's times (generation 4), so
// writing up to that one and then failing would leave the unit half-changed. Nothing for a unit
// with a common interval. Pure.
std::optional<int> firstTimeOutOfRange(const AutoOnOffSettings& settings,
                                       const DeviceIdentity& unit);

}  // namespace mervane::fleet
