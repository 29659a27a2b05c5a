// One unit's work as a plant-wide run does it, on simulated units: what is left alone (a unit that
// already holds the profile, a misfit, one-shot settings nobody agreed to clear, an interruption)
// gets no request beyond the read. Units sit on 127.0.82.x.

#include "fleet/UnitWork.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "fleet/AnsweringWindow.h"
#include "fleet/OrderedRun.h"
#include "tests/LoopbackUnit.h"

namespace mervane::fleet {
namespace {

// Every output enabled, DO(i+1) ON i+1, OFF 10*(i+1); stopped.
sim::UnitSettingsState heldSettings() {
    sim::UnitSettingsState s;
    s.enableMask = 0xFF;
    for (uint8_t i = 0; i < 8; ++i) {
        s.onTime[i] = static_cast<uint8_t>(i + 1);
        s.offTime[i] = static_cast<uint8_t>(10 * (i + 1));
    }
    return s;
}

const Profile kHeld{false, 0xFF, {1, 2, 3, 4, 5, 6, 7, 8}, {10, 20, 30, 40, 50, 60, 70, 80}, {}};

class UnitWorkTest : public ::testing::Test {
  protected:
    sim::SimulatedUnit& add(sim::UnitSettingsState initial, int model = 19,
                            const char (&type)[3] = "_W") {
        sim::UnitConfig config = testing::unitConfig(model, type);
        config.initial = initial;
        hosts_.push_back("127.0.82." + std::to_string(hosts_.size() + 1));
        return units_.add(hosts_.back(), config);
    }

    // The task on unit i, answered as `clearOneShot` says.
    UnitOutcome run(size_t i, UnitTask task, bool clearOneShot = false) {
        DeviceLink link;
        testing::aimLinkAt(link, units_[i], 300);
        AnsweringWindow window(hosts_[i], units_.tcpPort(), clearOneShot);
        task.identTimeoutMs = 300;
        return runUnitWork(task, link, window);
    }

    // What unit i received for `task`, and for a plain read afterwards.
    std::pair<std::vector<std::string>, std::vector<std::string>> requests(size_t i,
                                                                           UnitTask task) {
        units_[i].clearReceived();
        outcome_ = run(i, task);
        const auto work = testing::tcpCommands(units_[i]);
        units_[i].clearReceived();
        run(i, UnitTask{});
        return {work, testing::tcpCommands(units_[i])};
    }

