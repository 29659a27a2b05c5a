#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fleet/Interruption.h"
#include "fleet/Profile.h"
#include "fleet/SettingsComparison.h"
#include "fleet/UnitWindow.h"
#include "link/AutoOnOffSettings.h"
#include "link/DeviceIdentity.h"
#include "link/DeviceLink.h"

namespace mervane::fleet {

enum class UnitAction {
    kRead,
    kApply,
    kStart,
    kStop,
    // Read, check that the profile fits and compare the unit with it; nothing is ever written,
    // not even a one-shot clearing (the one-shot question is answered No).
    kCheck,
};

// What one unit's work does.
struct UnitTask {
    UnitAction action = UnitAction::kRead;
    // kApply: the profile to write (checked against the unit first). Null: the window's gather
    // decides what is written on top of the settings read (the command line's --mask, ...).
    // kCheck: the profile to compare with; required.
    const Profile* profile = nullptr;
    bool verify = false;  // kApply: read back what was written, on the same session, and compare
    // kApply with a profile, kStart, kStop: a unit that already holds what would be written
    // (compared on the settings read when connecting) is written nothing: kUnchanged.
    bool onlyWhereDifferent = false;
    int32_t identTimeoutMs = 2000;  // the identification's time-out
    // Brackets the writing so that an interruption never cuts it short; null: not interruptible.
    Interruption* interruption = nullptr;
};

enum class UnitResult {
    kDone,         // read, written or switched
    kVerified,     // kApply with verify: every field written was read back as written
    kUnchanged,    // onlyWhereDifferent: the unit already held it; nothing was written
    kFailed,       // the link failed, or the check found a difference: see `message`
    kMisfit,       // the profile does not fit the unit: see `mismatch`; nothing was written
    kOneShotLeft,  // the unit holds one-shot settings and the answer was No; nothing written
    kRefused,      // the gather refused the requested changes; nothing was written
    kNotStarted,   // an interruption came before anything was written
};

struct UnitOutcome {
    UnitResult result = UnitResult::kFailed;
    // The last operator message or diagnostic shown, as shown: what failed ("通信エラー", ...).
    std::string message;
    // kFailed by the check after an apply: the first difference, in English (see
    // writtenSettingsDifference).
    std::string verifyDifference;
    std::optional<ProfileMismatch> mismatch;  // kMisfit
    bool identified = false;  // the unit answered the identification: `identity` is its
    DeviceIdentity identity;
    // The unit's settings once the work ended: as read, then as written and (after a switch)
    // with the new active flag. Valid when `settingsRead`.
    bool settingsRead = false;
    AutoOnOffSettings settings;
    // kCheck done: where the unit differs from the profile (settingsDifferences); empty when it
    // holds it.
    std::vector<SettingDifference> differences;

    bool succeeded() const {
        return result == UnitResult::kDone || result == UnitResult::kVerified ||
               result == UnitResult::kUnchanged;
    }
};

// One unit's work on `link`, reporting through `window`: identifies the unit (at the address and
// port the window's addressText() and portText() give), opens the session, reads the settings,
// carries out the task and closes the session. For kApply with a profile: checks that the
// profile fits, writes it with the apply sequence and switches the cycle when the profile's
// `active` differs from the unit's, then (verify) reads back and compares. Admits the writing
// through the task's interruption first, so that an interruption either finds the unit untouched
// (kNotStarted) or lets the writing and its check finish. For kCheck: the same fit check (kMisfit),
// then the differences, with kDone; a unit holding one-shot settings is kOneShotLeft whatever the
// window would answer. Prints nothing. Runs on the calling
// thread.
UnitOutcome runUnitWork(const UnitTask& task, DeviceLink& link, UnitWindow& window);

// runUnitWork() on a link of its own: made here, given to `prepareLink` (bind address, trace,
// time-outs), then worked on. An interruption already requested returns kNotStarted without a
// link being made.
UnitOutcome runUnitOnNewLink(const UnitTask& task, UnitWindow& window,
                             const std::function<void(DeviceLink&)>& prepareLink);

}  // namespace mervane::fleet
