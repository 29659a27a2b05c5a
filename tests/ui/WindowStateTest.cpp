// What the window may run in each of its states, the presses queued behind a connect, and the
// window refusing a connect while the unit search is open.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "tests/ui/WindowFixture.h"
#include "ui/DiscoveryDialog.h"
#include "ui/WindowState.h"

namespace mervane {
namespace {

using Action = WindowState::Action;
using Verdict = WindowState::Verdict;

// In the order of the letters below: Connect, 検索..., 設定受信, 設定反映, Start/Stop, 保存...,
// 読込..., the output rows.
constexpr Action kActions[] = {Action::kConnect,     Action::kSearch,    Action::kReceive,
                               Action::kApply,       Action::kStartStop, Action::kSaveProfile,
                               Action::kLoadProfile, Action::kOutputs};

// Reaches a state from the start by the events named by `steps`' letters: s connect started,
// u unit shown, c connect ended connected, f connect ended not connected, q a press queued,
// x exchange started, o dialog opened, O dialog closed, d disconnected, z closed.
void reach(WindowState& state, const std::string& steps) {
    using Step = void (*)(WindowState&);
    const std::map<char, Step> events{
        {'s', [](WindowState& s) { s.connectStarted(); }},
        {'u', [](WindowState& s) { s.unitShown(); }},
        {'c', [](WindowState& s) { s.connectEnded(true); }},
        {'f', [](WindowState& s) { s.connectEnded(false); }},
        {'q', [](WindowState& s) { s.queue(Action::kApply); }},
        {'x', [](WindowState& s) { s.exchangeStarted(); }},
        {'o', [](WindowState& s) { s.dialogOpened(); }},
        {'O', [](WindowState& s) { s.dialogClosed(); }},
        {'d', [](WindowState& s) { s.disconnected(); }},
        {'z', [](WindowState& s) { s.close(); }},
    };
    for (const char step : steps)
        events.at(step)(state);
}

TEST(WindowStateTest, EachStateSaysWhatMayRunAndWhatIsUsable) {
    const struct {
        const char* name;
        const char* steps;
        const char* verdicts;  // R run, Q queue, - refuse
        const char* enabled;   // 1 usable, 0 not
        bool fields;           // adapter, address and port editable
        bool busy;
    } states[] = {
        {"not connected", "", "RR------", "11000000", true, false},
        {"connecting", "s", "--------", "00000000", true, true},
        {"connect failed", "sf", "RR------", "11000000", true, false},
        {"unit shown, worker ending", "su", "--QQQQQR", "00111111", false, true},
        {"connected", "suc", "R-RRRRRR", "10111111", false, false},
        {"connected, a press queued", "suqc", "R-QQQQQR", "10111111", false, true},
        {"exchange running", "sucx", "--------", "10111111", false, true},
        {"search open", "o", "--------", "11000000", true, false},
        {"search closed again", "oO", "RR------", "11000000", true, false},
        {"disconnected", "sucd", "RR------", "11000000", true, false},
        {"closed while connecting", "sz", "--------", "00000000", true, false},
    };
    for (const auto& state : states) {
        SCOPED_TRACE(state.name);
        WindowState s;
        reach(s, state.steps);
        std::string verdicts, enabled;
        for (const Action action : kActions) {
            const Verdict v = s.verdict(action);
            verdicts += v == Verdict::kRun ? 'R' : v == Verdict::kQueue ? 'Q' : '-';
            enabled += s.enabled(action) ? '1' : '0';
        }
        EXPECT_EQ(verdicts, state.verdicts);
        EXPECT_EQ(enabled, state.enabled);
        EXPECT_EQ(s.addressEditable(), state.fields);
        EXPECT_EQ(s.busy(), state.busy);
    }
}

TEST(WindowStateTest, QueuedPressesRunInOrderOneExchangeAtATimeAndDieWithTheSession) {
    WindowState s;
    reach(s, "su");
    for (const Action a : {Action::kReceive, Action::kSaveProfile, Action::kStartStop,
                           Action::kApply, Action::kLoadProfile})
        s.queue(a);
    EXPECT_EQ(s.queued(), WindowState::kMaxQueued);  // the fifth is dropped
    EXPECT_EQ(s.nextQueued(), std::nullopt);         // the worker has not ended
    s.connectEnded(true);
    EXPECT_EQ(s.nextQueued(), Action::kReceive);
    s.exchangeStarted();
    EXPECT_EQ(s.nextQueued(), std::nullopt);
    s.exchangeEnded();
    EXPECT_EQ(s.nextQueued(), Action::kSaveProfile);
    EXPECT_EQ(s.nextQueued(), Action::kStartStop);
    s.disconnected();
    EXPECT_EQ(s.queued(), 0u);

    reach(s, "suqf");  // a connect that fails drops what waited for it
    EXPECT_EQ(s.nextQueued(), std::nullopt);
    EXPECT_FALSE(s.busy());
}

}  // namespace

namespace testing {
namespace {

using WindowStateWindowTest = WindowFixture;

TEST_F(WindowStateWindowTest, NoConnectRunsWhileTheUnitSearchIsOpen) {
    openWindow();
    startUnit(19, "_W");
    click("SearchButton");
    ASSERT_NE(dialog->discoveryDialog(), nullptr);
    click("ConnectButton");  // the search is window-modal; a press that gets through is refused
    EXPECT_FALSE(dialog->busy());
    EXPECT_TRUE(unit->received().empty());
    dialog->discoveryDialog()->reject();
    connectToUnit();
    EXPECT_TRUE(dialog->connected()) << ::testing::PrintToString(presenter.messages);
}

}  // namespace
}  // namespace testing
}  // namespace mervane
