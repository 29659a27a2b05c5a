// check compares units with a profile and never writes; apply --profile writes only the units
// that differ. Units sit on 127.0.77.x.

#include <gtest/gtest.h>

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

constexpr const char* kAbsent = "127.0.77.99";
// readySettings() on an eight-output unit of generation 4, and on a five-output one of 3.
constexpr const char* kHeld =
    R"({"active":false,"enableMask":255,"onTime":[1,2,3,4,5,6,7,8],"offTime":[10,20,30,40,50,60,70,80]})";
constexpr const char* kInterval = R"({"active":false,"enableMask":31,"intervalMs":1000})";

class CheckCommandTest : public ::testing::Test {
  protected:
    const std::string& add(sim::UnitSettingsState initial, int model = 19,
                           const char (&type)[3] = "_W") {
        sim::UnitConfig config = mervane::testing::unitConfig(model, type);
        config.initial = initial;
        hosts_.push_back("127.0.77." + std::to_string(hosts_.size() + 1));
        units_.add(hosts_.back(), config);
        return hosts_.back();
    }

    CliRun run(Args args) {
        args.insert(args.begin(), {"-T", "300", "--port", std::to_string(units_.tcpPort())});
        std::istringstream in;
        std::ostringstream out, err;
        const uint16_t udpPort = units_.udpPort();
        const int status = runCli(args, in, out, err, true, [udpPort](DeviceLink& link) {
            link.setIdentificationPort(udpPort);
            link.setSessionTimeoutMs(300);
        });
        return {status, out.str(), err.str()};
    }

    std::string profile(const char* text) {
        const std::string path = ::testing::TempDir() + "check-" + std::to_string(files_++);
        std::ofstream(path) << text;
        return path;
    }

    bool anyWritten() {
        for (size_t i = 0; i < units_.size(); ++i) {
            if (sentAnySetting(units_[i])) return true;
        }
        return false;
    }

    mervane::testing::SharedPortUnits units_;
    std::vector<std::string> hosts_;
    int files_ = 0;
};

TEST_F(CheckCommandTest, EachKindOfDifferenceIsListedAndNothingIsWritten) {
    const std::string same = add(readySettings());
    sim::UnitSettingsState changed = readySettings();
    changed.enableMask = 0x0F;
    changed.active = 1;
    changed.onTime[2] = 12;
    changed.offTime[4] = 7;
    const std::string differs = add(changed);
    const std::string common = add(readySettings(), 3, "_L");  // interval 500 ms
    const std::string held = profile(kHeld);

    const CliRun one = run({"check", same, "--profile", held});
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(one.out, "same\n");
    const CliRun text = run({"check", differs, "--profile", held});
    EXPECT_EQ(text.status, 3) << text.err;
    EXPECT_EQ(text.out,
              "enableMask: unit 0x0F, profile 0xFF\nDO3 onTime: unit 12, profile 3\n"
              "DO5 offTime: unit 7, profile 50\nactive: unit true, profile false\n");
    const CliRun interval = run({"--json", "check", common, "--profile", profile(kInterval)});
    EXPECT_EQ(interval.status, 3) << interval.err;
    EXPECT_EQ(nlohmann::json::parse(interval.out),
              nlohmann::json::parse(R"({"host":"127.0.77.3","same":false,"differences":[
                  {"field":"intervalMs","unit":500,"profile":1000}]})"));

    const CliRun fleet = run({"--json", "check", same, differs, "--profile", held});
    EXPECT_EQ(fleet.status, 3) << fleet.err;
    const auto array = nlohmann::json::parse(fleet.out);
    EXPECT_EQ(array[0], nlohmann::json::parse(R"({"host":"127.0.77.1","same":true,
                                                 "differences":[]})"));
    EXPECT_EQ(array[1]["differences"][1],
              nlohmann::json::parse(R"({"field":"onTime","output":3,"unit":12,"profile":3})"));
    EXPECT_EQ(array[1]["differences"][3],
              nlohmann::json::parse(R"({"field":"active","unit":true,"profile":false})"));
    EXPECT_FALSE(anyWritten());
}

TEST_F(CheckCommandTest, AMisfitAFailureOrOneShotSettingsFailTheUnit) {
    const std::string same = add(readySettings());
    const std::string common = add(readySettings(), 3, "_L");
    sim::UnitSettingsState oneShot = readySettings();
    oneShot.oneShot[1] = 3;
    const std::string pending = add(oneShot);
    const std::string held = profile(kHeld);

    // On a terminal, too, nobody is asked: a check clears nothing.
    const CliRun single = run({"--json", "check", pending, "--profile", held});
    EXPECT_EQ(single.status, 1);
    EXPECT_EQ(nlohmann::json::parse(single.out)["error"], kOneShotLeftMessage);
    const CliRun text = run({"check", same, common, kAbsent, "--profile", held});
    EXPECT_EQ(text.status, 1);
    EXPECT_NE(text.out.find("Host      127.0.77.1\nsame\n\nHost      127.0.77.2\nError     the "
                            "profile has per-output times"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("Host      127.0.77.99\nError     通信エラー\n"), std::string::npos);
    EXPECT_EQ(units_[2].settings().oneShot[1], 3);

    for (const Args& args : {Args{"check", same}, Args{"--yes", "check", same, "--profile", held},
                             Args{"check", same, "--profile", held, "--mask", "1"}}) {
        const CliRun usage = run(args);
        EXPECT_EQ(usage.status, 2) << usage.err;
    }
    EXPECT_FALSE(anyWritten());
}

TEST_F(CheckCommandTest, ApplyWritesAProfileOnlyWhereItDiffersUnlessForced) {
    const std::string same = add(readySettings());
    sim::UnitSettingsState changed = readySettings();
    changed.offTime[7] = 1;
    const std::string differs = add(changed);
    const std::string held = profile(kHeld);

    const CliRun json = run({"--json", "apply", same, differs, "--profile", held, "--verify"});
    EXPECT_EQ(json.status, 0) << json.err;
    const auto array = nlohmann::json::parse(json.out);
    EXPECT_EQ(array[0]["changed"], false);
    EXPECT_FALSE(array[0].contains("verified"));  // nothing was written to verify
    EXPECT_EQ(array[1]["changed"], true);
    EXPECT_EQ(array[1]["verified"], true);
    EXPECT_FALSE(sentAnySetting(units_[0]));
    EXPECT_EQ(units_[1].settings().offTime[7], 80);

    units_[0].clearReceived();
    const CliRun text = run({"apply", same, "--profile", held});
    EXPECT_TRUE(text.out.ends_with("Changed   no\n")) << text.out;
    const std::vector<std::string> work = mervane::testing::tcpCommands(units_[0]);
    units_[0].clearReceived();
    run({"read", same});
    EXPECT_EQ(work, mervane::testing::tcpCommands(units_[0]));

    const CliRun forced = run({"apply", same, "--profile", held, "--force"});
    EXPECT_TRUE(forced.out.ends_with("Changed   yes\n")) << forced.out;
    EXPECT_TRUE(sentAnySetting(units_[0]));
}

}  // namespace
}  // namespace mervane::cli
