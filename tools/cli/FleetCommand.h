#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "fleet/Interruption.h"
#include "fleet/Profile.h"
#include "link/DeviceLink.h"
#include "tools/cli/CommandLine.h"

namespace mervane::cli {

struct FleetSetup {
    const CliRequest& request;
    // In the order given, each text once. A host that names the same unit as an earlier one is
    // left out and named on `err`.
    const std::vector<std::string>& hosts;
    const fleet::Profile* profile = nullptr;
    fleet::Interruption* interruption = nullptr;
    const std::function<void(DeviceLink&)>& prepareLink;
};

// The command on several units, --jobs at a time, each with a link, an identification and a
// session of its own. Results come in the order of the hosts: a text block per unit headed
// "Host      ADDRESS", blocks separated by a blank line, or one JSON array whose elements are the
// object a single unit prints plus "host", or "host" and "error" for a unit that failed. Each
// unit's operator messages go to `err`, every line prefixed "HOST: ", before its result. The
// one-shot question is never asked: --yes answers Yes, otherwise the unit fails. After an
// interruption units not yet written to are reported "not started". Returns 1 when a unit failed
// or an interruption was requested, otherwise 3 when a check found a unit that differs, else 0.
// Runs the units on threads of its own and returns when all have ended.
int runFleet(const FleetSetup& setup, std::ostream& out, std::ostream& err);

}  // namespace mervane::cli
