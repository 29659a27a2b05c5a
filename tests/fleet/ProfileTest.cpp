// Profiles: every fault the reader gives, with its kind and key (tests/profiles/refused.json is
// shared with the schema's check), what read prints coming back unchanged, and the fit check and
// the copy onto a unit's settings.

#include "fleet/Profile.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace mervane::fleet {
namespace {

std::string sourceText(const std::string& path) {
    std::ifstream file(std::string(MERVANE_SOURCE_DIR) + "/" + path);
    return {std::istreambuf_iterator<char>(file), {}};
}

DeviceIdentity unitOf(int32_t model, UnitGeneration generation) {
    DeviceIdentity unit;
    unit.modelIndex = model;
    unit.generation = generation;
    return unit;
}

Profile accepted(const std::string& text) {
    const ProfileReading reading = parseProfile(text);
    if (const auto* error = std::get_if<ProfileError>(&reading)) ADD_FAILURE() << error->detail;
    return std::holds_alternative<Profile>(reading) ? std::get<Profile>(reading) : Profile{};
}

TEST(ProfileTest, EveryFaultNamesItsKindAndKey) {
    const char* const kFaults[] = {"kUnreadable", "kNotJson",   "kNotObject",
                                   "kMissingKey", "kWrongType", "kOutOfRange"};
    // The comma missing at the end of line 2 is found at the key on line 3, "enableMask".
    const ProfileReading comma =
        parseProfile("{\n  \"active\": true\n  \"enableMask\": 1,\n  \"intervalMs\": 500\n}\n");
    const auto& syntax = std::get<ProfileError>(comma);
    EXPECT_EQ(syntax.fault, ProfileFault::kNotJson);
    EXPECT_EQ(syntax.line, 3);
    EXPECT_TRUE(syntax.column >= 3 && syntax.column <= 14) << syntax.column;
    EXPECT_EQ(describeProfileError(syntax, "u.json").rfind("u.json:3:", 0), 0U);
    // Whole numbers only: JSON Schema cannot tell these from 5, the reader does.
    for (const char* text : {R"({"active":true,"enableMask":5.0,"intervalMs":500})",
                             R"({"active":true,"enableMask":5,"intervalMs":5e2})"}) {
        EXPECT_EQ(std::get<ProfileError>(parseProfile(text)).fault, ProfileFault::kWrongType);
    }
    // A number beyond a double, even under an ignored key, is refused rather than thrown, and
    // named by where it starts.
    const ProfileReading huge = parseProfile("{\"active\":true,\n  \"note\": -1e309}");
    EXPECT_EQ(describeProfileError(std::get<ProfileError>(huge), "u.json"),
              "u.json:2:11: number overflow parsing '-1e309'");
    const auto refused = nlohmann::json::parse(sourceText("tests/profiles/refused.json"));
    ASSERT_GE(refused.size(), 20U);
    for (const auto& c : refused) {
        const ProfileReading reading = parseProfile(c["profile"].dump());
        ASSERT_TRUE(std::holds_alternative<ProfileError>(reading)) << c["why"];
        const auto& error = std::get<ProfileError>(reading);
        EXPECT_EQ(kFaults[static_cast<int>(error.fault)], c["fault"]) << c["why"];
        EXPECT_EQ(error.key, c["key"]) << c["why"];
        EXPECT_EQ(error.line, 0) << c["why"];
    }
    // A file is read up to 64 KiB, spaces included; one byte more is refused unparsed.
    const std::string path = ::testing::TempDir() + "profile-test.json";
    const std::string body = R"({"active":true,"enableMask":1,"intervalMs":500})";
    for (const size_t size : {kMaxProfileBytes, kMaxProfileBytes + 1}) {
        std::ofstream(path, std::ios::trunc) << body << std::string(size - body.size(), ' ');
        const ProfileReading reading = readProfileFile(path);
        if (size == kMaxProfileBytes) {
            EXPECT_TRUE(std::holds_alternative<Profile>(reading));
        } else {
            EXPECT_EQ(std::get<ProfileError>(reading).fault, ProfileFault::kTooLarge);
        }
    }
    std::filesystem::remove(path);
    for (const std::string& unreadable : {path, ::testing::TempDir()}) {  // absent, a folder
        EXPECT_EQ(std::get<ProfileError>(readProfileFile(unreadable)).fault,
                  ProfileFault::kUnreadable);
    }
}

TEST(ProfileTest, AnOffendingValueIsQuotedCutShort) {
    const std::string x(60000, 'x');  // where true or false belongs, and a string left open
    for (const std::string& text : {R"({"active":[")" + x + "\"]}", R"({"active":")" + x}) {
        const std::string detail = std::get<ProfileError>(parseProfile(text)).detail;
        EXPECT_LT(detail.size(), 200U);
        EXPECT_NE(detail.find("xx..."), std::string::npos) << detail.substr(0, 300);
    }
}

