#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

#include "fleet/SettingsComparison.h"

namespace mervane::cli {

// What check prints for a unit it compared: "same", or one line per difference, such as
// "DO3 onTime: unit 12, profile 10", "enableMask: unit 0x0F, profile 0x03",
// "active: unit false, profile true" or "intervalMs: unit 500, profile 1000" ("none" for an
// interval outside the list). Ends with a newline.
std::string differencesText(const std::vector<fleet::SettingDifference>& differences);

// The same as a JSON object: "same" (bool) and "differences", an array of objects with "field",
// "output" (times only), "unit" and "profile" (numbers; booleans for active; null for an interval
// outside the list).
nlohmann::json differencesObject(const std::vector<fleet::SettingDifference>& differences);

}  // namespace mervane::cli
