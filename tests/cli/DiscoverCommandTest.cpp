// mervane-cli discover in-process against simulated units on loopback: the rows and the JSON, the
// exit statuses, and the broadcast on a made-up adapter.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/LoopbackUnit.h"
#include "tests/net/FakeAdapterSource.h"
#include "tools/cli/CliProgram.h"

namespace mervane::cli {
namespace {

using testing::addressRow;
using testing::ethernet;
using testing::FakeAdapterSource;
using Args = std::vector<std::string>;

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

// Units on 127.0.95.x (this file's own block) sharing their ports, as a plant's do.
class Plant {
  public:
    void add(int host, int model, const char (&type)[3], sim::UnitFaults faults = {},
             const std::string& address = {}) {
        sim::UnitConfig config = testing::unitConfig(model, type, std::move(faults));
        config.unitId = host % 16;
        units_.add(address.empty() ? "127.0.95." + std::to_string(host) : address, config);
    }

    CliRun run(Args args, AdapterSource* machine = nullptr) const {
        args.insert(args.begin(), {"-T", "300", "--port", std::to_string(units_.tcpPort())});
        std::istringstream in;
        std::ostringstream out;
        std::ostringstream err;
        const uint16_t port = units_.udpPort();
        const int status =
            runCli(args, in, out, err, false, {}, machine,
                   [port](fleet::DiscoveryPlan& plan) { plan.identificationPort = port; });
        return {status, out.str(), err.str()};
    }

  private:
    testing::SharedPortUnits units_;
};

TEST(DiscoverCommandTest, RowsAndJsonAreSortedByAddressAndAFailedProbeFailsTheRun) {
    Plant plant;
    plant.add(12, 19, "_W");
    plant.add(3, 3, "_L");
    const CliRun text = plant.run({"discover", "127.0.95.0/27"});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out,
              "ADDRESS          TYPE  GEN  ID  MODEL             OUTPUTS  STATE\n"
              "127.0.95.3       _L    3    3   KX-M03G3          5        Non-active\n"
              "127.0.95.12      _W    4    12  KX-M19            8        Non-active\n");

    sim::UnitFaults silentF8;
    silentF8.silentCommand = "F8";
    plant.add(7, 19, "_W", silentF8);
    const CliRun json = plant.run({"--json", "discover", "127.0.95.0/27", "--jobs", "1"});
    EXPECT_EQ(json.status, 1);
    const auto units = nlohmann::json::parse(json.out);
    ASSERT_EQ(units.size(), 3U);
    EXPECT_EQ(units[0], nlohmann::json::parse(R"({"address":"127.0.95.3","typeCode":"_L",
        "generation":3,"unitId":3,"model":"KX-M03G3","outputs":5,"active":false})"));
    EXPECT_EQ(units[1], nlohmann::json::parse(
                            R"({"address":"127.0.95.7","typeCode":"_W","error":"通信エラー"})"));
    EXPECT_EQ(units[2]["address"], "127.0.95.12");

    const CliRun listed = plant.run({"discover", "127.0.95.0/27", "--no-probe"});
    EXPECT_EQ(listed.status, 0) << "nothing probed, nothing failed";
    EXPECT_NE(listed.out.find("127.0.95.7       _W    -"), std::string::npos) << listed.out;
}

TEST(DiscoverCommandTest, NoUnitIsFailureAndABadTargetOrJobsIsAUsageError) {
    Plant plant;
    plant.add(40, 19, "_W");
    const CliRun none = plant.run({"--json", "discover", "127.0.95.48/28"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "[]\n");
    EXPECT_NE(none.err.find("no unit answered"), std::string::npos);

    for (const Args& args : {Args{"discover", "127.0.95.0/15"}, Args{"discover", "127.0.95/24"},
                             Args{"--jobs", "0", "discover"}, Args{"--jobs", "257", "discover"},
                             Args{"discover", "127.0.95.40", "bad;name"}}) {
        const CliRun run = plant.run(args);
        EXPECT_EQ(run.status, 2) << args.back();
        EXPECT_EQ(run.out, "") << args.back();
    }
}

TEST(DiscoverCommandTest, WithoutTargetsEachAdapterGetsOneBroadcastOrOnlyTheBoundOne) {
    Plant plant;
    plant.add(0, 19, "_W", {}, "0.0.0.0");  // takes the loopback broadcast, answers as 127.0.0.1
    FakeAdapterSource machine;
    machine.interfaceList = {ethernet(2)};
    machine.addressRows = {addressRow("127.0.0.2", 2, "255.0.0.0")};

    const CliRun found = plant.run({"--json", "discover"}, &machine);
    EXPECT_EQ(found.status, 0) << found.err;
    const auto units = nlohmann::json::parse(found.out);
    ASSERT_EQ(units.size(), 1U);
    EXPECT_EQ(units[0]["address"], "127.0.0.1");
    EXPECT_EQ(units[0]["model"], "KX-M19");

    const CliRun elsewhere = plant.run({"--bind", "127.0.0.9", "discover"}, &machine);
    EXPECT_EQ(elsewhere.status, 1);
    EXPECT_NE(elsewhere.err.find("no usable adapter has this address"), std::string::npos);

    FakeAdapterSource bare;
    const CliRun nothing = plant.run({"discover"}, &bare);
    EXPECT_EQ(nothing.status, 1);
    EXPECT_EQ(nothing.err, "ネットワークデバイスが見つかりませんでした。\n");
}

}  // namespace
}  // namespace mervane::cli
