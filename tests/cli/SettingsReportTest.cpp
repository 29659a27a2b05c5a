// Rendering of the settings: which rows and fields a unit's outputs and generation call for.

#include "tools/cli/SettingsReport.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace mervane::cli {
namespace {

TEST(SettingsReportTest, RowsAndFieldsFollowTheOutputsAndGeneration) {
    AutoOnOffSettings settings;
    settings.enableMask = 0x05;
    settings.onTime = {1, 2, 3, 4, 9, 9, 9, 9};
    settings.offTime = {10, 20, 30, 255, 9, 9, 9, 9};
    settings.intervalIndex = 40;  // beyond the interval list
    DeviceIdentity unit;
    unit.modelIndex = 17;  // four outputs
    unit.generation = UnitGeneration::kGen4;

    std::string text = settingsText(settings, unit);
    EXPECT_NE(text.find("DO4  disabled  ON   4 (400 ms)    OFF 255 (25500 ms)\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("DO5"), std::string::npos);
    EXPECT_EQ(text.find("Interval"), std::string::npos);
    auto json = nlohmann::json::parse(settingsJson(settings, unit));
    EXPECT_EQ(json["onTime"], nlohmann::json({1, 2, 3, 4}));
    EXPECT_EQ(json["offTime"], nlohmann::json({10, 20, 30, 255}));
    EXPECT_FALSE(json.contains("intervalMs"));

    unit.modelIndex = 3;  // five outputs
    unit.generation = UnitGeneration::kGen3;
    text = settingsText(settings, unit);
    EXPECT_NE(text.find("Interval  index 40 (not in the interval list)\nDO1  enabled\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("DO5  disabled\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("ON "), std::string::npos);
    json = nlohmann::json::parse(settingsJson(settings, unit));
    EXPECT_EQ(json["intervalIndex"], 40);
    EXPECT_EQ(json["intervalMs"], nullptr);
    EXPECT_FALSE(json.contains("onTime"));
}

}  // namespace
}  // namespace mervane::cli
