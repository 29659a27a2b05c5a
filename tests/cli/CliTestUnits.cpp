#include "tests/cli/CliTestUnits.h"

#include "tests/LoopbackUnit.h"

namespace mervane::cli::testing {

sim::UnitSettingsState readySettings() {
    sim::UnitSettingsState s;
    s.enableMask = 0xFF;
    s.intervalIndex = 4;
    for (uint8_t i = 0; i < 8; ++i) {
        s.onTime[i] = static_cast<uint8_t>(i + 1);
        s.offTime[i] = static_cast<uint8_t>(10 * (i + 1));
    }
    return s;
}

bool sentAnySetting(const sim::SimulatedUnit& unit) {
    for (const std::string& command : mervane::testing::tcpCommands(unit)) {
        if (command == "OL" || command == "OC" || command == "OT" || command == "NS" ||
            command == "F1" || command == "F2" || command == "F3") {
            return true;
        }
    }
    return false;
}

}  // namespace mervane::cli::testing
