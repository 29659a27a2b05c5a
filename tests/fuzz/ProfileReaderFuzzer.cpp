// Any text as a profile. A refusal is well formed: a position for syntax errors and numbers too
// large to hold only, the key of every other fault, one line of detail. An accepted profile holds
// only what the format admits, and holds what the document says. A unit of the matching kind set
// from it is judged fit as a plain model of the check says, gets exactly the profile's fields from
// applyProfile, and what read would print of it reads back as the same profile.

#include <algorithm>
#include <array>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>
#include <variant>

#include "fleet/Profile.h"
#include "link/AutoOnOffSettings.h"

namespace {

using namespace mervane;
using namespace mervane::fleet;

void check(bool holds) {
    if (!holds) std::abort();
}

void checkRefusal(const ProfileError& error, std::string_view text) {
    const bool syntax = error.fault == ProfileFault::kNotJson;
    // A number beyond a double is refused wherever it stands, under no key of its own.
    const bool overflow = error.detail.rfind("number overflow", 0) == 0;
    check(!overflow || error.fault == ProfileFault::kOutOfRange);
    check(error.fault != ProfileFault::kUnreadable);
    const bool placed = syntax || overflow;
    check(placed == (error.line > 0) && placed == (error.column > 0));
    check(error.line <= 1 + std::count(text.begin(), text.end(), '\n'));
    check(!error.detail.empty() && error.detail.find('\n') == std::string::npos);
    constexpr std::array<std::string_view, 6> kKeys{"active",  "enableMask", "onTime",
                                                    "offTime", "intervalMs", "intervalIndex"};
    const bool keyed = !syntax && error.fault != ProfileFault::kNotObject && !overflow;
    check(keyed ? std::find(kKeys.begin(), kKeys.end(), error.key) != kKeys.end()
                : error.key.empty());
}

// The document's own values, read without the reader.
void checkTakenFromDocument(const Profile& profile, std::string_view text) {
    const auto document = nlohmann::json::parse(text.begin(), text.end());
    check(document.at("active") == profile.active &&
          document.at("enableMask") == profile.enableMask);
    check(profile.enableMask <= 0xFF);
    if (profile.hasTimes()) {
        check(!profile.intervalIndex && profile.onTime.size() == profile.offTime.size());
        check(profile.onTime.size() <= kMaxOutputs);
        check(document.at("onTime") == profile.onTime && document.at("offTime") == profile.offTime);
        for (size_t i = 0; i < profile.onTime.size(); ++i) {
            check(profile.onTime[i] >= 0 && profile.onTime[i] <= 255);
            check(profile.offTime[i] >= 0 && profile.offTime[i] <= 255);
        }
        return;
    }
    check(profile.intervalIndex && *profile.intervalIndex >= 0 && *profile.intervalIndex <= 255);
    const auto& ms = document.at("intervalMs");
    check(ms.is_null() ? document.at("intervalIndex") == *profile.intervalIndex
                       : ms == intervalMs(*profile.intervalIndex).value_or(-1));
}

// A generation-4 unit with as many outputs as the profile has times where a model has that many
// (eight otherwise), or a generation-3 unit with five.
DeviceIdentity unitFor(const Profile& profile) {
    constexpr std::array<int32_t, 9> kModelWithOutputs{19, 19, 25, 1, 17, 3, 19, 19, 19};
    DeviceIdentity unit;
    unit.generation = profile.hasTimes() ? UnitGeneration::kGen4 : UnitGeneration::kGen3;
    unit.modelIndex = profile.hasTimes() ? kModelWithOutputs[profile.onTime.size()] : 3;
    return unit;
}

std::optional<MismatchKind> expectedMismatch(const Profile& profile, const DeviceIdentity& unit) {
    const auto outputs = static_cast<size_t>(outputCount(unit));
    if (hasPerOutputTimes(unit) != profile.hasTimes()) {
        return profile.hasTimes() ? MismatchKind::kNeedsInterval : MismatchKind::kNeedsTimes;
    }
    if ((profile.enableMask >> outputs) != 0) return MismatchKind::kOutputBeyondUnit;
    if (!profile.hasTimes()) {
        if (*profile.intervalIndex >= kIntervalCount) return MismatchKind::kIntervalNotInList;
        return std::nullopt;
    }
    for (size_t i = 0; i < std::min(outputs, profile.onTime.size()); ++i) {
        if (!isOnOffTime(profile.onTime[i]) || !isOnOffTime(profile.offTime[i])) {
            return MismatchKind::kTimeOutOfRange;
        }
    }
    return std::nullopt;
}

void checkOnUnits(const Profile& profile) {
    const DeviceIdentity unit = unitFor(profile);
    DeviceIdentity other = unit;
    other.generation = profile.hasTimes() ? UnitGeneration::kGen3 : UnitGeneration::kGen4;
    for (const DeviceIdentity& u : {unit, other}) {
        const auto mismatch = profileMismatch(profile, u);
        check(mismatch.has_value() == expectedMismatch(profile, u).has_value());
        check(!mismatch || mismatch->kind == *expectedMismatch(profile, u));
    }

    constexpr int32_t kKept = 77;  // what the unit had before, in every field the profile lacks
    AutoOnOffSettings before;
    before.onTime.fill(kKept);
    before.offTime.fill(kKept);
    before.intervalIndex = kKept;
    AutoOnOffSettings built = before;
    built.active = profile.active ? 1 : 0;
    built.enableMask = profile.enableMask;
    const auto outputs = static_cast<size_t>(outputCount(unit));
    const size_t given = std::min(outputs, profile.onTime.size());
    std::copy_n(profile.onTime.begin(), given, built.onTime.begin());
    std::copy_n(profile.offTime.begin(), given, built.offTime.begin());
    built.intervalIndex = profile.intervalIndex.value_or(kKept);
    if (!profileMismatch(profile, unit)) {
        AutoOnOffSettings applied = before;
        applyProfile(profile, unit, applied);
        check(applied.active == 0 && applied.enableMask == built.enableMask);
        check(applied.onTime == built.onTime && applied.offTime == built.offTime);
        check(applied.intervalIndex == built.intervalIndex);
    }

    const ProfileReading again = parseProfile(profileJson(built, unit));
    check(std::holds_alternative<Profile>(again));
    const Profile& read = std::get<Profile>(again);
    check(read.active == profile.active && read.enableMask == profile.enableMask);
    check(read.intervalIndex == profile.intervalIndex);
    check(read.onTime.size() == (profile.hasTimes() ? outputs : 0));
    for (size_t i = 0; i < read.onTime.size(); ++i) {
        check(read.onTime[i] == (i < given ? profile.onTime[i] : kKept));
        check(read.offTime[i] == (i < given ? profile.offTime[i] : kKept));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ProfileReading reading = parseProfile(text);
    if (const auto* error = std::get_if<ProfileError>(&reading)) {
        checkRefusal(*error, text);
        return 0;
    }
    const Profile& profile = std::get<Profile>(reading);
    checkTakenFromDocument(profile, text);
    checkOnUnits(profile);
    return 0;
}
