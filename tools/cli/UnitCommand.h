#pragma once

#include <iosfwd>
#include <nlohmann/json_fwd.hpp>

#include "fleet/Interruption.h"
#include "fleet/Profile.h"
#include "fleet/UnitWork.h"
#include "tools/cli/CommandLine.h"

namespace mervane::cli {

// What one unit's command needs besides its link and window.
struct UnitJob {
    const CliRequest& request;
    // apply --profile, with the command line's overrides already folded in; null without one.
    const fleet::Profile* profile = nullptr;
    // Brackets the writing so that an interruption never cuts it short; null: not interruptible.
    fleet::Interruption* interruption = nullptr;
};

// The unit's work the command asks for (fleet/UnitWork.h): it writes every time, whatever the
// unit holds.
fleet::UnitTask unitTask(const UnitJob& job);

// The exit status of one unit's work (tools/cli/ExitStatus.h): 0 when it succeeded, 2 when the
// gather refused the command line's changes, 1 otherwise.
int exitStatus(const fleet::UnitOutcome& outcome);

// The settings object a unit's command prints with --json: the profile object, plus
// "verified": true after a verified apply.
nlohmann::json settingsResult(const fleet::UnitOutcome& outcome);

// What a single unit prints to `out` once its work succeeded: the settings as text or JSON, and
// "Verified  yes" after a verified apply in text; start and stop print nothing without --json
// (the window printed the new status text). Nothing after a failure.
void printUnitResult(const CliRequest& request, const fleet::UnitOutcome& outcome,
                     std::ostream& out);

}  // namespace mervane::cli
