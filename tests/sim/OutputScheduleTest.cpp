#include <gtest/gtest.h>

#include "sim/OutputCycle.h"

namespace mervane::sim {
namespace {

using std::chrono::milliseconds;

const CycleClock::time_point t0{};

TEST(OutputSchedule, Generation4RunsEachOutputOnItsOwnTimes) {
    OutputSchedule schedule(true, 8);
    UnitSettingsState settings;
    settings.active = 1;
    settings.enableMask = 0b1000'0011;
    settings.onTime[0] = 2;
    settings.offTime[0] = 3;
    settings.onTime[1] = 0;  // counts as one step
    settings.offTime[1] = 1;
    settings.onTime[7] = 50;
    schedule.restart(settings, t0);
    EXPECT_EQ(schedule.outputs(), 0b1000'0011);
    EXPECT_EQ(schedule.nextDeadline(), t0 + milliseconds(100));

    schedule.advance(t0 + milliseconds(100));
    EXPECT_EQ(schedule.outputs(), 0b1000'0001);
    schedule.advance(t0 + milliseconds(200));
    EXPECT_EQ(schedule.outputs(), 0b1000'0010);
    schedule.advance(t0 + milliseconds(499));
    EXPECT_EQ(schedule.outputs() & 1, 0);
    schedule.advance(t0 + milliseconds(500));
    EXPECT_EQ(schedule.outputs() & 1, 1);
}

TEST(OutputSchedule, Generation3TogglesAllOnTheCommonInterval) {
    EXPECT_EQ(OutputSchedule::intervalLength(0), milliseconds(100));
    EXPECT_EQ(OutputSchedule::intervalLength(19), milliseconds(2000));
    EXPECT_EQ(OutputSchedule::intervalLength(20), milliseconds(3000));
    EXPECT_EQ(OutputSchedule::intervalLength(31), milliseconds(14000));
    EXPECT_EQ(OutputSchedule::intervalLength(32), std::nullopt);

    OutputSchedule schedule(false, 5);
    UnitSettingsState settings;
    settings.active = 1;
    settings.enableMask = 0b1'0101;
    settings.intervalIndex = 2;
    settings.onTime[0] = 1;  // ignored by generation 3
    schedule.restart(settings, t0);
    EXPECT_EQ(schedule.outputs(), 0b1'0101);
    schedule.advance(t0 + milliseconds(299));
    EXPECT_EQ(schedule.outputs(), 0b1'0101);
    schedule.advance(t0 + milliseconds(300));
    EXPECT_EQ(schedule.outputs(), 0);
    schedule.advance(t0 + milliseconds(600));
    EXPECT_EQ(schedule.outputs(), 0b1'0101);
}

TEST(OutputSchedule, NothingSwitchesWhenInactiveDisabledOrOutOfRange) {
    UnitSettingsState settings;
    settings.enableMask = 0xFF;
    OutputSchedule generation4(true, 4);
    generation4.restart(settings, t0);
    EXPECT_EQ(generation4.outputs(), 0);
    EXPECT_EQ(generation4.nextDeadline(), std::nullopt);

    settings.active = 1;
    generation4.restart(settings, t0);
    EXPECT_EQ(generation4.outputs(), 0x0F);  // only the outputs the model has

    OutputSchedule generation3(false, 2);
    settings.intervalIndex = 32;
    generation3.restart(settings, t0);
    EXPECT_EQ(generation3.outputs(), 0);
    EXPECT_EQ(generation3.nextDeadline(), std::nullopt);
}

}  // namespace
}  // namespace mervane::sim
