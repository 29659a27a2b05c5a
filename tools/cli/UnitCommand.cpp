#include "tools/cli/UnitCommand.h"

#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>

#include "fleet/JsonText.h"
#include "fleet/WrittenSettingsCheck.h"
#include "link/ConnectionProcedure.h"
#include "link/SettingsSequences.h"
#include "link/Status.h"
#include "tools/cli/ExitStatus.h"
#include "tools/cli/SettingsReport.h"

namespace mervane::cli {

namespace {

// Holds a unit's writing against an interruption for as long as it lives.
class WritingGuard {
  public:
    WritingGuard(Interruption* interruption, StopSignal& link)
        : interruption_(interruption), link_(link) {
        admitted_ = interruption_ == nullptr || interruption_->beginWriting(link_);
    }
    ~WritingGuard() {
        if (interruption_ != nullptr && admitted_) interruption_->endWriting(link_);
    }
    WritingGuard(const WritingGuard&) = delete;
    WritingGuard& operator=(const WritingGuard&) = delete;

    bool admitted() const { return admitted_; }

  private:
    Interruption* interruption_;
    StopSignal& link_;
    bool admitted_ = false;
};

void printSettings(const CliRequest& request, const DeviceLink& link, bool verified,
                   std::ostream& out) {
    if (request.json) {
        out << fleet::jsonText(settingsResult(link, verified)) << '\n';
    } else {
        out << settingsText(link.settings(), link.identity());
        if (verified) out << "Verified  yes\n";
    }
    out << std::flush;
}

// Reads back what the apply wrote, on the same session, and compares every field written.
bool verifyWritten(DeviceLink& link, ConsoleWindow& window, bool activeWritten) {
    AutoOnOffSettings read;
    if (readSettingsSteps(link, window, read) != kStatusOk) return false;
    const std::string difference =
        fleet::writtenSettingsDifference(link.settings(), read, link.identity(), activeWritten);
    if (difference.empty()) return true;
    window.showDiagnostic("verify: " + difference);
    return false;
}

// apply on a connected unit. Nothing is written when the profile or the changes do not fit.
int applyToUnit(const UnitJob& job, DeviceLink& link, ConsoleWindow& window, UnitOutcome& outcome,
                const std::function<bool()>& admitWriting) {
    const DeviceIdentity& unit = link.identity();
    if (job.profile != nullptr) {
        if (const auto mismatch = fleet::profileMismatch(*job.profile, unit)) {
            window.showDiagnostic(fleet::describeMismatch(*mismatch, unit) + "; nothing written");
            return kExitFailed;
        }
        fleet::applyProfile(*job.profile, unit, link.settings());
    }
    // Checked before the writing is admitted, so that a refusal never counts as begun.
    AutoOnOffSettings gathered = link.settings();
    if (window.gatherAutoOnOffSettings(gathered, unit) != kStatusOk) {
        return window.changesRefused() ? kExitUsage : kExitFailed;
    }
    if (!admitWriting()) {
        outcome.notStarted = true;
        return kExitFailed;
    }
    if (onApplySettings(link, window) != kStatusOk) return kExitFailed;
    const bool switchCycle =
        job.profile != nullptr && job.profile->active != (link.settings().active != 0);
    if (switchCycle) {
        window.setStatusStream(nullptr);  // the settings printed below show the new state
        if (switchAutoOnOff(link, window, job.profile->active) != kStatusOk) return kExitFailed;
    }
    if (job.request.verify) {
        if (!verifyWritten(link, window, switchCycle)) return kExitFailed;
        outcome.verified = true;
    }
    return kExitOk;
}

int switchUnit(const UnitJob& job, DeviceLink& link, ConsoleWindow& window, UnitOutcome& outcome,
               const std::function<bool()>& admitWriting) {
    if (!admitWriting()) {
        outcome.notStarted = true;
        return kExitFailed;
    }
    return switchAutoOnOff(link, window, job.request.command == CliCommand::kStart) == kStatusOk
               ? kExitOk
               : kExitFailed;
}

}  // namespace

nlohmann::json settingsResult(const DeviceLink& link, bool verified) {
    nlohmann::json object = fleet::profileObject(link.settings(), link.identity());
    if (verified) object["verified"] = true;
    return object;
}

UnitOutcome runUnitCommand(const UnitJob& job, DeviceLink& link, ConsoleWindow& window,
                           std::ostream& out, bool printResult) {
    UnitOutcome outcome;
    InterruptionWatchGuard watching(job.interruption, link.stopSignal());
    // Once admitted, the writing goes on to the end of the command: clearing one-shot settings
    // during the read, or the apply and its check.
    std::optional<WritingGuard> writing;
    const std::function<bool()> admitWriting = [&] {
        if (!writing) writing.emplace(job.interruption, link.stopSignal());
        return writing->admitted();
    };
    window.setYesGate(admitWriting);
    ConnectionProcedure procedure(link, window);
    procedure.setTimeoutMs(job.request.identTimeoutMs);
    // Leaves no session open when it fails; the operator has been told why.
    if (procedure.connectUnit(window) != kStatusOk) {
        outcome.notStarted = job.interruption != nullptr && job.interruption->requested() &&
                             (!writing || !writing->admitted());
        return outcome;
    }
    switch (job.request.command) {
        case CliCommand::kRead:
            outcome.status = kExitOk;
            break;
        case CliCommand::kApply:
            outcome.status = applyToUnit(job, link, window, outcome, admitWriting);
            break;
        case CliCommand::kStart:
        case CliCommand::kStop:
            // Without --json the window prints the new status text.
            outcome.status = switchUnit(job, link, window, outcome, admitWriting);
            break;
        case CliCommand::kAdapters:
        case CliCommand::kDiscover:
            break;  // neither talks to one connected unit
    }
    link.closeSession();
    window.setYesGate({});
    const bool isSwitch =
        job.request.command == CliCommand::kStart || job.request.command == CliCommand::kStop;
    if (printResult && outcome.status == kExitOk && (!isSwitch || job.request.json)) {
        printSettings(job.request, link, outcome.verified, out);
    }
    return outcome;
}

}  // namespace mervane::cli
