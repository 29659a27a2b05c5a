// The check after a verified apply: the first field the unit holds differently, named so that
// the operator can tell which output and what went wrong. Beside it, the comparison that tells
// whether a unit already holds a profile, and the times a unit would refuse.

#include "fleet/WrittenSettingsCheck.h"

#include <gtest/gtest.h>

#include "fleet/SettingsComparison.h"

namespace mervane::fleet {
namespace {

DeviceIdentity unit(int32_t model, UnitGeneration generation) {
    DeviceIdentity identity;
    identity.modelIndex = model;
    identity.generation = generation;
    return identity;
}

TEST(WrittenSettingsCheckTest, TheFirstDifferenceNamesOutputFieldAndBothValues) {
    AutoOnOffSettings written;
    written.enableMask = 0x0F;
    written.onTime.fill(5);
    written.offTime.fill(5);
    written.active = 1;
    const DeviceIdentity four = unit(17, UnitGeneration::kGen4);  // DO1..DO4
    const DeviceIdentity common = unit(3, UnitGeneration::kGen3);

    struct Case {
        void (*change)(AutoOnOffSettings&);
        const DeviceIdentity* unit;
        bool activeWritten;
        std::string difference;
    };
    const Case cases[] = {
        {[](AutoOnOffSettings&) {}, &four, true, ""},
        {[](AutoOnOffSettings& s) { s.enableMask = 0x0B; }, &four, false,
         "DO3 enabled: wrote yes, read no"},
        {[](AutoOnOffSettings& s) { s.offTime[2] = 12; }, &four, false,
         "DO3 OFF time: wrote 5, read 12"},
        // Outputs beyond the unit's were never written, so never compared.
        {[](AutoOnOffSettings& s) { s.onTime[6] = 1; }, &four, false, ""},
        // Nor are mask bits of outputs the unit does not have: the apply never sends them.
        {[](AutoOnOffSettings& s) { s.enableMask |= 0x80; }, &four, false, ""},
        {[](AutoOnOffSettings& s) { s.enableMask |= 0xE0; }, &common, false, ""},
        {[](AutoOnOffSettings& s) { s.active = 0; }, &four, false, ""},
        {[](AutoOnOffSettings& s) { s.active = 0; }, &four, true, "active: wrote yes, read no"},
        {[](AutoOnOffSettings& s) { s.intervalIndex = 40; }, &common, false,
         "interval: wrote index 0 (100 ms), read index 40 (not in the interval list)"},
        // A common-interval unit's times are not its settings.
        {[](AutoOnOffSettings& s) { s.onTime[0] = 1; }, &common, false, ""},
    };
    for (const Case& c : cases) {
        AutoOnOffSettings read = written;
        c.change(read);
        EXPECT_EQ(writtenSettingsDifference(written, read, *c.unit, c.activeWritten), c.difference);
    }
}

// "offTime3 12/5;": field, DO number, the unit's value / the profile's.
std::string described(const std::vector<SettingDifference>& differences) {
    std::string text;
    for (const SettingDifference& d : differences) {
        text += fieldName(d.field) + (d.output != 0 ? std::to_string(d.output) : "") + " " +
                std::to_string(d.unit) + "/" + std::to_string(d.profile) + ";";
    }
    return text;
}

TEST(SettingsComparisonTest, EachFieldAWriteWouldChangeAndNothingElse) {
    const DeviceIdentity four = unit(17, UnitGeneration::kGen4);   // DO1..DO4
    const DeviceIdentity common = unit(3, UnitGeneration::kGen3);  // DO1..DO5, one interval
    Profile timed{true, 0x0F, {5, 5, 5, 5}, {5, 5, 5, 5}, std::nullopt};
    Profile interval{true, 0x1F, {}, {}, 4};  // 500 ms
    AutoOnOffSettings holdsTimed;
    holdsTimed.active = 1;
    holdsTimed.enableMask = 0x0F;
    holdsTimed.onTime.fill(5);
    holdsTimed.offTime.fill(5);
    AutoOnOffSettings holdsInterval = holdsTimed;
    holdsInterval.enableMask = 0x1F;
    holdsInterval.intervalIndex = 4;

    struct Case {
        void (*change)(AutoOnOffSettings&);
        bool timedUnit;
        std::string differences;
    };
    const Case cases[] = {
        {[](AutoOnOffSettings&) {}, true, ""},
        {[](AutoOnOffSettings&) {}, false, ""},
        {[](AutoOnOffSettings& s) { s.enableMask = 0x0B; }, true, "enableMask 11/15;"},
        // A bit of an output the unit lacks is never written.
        {[](AutoOnOffSettings& s) { s.enableMask |= 0x80; }, true, ""},
        {[](AutoOnOffSettings& s) { s.enableMask |= 0xE0; }, false, ""},
        {[](AutoOnOffSettings& s) { s.offTime[2] = 12; }, true, "offTime3 12/5;"},
        {[](AutoOnOffSettings& s) { s.onTime[0] = 0; }, true, "onTime1 0/5;"},
        {[](AutoOnOffSettings& s) { s.onTime[6] = 1; }, true, ""},
        {[](AutoOnOffSettings& s) { s.active = 7; }, true, ""},
        {[](AutoOnOffSettings& s) { s.active = 0; }, true, "active 0/1;"},
        // Generation 4 has no interval; the others no times.
        {[](AutoOnOffSettings& s) { s.intervalIndex = 9; }, true, ""},
        {[](AutoOnOffSettings& s) { s.onTime[0] = 9; }, false, ""},
        {[](AutoOnOffSettings& s) { s.intervalIndex = 5; }, false, "intervalMs 600/500;"},
        {[](AutoOnOffSettings& s) { s.intervalIndex = 40; }, false, "intervalMs -1/500;"},
        {[](AutoOnOffSettings& s) {
             s.enableMask = 3;
             s.intervalIndex = 0;
             s.active = 0;
         },
         false, "enableMask 3/31;intervalMs 100/500;active 0/1;"},
    };
    for (const Case& c : cases) {
        AutoOnOffSettings held = c.timedUnit ? holdsTimed : holdsInterval;
        c.change(held);
        EXPECT_EQ(described(settingsDifferences(c.timedUnit ? timed : interval, held,
                                                c.timedUnit ? four : common)),
                  c.differences);
    }
}

TEST(SettingsComparisonTest, TheFirstTimeTheUnitWouldRefuse) {
    AutoOnOffSettings settings;
    settings.onTime.fill(1);
    settings.offTime.fill(255);
    const DeviceIdentity four = unit(17, UnitGeneration::kGen4);
    EXPECT_EQ(firstTimeOutOfRange(settings, four), std::nullopt);
    settings.onTime[5] = 0;  // beyond DO4
    EXPECT_EQ(firstTimeOutOfRange(settings, four), std::nullopt);
    settings.offTime[2] = 256;
    settings.onTime[3] = 0;
    EXPECT_EQ(firstTimeOutOfRange(settings, four), 3);
    EXPECT_EQ(firstTimeOutOfRange(settings, unit(3, UnitGeneration::kGen3)), std::nullopt);
}

}  // namespace
}  // namespace mervane::fleet
