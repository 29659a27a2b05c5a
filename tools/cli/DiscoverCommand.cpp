#include "tools/cli/DiscoverCommand.h"

#include <ostream>

#include "fleet/DiscoveryTargets.h"
#include "link/SocketError.h"
#include "net/Adapters.h"
#include "tools/cli/DiscoveryListing.h"
#include "tools/cli/ExitStatus.h"

namespace mervane::cli {

namespace {

constexpr const char* kProgram = "mervane-cli: ";

// Fills the plan's destinations; false with the reason on `err` when there are none to have.
bool planDestinations(const CliRequest& request, const DiscoverEnvironment& environment,
                      fleet::DiscoveryPlan& plan, std::ostream& err) {
    if (request.targets.empty()) {
        const AdapterList adapters = enumerateAdapters(environment.adapters);
        if (adapters.empty()) {
            err << kNoAdapterMessage << '\n';
            return false;
        }
        for (const AdapterEntry& adapter : adapters) {
            if (request.localBindAddress != 0 && adapter.ipv4Address != request.localBindAddress) {
                continue;
            }
            plan.broadcasts.push_back(
                fleet::subnetBroadcast(adapter.ipv4Address, adapter.ipv4Mask));
        }
        if (plan.broadcasts.empty()) {
            err << kProgram << "--bind " << dottedAddress(request.localBindAddress)
                << ": no usable adapter has this address (see 'mervane-cli adapters')\n";
            return false;
        }
        return true;
    }
    StopSignal neverStopped;
    for (const std::string& target : request.targets) {
        const fleet::TargetText parsed = fleet::parseTarget(target);
        if (parsed.range) {
            plan.ranges.push_back(*parsed.range);
            continue;
        }
        const HostLookupResult host =
            lookUpHost(parsed.hostName, environment.resolver, neverStopped);
        if (!host.found) {
            err << kProgram << "cannot find host \"" << target << "\" (" << host.error << ")\n";
            return false;
        }
        const uint32_t address = ntohl(host.address.s_addr);
        plan.ranges.push_back({address, address});
    }
    return true;
}

}  // namespace

int runDiscover(const CliRequest& request, const DiscoverEnvironment& environment,
                std::ostream& out, std::ostream& err) {
    fleet::DiscoveryPlan plan;
    plan.localAddress = request.localBindAddress;
    plan.replyWindowMs = request.identTimeoutMs;
    plan.probe = request.probe;
    plan.tcpPort = request.port;
    plan.jobs = request.jobs;
    plan.trace = environment.trace;
    if (!planDestinations(request, environment, plan, err)) {
        err << std::flush;
        return kExitFailed;
    }
    if (environment.preparePlan) environment.preparePlan(plan);

    fleet::Discovery discovery;
    fleet::DiscoveryObserver quiet;
    const fleet::DiscoveryReport report = discovery.run(plan, quiet);
    if (!report.failure.empty()) {
        err << kProgram << report.failure << '\n' << std::flush;
        return kExitFailed;
    }
    out << (request.json ? discoveryJson(report) : discoveryText(report)) << std::flush;

    if (report.oversizedReplies > 0) {
        err << kProgram << report.oversizedReplies
            << " replies longer than 30 bytes were ignored (not units)\n";
    }
    if (report.repliesBeyondCap > 0) {
        err << kProgram << "only the first " << fleet::kMaxDiscoveredUnits << " units are listed; "
            << report.repliesBeyondCap << " replies from further sources were ignored\n";
    }
    bool everyProbeSucceeded = true;
    for (const fleet::DiscoveredUnit& unit : report.units)
        everyProbeSucceeded = everyProbeSucceeded && unit.error.empty();
    if (report.units.empty()) err << kProgram << "no unit answered\n";
    err << std::flush;
    return !report.units.empty() && everyProbeSucceeded ? kExitOk : kExitFailed;
}

}  // namespace mervane::cli
