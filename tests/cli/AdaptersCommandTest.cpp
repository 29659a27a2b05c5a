// mervane-cli adapters on a made-up machine: the window's items, the JSON form, and the message
// when nothing is usable.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "net/Adapters.h"
#include "tests/net/FakeAdapterSource.h"
#include "tools/cli/CliProgram.h"

namespace mervane::cli {
namespace {

using testing::addressRow;
using testing::ethernet;
using testing::FakeAdapterSource;
using testing::loopback;

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun runOn(FakeAdapterSource& machine, const std::vector<std::string>& args) {
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    const int status = runCli(args, in, out, err, false, {}, &machine);
    return {status, out.str(), err.str()};
}

FakeAdapterSource officeMachine() {
    FakeAdapterSource machine;
    InterfaceRecord wifi = ethernet(3, "Wi-Fi");
    wifi.description = "iwlwifi";
    machine.interfaceList = {loopback(), ethernet(2), wifi};
    machine.addressRows = {addressRow("127.0.0.1", 1, "255.0.0.0"), addressRow("192.168.0.10", 2),
                           addressRow("10.0.0.5", 3, "255.255.0.0")};
    return machine;
}

TEST(AdaptersCommandTest, PrintsTheWindowsItemsAsTextOrJson) {
    FakeAdapterSource machine = officeMachine();
    const CliRun text = runOn(machine, {"adapters"});
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.out, "192.168.0.10 (Ethernet)\n10.0.0.5 (Wi-Fi)\n");
    EXPECT_EQ(text.err, "");

    const CliRun json = runOn(machine, {"--json", "adapters"});
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(nlohmann::json::parse(json.out), nlohmann::json::parse(R"json([
        {"item":"192.168.0.10 (Ethernet)","address":"192.168.0.10","mask":"255.255.255.0",
         "interface":2,"description":"e1000e","name":"Ethernet"},
        {"item":"10.0.0.5 (Wi-Fi)","address":"10.0.0.5","mask":"255.255.0.0",
         "interface":3,"description":"iwlwifi","name":"Wi-Fi"}])json"));
}

TEST(AdaptersCommandTest, NoUsableAdapterFailsWithTheWindowsMessage) {
    FakeAdapterSource machine;
    machine.interfaceList = {loopback()};
    machine.addressRows = {addressRow("127.0.0.1", 1, "255.0.0.0")};
    for (const auto& args : {std::vector<std::string>{"adapters"}, {"adapters", "--json"}}) {
        const CliRun run = runOn(machine, args);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, std::string(kNoAdapterMessage) + "\n");
    }
}

TEST(AdaptersCommandTest, TakesNoHost) {
    FakeAdapterSource machine = officeMachine();
    const CliRun run = runOn(machine, {"adapters", "192.168.0.1"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("adapters does not take \"192.168.0.1\""), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
}

}  // namespace
}  // namespace mervane::cli
