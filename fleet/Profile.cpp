#include "fleet/Profile.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "fleet/JsonText.h"
#include "link/ModelTable.h"

namespace mervane::fleet {

nlohmann::json profileObject(const AutoOnOffSettings& settings, const DeviceIdentity& unit) {
    const int outputs = outputCount(unit);
    nlohmann::json object = {
        {"unitId", unit.unitId},
        {"model", std::string(modelDisplayName(unit))},
        {"generation", static_cast<int>(unit.generation)},
        {"outputs", outputs},
        {"active", settings.active != 0},
        {"enableMask", settings.enableMask},
    };
    if (hasPerOutputTimes(unit)) {
        const auto n = static_cast<std::ptrdiff_t>(outputs);
        object["onTime"] =
            std::vector<int32_t>(settings.onTime.begin(), settings.onTime.begin() + n);
        object["offTime"] =
            std::vector<int32_t>(settings.offTime.begin(), settings.offTime.begin() + n);
    } else {
        object["intervalIndex"] = settings.intervalIndex;
        const auto ms = intervalMs(settings.intervalIndex);
        object["intervalMs"] = ms ? nlohmann::json(*ms) : nlohmann::json(nullptr);
    }
    return object;
}

std::string profileJson(const AutoOnOffSettings& settings, const DeviceIdentity& unit) {
    return jsonText(profileObject(settings, unit)) + '\n';
}

std::optional<ProfileMismatch> profileMismatch(const Profile& profile, const DeviceIdentity& unit) {
    const bool perOutputTimes = hasPerOutputTimes(unit);
    if (perOutputTimes && !profile.hasTimes()) {
        return ProfileMismatch{MismatchKind::kNeedsTimes, 0, true,
                               profile.intervalIndex.value_or(0)};
    }
    if (!perOutputTimes && profile.hasTimes()) {
        return ProfileMismatch{MismatchKind::kNeedsInterval, 0, true, 0};
    }
    const int outputs = outputCount(unit);
    const uint32_t beyond = profile.enableMask & ~((1U << outputs) - 1U);
    if (beyond != 0) {
        int first = outputs;
        while ((beyond >> first & 1U) == 0)
            ++first;
        return ProfileMismatch{MismatchKind::kOutputBeyondUnit, first + 1, true,
                               static_cast<int32_t>(profile.enableMask)};
    }
    if (!perOutputTimes) {
        if (!intervalMs(*profile.intervalIndex)) {
            return ProfileMismatch{MismatchKind::kIntervalNotInList, 0, true,
                                   *profile.intervalIndex};
        }
        return std::nullopt;
    }
    const size_t given = std::min(profile.onTime.size(), static_cast<size_t>(outputs));
    for (size_t i = 0; i < given; ++i) {
        const int output = static_cast<int>(i) + 1;
        if (!isOnOffTime(profile.onTime[i])) {
            return ProfileMismatch{MismatchKind::kTimeOutOfRange, output, true, profile.onTime[i]};
        }
        if (!isOnOffTime(profile.offTime[i])) {
            return ProfileMismatch{MismatchKind::kTimeOutOfRange, output, false,
                                   profile.offTime[i]};
        }
    }
    return std::nullopt;
}

std::string describeMismatch(const ProfileMismatch& mismatch, const DeviceIdentity& unit) {
    const std::string thisUnit = "this unit, " + unitDescription(unit) + ",";
    switch (mismatch.kind) {
        case MismatchKind::kNeedsTimes:
            return "the profile has one common interval, but " + thisUnit + " times each output";
        case MismatchKind::kNeedsInterval:
            return "the profile has per-output times, but " + thisUnit + " has one common interval";
        case MismatchKind::kOutputBeyondUnit: {
            char mask[8];
            std::snprintf(mask, sizeof mask, "0x%02X", static_cast<unsigned>(mismatch.value));
            return std::string("the profile's enableMask ") + mask + " enables DO" +
                   std::to_string(mismatch.output) + ", but " + thisUnit + " has DO1..DO" +
                   std::to_string(outputCount(unit)) + " only";
        }
        case MismatchKind::kTimeOutOfRange:
            return "the profile's DO" + std::to_string(mismatch.output) +
                   (mismatch.onTime ? " onTime " : " offTime ") + std::to_string(mismatch.value) +
                   " is outside 1..255; a unit refuses it";
        case MismatchKind::kIntervalNotInList:
            return "the profile's intervalIndex " + std::to_string(mismatch.value) +
                   " is not in the interval list (0..31)";
    }
    return "the profile does not fit this unit";
}

void applyProfile(const Profile& profile, const DeviceIdentity& unit, AutoOnOffSettings& settings) {
    settings.enableMask = profile.enableMask;
    if (!hasPerOutputTimes(unit)) {
        if (profile.intervalIndex) settings.intervalIndex = *profile.intervalIndex;
        return;
    }
    const size_t given = std::min(profile.onTime.size(), static_cast<size_t>(outputCount(unit)));
    for (size_t i = 0; i < given; ++i) {
        settings.onTime[i] = profile.onTime[i];
        settings.offTime[i] = profile.offTime[i];
    }
}

std::string unitDescription(const DeviceIdentity& unit) {
    return std::string(modelDisplayName(unit)) + " (generation " +
           std::to_string(static_cast<int>(unit.generation)) + ", " +
           std::to_string(outputCount(unit)) + " outputs)";
}

}  // namespace mervane::fleet
