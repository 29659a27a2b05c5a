#pragma once

#include <string>

#include "fleet/Discovery.h"

namespace mervane::cli {

// The units of a search for people: a heading, then one row per unit in the report's order
// (by address): address, type code, generation, unit id, model, outputs and state ("Active",
// "Non-active", "not supported", or the message its probe failed with). Without a probe, the
// columns after the type code show "-". Ends with a newline; empty when no unit answered.
std::string discoveryText(const fleet::DiscoveryReport& report);

// The units for programs: one JSON array on one line (newline included), in the report's order,
// of objects with address and typeCode, and after a probe generation, unitId, model, outputs
// (as read --json prints them) and active (null where the model has no automatic ON/OFF), or
// error (the operator message) where the probe failed.
std::string discoveryJson(const fleet::DiscoveryReport& report);

}  // namespace mervane::cli
