// mervane-cli on several simulated units at once, in-process: results in the order given with
// each failure beside its host, profiles that fit or not, the one-shot question nobody is asked,
// and what an interruption leaves untouched. Units sit on 127.0.85.x.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/LoopbackUnit.h"
#include "tests/cli/CliTestUnits.h"
#include "tools/cli/CliProgram.h"
#include "tools/cli/ConsoleWindow.h"

namespace mervane::cli {
namespace {

using testing::CliRun;
using testing::readySettings;
using testing::sentAnySetting;
using Args = std::vector<std::string>;

constexpr const char* kAbsent = "127.0.85.99";  // no unit: the identification goes unanswered

class FleetCommandTest : public ::testing::Test {
  protected:
    sim::SimulatedUnit& add(int model, const char (&type)[3],
                            sim::UnitSettingsState initial = readySettings()) {
        sim::UnitConfig config = mervane::testing::unitConfig(model, type);
        config.initial = initial;
        const std::string address = "127.0.85." + std::to_string(addresses_.size() + 1);
        addresses_.push_back(address);
        return units_.add(address, config);
    }
    const std::string& address(size_t i) const { return addresses_[i]; }

    CliRun run(Args args, const std::string& input = {}, Interruption* interruption = nullptr) {
        args.insert(args.begin(), {"-T", "300", "--port", std::to_string(units_.tcpPort())});
        std::istringstream in(input);
        std::ostringstream out;
        std::ostringstream err;
        const uint16_t udpPort = units_.udpPort();
        const int status = runCli(
            args, in, out, err, false,
            [udpPort](DeviceLink& link) {
                link.setIdentificationPort(udpPort);
                link.setSessionTimeoutMs(300);
            },
            nullptr, {}, interruption);
        return {status, out.str(), err.str()};
    }

    std::string writeFile(const std::string& name, const std::string& text) {
        const std::string path = ::testing::TempDir() + name;
        std::ofstream(path) << text;
        return path;
    }

    mervane::testing::SharedPortUnits units_;
    std::vector<std::string> addresses_;
};

TEST_F(FleetCommandTest, ResultsComeInTheOrderGivenWithEachFailureBesideItsHost) {
    add(19, "_W");
    add(3, "_L");
    const std::string hosts =
        writeFile("hosts.txt", "# the plant\n" + address(0) + "\n\n  " + kAbsent + "  # spare\n");
    // The second unit, then the file's; 127.0.85.1 named twice is read once.
    const CliRun text = run({"--hosts", hosts, "read", address(1), address(0)});
    EXPECT_EQ(text.status, 1);
    const size_t second =
        text.out.find("Host      " + address(1) + "\nUnit id   0\nModel     KX-M03G3");
    const size_t first =
        text.out.find("\n\nHost      " + address(0) + "\nUnit id   0\nModel     KX-M19");
    const size_t absent =
        text.out.find(std::string("\n\nHost      ") + kAbsent + "\nError     通信エラー\n");
    EXPECT_EQ(second, 0u) << text.out;
    EXPECT_LT(first, absent) << text.out;
    EXPECT_NE(absent, std::string::npos) << text.out;
    EXPECT_EQ(text.out.find("Host      " + address(0), first + 3), std::string::npos);
    EXPECT_EQ(text.err, std::string(kAbsent) + ": 通信エラー\n");

    const CliRun json = run({"--json", "read", kAbsent, address(0)}, {});
    EXPECT_EQ(json.status, 1);
    const auto array = nlohmann::json::parse(json.out);
    ASSERT_EQ(array.size(), 2u);
    EXPECT_EQ(array[0], nlohmann::json({{"host", kAbsent}, {"error", "通信エラー"}}));
    EXPECT_EQ(array[1]["host"], address(0));
    EXPECT_EQ(array[1]["model"], "KX-M19");

    // Hosts from standard input, as a search's addresses are piped in.
    const CliRun piped = run({"--json", "--hosts", "-", "read"}, address(1) + "\n");
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(nlohmann::json::parse(piped.out).at(0)["generation"], 3);
}

TEST_F(FleetCommandTest, AProfileIsWrittenWhereItFitsVerifiedAndNowhereElse) {
    auto& eight = add(19, "_W");  // active
    auto& four = add(17, "_W");
    auto& common = add(3, "_L");
    sim::UnitSettingsState running = readySettings();
    running.active = 1;
    eight.setSettings(running);
    const std::string profile = writeFile(
        "unit.json", R"({"unitId":7,"model":"KX-M19","generation":4,"outputs":8,"active":false,
            "enableMask":5,"onTime":[9,9,9,9,9,9,9,9],"offTime":[3,3,3,3,3,3,3,3]})");
    const CliRun result = run({"--json", "apply", address(0), address(1), address(2), "--profile",
                               profile, "--verify", "--times", "2:7:7"});
    EXPECT_EQ(result.status, 1);
    const auto array = nlohmann::json::parse(result.out);
    ASSERT_EQ(array.size(), 3u) << result.out;
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(array[i]["verified"], true) << result.err;
        EXPECT_EQ(array[i]["active"], false);
    }
    EXPECT_EQ(array[2]["error"],
              "the profile has per-output times, but this unit, KX-M03G3 (generation 3, 5 "
              "outputs), has one common interval; nothing written");
    for (auto* unit : {&eight, &four}) {
        const sim::UnitSettingsState held = unit->settings();
        EXPECT_EQ(held.enableMask, 5);
        EXPECT_EQ(held.active, 0);
        EXPECT_EQ(held.onTime[0], 9);
        EXPECT_EQ(held.onTime[1], 7);  // --times overrides the profile
        EXPECT_EQ(held.offTime[3], 3);
    }
    EXPECT_EQ(four.settings().onTime[4], 5);  // beyond its outputs: never written
    EXPECT_FALSE(sentAnySetting(common));

