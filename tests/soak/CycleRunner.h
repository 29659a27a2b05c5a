#pragma once

#include <string>

#include "link/ConnectionProcedure.h"
#include "link/DeviceLink.h"
#include "tests/soak/CountingWindow.h"
#include "tests/soak/Scenarios.h"
#include "tests/soak/SoakUnits.h"

namespace mervane::soak {

// Drives one connect, read, disconnect cycle the way the window does: the connect button starts
// the connection procedure's worker (identification, session, settings read), and on success
// the same button disconnects. One link and one procedure serve every cycle, as in the program.
class CycleRunner {
  public:
    explicit CycleRunner(SoakUnits& units);

    // Empty when the cycle went as `scenario` says, otherwise what went wrong.
    std::string run(const Scenario& scenario, int cycle);

  private:
    std::string checkConnected(const Scenario& scenario, const WindowTally& tally);
    std::string checkFailed(const Scenario& scenario, const WindowTally& tally);
    std::string disconnect();

    SoakUnits& units_;
    DeviceLink link_;
    CountingWindow window_;
    ConnectionProcedure procedure_{link_, window_};
};

}  // namespace mervane::soak
