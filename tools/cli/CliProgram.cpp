#include "tools/cli/CliProgram.h"

#include <ostream>
#include <variant>

#include "link/ConnectionProcedure.h"
#include "link/SettingsSequences.h"
#include "link/Status.h"
#include "net/Adapters.h"
#include "net/LinuxAdapterSource.h"
#include "tools/cli/AdapterReport.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/ConsoleWindow.h"
#include "tools/cli/DiscoverCommand.h"
#include "tools/cli/ExitStatus.h"
#include "tools/cli/SettingsReport.h"

namespace mervane::cli {

namespace {

AnswerPolicy answerPolicy(const CliRequest& request, bool inputIsTerminal) {
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

void printSettings(const CliRequest& request, const DeviceLink& link, std::ostream& out) {
    out << (request.json ? settingsJson(link.settings(), link.identity())
                         : settingsText(link.settings(), link.identity()))
        << std::flush;
}

// The command proper, on a connected link whose settings have just been read.
int runCommand(const CliRequest& request, DeviceLink& link, ConsoleWindow& window,
               std::ostream& out) {
    switch (request.command) {
        case CliCommand::kRead:
            printSettings(request, link, out);
            return kExitOk;
        case CliCommand::kApply:
            if (onApplySettings(link, window) != kStatusOk) {
                return window.changesRefused() ? kExitUsage : kExitFailed;
            }
            printSettings(request, link, out);
            return kExitOk;
        case CliCommand::kStart:
        case CliCommand::kStop:
            // Without --json the window prints the new status text.
            if (switchAutoOnOff(link, window, request.command == CliCommand::kStart) != kStatusOk) {
                return kExitFailed;
            }
            if (request.json) printSettings(request, link, out);
            return kExitOk;
        case CliCommand::kAdapters:
        case CliCommand::kDiscover:
            break;  // neither talks to one connected unit; run before any link is made
    }
    return kExitFailed;
}

}  // namespace

int runCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err, bool inputIsTerminal,
           const std::function<void(DeviceLink&)>& prepareLink, AdapterSource* adapterSource,
           const std::function<void(fleet::DiscoveryPlan&)>& preparePlan) {
    auto parsed = parseCommandLine(args);
    if (const auto* exit = std::get_if<CliExit>(&parsed)) {
        out << exit->out << std::flush;
        err << exit->err << std::flush;
        return exit->status;
    }
    const CliRequest& request = std::get<CliRequest>(parsed);
    if (request.command == CliCommand::kAdapters) {
        return listAdapters(request, adapterSource, out, err);
    }
    if (request.command == CliCommand::kDiscover) {
        LinuxAdapterSource machine;
        const DiscoverEnvironment environment{adapterSource != nullptr ? *adapterSource : machine,
                                              resolveWithSystem, preparePlan};
        return runDiscover(request, environment, out, err);
    }

    DeviceLink link;
    link.setLocalBindAddress(request.localBindAddress);
    if (prepareLink) prepareLink(link);

    ConsoleWindow window(request.host, request.port, in, err);
    window.setAnswerPolicy(answerPolicy(request, inputIsTerminal));
    window.setChanges(request.changes);
    window.setStatusStream(request.json ? nullptr : &out);

    ConnectionProcedure procedure(link, window);
    procedure.setTimeoutMs(request.identTimeoutMs);
    // Leaves no session open when it fails; the operator has been told why.
    if (procedure.connectUnit(window) != kStatusOk) return kExitFailed;

    const int status = runCommand(request, link, window, out);
    link.closeSession();
    return status;
}

}  // namespace mervane::cli
