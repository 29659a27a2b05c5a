// The check after a verified apply: the first field the unit holds differently, named so that
// the operator can tell which output and what went wrong.

#include "fleet/WrittenSettingsCheck.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace mervane::fleet
