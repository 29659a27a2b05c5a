// mervane-cli run in-process against the simulated unit on loopback: each command and its exit
// status, the one-shot question, and the usage errors that must leave the unit untouched.

#include "tools/cli/CliProgram.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/LoopbackUnit.h"
#include "tests/cli/CliTestUnits.h"

namespace mervane::cli {
namespace {

using mervane::testing::aimLinkAt;
using mervane::testing::startLoopbackUnit;
using mervane::testing::tcpCommands;
using mervane::testing::unitConfig;
using testing::CliRun;
using testing::readySettings;
using testing::sentAnySetting;
using Args = std::vector<std::string>;

constexpr const char* kHost = "127.0.0.1";
constexpr const char* kOneShotQuestion = "ワンショット出力設定を解除しますか？";

// `args` without the TCP port, which the ephemeral unit decides.
CliRun runAgainst(const sim::SimulatedUnit& unit, Args args, bool terminal = false,
                  const std::string& input = {}) {
    args.insert(args.begin(), {"--port", std::to_string(unit.tcpPort())});
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    const int status =
        runCli(args, in, out, err, terminal, [&unit](DeviceLink& link) { aimLinkAt(link, unit); });
    return {status, out.str(), err.str()};
}

std::unique_ptr<sim::SimulatedUnit> unitWith(int model, const char (&type)[3],
                                             sim::UnitSettingsState initial = readySettings(),
                                             sim::UnitFaults faults = {}) {
    sim::UnitConfig config = unitConfig(model, type, std::move(faults));
    config.initial = initial;
    return startLoopbackUnit(config);
}

TEST(CliProgramTest, ReadPrintsTheSettingsAsTextOrJson) {
    auto gen4 = unitWith(19, "_W");
    const CliRun text = runAgainst(*gen4, {"read", kHost});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.err, "");
    EXPECT_NE(text.out.find("Model     KX-M19\nStatus    Non-active\nDO1  enabled"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("DO8  enabled   ON   8 (800 ms)    OFF  80 (8000 ms)\n"),
              std::string::npos)
        << text.out;

    const CliRun json4 = runAgainst(*gen4, {"--json", "read", kHost});
    EXPECT_EQ(nlohmann::json::parse(json4.out),
              nlohmann::json::parse(R"({"unitId":0,"model":"KX-M19","generation":4,"outputs":8,
                  "active":false,"enableMask":255,"onTime":[1,2,3,4,5,6,7,8],
                  "offTime":[10,20,30,40,50,60,70,80]})"));

    sim::UnitSettingsState initial = readySettings();
    initial.enableMask = 0x15;
    initial.active = 1;
    auto gen3 = unitWith(3, "_L", initial);
    const CliRun json3 = runAgainst(*gen3, {"read", kHost, "--json"});
    EXPECT_EQ(nlohmann::json::parse(json3.out),
              nlohmann::json::parse(R"({"unitId":0,"model":"KX-M03G3","generation":3,"outputs":5,
                  "active":true,"enableMask":21,"intervalIndex":4,"intervalMs":500})"));
}

TEST(CliProgramTest, ApplyWritesTheRequestedChangesOverWhatWasRead) {
    auto gen4 = unitWith(19, "_W");
    const CliRun run4 = runAgainst(*gen4, {"--json", "apply", kHost, "--mask", "0x0F", "--times",
                                           "2:3:7", "--times", "8:255:1"});
    EXPECT_EQ(run4.status, 0) << run4.err;
    EXPECT_EQ(nlohmann::json::parse(run4.out)["onTime"][1], 3);
    const sim::UnitSettingsState s4 = gen4->settings();
    EXPECT_EQ(s4.enableMask, 0x0F);
    const std::array<uint8_t, 8> on{1, 3, 3, 4, 5, 6, 7, 255};
    const std::array<uint8_t, 8> off{10, 7, 30, 40, 50, 60, 70, 1};
    EXPECT_EQ(s4.onTime, on);
    EXPECT_EQ(s4.offTime, off);

    auto gen3 = unitWith(3, "_L");
    const CliRun run3 = runAgainst(*gen3, {"apply", kHost, "--mask", "3", "--interval", "14000"});
    EXPECT_EQ(run3.status, 0) << run3.err;
    EXPECT_EQ(gen3->settings().enableMask, 0x03);
    EXPECT_EQ(gen3->settings().intervalIndex, 31);
}

TEST(CliProgramTest, StartAndStopSwitchTheCycle) {
    auto unit = unitWith(19, "_W");
    for (const auto& [command, active, status] :
         {std::tuple{"start", 1, "Active\n"}, std::tuple{"stop", 0, "Non-active\n"}}) {
        const CliRun run = runAgainst(*unit, {command, kHost});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, status);
        EXPECT_EQ(unit->settings().active, active);
    }
    const CliRun json = runAgainst(*unit, {"start", kHost, "--json"});
    EXPECT_EQ(nlohmann::json::parse(json.out)["active"], true);
}

TEST(CliProgramTest, FailuresOfTheUnitOrNetworkExitOneWithTheOperatorMessage) {
    sim::UnitFaults silent;
    silent.noUdpReply = true;
    sim::UnitFaults noTimesReply;
    noTimesReply.silentCommand = "OT";
    struct Case {
        std::unique_ptr<sim::SimulatedUnit> unit;
        Args args;
        std::string err;
    };
    Case all[] = {
        {unitWith(19, "_W", readySettings(), silent), {"-T", "200", "read", kHost}, "通信エラー\n"},
        {unitWith(2, "_W"), {"read", kHost}, "自動ON/OFFに対応していないモデルです。\n"},
        {unitWith(19, "_W", readySettings(), noTimesReply),
         {"apply", kHost, "--times", "1:2:2"},
         "設定反映通信エラー。\n"},
    };
    for (Case& c : all) {
        const CliRun run = runAgainst(*c.unit, c.args);
        EXPECT_EQ(run.status, 1) << c.err;
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.out, "");
    }
}

