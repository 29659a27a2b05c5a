#pragma once

#include <functional>
#include <iosfwd>
#include <nlohmann/json_fwd.hpp>
#include <optional>

#include "fleet/Profile.h"
#include "link/DeviceLink.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/ConsoleWindow.h"
#include "tools/cli/Interruption.h"

namespace mervane::cli {

// What one unit's command needs besides its link and window.
struct UnitJob {
    const CliRequest& request;
    // apply --profile, with the command line's overrides already folded in; null without one.
    const fleet::Profile* profile = nullptr;
    // Brackets the writing so that an interruption never cuts it short; null: not interruptible.
    Interruption* interruption = nullptr;
};

struct UnitOutcome {
    int status = 1;           // an exit status (tools/cli/ExitStatus.h)
    bool verified = false;    // --verify read back every field written and found it
    bool notStarted = false;  // interrupted before anything was written to the unit
};

// The settings object a unit's command prints with --json: the profile object, plus
// "verified": true after a verified apply.
nlohmann::json settingsResult(const DeviceLink& link, bool verified);

// One unit's command on `link`, reporting through `window`: identifies the unit, opens the
// session, reads the settings, carries out the command and closes the session. For apply with a
// profile: checks that the profile fits, writes it with the apply sequence, switches the cycle
// when the profile's `active` differs from the unit's, then (--verify) reads back and compares.
// Prints what a single unit prints to `out` (settings as text or JSON; "Verified  yes" after a
// verified apply in text) unless `printSettings` is false. Runs on the calling thread.
UnitOutcome runUnitCommand(const UnitJob& job, DeviceLink& link, ConsoleWindow& window,
                           std::ostream& out, bool printSettings);

}  // namespace mervane::cli
