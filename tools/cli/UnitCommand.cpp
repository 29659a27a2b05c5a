#include "tools/cli/UnitCommand.h"

#include <nlohmann/json.hpp>
#include <ostream>

#include "fleet/JsonText.h"
#include "tools/cli/CheckReport.h"
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
        case CliCommand::kCheck:
            return fleet::UnitAction::kCheck;
        case CliCommand::kRead:
        case CliCommand::kAdapters:
        case CliCommand::kDiscover:
            break;  // the last two never reach a unit's work
    }
    return fleet::UnitAction::kRead;
}

}  // namespace

std::string failureText(const fleet::UnitOutcome& outcome) {
    if (outcome.result == fleet::UnitResult::kNotStarted) return kNotStarted;
    return outcome.message.empty() ? "failed" : outcome.message;
}

fleet::UnitTask unitTask(const UnitJob& job) {
    fleet::UnitTask task;
    task.action = unitAction(job.request.command);
    task.profile = job.profile;
    task.verify = job.request.verify;
    // The read before the write tells whether the unit holds the profile already.
    task.onlyWhereDifferent =
        job.request.command == CliCommand::kApply && job.profile != nullptr && !job.request.force;
    task.identTimeoutMs = job.request.identTimeoutMs;
    task.interruption = job.interruption;
    return task;
}

int exitStatus(const fleet::UnitOutcome& outcome) {
    if (outcome.succeeded()) return outcome.differences.empty() ? kExitOk : kExitDiffers;
    return outcome.result == fleet::UnitResult::kRefused ? kExitUsage : kExitFailed;
}

nlohmann::json resultObject(const CliRequest& request, const fleet::UnitOutcome& outcome) {
    if (request.command == CliCommand::kCheck) return differencesObject(outcome.differences);
    nlohmann::json object = fleet::profileObject(outcome.settings, outcome.identity);
    if (request.command == CliCommand::kApply && request.profilePath) {
        object["changed"] = outcome.result != fleet::UnitResult::kUnchanged;
    }
    if (outcome.result == fleet::UnitResult::kVerified) object["verified"] = true;
    return object;
}

void printUnitResult(const CliRequest& request, const std::string& host,
                     const fleet::UnitOutcome& outcome, std::ostream& out) {
    const bool check = request.command == CliCommand::kCheck;
    if (check && request.json) {
        nlohmann::json object =
            outcome.succeeded() ? resultObject(request, outcome) : nlohmann::json::object();
        object["host"] = host;
        if (!outcome.succeeded()) object["error"] = failureText(outcome);
        out << fleet::jsonText(object) << '\n' << std::flush;
        return;
    }
    const bool isSwitch =
        request.command == CliCommand::kStart || request.command == CliCommand::kStop;
    if (!outcome.succeeded() || (isSwitch && !request.json)) return;
    if (request.json) {
        out << fleet::jsonText(resultObject(request, outcome)) << '\n';
    } else if (check) {
        out << differencesText(outcome.differences);
    } else {
        out << settingsText(outcome.settings, outcome.identity);
        if (request.command == CliCommand::kApply && request.profilePath) {
            out << (outcome.result == fleet::UnitResult::kUnchanged ? "Changed   no\n"
                                                                    : "Changed   yes\n");
        }
        if (outcome.result == fleet::UnitResult::kVerified) out << "Verified  yes\n";
    }
    out << std::flush;
}

}  // namespace mervane::cli
