#pragma once

#include <cstdint>

#include "fleet/Discovery.h"
#include "link/DeviceLink.h"

namespace mervane::fleet {

// Identifies and probes one unit a search found, on `link` (fresh, with its local address set;
// its stop signal ends the probe): the identification's later requests to the unit's reply
// source, the TCP probe on `tcpPort` with the unit query and, where the model has automatic
// ON/OFF, the active flag read on that same connection. Fills `unit`'s identity and active flag,
// or its error with the operator message Connect or a read would have shown; marks it probed
// unless a stop cut it short. Writes nothing to the unit. Runs on the calling thread.
void probeFoundUnit(DeviceLink& link, DiscoveredUnit& unit, int32_t identTimeoutMs,
                    uint16_t tcpPort);

}  // namespace mervane::fleet
