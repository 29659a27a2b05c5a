#include "tools/cli/CheckReport.h"

#include <cstdio>
#include <nlohmann/json.hpp>

namespace mervane::cli {

namespace {

using Field = fleet::SettingDifference::Field;

// An interval the unit reports outside the list compares as -1 (fleet/SettingsComparison.h).
constexpr int64_t kUnlistedInterval = -1;

std::string valueText(Field field, int64_t value) {
    switch (field) {
        case Field::kEnableMask: {
            char text[24];
            std::snprintf(text, sizeof text, "0x%02llX", static_cast<unsigned long long>(value));
            return text;
        }
        case Field::kActive:
            return value != 0 ? "true" : "false";
        case Field::kIntervalMs:
            if (value == kUnlistedInterval) return "none";
            break;
        case Field::kOnTime:
        case Field::kOffTime:
            break;
    }
    return std::to_string(value);
}

nlohmann::json valueJson(Field field, int64_t value) {
    if (field == Field::kActive) return value != 0;
    if (field == Field::kIntervalMs && value == kUnlistedInterval) return nullptr;
    return value;
}

}  // namespace

std::string differencesText(const std::vector<fleet::SettingDifference>& differences) {
    if (differences.empty()) return "same\n";
    std::string text;
    for (const fleet::SettingDifference& d : differences) {
        if (d.output != 0) text += "DO" + std::to_string(d.output) + " ";
        text += std::string(fleet::fieldName(d.field)) + ": unit " + valueText(d.field, d.unit) +
                ", profile " + valueText(d.field, d.profile) + "\n";
    }
    return text;
}

nlohmann::json differencesObject(const std::vector<fleet::SettingDifference>& differences) {
    nlohmann::json list = nlohmann::json::array();
    for (const fleet::SettingDifference& d : differences) {
        nlohmann::json entry = {{"field", fleet::fieldName(d.field)},
                                {"unit", valueJson(d.field, d.unit)},
                                {"profile", valueJson(d.field, d.profile)}};
        if (d.output != 0) entry["output"] = d.output;
        list.push_back(std::move(entry));
    }
    return {{"same", differences.empty()}, {"differences", std::move(list)}};
}

}  // namespace mervane::cli
