#include "tools/cli/FleetCommand.h"

#include <nlohmann/json.hpp>
#include <sstream>

#include "fleet/DistinctUnits.h"
#include "fleet/JsonText.h"
#include "fleet/OrderedRun.h"
#include "fleet/UnitWork.h"
#include "tools/cli/ConsoleWindow.h"
#include "tools/cli/ExitStatus.h"
#include "tools/cli/UnitCommand.h"

namespace mervane::cli {

namespace {

struct UnitReport {
    bool succeeded = false;
    bool notStarted = false;
    bool differs = false;     // check: the unit differs from the profile
    std::string out;          // the unit's text block body, without the host line
    std::string err;          // its prefixed operator messages
    std::string error;        // what failed, for the result
    nlohmann::json settings;  // --json: the object a single unit prints
};

UnitReport runOneUnit(const FleetSetup& setup, const std::string& host) {
    UnitReport report;
    const CliRequest& request = setup.request;
    std::istringstream noInput;
    std::ostringstream out;
    std::ostringstream err;
    ConsoleWindow window(host, request.port, noInput, err);
    window.setLinePrefix(host + ": ");
    window.setAnswerPolicy(request.assumeYes ? AnswerPolicy::kYes : AnswerPolicy::kNoUnasked);
    if (setup.profile == nullptr) window.setChanges(request.changes);
    window.setStatusStream(request.json ? nullptr : &out);

    const fleet::UnitOutcome outcome =
        fleet::runUnitOnNewLink(unitTask(UnitJob{request, setup.profile, setup.interruption}),
                                window, [&setup](DeviceLink& link) {
                                    link.setLocalBindAddress(setup.request.localBindAddress);
                                    if (setup.prepareLink) setup.prepareLink(link);
                                });
    report.succeeded = outcome.succeeded();
    report.notStarted = outcome.result == fleet::UnitResult::kNotStarted;
    if (report.notStarted) return report;  // its messages only tell of the stop
    report.differs = !outcome.differences.empty();
    if (!request.json && report.succeeded) printUnitResult(request, host, outcome, out);
    report.out = out.str();
    report.err = err.str();
    report.error = failureText(outcome);
    if (report.succeeded && request.json) report.settings = resultObject(request, outcome);
    return report;
}

void printTextBlock(const std::string& host, const UnitReport& report, bool first,
                    std::ostream& out) {
    if (!first) out << '\n';
    out << "Host      " << host << '\n';
    if (report.succeeded) {
        out << report.out;
    } else {
        out << "Error     " << (report.notStarted ? kNotStarted : report.error) << '\n';
    }
    out << std::flush;
}

nlohmann::json jsonElement(const std::string& host, const UnitReport& report) {
    nlohmann::json element = report.succeeded ? report.settings : nlohmann::json::object();
    element["host"] = host;
    if (!report.succeeded) element["error"] = report.notStarted ? kNotStarted : report.error;
    return element;
}

// The hosts given, each unit once: two spellings of one address would open two sessions to one
// unit at once, and all but one would fail.
std::vector<std::string> distinctHosts(const FleetSetup& setup, std::ostream& err) {
    DeviceLink lookups;  // the resolver and stop signal every unit's link has
    if (setup.prepareLink) setup.prepareLink(lookups);
    const fleet::InterruptionWatchGuard watching(setup.interruption, lookups.stopSignal());
    fleet::DistinctUnits units = fleet::distinctUnits(setup.hosts, lookups.hostResolver(),
                                                      lookups.stopSignal(), setup.request.jobs);
    for (const fleet::RepeatedUnit& repeated : units.repeated) {
        err << ("mervane-cli: " + repeated.host + ": the same unit as " + repeated.sameAs +
                ", which is worked on and reported once\n");
    }
    err << std::flush;
    return std::move(units.hosts);
}

}  // namespace

int runFleet(const FleetSetup& setup, std::ostream& out, std::ostream& err) {
    const std::vector<std::string> hosts = distinctHosts(setup, err);
    std::vector<UnitReport> reports(hosts.size());
    bool failed = false;
    bool differs = false;
    size_t notStarted = 0;
    nlohmann::json array = nlohmann::json::array();
    // Printed in the order given, each as soon as it and those before it are done.
    fleet::runInOrder(
        hosts.size(), setup.request.jobs,
        [&setup, &hosts, &reports](size_t i) { reports[i] = runOneUnit(setup, hosts[i]); },
        [&](size_t i) {
            const UnitReport& report = reports[i];
            err << report.err << std::flush;
            if (setup.request.json) {
                array.push_back(jsonElement(hosts[i], report));
            } else {
                printTextBlock(hosts[i], report, i == 0, out);
            }
            failed = failed || !report.succeeded;
            differs = differs || report.differs;
            if (report.notStarted) ++notStarted;
        });
    if (setup.request.json) out << fleet::jsonText(array) << '\n' << std::flush;
    int status = failed ? kExitFailed : differs ? kExitDiffers : kExitOk;
    // Even when the request came while the last units were being written, and every unit was
    // finished: the run was interrupted, as a single unit's is.
    if (setup.interruption != nullptr && setup.interruption->requested()) {
        // One insertion, so that a trace on standard error cannot split the line.
        err << ("mervane-cli: interrupted: " + std::to_string(notStarted) + " of " +
                std::to_string(hosts.size()) + " units not started\n")
            << std::flush;
        status = kExitFailed;
    }
    return status;
}

}  // namespace mervane::cli