    testing::SharedPortUnits units_;
    std::vector<std::string> hosts_;
    UnitOutcome outcome_;
};

TEST_F(UnitWorkTest, OnlyWhereDifferentWritesNothingToAUnitThatHoldsItAlready) {
    add(heldSettings());
    sim::UnitSettingsState active = heldSettings();
    active.active = 1;
    add(active);
    const UnitTask apply{.action = UnitAction::kApply,
                         .profile = &kHeld,
                         .verify = true,
                         .onlyWhereDifferent = true};
    const UnitTask start{.action = UnitAction::kStart, .onlyWhereDifferent = true};
    for (const auto& [i, task] : {std::pair{size_t{0}, apply}, std::pair{size_t{1}, start}}) {
        const auto [work, read] = requests(i, task);
        EXPECT_EQ(outcome_.result, UnitResult::kUnchanged);
        EXPECT_EQ(work, read);
        EXPECT_TRUE(outcome_.settingsRead);
    }

    sim::UnitSettingsState differs = heldSettings();
    differs.offTime[2] = 12;
    units_[0].setSettings(differs);
    const UnitOutcome written = run(0, apply);
    EXPECT_EQ(written.result, UnitResult::kVerified) << written.message;
    EXPECT_EQ(units_[0].settings().offTime[2], 30);
    EXPECT_EQ(written.settings.offTime[2], 30);
    EXPECT_EQ(run(1, {.action = UnitAction::kStop, .onlyWhereDifferent = true}).result,
              UnitResult::kDone);
    EXPECT_EQ(units_[1].settings().active, 0);
}

TEST_F(UnitWorkTest, AMisfitIsWrittenNothingAndSaysWhy) {
    add(heldSettings(), 3, "_L");  // one common interval
    const auto [work, read] = requests(0, {.action = UnitAction::kApply, .profile = &kHeld});
    EXPECT_EQ(outcome_.result, UnitResult::kMisfit);
    ASSERT_TRUE(outcome_.mismatch);
    EXPECT_EQ(outcome_.mismatch->kind, MismatchKind::kNeedsInterval);
    EXPECT_TRUE(outcome_.message.ends_with("; nothing written")) << outcome_.message;
    EXPECT_EQ(work, read);
}

TEST_F(UnitWorkTest, OneShotSettingsAreClearedOnlyWhenTheWindowSaysSo) {
    sim::UnitSettingsState oneShot = heldSettings();
    oneShot.oneShot[1] = 3;
    oneShot.enableMask = 0x0F;
    add(oneShot);
    const UnitTask apply{.action = UnitAction::kApply, .profile = &kHeld};
    const UnitOutcome left = run(0, apply, false);
    EXPECT_EQ(left.result, UnitResult::kOneShotLeft);
    EXPECT_EQ(left.message, kOneShotLeftMessage);
    EXPECT_TRUE(left.identified);
    EXPECT_EQ(units_[0].settings().oneShot[1], 3);
    EXPECT_EQ(units_[0].settings().enableMask, 0x0F);

    const UnitOutcome cleared = run(0, apply, true);
    EXPECT_EQ(cleared.result, UnitResult::kDone) << cleared.message;
    EXPECT_EQ(units_[0].settings().oneShot[1], 0);
    EXPECT_EQ(units_[0].settings().enableMask, 0xFF);
}

TEST_F(UnitWorkTest, ACheckClearsNoOneShotSettingsAndAClearingIsAChange) {
    sim::UnitSettingsState oneShot = heldSettings();
    oneShot.oneShot[1] = 3;
    add(oneShot);
    const auto [work, read] = requests(0, {.action = UnitAction::kCheck, .profile = &kHeld});
    EXPECT_EQ(work, read);
    EXPECT_EQ(run(0, {.action = UnitAction::kCheck, .profile = &kHeld}, true).result,
              UnitResult::kOneShotLeft);
    EXPECT_EQ(units_[0].settings().oneShot[1], 3);

    // Everything else held: only the clearing wrote, and that is still a change.
    const UnitTask apply{
        .action = UnitAction::kApply, .profile = &kHeld, .onlyWhereDifferent = true};
    EXPECT_EQ(run(0, apply, true).result, UnitResult::kDone);
    EXPECT_EQ(units_[0].settings().oneShot[1], 0);
    EXPECT_EQ(run(0, apply, true).result, UnitResult::kUnchanged);
}

TEST_F(UnitWorkTest, AfterAnInterruptionTheUnitIsNotContacted) {
    add(heldSettings());
    Interruption interruption;
    interruption.request();
    const UnitOutcome outcome =
        run(0, {.action = UnitAction::kApply, .profile = &kHeld, .interruption = &interruption});
    EXPECT_EQ(outcome.result, UnitResult::kNotStarted);
    EXPECT_TRUE(units_[0].received().empty());
}

TEST(OrderedRunTest, DeliveriesComeInIndexOrderWhenLaterWorksEndFirst) {
    constexpr size_t kCount = 4;
    std::atomic<size_t> ended{0};
    std::vector<size_t> delivered;
    const auto caller = std::this_thread::get_id();
    runInOrder(
        kCount, 4,
        [&ended](size_t i) {
            // The first waits (at most 5 s) until every other work has ended.
            for (int n = 0; i == 0 && ended.load() < kCount - 1 && n < 500; ++n) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            ++ended;
        },
        [&](size_t i) {
            EXPECT_EQ(std::this_thread::get_id(), caller);
            delivered.push_back(i);
        });
    EXPECT_EQ(delivered, (std::vector<size_t>{0, 1, 2, 3}));
    EXPECT_EQ(ended.load(), kCount);
}

}  // namespace
}  // namespace mervane::fleet
