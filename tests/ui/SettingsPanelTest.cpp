// The settings panel's show and gather through the window's interface, on the window thread.

#include <QCheckBox>

#include "link/Status.h"
#include "tests/ui/WindowFixture.h"
#include "ui/SettingsPanel.h"

namespace mervane::testing {
namespace {

DeviceIdentity unitOf(int modelIndex, UnitGeneration generation) {
    DeviceIdentity unit;
    unit.modelIndex = modelIndex;
    unit.generation = generation;
    return unit;
}

const DeviceIdentity kFourTimed = unitOf(17, UnitGeneration::kGen4);
const DeviceIdentity kEightTimed = unitOf(19, UnitGeneration::kGen4);
const DeviceIdentity kFiveInterval = unitOf(3, UnitGeneration::kGen3);

class SettingsPanelTest : public WindowFixture {
  protected:
    void SetUp() override { openWindow(); }

    QCheckBox* check(int row) {
        return control<QCheckBox>(("EnableCheck" + std::to_string(row)).c_str());
    }
    QLineEdit* onEdit(int row) {
        return control<QLineEdit>(("OnTimeEdit" + std::to_string(row)).c_str());
    }
    QLineEdit* offEdit(int row) {
        return control<QLineEdit>(("OffTimeEdit" + std::to_string(row)).c_str());
    }
    void fillTimes(int rows, const QString& on, const QString& off) {
        for (int row = 1; row <= rows; ++row) {
            onEdit(row)->setText(on);
            offEdit(row)->setText(off);
        }
    }
};

TEST_F(SettingsPanelTest, ShowFillsTheUnitsRowsOnly) {
    for (int row = 1; row <= 8; ++row)
        check(row)->setChecked(true);
    AutoOnOffSettings settings;
    settings.active = 1;
    settings.enableMask = 0x05;
    settings.onTime = {1, 2, 3, 4, 5, 6, 7, 8};
    settings.offTime = {11, 12, 13, 14, 15, 16, 17, 18};
    dialog->showAutoOnOffSettings(settings, kFourTimed);
    EXPECT_TRUE(check(1)->isChecked());
    EXPECT_FALSE(check(2)->isChecked());
    EXPECT_TRUE(check(3)->isChecked());
    EXPECT_FALSE(check(4)->isChecked());
    EXPECT_TRUE(check(5)->isChecked());  // beyond the unit's outputs: untouched
    EXPECT_EQ(onEdit(4)->text(), "4");
    EXPECT_EQ(offEdit(4)->text(), "14");
    EXPECT_EQ(onEdit(5)->text(), "");
    EXPECT_EQ(text("StatusText"), "Active");

    // An interval unit: the selection, not the times.
    settings.active = 0;
    settings.intervalIndex = 21;
    settings.onTime[0] = 99;
    dialog->showAutoOnOffSettings(settings, kFiveInterval);
    EXPECT_EQ(control<QComboBox>("IntervalCombo")->currentText(), "4000");
    EXPECT_EQ(onEdit(1)->text(), "1");
    EXPECT_EQ(text("StatusText"), "Non-active");
}

TEST_F(SettingsPanelTest, GatherTakesTheUnitsChecksAndTimes) {
    check(2)->setChecked(true);
    check(4)->setChecked(true);
    check(5)->setChecked(true);  // the unit has no DO5: never gathered
    fillTimes(4, "255", "1");
    onEdit(3)->setText("12ab");
    AutoOnOffSettings settings;
    settings.enableMask = 0xF0;
    settings.onTime[4] = 77;
    ASSERT_EQ(dialog->gatherAutoOnOffSettings(settings, kFourTimed), kStatusOk);
    EXPECT_EQ(settings.enableMask, 0x0Au);
    EXPECT_EQ(settings.onTime[0], 255);
    EXPECT_EQ(settings.offTime[0], 1);
    EXPECT_EQ(settings.onTime[2], 12);
    EXPECT_EQ(settings.onTime[4], 77);
    EXPECT_TRUE(presenter.messages.empty());
}

TEST_F(SettingsPanelTest, TimesOutside1To255AreRefusedBeforeAnythingIsSent) {
    for (const char* bad : {"256", "0", "", "abc", "99999999999"}) {
        SCOPED_TRACE(bad);
        presenter.messages.clear();
        fillTimes(4, "5", "5");
        onEdit(2)->setText(bad);
        AutoOnOffSettings settings;
        EXPECT_EQ(dialog->gatherAutoOnOffSettings(settings, kFourTimed), kStatusFailure);
        EXPECT_EQ(presenter.messages, std::vector<std::string>{kTimeRangeMessage});
    }
}

TEST_F(SettingsPanelTest, ARefusedGatherLeavesTheLinksCopyAsTheUnitHoldsIt) {
    for (int row = 1; row <= 8; ++row)
        check(row)->setChecked(true);
    fillTimes(8, "5", "6");
    offEdit(3)->setText("300");
    AutoOnOffSettings settings;
    settings.onTime[3] = 42;
    EXPECT_EQ(dialog->gatherAutoOnOffSettings(settings, kEightTimed), kStatusFailure);
    EXPECT_EQ(settings.enableMask, 0u);
    EXPECT_EQ(settings.offTime[2], 0);
    EXPECT_EQ(settings.onTime[3], 42);
}

TEST_F(SettingsPanelTest, IntervalUnitsGatherChecksAndSelectionOnly) {
    fillTimes(5, "0", "");  // hidden on such a unit: not validated, not read
    check(5)->setChecked(true);
    control<QComboBox>("IntervalCombo")->setCurrentIndex(30);
    AutoOnOffSettings settings;
    settings.onTime[0] = 9;
    ASSERT_EQ(dialog->gatherAutoOnOffSettings(settings, kFiveInterval), kStatusOk);
    EXPECT_EQ(settings.enableMask, 0x10u);
    EXPECT_EQ(settings.intervalIndex, 30);
    EXPECT_EQ(settings.onTime[0], 9);
}

TEST_F(SettingsPanelTest, AnIntervalBeyondTheListIsKeptAsTheUnitReportedIt) {
    AutoOnOffSettings settings;
    settings.intervalIndex = 40;
    dialog->showAutoOnOffSettings(settings, kFiveInterval);
    EXPECT_EQ(control<QComboBox>("IntervalCombo")->currentIndex(), -1);
    ASSERT_EQ(dialog->gatherAutoOnOffSettings(settings, kFiveInterval), kStatusOk);
    EXPECT_EQ(settings.intervalIndex, 40);
}

TEST_F(SettingsPanelTest, ClickingACheckBoxChangesOnlyThatBox) {
    startUnit(17, "_W");
    connectToUnit();
    ASSERT_TRUE(dialog->connected());
    const size_t requests = unit->received().size();
    const AutoOnOffSettings before = link.settings();
    onEdit(1)->setText("33");
    check(2)->click();
    EXPECT_TRUE(check(2)->isChecked());
    EXPECT_EQ(onEdit(1)->text(), "33");
    EXPECT_EQ(link.settings().enableMask, before.enableMask);
    EXPECT_EQ(unit->received().size(), requests);
}

}  // namespace
}  // namespace mervane::testing
