#pragma once

#include <string>

#include "link/AutoOnOffSettings.h"
#include "link/DeviceIdentity.h"

namespace mervane::cli {

// The settings for people, one fact per line: unit id, model, Active/Non-active, then (units
// other than generation 4) the common interval, then one line per output DO1..DOn with its enable
// flag and (generation 4) its ON and OFF times. Ends with a newline.
std::string settingsText(const AutoOnOffSettings& settings, const DeviceIdentity& unit);

// The settings for programs, one JSON object on one line (newline included): unitId, model,
// generation, outputs (the count), active (bool), enableMask (number), then onTime and offTime
// (arrays of `outputs` entries, units of 100 ms) on generation 4, or intervalIndex and intervalMs
// (null when the index is outside the interval list) on the others.
std::string settingsJson(const AutoOnOffSettings& settings, const DeviceIdentity& unit);

}  // namespace mervane::cli