TEST(ProfileTest, WhatReadPrintsAndTheDocumentedExamplesAreTaken) {
    AutoOnOffSettings settings;
    settings.active = 2;  // a unit's "running" may be any non-zero value
    settings.enableMask = 0xA5;
    settings.onTime = {0, 1, 2, 3, 4, 5, 254, 255};
    settings.offTime = {255, 7, 0, 9, 10, 11, 12, 13};
    for (const auto& [model, generation, index] :
         {std::tuple{19, UnitGeneration::kGen4, 0}, std::tuple{25, UnitGeneration::kGen4, 0},
          std::tuple{3, UnitGeneration::kGen3, 31}, std::tuple{1, UnitGeneration::kGen3, 255}}) {
        const DeviceIdentity unit = unitOf(model, generation);
        settings.intervalIndex = index;
        const Profile profile = accepted(profileJson(settings, unit));
        const auto outputs = static_cast<size_t>(hasPerOutputTimes(unit) ? outputCount(unit) : 0);
        EXPECT_TRUE(profile.active);
        EXPECT_EQ(profile.enableMask, 0xA5U);
        EXPECT_EQ(profile.onTime,
                  std::vector<int32_t>(settings.onTime.begin(), settings.onTime.begin() + outputs));
        EXPECT_EQ(profile.offTime, std::vector<int32_t>(settings.offTime.begin(),
                                                        settings.offTime.begin() + outputs));
        EXPECT_EQ(profile.intervalIndex, outputs ? std::nullopt : std::optional(index)) << model;
    }
    // intervalMs decides over an index that contradicts it; unknown keys are passed over.
    EXPECT_EQ(accepted(R"({"active":false,"enableMask":0,"intervalMs":14000,"intervalIndex":"x",
                           "unitId":[],"note":{"a":1}})")
                  .intervalIndex,
              31);
    const std::string docs = sourceText("docs/profiles.md");
    int examples = 0;
    for (size_t at = docs.find("```json\n"); at != std::string::npos;
         at = docs.find("```json\n", at), ++examples) {
        at += 8;
        accepted(docs.substr(at, docs.find("```", at) - at));
    }
    EXPECT_GE(examples, 3);
}

TEST(ProfileTest, AProfileIsWrittenOnlyWhereItFitsAndOnlyWhatItHolds) {
    const DeviceIdentity eight = unitOf(19, UnitGeneration::kGen4);
    const DeviceIdentity four = unitOf(17, UnitGeneration::kGen4);
    const DeviceIdentity gen3 = unitOf(3, UnitGeneration::kGen3);
    const std::string times8 =
        R"("onTime":[5,5,5,5,0,0,0,0],"offTime":[5,5,5,5,0,0,0,0]})";  // DO5..DO8 left at 0
    struct Case {
        std::string text;
        DeviceIdentity unit;
        std::optional<MismatchKind> kind;
        int output = 0;
        bool onTime = true;
    };
    const Case cases[] = {
        {R"({"active":true,"enableMask":1,"intervalMs":500})", eight, MismatchKind::kNeedsTimes},
        {R"({"active":true,"enableMask":1,"onTime":[5],"offTime":[5]})", gen3,
         MismatchKind::kNeedsInterval},
        {R"({"active":true,"enableMask":255,)" + times8, four, MismatchKind::kOutputBeyondUnit, 5},
        {R"({"active":true,"enableMask":15,)" + times8, four, std::nullopt},
        {R"({"active":true,"enableMask":15,)" + times8, eight, MismatchKind::kTimeOutOfRange, 5},
        {R"({"active":true,"enableMask":1,"onTime":[5,9],"offTime":[5,0]})", eight,
         MismatchKind::kTimeOutOfRange, 2, false},  // DO2 is disabled, but told its times too
        {R"({"active":true,"enableMask":1,"intervalMs":null,"intervalIndex":32})", gen3,
         MismatchKind::kIntervalNotInList},
        {R"({"active":true,"enableMask":31,"intervalMs":14000})", gen3, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto mismatch = profileMismatch(accepted(c.text), c.unit);
        ASSERT_EQ(mismatch.has_value(), c.kind.has_value()) << c.text;
        if (!mismatch) continue;
        EXPECT_EQ(mismatch->kind, *c.kind) << c.text;
        EXPECT_EQ(mismatch->output, c.output) << c.text;
        EXPECT_TRUE(c.output == 0 || mismatch->onTime == c.onTime) << c.text;
    }
    // Outputs the profile has no times for, the interval of a timed unit and the state stay.
    AutoOnOffSettings settings;
    settings.onTime.fill(9);
    settings.offTime.fill(9);
    settings.intervalIndex = 7;
    applyProfile(accepted(R"({"active":true,"enableMask":3,"onTime":[1,2],"offTime":[3,4]})"),
                 eight, settings);
    EXPECT_EQ(settings.enableMask, 3U);
    EXPECT_EQ(settings.onTime, (std::array<int32_t, 8>{1, 2, 9, 9, 9, 9, 9, 9}));
    EXPECT_EQ(settings.offTime, (std::array<int32_t, 8>{3, 4, 9, 9, 9, 9, 9, 9}));
    EXPECT_EQ(settings.active, 0);
    EXPECT_EQ(settings.intervalIndex, 7);
    applyProfile(accepted(R"({"active":true,"enableMask":15,)" + times8), four, settings);
    EXPECT_EQ(settings.onTime, (std::array<int32_t, 8>{5, 5, 5, 5, 9, 9, 9, 9}));
    applyProfile(accepted(R"({"active":true,"enableMask":5,"intervalMs":200})"), gen3, settings);
    EXPECT_EQ(settings.intervalIndex, 1);
    EXPECT_EQ(settings.onTime[5], 9);
}

}  // namespace
}  // namespace mervane::fleet
