#include "tools/cli/UnitCommand.h"

#include <nlohmann/json.hpp>
#include <ostream>

#include "fleet/JsonText.h"
#include "tools/cli/ExitStatus.h"
#include "tools/cli/SettingsReport.h"

namespace mervane::cli {

namespace {

fleet::UnitAction unitAction(CliCommand command) {
    switch (command) {
        case CliCommand::kApply:
            return fleet::UnitAction::kApply;
        case CliCommand::kStart:
            return fleet::UnitAction::kStart;
        case CliCommand::kStop:
            return fleet::UnitAction::kStop;
        case CliCommand::kRead:
        case CliCommand::kAdapters:
        case CliCommand::kDiscover:
            break;  // the last two never reach a unit's work
    }
    return fleet::UnitAction::kRead;
}

}  // namespace

fleet::UnitTask unitTask(const UnitJob& job) {
    fleet::UnitTask task;
    task.action = unitAction(job.request.command);
    task.profile = job.profile;
    task.verify = job.request.verify;
    task.identTimeoutMs = job.request.identTimeoutMs;
    task.interruption = job.interruption;
    return task;
}

int exitStatus(const fleet::UnitOutcome& outcome) {
    if (outcome.succeeded()) return kExitOk;
    return outcome.result == fleet::UnitResult::kRefused ? kExitUsage : kExitFailed;
}

nlohmann::json settingsResult(const fleet::UnitOutcome& outcome) {
    nlohmann::json object = fleet::profileObject(outcome.settings, outcome.identity);
    if (outcome.result == fleet::UnitResult::kVerified) object["verified"] = true;
    return object;
}

void printUnitResult(const CliRequest& request, const fleet::UnitOutcome& outcome,
                     std::ostream& out) {
    const bool isSwitch =
        request.command == CliCommand::kStart || request.command == CliCommand::kStop;
    if (!outcome.succeeded() || (isSwitch && !request.json)) return;
    if (request.json) {
        out << fleet::jsonText(settingsResult(outcome)) << '\n';
    } else {
        out << settingsText(outcome.settings, outcome.identity);
        if (outcome.result == fleet::UnitResult::kVerified) out << "Verified  yes\n";
    }
    out << std::flush;
}

}  // namespace mervane::cli
