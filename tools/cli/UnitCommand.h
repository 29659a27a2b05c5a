#pragma once

#include <iosfwd>
#include <nlohmann/json_fwd.hpp>
#include <string>

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

// The error of a unit an interruption left alone.
inline constexpr const char* kNotStarted = "not started";

// What failed, for a result: kNotStarted, or the last message shown ("failed" when none was).
std::string failureText(const fleet::UnitOutcome& outcome);

// The unit's work the command asks for (fleet/UnitWork.h). apply --profile writes only units that
// differ from the profile, unless --force; apply without one writes every time.
fleet::UnitTask unitTask(const UnitJob& job);

// The exit status of one unit's work (tools/cli/ExitStatus.h): 0 when it succeeded, 3 when a
// check found differences, 2 when the gather refused the command line's changes, 1 otherwise.
int exitStatus(const fleet::UnitOutcome& outcome);

// The object a unit's command prints with --json once its work succeeded: for check "same" and
// "differences" (tools/cli/CheckReport.h); otherwise the profile object, plus "changed" after an
// apply --profile and "verified": true after a verified apply.
nlohmann::json resultObject(const CliRequest& request, const fleet::UnitOutcome& outcome);

// What a single unit prints to `out` once its work succeeded: the settings as text or JSON,
// "Changed   yes" or "no" after an apply --profile and "Verified  yes" after a verified apply in
// text; start and stop print nothing without --json (the window printed the new status text);
// check prints its differences, its JSON object with "host". Nothing after a failure, except the
// JSON object with "host" and "error" of a check.
void printUnitResult(const CliRequest& request, const std::string& host,
                     const fleet::UnitOutcome& outcome, std::ostream& out);

}  // namespace mervane::cli
