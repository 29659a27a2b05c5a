#include "fleet/UnitProbe.h"

#include <cstdio>

#include "link/Identification.h"
#include "link/OperatorWindow.h"
#include "link/SocketError.h"
#include "link/Status.h"

namespace mervane::fleet {

void probeFoundUnit(DeviceLink& link, DiscoveredUnit& unit, int32_t identTimeoutMs,
                    uint16_t tcpPort) {
    bool activeReadFailed = false;
    int32_t active = 0;
    const auto readActive = [&link, &activeReadFailed, &active]() {
        if (!supportsAutoOnOff(link.identity())) return kStatusOk;
        if (link.commands().getAutoActive(active) == kStatusOk) return kStatusOk;
        activeReadFailed = true;
        return kStatusFailure;
    };
    const int status =
        identifyAnsweredUnit(link, identTimeoutMs, tcpPort, unit.source, unit.typeCode, readActive);
    if (link.stopSignal().requested()) return;  // cut short: neither a result nor a failure

    unit.probed = true;
    unit.identity = link.identity();
    if (status == kStatusOk) {
        if (supportsAutoOnOff(unit.identity)) unit.active = active != 0;
        return;
    }
    if (activeReadFailed) {
        char text[128];
        std::snprintf(text, sizeof text, kActiveReadErrorFormat, lastSocketError());
        unit.error = text;
    } else {
        unit.error = kCommunicationErrorMessage;
    }
}

}  // namespace mervane::fleet
