#pragma once

#include <functional>
#include <iosfwd>

#include "fleet/Discovery.h"
#include "link/HostLookup.h"
#include "net/AdapterSource.h"
#include "tools/cli/CommandLine.h"

namespace mervane::cli {

// What discover needs of the machine beyond the request: its adapters (for the broadcasts), a
// resolver for host-name targets, and, for tests, a last say on the plan.
struct DiscoverEnvironment {
    AdapterSource& adapters;
    HostResolver resolver = resolveWithSystem;
    std::function<void(fleet::DiscoveryPlan&)> preparePlan;
    TraceSink* trace = nullptr;  // --trace
};

// The discover command: builds the search from the request (targets unicast; without one, a
// broadcast on each usable adapter, or only on the --bind one), runs it and prints the units to
// `out` as text or JSON. A summary of what was ignored, and why nothing could be searched, goes
// to `err`. Returns the exit status: 0 when units answered and every probe succeeded, 1 when
// none answered, a probe failed or the search could not run.
int runDiscover(const CliRequest& request, const DiscoverEnvironment& environment,
                std::ostream& out, std::ostream& err);

}  // namespace mervane::cli