    // An output the unit lacks, enabled: refused before writing.
    const CliRun beyond =
        run({"apply", address(1), address(0), "--profile", profile, "--mask", "0x30"});
    EXPECT_NE(
        beyond.err.find(address(1) + ": mervane-cli: the profile's enableMask 0x30 enables DO5"),
        std::string::npos)
        << beyond.err;
}

TEST_F(FleetCommandTest, NoUnitIsAskedAboutOneShotSettings) {
    sim::UnitSettingsState oneShot = readySettings();
    oneShot.oneShot[1] = 3;
    auto& first = add(19, "_W", oneShot);
    auto& second = add(19, "_W", oneShot);
    const CliRun no = run({"--json", "read", address(0), address(1)}, "y\n");
    EXPECT_EQ(no.status, 1);
    EXPECT_EQ(no.err.find("解除しますか"), std::string::npos) << no.err;
    EXPECT_EQ(nlohmann::json::parse(no.out)[1]["error"], kOneShotLeftMessage);
    EXPECT_EQ(first.settings().oneShot[1], 3);

    const CliRun yes = run({"--yes", "read", address(0), address(1)});
    EXPECT_EQ(yes.status, 0) << yes.err;
    EXPECT_EQ(second.settings().oneShot[1], 0);
}

TEST_F(FleetCommandTest, UsageErrorsComeBeforeAnyUnitIsContacted) {
    auto& unit = add(19, "_W");
    const std::string broken =
        writeFile("broken.json", "{\n  \"active\": true,\n  \"enableMask\" 3\n}");
    const std::string interval =
        writeFile("interval.json", R"({"active":true,"enableMask":1,"intervalMs":500})");
    const std::vector<std::pair<Args, std::string>> cases{
        {{"apply", address(0), "--profile", broken}, "broken.json:3:16: not JSON"},
        {{"apply", address(0), "--profile", interval, "--times", "1:2:2"}, "use --interval"},
        {{"--hosts", "/nonexistent/plant.txt", "read"}, "cannot be opened"},
        {{"--hosts", writeFile("two.txt", "\n10.0.0.1 10.0.0.2\n"), "read"}, "two.txt:2: "},
        {{"--hosts", writeFile("none.txt", "# nothing yet\n"), "read"}, "names none"},
        {{"--hosts", writeFile("latin1.txt", "caf\xe9\n"), "read"}, "1: \"caf\\xe9\": not a host"},
        {{"--json", "apply", "--mask", "0x07", address(0), "caf\xe9"}, "HOST \"caf\\xe9\": not"},
    };
    for (const auto& [args, reason] : cases) {
        const CliRun result = run(args);
        EXPECT_EQ(result.status, 2) << reason;
        EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
    EXPECT_TRUE(unit.received().empty());
}

TEST_F(FleetCommandTest, OneUnitNamedInSeveralSpellingsIsWorkedOnOnce) {
    add(19, "_W");  // 127.0.85.1
    const CliRun result = run({"--json", "apply", "--mask", "0x0F", address(0), "127.0.85.01",
                               "2130728193", "127.0.21761"});
    EXPECT_EQ(result.status, 0) << result.err;
    const auto array = nlohmann::json::parse(result.out);
    ASSERT_EQ(array.size(), 1u) << result.out;
    EXPECT_EQ(array[0]["host"], address(0));
    EXPECT_NE(result.err.find("127.0.21761: the same unit as 127.0.85.1"), std::string::npos)
        << result.err;
}

TEST_F(FleetCommandTest, AfterAnInterruptionNoUnitIsContacted) {
    auto& unit = add(19, "_W");
    Interruption interruption;
    interruption.request();
    const CliRun result =
        run({"--json", "apply", address(0), kAbsent, "--mask", "1"}, {}, &interruption);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(nlohmann::json::parse(result.out)[0]["error"], "not started");
    EXPECT_NE(result.err.find("2 of 2 units not started"), std::string::npos) << result.err;
    EXPECT_TRUE(unit.received().empty());
}

}  // namespace
}  // namespace mervane::cli
