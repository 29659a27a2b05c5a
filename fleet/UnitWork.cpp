#include "fleet/UnitWork.h"

#include <optional>

#include "fleet/SettingsComparison.h"
#include "fleet/WrittenSettingsCheck.h"
#include "link/ConnectionProcedure.h"
#include "link/SettingsSequences.h"
#include "link/Status.h"

namespace mervane::fleet {

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

// The window the connect reports through: passes everything on, and notes what the connect's
// failure alone does not tell: whether the identification failed (its one message) and whether
// the one-shot question was answered No.
class ConnectWindow final : public OperatorWindow {
  public:
    explicit ConnectWindow(UnitWindow& window) : window_(window) {}

    bool identificationFailed() const { return identificationFailed_; }
    bool answeredNo() const { return answeredNo_; }

    void showMessage(const std::string& text) override {
        identificationFailed_ = text == kCommunicationErrorMessage;
        window_.showMessage(text);
    }
    bool askYesNo(const std::string& text) override {
        answeredNo_ = !window_.askYesNo(text);
        return !answeredNo_;
    }
    void showAutoOnOffSettings(const AutoOnOffSettings& settings,
                               const DeviceIdentity& unit) override {
        window_.showAutoOnOffSettings(settings, unit);
    }
    int gatherAutoOnOffSettings(AutoOnOffSettings& settings, const DeviceIdentity& unit) override {
        return window_.gatherAutoOnOffSettings(settings, unit);
    }
    void setStatusText(const std::string& text) override { window_.setStatusText(text); }
    void setConnectCaption(const std::string& caption) override {
        window_.setConnectCaption(caption);
    }
    void enableConnectButton(bool enabled) override { window_.enableConnectButton(enabled); }
    void setUnitIdText(const std::string& text) override { window_.setUnitIdText(text); }
    void setModelText(const std::string& text) override { window_.setModelText(text); }
    void applyConnectionState(ConnectionState state, const DeviceIdentity& unit) override {
        window_.applyConnectionState(state, unit);
    }
    std::string addressText() override { return window_.addressText(); }
    std::string portText() override { return window_.portText(); }

  private:
    UnitWindow& window_;
    bool identificationFailed_ = false;
    bool answeredNo_ = false;
};

// One unit's work from the connect on: the task, the link, the window and the admission of the
// writing, shared by the steps below.
struct Work {
    const UnitTask& task;
    DeviceLink& link;
    UnitWindow& window;
    const std::function<bool()>& admitWriting;
    UnitOutcome& outcome;
};

// Reads back what the apply wrote, on the same session, and compares every field written.
UnitResult verifyWritten(const Work& work, bool activeWritten) {
    AutoOnOffSettings read;
    if (readSettingsSteps(work.link, work.window, read) != kStatusOk) return UnitResult::kFailed;
    work.outcome.verifyDifference =
        writtenSettingsDifference(work.link.settings(), read, work.link.identity(), activeWritten);
    if (work.outcome.verifyDifference.empty()) return UnitResult::kVerified;
    work.window.showDiagnostic("verify: " + work.outcome.verifyDifference);
    return UnitResult::kFailed;
}

// Whether `profile` fits the connected unit; when not, says why (a check words it as apply does,
// so that it tells what the apply would say).
bool profileFits(const Work& work, const Profile& profile) {
    const DeviceIdentity& unit = work.link.identity();
    work.outcome.mismatch = profileMismatch(profile, unit);
    if (!work.outcome.mismatch) return true;
    work.window.showDiagnostic(describeMismatch(*work.outcome.mismatch, unit) +
                               "; nothing written");
    return false;
}

// apply on a connected unit. Nothing is written when the profile or the changes do not fit, or
// (onlyWhereDifferent) when the unit holds the profile already.
UnitResult applyToUnit(const Work& work) {
    DeviceLink& link = work.link;
    const DeviceIdentity& unit = link.identity();
    const Profile* profile = work.task.profile;
    if (profile != nullptr) {
        if (!profileFits(work, *profile)) return UnitResult::kMisfit;
        if (work.task.onlyWhereDifferent &&
            settingsDifferences(*profile, link.settings(), unit).empty()) {
            return UnitResult::kUnchanged;
        }
        applyProfile(*profile, unit, link.settings());
    }
    // Checked before the writing is admitted, so that a refusal never counts as begun.
    AutoOnOffSettings gathered = link.settings();
    if (work.window.gatherAutoOnOffSettings(gathered, unit) != kStatusOk) {
        return work.window.changesRefused() ? UnitResult::kRefused : UnitResult::kFailed;
    }
    if (!work.admitWriting()) return UnitResult::kNotStarted;
    if (onApplySettings(link, work.window) != kStatusOk) return UnitResult::kFailed;
    const bool switchCycle = profile != nullptr && profile->active != (link.settings().active != 0);
    if (switchCycle) {
        work.window.quietStatusTexts();  // the settings shown afterwards say the new state
        if (switchAutoOnOff(link, work.window, profile->active) != kStatusOk) {
            return UnitResult::kFailed;
        }
    }
    return work.task.verify ? verifyWritten(work, switchCycle) : UnitResult::kDone;
}

// check on a connected unit: reads were all it took.
UnitResult compareWithProfile(const Work& work) {
    const Profile* profile = work.task.profile;
    if (profile == nullptr) return UnitResult::kFailed;
    if (!profileFits(work, *profile)) return UnitResult::kMisfit;
    work.outcome.differences =
        settingsDifferences(*profile, work.link.settings(), work.link.identity());
    return UnitResult::kDone;
}

UnitResult switchUnit(const Work& work) {
    const bool on = work.task.action == UnitAction::kStart;
    if (work.task.onlyWhereDifferent && (work.link.settings().active != 0) == on) {
        return UnitResult::kUnchanged;
    }
    if (!work.admitWriting()) return UnitResult::kNotStarted;
    return switchAutoOnOff(work.link, work.window, on) == kStatusOk ? UnitResult::kDone
                                                                    : UnitResult::kFailed;
}

UnitResult workOnConnected(const Work& work) {
    switch (work.task.action) {
        case UnitAction::kRead:
            return UnitResult::kDone;
        case UnitAction::kApply:
            return applyToUnit(work);
        case UnitAction::kStart:
        case UnitAction::kStop:
            return switchUnit(work);
        case UnitAction::kCheck:
            return compareWithProfile(work);
    }
    return UnitResult::kFailed;
}

}  // namespace

