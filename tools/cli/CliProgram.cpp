#include "tools/cli/CliProgram.h"

#include <memory>
#include <ostream>
#include <variant>

#include "net/Adapters.h"
#include "net/LinuxAdapterSource.h"
#include "net/LocalAddress.h"
#include "tools/cli/AdapterReport.h"
#include "tools/cli/CommandInputs.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/ConsoleWindow.h"
#include "tools/cli/DiscoverCommand.h"
#include "tools/cli/ExitStatus.h"
#include "tools/cli/FleetCommand.h"
#include "tools/cli/TraceOutput.h"
#include "tools/cli/UnitCommand.h"

namespace mervane::cli {

namespace {

AnswerPolicy answerPolicy(const CliRequest& request, bool inputIsTerminal) {
    // A check clears nothing, so there is nothing to ask.
    if (request.command == CliCommand::kCheck) return AnswerPolicy::kNoUnasked;
    if (request.assumeYes) return AnswerPolicy::kYes;
    return inputIsTerminal ? AnswerPolicy::kAskOnTerminal : AnswerPolicy::kNo;
}

int listAdapters(const CliRequest& request, AdapterSource* source, std::ostream& out,
                 std::ostream& err) {
    LinuxAdapterSource machine;
    const AdapterList adapters = enumerateAdapters(source != nullptr ? *source : machine);
    if (adapters.empty()) {
        err << kNoAdapterMessage << '\n' << std::flush;
        return kExitFailed;
    }
    out << (request.json ? adaptersJson(adapters) : adaptersText(adapters)) << std::flush;
    return kExitOk;
}

int printExit(const CliExit& exit, std::ostream& err) {
    err << exit.err << std::flush;
    return exit.status;
}

// The files a command reads, which its trace must never overwrite.
std::vector<TraceOutput::Input> inputPaths(const CliRequest& request) {
    std::vector<TraceOutput::Input> inputs;
    if (request.profilePath) inputs.push_back({"--profile", *request.profilePath});
    if (request.hostsFile && *request.hostsFile != "-") {
        inputs.push_back({"--hosts", *request.hostsFile});
    }
    return inputs;
}

}  // namespace

int runCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err, bool inputIsTerminal,
           const std::function<void(DeviceLink&)>& prepareLink, AdapterSource* adapterSource,
           const std::function<void(fleet::DiscoveryPlan&)>& preparePlan,
           Interruption* interruption) {
    auto parsed = parseCommandLine(args);
    if (const auto* exit = std::get_if<CliExit>(&parsed)) {
        out << exit->out << std::flush;
        err << exit->err << std::flush;
        return exit->status;
    }
    const CliRequest& request = std::get<CliRequest>(parsed);
    const bool unitCommand =
        request.command != CliCommand::kAdapters && request.command != CliCommand::kDiscover;
    if (unitCommand && request.localBindAddress != 0 && !isLocalAddress(request.localBindAddress)) {
        return printExit(usageError("--bind " + dottedAddress(request.localBindAddress) +
                                    ": this machine has no such address (see 'mervane-cli "
                                    "adapters')"),
                         err);
    }
    // Read before the trace file is opened, and so emptied: it may be one of them by mistake.
    std::variant<CommandInputs, CliExit> inputs = CommandInputs{};
    if (unitCommand) inputs = readCommandInputs(request, in);
    if (const auto* exit = std::get_if<CliExit>(&inputs)) return printExit(*exit, err);
    std::unique_ptr<TraceOutput> trace;
    if (request.tracePath) {
        auto opened = TraceOutput::open(*request.tracePath, request.json, err, inputPaths(request));
        if (const auto* exit = std::get_if<CliExit>(&opened)) return printExit(*exit, err);
        trace = std::move(std::get<std::unique_ptr<TraceOutput>>(opened));
    }
    TraceSink* traceSink = trace ? &trace->sink() : nullptr;
    if (request.command == CliCommand::kAdapters) {
        return listAdapters(request, adapterSource, out, err);
    }
    if (request.command == CliCommand::kDiscover) {
        LinuxAdapterSource machine;
        const DiscoverEnvironment environment{adapterSource != nullptr ? *adapterSource : machine,
                                              resolveWithSystem, preparePlan, traceSink};
        return runDiscover(request, environment, out, err);
    }

    const CommandInputs& unitInputs = std::get<CommandInputs>(inputs);
    const fleet::Profile* profile = unitInputs.profile ? &*unitInputs.profile : nullptr;
    const std::function<void(DeviceLink&)> prepareTracedLink = [&prepareLink,
                                                                traceSink](DeviceLink& link) {
        link.trace().setSink(traceSink);
        if (prepareLink) prepareLink(link);
    };
    if (unitInputs.severalHosts) {
        // Units being written to are finished on Ctrl+C, the others reported as not started.
        if (interruption != nullptr) interruption->setEndsAtOnceWhenIdle(false);
        const FleetSetup setup{request, unitInputs.hosts, profile, interruption, prepareTracedLink};
        return runFleet(setup, out, err);
    }

    DeviceLink link;
    link.setLocalBindAddress(request.localBindAddress);
    prepareTracedLink(link);

    const std::string& host = unitInputs.hosts.front();
    ConsoleWindow window(host, request.port, in, err);
    window.setAnswerPolicy(answerPolicy(request, inputIsTerminal));
    if (profile == nullptr) window.setChanges(request.changes);
    window.setStatusStream(request.json || request.command == CliCommand::kCheck ? nullptr : &out);

    const fleet::UnitOutcome outcome =
        fleet::runUnitWork(unitTask(UnitJob{request, profile, interruption}), link, window);
    printUnitResult(request, host, outcome, out);
    if (interruption != nullptr && interruption->requested()) {
        // Only a unit being written to outlives a Ctrl+C; its writing was finished.
        window.showDiagnostic(outcome.result == fleet::UnitResult::kNotStarted
                                  ? "interrupted; nothing was written"
                                  : "interrupted after the writing was finished");
        return kExitFailed;
    }
    return exitStatus(outcome);
}

}  // namespace mervane::cli