TEST(CliProgramTest, OneShotSettingsAreClearedOnlyOnYes) {
    struct Case {
        Args extra;
        bool terminal;
        std::string input;
        int status;
    };
    const Case cases[] = {
        {{"--yes"}, false, "", 0}, {{}, false, "y\n", 1},  // not a terminal: nobody is asked
        {{}, true, "y\n", 0},      {{}, true, "n\n", 1},  {{}, true, "", 1},
    };
    for (const Case& c : cases) {
        sim::UnitSettingsState initial = readySettings();
        initial.oneShot[2] = 5;
        auto unit = unitWith(19, "_W", initial);
        Args args{"read", kHost};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const CliRun run = runAgainst(*unit, args, c.terminal, c.input);
        SCOPED_TRACE(run.err);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(unit->settings().oneShot[2], c.status == 0 ? 0 : 5);
        EXPECT_EQ(sentAnySetting(*unit), c.status == 0);
        EXPECT_EQ(run.out.empty(), c.status != 0);
        if (c.terminal) {
            EXPECT_NE(run.err.find(kOneShotQuestion), std::string::npos);
        }
    }
}

TEST(CliProgramTest, UsageErrorsExitTwoBeforeAnythingIsSent) {
    auto unit = unitWith(19, "_W");
    const std::vector<std::pair<Args, std::string>> cases{
        {{"frobnicate", kHost}, "unknown command \"frobnicate\""},
        {{"read"}, "HOST is missing"},
        {{}, "no command"},
        {{"apply", kHost, "--times", "9:5:5"}, "channel must be 1..8"},
        {{"apply", kHost, "--times", "1:0:5"}, "ON time must be 1..255"},
        {{"apply", kHost, "--times", "1:5:256"}, "OFF time must be 1..255"},
        {{"apply", kHost, "--times", "1-5-5"}, "expected CH:ON:OFF"},
        {{"apply", kHost, "--interval", "150"}, "--interval 150: not one of the intervals"},
        {{"apply", kHost, "--mask", "0xG1"}, "not a hexadecimal output mask"},
        {{"apply", kHost, "--mask", "0x100"}, "at most 8 outputs"},
        {{"read", kHost, "--mask", "0x01"}, "read does not take \"--mask\""},
        // A command's option before the command: where it belongs, past the program's options.
        {{"--profile", "unit.json", "apply", kHost},
         "--profile belongs after the command: mervane-cli apply --profile FILE HOST... (see "
         "'mervane-cli apply --help')"},
        {{"--json", "--times=1:5:5", "apply", kHost}, "mervane-cli apply --times CH:ON:OFF HOST"},
        {{"--no-probe", "discover"}, "mervane-cli discover --no-probe [TARGET]... (see"},
        {{"--verify"}, "--verify belongs after the command"},
        {{"-T", "0", "read", kHost}, "time-out must be 1..19999"},
        {{"-T", "20000", "read", kHost}, "time-out must be 1..19999"},
        {{"--port", "70000", "read", kHost}, "TCP port must be 1..65535"},
        {{"--bind", "localhost", "read", kHost}, "not an IPv4 address"},
        {{"--bind", "192.0.2.1", "read", kHost}, "--bind 192.0.2.1: this machine has no such"},
        {{"apply", kHost, "--mask", "15"}, "0x15 enables DO1, DO3, DO5; for DO1..DO4 write 0x0F"},
        {{"apply", kHost, "--profile", ""}, "--profile: a file name is needed"},
        {{"apply", kHost, "--profile", "/"}, "--profile /: cannot be read"},
    };
    for (const auto& [args, reason] : cases) {
        const CliRun run = runAgainst(*unit, args);
        EXPECT_EQ(run.status, 2) << reason;
        EXPECT_EQ(run.err.rfind("mervane-cli: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_TRUE(unit->received().empty());
}

TEST(CliProgramTest, ChangesTheUnitCannotTakeExitTwoAndWriteNothing) {
    sim::UnitSettingsState zeroTime = readySettings();
    zeroTime.offTime[5] = 0;
    struct Case {
        int model;
        const char* type;
        sim::UnitSettingsState initial;
        Args changes;
        std::string reason;
    };
    const Case cases[] = {
        {3, "_L", readySettings(), {"--times", "1:5:5"}, "one common interval"},
        {3, "_L", readySettings(), {"--times", "6:5:5"}, "DO1..DO5 only"},
        {3, "_L", readySettings(), {"--mask", "0x20"}, "--mask 0x20: this unit has DO1..DO5 only"},
        {19, "_W", readySettings(), {"--interval", "500"}, "times each output"},
        {17, "_W", readySettings(), {"--times", "5:1:1"}, "DO1..DO4 only"},
        // The unit reports a 0 it would refuse back: nothing is written, not half of it.
        {19, "_W", zeroTime, {"--mask", "0x01"}, "1-255の間で設定してください。\n"},
    };
    for (const Case& c : cases) {
        auto unit = unitWith(c.model, {c.type[0], c.type[1], '\0'}, c.initial);
        Args args{"apply", kHost};
        args.insert(args.end(), c.changes.begin(), c.changes.end());
        const CliRun run = runAgainst(*unit, args);
        EXPECT_EQ(run.status, 2) << c.reason;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_FALSE(sentAnySetting(*unit)) << c.reason;
    }
    // Times given for the output that held the 0 make the same unit acceptable.
    auto unit = unitWith(19, "_W", zeroTime);
    EXPECT_EQ(runAgainst(*unit, {"apply", kHost, "--times", "6:2:2"}).status, 0);
    EXPECT_EQ(unit->settings().offTime[5], 2);
}

}  // namespace
}  // namespace mervane::cli
