#include "fleet/SettingsComparison.h"

namespace mervane::fleet {

namespace {

// An interval in ms for comparing; -1 for an index outside IntervalList (a unit may report one).
int64_t comparableMs(int32_t intervalIndex) {
    return intervalMs(intervalIndex).value_or(-1);
}

}  // namespace

const char* fieldName(SettingDifference::Field field) {
    switch (field) {
        case SettingDifference::Field::kEnableMask:
            return "enableMask";
        case SettingDifference::Field::kActive:
            return "active";
        case SettingDifference::Field::kOnTime:
            return "onTime";
        case SettingDifference::Field::kOffTime:
            return "offTime";
        case SettingDifference::Field::kIntervalMs:
            return "intervalMs";
    }
    return "";
}

std::vector<SettingDifference> settingsDifferences(const Profile& profile,
                                                   const AutoOnOffSettings& settings,
                                                   const DeviceIdentity& unit) {
    using Field = SettingDifference::Field;
    // What the apply would leave: outputs the profile has no times for keep the unit's.
    AutoOnOffSettings written = settings;
    applyProfile(profile, unit, written);
    std::vector<SettingDifference> differences;
    const auto compare = [&differences](Field field, int output, int64_t held, int64_t wanted) {
        if (held != wanted) differences.push_back({field, output, held, wanted});
    };
    const int outputs = outputCount(unit);
    const uint32_t outputBits = (1U << outputs) - 1U;
    compare(Field::kEnableMask, 0, settings.enableMask & outputBits,
            written.enableMask & outputBits);
    if (hasPerOutputTimes(unit)) {
        for (int c = 0; c < outputs; ++c) {
            const auto i = static_cast<size_t>(c);
            compare(Field::kOnTime, c + 1, settings.onTime[i], written.onTime[i]);
            compare(Field::kOffTime, c + 1, settings.offTime[i], written.offTime[i]);
        }
    } else {
        compare(Field::kIntervalMs, 0, comparableMs(settings.intervalIndex),
                comparableMs(written.intervalIndex));
    }
    compare(Field::kActive, 0, settings.active != 0 ? 1 : 0, profile.active ? 1 : 0);
    return differences;
}

std::optional<int> firstTimeOutOfRange(const AutoOnOffSettings& settings,
                                       const DeviceIdentity& unit) {
    if (!hasPerOutputTimes(unit)) return std::nullopt;
    for (int c = 0; c < outputCount(unit); ++c) {
        const auto i = static_cast<size_t>(c);
        if (!isOnOffTime(settings.onTime[i]) || !isOnOffTime(settings.offTime[i])) return c + 1;
    }
    return std::nullopt;
}

}  // namespace mervane::fleet
