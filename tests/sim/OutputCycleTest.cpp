#include <gtest/gtest.h>

#include "tests/sim/TestSockets.h"

namespace mervane::sim {
namespace {

using namespace testing;

bool allOff(uint8_t outputs) {
    return outputs == 0;
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
