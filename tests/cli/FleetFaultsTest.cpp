// A fleet apply, run in-process, to a plant where some units misbehave: every well-behaved unit
// is written and verified, each misbehaving one fails alone with the message its fault shows on a
// single unit, and the run leaves no descriptor or thread behind.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <thread>

#include "tests/OpenDescriptors.h"
#include "tests/cli/FleetPlant.h"
#include "tools/cli/CliProgram.h"

namespace mervane::cli {
namespace {

using testing::FleetPlant;

struct Misbehaviour {
    int unit;
    sim::UnitFaults faults;
    // 0: from the start. N: from a request on the unit's Nth TCP connection (1 is the probe of
    // the identification, 2 the session), so that the session, not the probe, meets the faults.
    int armedAt;
    const char* error;  // the unit's "error" in the result
    bool untouched;     // it fails before anything is written to it
};

sim::UnitFaults with(const std::function<void(sim::UnitFaults&)>& set) {
    sim::UnitFaults faults;
    set(faults);
    return faults;
}

// Gives each unit whose faults wait for a later connection its faults once that connection's
// first request arrives.
void armLater(FleetPlant& plant, const std::vector<Misbehaviour>& misbehaving) {
    for (const Misbehaviour& m : misbehaving) {
        if (m.armedAt == 0) continue;
        sim::SimulatedUnit& unit = plant[size_t(m.unit)];
        unit.setReceiveObserver([&unit, m](const sim::ReceivedRecord& r) {
            if (r.channel == sim::ReceivedRecord::Channel::kTcp && r.connection == m.armedAt) {
                unit.setFaults(m.faults);
            }
        });
    }
}

TEST(FleetFaultsTest, EachMisbehavingUnitFailsAloneWithItsMessageAndNothingIsLeftBehind) {
    const std::vector<Misbehaviour> misbehaving = {
        {2, with([](auto& f) { f.noUdpReply = true; }), 0, "通信エラー", true},
        {4, with([](auto& f) { f.resetOnRequest = true; }), 0, "通信エラー", true},
        {5, with([](auto& f) { f.tcpSilent = true; }), 2, "設定取得通信エラー: O10060", true},
        {7, with([](auto& f) { f.resetOnRequest = true; }), 2, "設定取得通信エラー: O10054", true},
        {10, with([](auto& f) { f.chatter = true; }), 1, "設定取得通信エラー: O0", true},
        {12, with([](auto& f) { f.closeMidReply = true; }), 2, "設定取得通信エラー: O0", true},
        {15, with([](auto& f) { f.silentCommand = "OT"; }), 0, "設定反映通信エラー。", false},
        {17, with([](auto& f) { f.silentCommand = "OL"; }), 0, "通信エラー", false},
    };
    const auto misbehaviourOf = [&misbehaving](size_t unit) {
        return std::find_if(misbehaving.begin(), misbehaving.end(),
                            [unit](const Misbehaviour& m) { return m.unit == int(unit); });
    };
    // ThreadSanitizer starts a thread of its own along with the process's first: not the run's.
    std::thread([] {}).join();
    const int descriptorsBefore = testing::openDescriptorCount();
    const int threadsBefore = testing::threadCount();
    {
        FleetPlant plant("127.0.80.", 20, [&](int i) {
            const auto m = misbehaviourOf(size_t(i));
            if (m != misbehaving.end()) return m->armedAt == 0 ? m->faults : sim::UnitFaults{};
            // Unit 19 is slow, but well within the session time-out.
            return with([i](auto& f) { f.replyDelayMs = i == 19 ? 25 : 0; });
        });
        armLater(plant, misbehaving);
        std::istringstream in;
        std::ostringstream out;
        std::ostringstream err;
        const int status = runCli(plant.applyArgs({"-T", "300"}), in, out, err, false,
                                  [](DeviceLink& link) { link.setSessionTimeoutMs(400); });
        EXPECT_EQ(status, 1) << err.str();
        auto results = testing::resultsByHost(out.str());
        ASSERT_EQ(results.size(), plant.size()) << out.str();
        for (size_t i = 0; i < plant.size(); ++i) {
            const nlohmann::json& result = results[plant.host(i)];
            const sim::UnitSettingsState held = plant[i].settings();
            const auto m = misbehaviourOf(i);
            if (m == misbehaving.end()) {
                EXPECT_TRUE(result.value("verified", false)) << result;
                EXPECT_TRUE(testing::sameWrittenFields(held, testing::newFleetSettings()))
                    << result;
                continue;
            }
            EXPECT_EQ(result.value("error", ""), m->error) << result;
            EXPECT_NE(err.str().find(plant.host(i) + ": " + m->error + '\n'), std::string::npos)
                << err.str();
            if (m->untouched) {
                EXPECT_TRUE(testing::sameWrittenFields(held, testing::oldFleetSettings()))
                    << result;
            }
        }
    }
    // With the plant stopped, only what the run itself left would remain.
    EXPECT_EQ(testing::openDescriptorCount(), descriptorsBefore);
    EXPECT_EQ(testing::settledCount(testing::threadCount, threadsBefore), threadsBefore);
}

TEST(FleetFaultsTest, AUnitsMessageNeverShowsTheErrorNumberAnEarlierUnitLeftOnItsThread) {
    // One job thread: the reset the first unit meets is the thread's last error when the second
    // unit's session is closed under it, which sets none.
    const std::vector<Misbehaviour> inTurn = {
        {0, with([](auto& f) { f.resetOnRequest = true; }), 2, "設定取得通信エラー: O10054", true},
        {1, with([](auto& f) { f.closeMidReply = true; }), 2, "設定取得通信エラー: O0", true},
    };
    FleetPlant plant("127.0.89.", 2);  // apart from the plant above: ctest runs both at once
    armLater(plant, inTurn);
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(runCli(plant.applyArgs({"-T", "300", "--jobs", "1"}), in, out, err, false), 1);
    auto results = testing::resultsByHost(out.str());
    for (const Misbehaviour& m : inTurn) {
        EXPECT_EQ(results[plant.host(size_t(m.unit))].value("error", ""), m.error) << out.str();
    }
}

}  // namespace
}  // namespace mervane::cli