UnitOutcome runUnitWork(const UnitTask& task, DeviceLink& link, UnitWindow& window) {
    UnitOutcome outcome;
    InterruptionWatchGuard watching(task.interruption, link.stopSignal());
    // Once admitted, the writing goes on to the end of the work: clearing one-shot settings
    // during the read, or the apply and its check.
    std::optional<WritingGuard> writing;
    const std::function<bool()> admitWriting = [&] {
        if (!writing) writing.emplace(task.interruption, link.stopSignal());
        return writing->admitted();
    };
    // A check writes nothing: clearing one-shot settings would be a write.
    const bool writes = task.action != UnitAction::kCheck;
    window.setYesGate(writes ? admitWriting : std::function<bool()>([] { return false; }));
    ConnectionProcedure procedure(link, window);
    procedure.setTimeoutMs(task.identTimeoutMs);
    ConnectWindow connectWindow(window);
    // Leaves no session open when it fails; the operator has been told why.
    if (procedure.connectUnit(connectWindow) != kStatusOk) {
        const bool notStarted = task.interruption != nullptr && task.interruption->requested() &&
                                (!writing || !writing->admitted());
        outcome.result = notStarted                   ? UnitResult::kNotStarted
                         : connectWindow.answeredNo() ? UnitResult::kOneShotLeft
                                                      : UnitResult::kFailed;
        outcome.identified = !connectWindow.identificationFailed();
    } else {
        outcome.identified = true;
        outcome.settingsRead = true;
        outcome.result = workOnConnected({task, link, window, admitWriting, outcome});
        // The connect cleared one-shot settings: the unit did change, though the rest was held.
        if (outcome.result == UnitResult::kUnchanged && writing && writing->admitted()) {
            outcome.result = UnitResult::kDone;
        }
    }
    link.closeSession();
    window.setYesGate({});
    outcome.message = window.lastMessage();
    outcome.identity = link.identity();
    outcome.settings = link.settings();
    return outcome;
}

UnitOutcome runUnitOnNewLink(const UnitTask& task, UnitWindow& window,
                             const std::function<void(DeviceLink&)>& prepareLink) {
    if (task.interruption != nullptr && task.interruption->requested()) {
        UnitOutcome outcome;
        outcome.result = UnitResult::kNotStarted;
        return outcome;
    }
    DeviceLink link;
    if (prepareLink) prepareLink(link);
    return runUnitWork(task, link, window);
}

}  // namespace mervane::fleet
