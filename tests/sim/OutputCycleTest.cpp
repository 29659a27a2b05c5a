#include <gtest/gtest.h>

#include <mutex>

#include "TestSockets.h"

namespace mervane::sim {
namespace {

using namespace testing;

bool allOff(uint8_t outputs) {
    return outputs == 0;
}

TEST(OutputCycle, LetterUnitCyclesThroughTheProtocolUntilSwitchedOff) {
    SimulatedUnit unit(loopbackConfig(25));  // two outputs
    std::mutex mutex;
    std::vector<uint8_t> observed;
    unit.setOutputObserver([&](uint8_t outputs) {
        std::lock_guard lock(mutex);
        observed.push_back(outputs);
    });
    ASSERT_TRUE(unit.start());
    const UniqueFd link = tcpClient(unit.tcpPort());

    ASSERT_EQ(exchange(link.get(), {'O', 'T', 0x20, '0', '1', '0', '1', 0xC8}, 3).size(), 3U);
    ASSERT_EQ(exchange(link.get(), {'O', 'T', 0x21, '0', '1', '0', '1', 0xC8}, 3).size(), 3U);
    ASSERT_EQ(exchange(link.get(), {'O', 'C', 0x21, 0x20, 0xC8}, 3).size(), 3U);
    EXPECT_EQ(unit.outputs(), 0);  // enabled but not active yet

    ASSERT_EQ(exchange(link.get(), {'O', 'L', 0x28, 0xC8}, 4).size(), 4U);
    EXPECT_TRUE(unit.waitForOutputs([](uint8_t outputs) { return outputs == 0b01; }, kWait));
    EXPECT_TRUE(unit.waitForOutputs(allOff, kWait));
    EXPECT_TRUE(unit.waitForOutputs([](uint8_t outputs) { return outputs == 0b01; }, kWait));

    ASSERT_EQ(exchange(link.get(), {'O', 'L', 0x20, 0xC8}, 4).size(), 4U);
    EXPECT_TRUE(unit.waitForOutputs(allOff, kWait));
    unit.stop();

    std::lock_guard lock(mutex);
    ASSERT_GE(observed.size(), 3U);
    EXPECT_EQ(observed.back(), 0);
    for (const uint8_t outputs : observed)
        EXPECT_EQ(outputs & 0b10, 0) << "DO2 is disabled";
}

TEST(OutputCycle, BinaryUnitTogglesOnTheIntervalAndStopsWhenDeactivated) {
    SimulatedUnit unit(loopbackConfig(3, {'_', 'L'}));  // five outputs
    ASSERT_TRUE(unit.start());
    const UniqueFd link = tcpClient(unit.tcpPort());
    ASSERT_EQ(exchange(link.get(), {0xF2, 0x00}, 2).size(), 2U);
    ASSERT_EQ(exchange(link.get(), {0xF3, 0x16}, 2).size(), 2U);
    ASSERT_EQ(exchange(link.get(), {0xF1, 0x01}, 2).size(), 2U);
    EXPECT_TRUE(unit.waitForOutputs([](uint8_t outputs) { return outputs == 0x16; }, kWait));
    EXPECT_TRUE(unit.waitForOutputs(allOff, kWait));
    EXPECT_TRUE(unit.waitForOutputs([](uint8_t outputs) { return outputs == 0x16; }, kWait));

    UnitSettingsState settings = unit.settings();
    settings.active = 0;
    unit.setSettings(settings);
    EXPECT_TRUE(unit.waitForOutputs(allOff, kWait));
}

}  // namespace
}  // namespace mervane::sim
