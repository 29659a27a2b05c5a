#pragma once

#include <QString>

#include <array>

#include "fleet/Discovery.h"

namespace mervane {

// The columns of the discovery dialog's list.
enum DiscoveryColumn { kAddressColumn, kUnitIdColumn, kModelColumn, kStateColumn, kColumnCount };

// What the list shows for `unit`: its dotted address, then, once the probe has run, the unit id
// and model as Connect would show them and the state: "Active" / "Non-active" as the window's
// status line says it, a note where the model has no automatic ON/OFF, or the probe's error.
// Before the probe has run, the state says it is being checked. Pure; any thread.
std::array<QString, kColumnCount> discoveryRowTexts(const fleet::DiscoveredUnit& unit);

}  // namespace mervane
