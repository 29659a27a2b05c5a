// mervane-cli --trace, in-process against simulated units on 127.0.88.x: each line names its
// unit, the requests traced are the ones each unit received, and a failing unit's trace shows
// why it failed.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/LoopbackUnit.h"
#include "tests/cli/CliTestUnits.h"
#include "tools/cli/CliProgram.h"

namespace mervane::cli {
namespace {

using testing::CliRun;
using Args = std::vector<std::string>;

class TraceCommandTest : public ::testing::Test {
  protected:
    sim::SimulatedUnit& add(int model, const char (&type)[3], sim::UnitFaults faults = {}) {
        sim::UnitConfig config = mervane::testing::unitConfig(model, type, faults);
        config.initial = testing::readySettings();
        return units_.add("127.0.88." + std::to_string(units_.size() + 1), config);
    }

    CliRun run(Args args) {
        args.insert(args.begin(), {"-T", "300", "--port", std::to_string(units_.tcpPort()),
                                   "--trace", tracePath_});
        std::istringstream in;
        std::ostringstream out;
        std::ostringstream err;
        const uint16_t udpPort = units_.udpPort();
        const int status = runCli(args, in, out, err, false, [udpPort](DeviceLink& link) {
            link.setIdentificationPort(udpPort);
            link.setSessionTimeoutMs(300);
        });
        return {status, out.str(), err.str()};
    }

    std::vector<std::string> traceLines() const {
        std::ifstream file(tracePath_);
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        return lines;
    }

    mervane::testing::SharedPortUnits units_;
    // One file per test: ctest runs the tests at once.
    std::string tracePath_ = ::testing::TempDir() +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                             ".trace";
};

TEST_F(TraceCommandTest, WithSeveralHostsEachJsonLineNamesItsUnitAndCarriesItsBytes) {
    const sim::SimulatedUnit& letters = add(19, "_W");
    const sim::SimulatedUnit& binary = add(3, "_L");
    ASSERT_EQ(run({"--json", "read", "127.0.88.1", "127.0.88.2"}).status, 0);

    std::map<std::string, std::vector<std::string>> sentBy;  // unit address -> requests, in order
    for (const std::string& line : traceLines()) {
        const auto event = nlohmann::json::parse(line);  // throws on a line that is not JSON
        const std::string unit = event.at("unit");
        const std::string address = unit.substr(0, unit.find(':'));
        ASSERT_TRUE(address == "127.0.88.1" || address == "127.0.88.2") << line;
        if (event.at("event") == "send") sentBy[address].push_back(event.at("bytes"));
    }
    for (const auto& [address, unit] :
         {std::pair{"127.0.88.1", &letters}, std::pair{"127.0.88.2", &binary}}) {
        std::vector<std::string> received;
        for (const sim::ReceivedRecord& r : unit->received())
            received.push_back(sim::hexText(r.bytes));
        EXPECT_EQ(sentBy[address], received) << address;
    }
}

TEST_F(TraceCommandTest, TheTraceOfAFailedReadShowsTheUnansweredRequestItsTimeOutsAndPauses) {
    sim::UnitFaults faults;
    faults.silentCommand = "OI";
    add(19, "_W", faults);
    const CliRun result = run({"read", "127.0.88.1"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("設定取得通信エラー: 3-10060"), std::string::npos) << result.err;

    const std::vector<std::string> lines = traceLines();
    size_t request = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find("tcp ->  OI  4 bytes  4F 49 20 C8") != std::string::npos) request = i;
    }
    // The unanswered request is followed by four time-outs with a pause after each of the first
    // three, then the session's close.
    ASSERT_EQ(request + 9, lines.size());
    for (size_t i = 1; i <= 7; ++i) {
        const char* expected =
            i % 2 == 1 ? "tcp <-  OI  timed out (10060)" : "tcp ..  OI  pause 10 ms";
        EXPECT_NE(lines[request + i].find(expected), std::string::npos) << lines[request + i];
    }
    EXPECT_NE(lines.back().find("tcp ..  --  close"), std::string::npos) << lines.back();
}

TEST_F(TraceCommandTest, AnUnwritableTraceFileIsAUsageErrorBeforeAnyUnitIsContacted) {
    const sim::SimulatedUnit& unit = add(19, "_W");
    tracePath_ = ::testing::TempDir() + "no-such-folder/trace.txt";
    const CliRun result = run({"read", "127.0.88.1"});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("--trace " + tracePath_ + ": cannot be written"), std::string::npos)
        << result.err;
    EXPECT_TRUE(unit.received().empty());
}

TEST_F(TraceCommandTest, ATraceNamingTheProfileUnderAnotherNameLeavesTheProfileAsItWas) {
    const sim::SimulatedUnit& unit = add(19, "_W");
    const std::string profile = tracePath_ + ".json";
    const std::string text = R"({"active":false,"enableMask":1,"intervalMs":500})";
    std::ofstream(profile) << text;
    std::filesystem::remove(tracePath_);
    std::filesystem::create_hard_link(profile, tracePath_);
    const CliRun result = run({"apply", "--profile", profile, "127.0.88.1"});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("the same file as --profile " + profile), std::string::npos)
        << result.err;
    EXPECT_EQ(std::filesystem::file_size(profile), text.size());
    EXPECT_TRUE(unit.received().empty());
}

}  // namespace
}  // namespace mervane::cli
