#include "bench/ProfileVariants.h"

#include <nlohmann/json.hpp>

namespace mervane::bench {

std::string variantProfileText(const std::string& readOutput, const ProfileVariant& variant) {
    nlohmann::json profile = nlohmann::json::parse(readOutput, nullptr, false);
    if (!profile.is_object() || !profile.contains("outputs") || !profile["outputs"].is_number()) {
        return "";
    }
    profile["enableMask"] = variant.enableMask;
    const auto outputs = profile["outputs"].get<size_t>();
    for (size_t i = 0; i < outputs; ++i) {
        profile["onTime"][i] = variant.onTime(i);
        profile["offTime"][i] = variant.offTime(i);
    }
    return profile.dump() + '\n';
}

void holdVariant(sim::SimulatedPlant& plant, size_t count, const ProfileVariant& variant) {
    for (size_t u = 0; u < count; ++u) {
        sim::UnitSettingsState state = plant.unit(u).settings();
        state.enableMask = variant.enableMask;
        for (size_t i = 0; i < state.onTime.size(); ++i) {
            state.onTime[i] = variant.onTime(i);
            state.offTime[i] = variant.offTime(i);
        }
        plant.unit(u).setSettings(state);
    }
}

bool holdsVariant(const sim::SimulatedPlant& plant, size_t count, const ProfileVariant& variant) {
    for (size_t u = 0; u < count; ++u) {
        const sim::UnitSettingsState state = plant.unit(u).settings();
        if (state.enableMask != variant.enableMask) return false;
        for (size_t i = 0; i < state.onTime.size(); ++i) {
            if (state.onTime[i] != variant.onTime(i) || state.offTime[i] != variant.offTime(i)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace mervane::bench
