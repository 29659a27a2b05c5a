// The read, apply and Start/Stop sequences over a real session with the simulated unit: what is
// sent in which order, the one message each failure shows, and what the settings copy holds
// after a failure part-way.

#include <gtest/gtest.h>

#include "link/Identification.h"
#include "link/SettingsSequences.h"
#include "link/Status.h"
#include "tests/LoopbackUnit.h"
#include "tests/RecordingWindow.h"

namespace mervane {
namespace {

using testing::aimLinkAt;
using testing::RecordingWindow;
using testing::startLoopbackUnit;
using testing::tcpCommands;
using testing::unitConfig;
using Strings = std::vector<std::string>;

constexpr int kFourOutputLetterUnit = 17;  // generation 4 with type "_W"
constexpr int kFiveOutputBinaryUnit = 3;   // generation 3 with type "_L"

const char* const kOneShotQuestion =
    "ワンショット出力設定されている端子があります。\n"
    "自動ONOFF動作はワンショット出力設定と共存できません。\n"
    "ワンショット出力設定を解除しますか？";

class SequenceTest : public ::testing::Test {
  protected:
    // Identifies the unit and opens the session, then forgets what the unit received so far.
    void connect(int model, const char (&type)[3], const sim::UnitSettingsState& initial = {}) {
        sim::UnitConfig config = unitConfig(model, type);
        config.initial = initial;
        unit = startLoopbackUnit(config);
        aimLinkAt(link, *unit, 100);
        ASSERT_EQ(identifyUnit(link, 500, unit->tcpPort(), "127.0.0.1"), kStatusOk);
        ASSERT_EQ(link.openSession(window), kStatusOk);
        unit->clearReceived();
    }
    void silence(const char* command) {
        sim::UnitFaults faults;
        faults.silentCommand = command;
        unit->setFaults(faults);
    }

    DeviceLink link;
    RecordingWindow window;
    std::unique_ptr<sim::SimulatedUnit> unit;
};

sim::UnitSettingsState letterUnitSettings() {
    sim::UnitSettingsState s;
    s.active = 1;
    s.enableMask = 0x05;
    s.onTime = {1, 2, 3, 4};
    s.offTime = {5, 6, 7, 8};
    return s;
}

TEST_F(SequenceTest, ReadOfALetterUnitChecksOneShotsThenReadsFlagMaskAndEveryChannel) {
    connect(kFourOutputLetterUnit, "_W", letterUnitSettings());
    ASSERT_EQ(readAutoOnOffSettings(link, window), kStatusOk);
    EXPECT_EQ(tcpCommands(*unit),
              (Strings{"NJ", "NJ", "NJ", "NJ", "OJ", "OH", "OI", "OI", "OI", "OI"}));
    const AutoOnOffSettings& s = link.settings();
    EXPECT_EQ(s.active, 1);
    EXPECT_EQ(s.enableMask, 0x05u);
    EXPECT_EQ(s.onTime, (std::array<int32_t, 8>{1, 2, 3, 4}));
    EXPECT_EQ(s.offTime, (std::array<int32_t, 8>{5, 6, 7, 8}));
    EXPECT_TRUE(window.calls().empty());  // showing is the caller's business
}

TEST_F(SequenceTest, OneShotOnDO3AnsweredYesClearsEveryChannelAndReadsOn) {
    sim::UnitSettingsState initial = letterUnitSettings();
    initial.oneShot[2] = 0x10;
    initial.oneShot[3] = 0x20;  // never read: the clear covers it
    connect(kFourOutputLetterUnit, "_W", initial);
    window.answerYes = true;

    ASSERT_EQ(readAutoOnOffSettings(link, window), kStatusOk);
    EXPECT_EQ(tcpCommands(*unit), (Strings{"NJ", "NJ", "NJ", "NS", "NS", "NS", "NS", "OJ", "OH",
                                           "OI", "OI", "OI", "OI"}));
    EXPECT_EQ(window.calls(), Strings{std::string("question: ") + kOneShotQuestion});
    EXPECT_EQ(unit->settings().oneShot, (std::array<uint8_t, 8>{}));
}

TEST_F(SequenceTest, OneShotAnsweredNoEndsTheReadSilently) {
    sim::UnitSettingsState initial = letterUnitSettings();
    initial.oneShot[2] = 0x10;
    connect(kFourOutputLetterUnit, "_W", initial);
    window.answerYes = false;

    EXPECT_EQ(readAutoOnOffSettings(link, window), kStatusFailure);
    EXPECT_EQ(tcpCommands(*unit), (Strings{"NJ", "NJ", "NJ"}));
    EXPECT_TRUE(window.messages().empty());
    EXPECT_EQ(unit->settings().oneShot[2], 0x10);
}

// Each step of the read fails with its own message and the socket layer's error number.
struct ReadFailureCase {
    const char* name;
    int model;
    const char* type;
    const char* silentCommand;
    Strings expectedCommands;
    const char* expectedMessage;
};

void PrintTo(const ReadFailureCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadFailureTest : public SequenceTest,
                        public ::testing::WithParamInterface<ReadFailureCase> {};

TEST_P(ReadFailureTest, ShowsTheStepsMessageWithTheTimeOutNumber) {
    const ReadFailureCase& c = GetParam();
    sim::UnitSettingsState initial = letterUnitSettings();
    initial.oneShot[0] = 1;
    if (c.type[1] == 'W') {
        connect(c.model, "_W", initial);
    } else {
        connect(c.model, "_L", initial);
    }
    window.answerYes = true;
    silence(c.silentCommand);

    EXPECT_EQ(readAutoOnOffSettings(link, window), kStatusFailure);
    EXPECT_EQ(window.messages(), Strings{c.expectedMessage});
    EXPECT_EQ(tcpCommands(*unit), c.expectedCommands);
    EXPECT_TRUE(link.sessionSocket().isOpen());  // only the connection procedure closes it
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, ReadFailureTest,
    ::testing::Values(
        ReadFailureCase{
            "OneShotRead", kFourOutputLetterUnit, "_W", "NJ", {"NJ"}, "設定取得通信エラー: O10060"},
        ReadFailureCase{"OneShotClear",
                        kFourOutputLetterUnit,
                        "_W",
                        "NS",
                        {"NJ", "NS"},
                        "設定通信エラー: 0-10060"},
        ReadFailureCase{"ActiveFlag",
                        kFourOutputLetterUnit,
                        "_W",
                        "OJ",
                        {"NJ", "NS", "NS", "NS", "NS", "OJ"},
                        "設定取得通信エラー: 1-10060"},
        ReadFailureCase{"EnableMask",
                        kFourOutputLetterUnit,
                        "_W",
                        "OH",
                        {"NJ", "NS", "NS", "NS", "NS", "OJ", "OH"},
                        "設定取得通信エラー: 2-10060"},
        ReadFailureCase{"ChannelTimes",
                        kFourOutputLetterUnit,
                        "_W",
                        "OI",
                        {"NJ", "NS", "NS", "NS", "NS", "OJ", "OH", "OI"},
                        "設定取得通信エラー: 3-10060"},
        ReadFailureCase{"BinaryActiveFlag",
                        kFiveOutputBinaryUnit,
                        "_L",
                        "E1",
                        {"E1"},
                        "設定取得通信エラー: 1-10060"},
        ReadFailureCase{"BinaryInterval",
                        kFiveOutputBinaryUnit,
                        "_L",
                        "E2",
                        {"E1", "E3", "E2"},
                        "設定取得通信エラー: 4-10060"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(SequenceTest, ReadFailingAtDO2KeepsTheEarlierFieldsNewTheFailedChannelZeroAndTheRestOld) {
    connect(kFourOutputLetterUnit, "_W", letterUnitSettings());
    AutoOnOffSettings& s = link.settings();
    s.onTime = {9, 9, 9, 9, 9, 9, 9, 9};
    s.offTime = {9, 9, 9, 9, 9, 9, 9, 9};
    sim::UnitFaults faults;
    faults.closeAfterRequests = 4 + 2 + 1;  // one-shot reads, flag, mask, DO1's times
    unit->setFaults(faults);

    EXPECT_EQ(readAutoOnOffSettings(link, window), kStatusFailure);
    ASSERT_EQ(window.messages().size(), 1u);
    EXPECT_EQ(window.messages()[0].rfind("設定取得通信エラー: 3-", 0), 0u);
    EXPECT_EQ(s.active, 1);
    EXPECT_EQ(s.enableMask, 0x05u);
    EXPECT_EQ(s.onTime, (std::array<int32_t, 8>{1, 0, 9, 9, 9, 9, 9, 9}));
    EXPECT_EQ(s.offTime, (std::array<int32_t, 8>{5, 0, 9, 9, 9, 9, 9, 9}));
}

TEST_F(SequenceTest, BinaryUnitOfGeneration4FailsAtStep3WithoutSendingIt) {
    // A binary-command model whose identification said generation 4: the times cannot be read.
    connect(kFiveOutputBinaryUnit, "_W");
    link.settings().onTime[0] = 7;
    EXPECT_EQ(readAutoOnOffSettings(link, window), kStatusFailure);
    EXPECT_EQ(tcpCommands(*unit), (Strings{"E1", "E3"}));
    ASSERT_EQ(window.messages().size(), 1u);
    EXPECT_EQ(window.messages()[0].rfind("設定取得通信エラー: 3-", 0), 0u);
    EXPECT_EQ(link.settings().onTime[0], 7);
}

TEST_F(SequenceTest, BinaryUnitReadsTheIntervalAndLeavesTheTimesAlone) {
    sim::UnitSettingsState initial;
    initial.enableMask = 0x11;
    initial.intervalIndex = 40;  // beyond the list: kept as reported
    connect(kFiveOutputBinaryUnit, "_L", initial);
    link.settings().onTime[0] = 7;
    ASSERT_EQ(readAutoOnOffSettings(link, window), kStatusOk);
    EXPECT_EQ(tcpCommands(*unit), (Strings{"E1", "E3", "E2"}));
    EXPECT_EQ(link.settings().enableMask, 0x11u);
    EXPECT_EQ(link.settings().intervalIndex, 40);
    EXPECT_EQ(link.settings().onTime[0], 7);
}

TEST_F(SequenceTest, ReceiveShowsTheSettingsOnlyAfterASuccessfulRead) {
    connect(kFourOutputLetterUnit, "_W", letterUnitSettings());
    ASSERT_EQ(onReceiveSettings(link, window), kStatusOk);
    EXPECT_EQ(window.calls(), Strings{"show settings"});
    EXPECT_EQ(window.shown.enableMask, 0x05u);

    window.clear();
    silence("OH");
    EXPECT_EQ(onReceiveSettings(link, window), kStatusFailure);
    EXPECT_EQ(window.calls(), Strings{"message: 設定取得通信エラー: 2-10060"});
}

// The panel's gather, as the operator left it.
auto gatherTimes(uint32_t mask, std::array<int32_t, 8> on, std::array<int32_t, 8> off) {
    return [=](AutoOnOffSettings& s, const DeviceIdentity&) {
        s.enableMask = mask;
        s.onTime = on;
        s.offTime = off;
        return kStatusOk;
    };
}

TEST_F(SequenceTest, ApplyWritesTheMaskThenEveryChannelsTimes) {
    connect(kFourOutputLetterUnit, "_W");
    window.gather = gatherTimes(0x06, {10, 11, 12, 13}, {20, 21, 22, 23});
    ASSERT_EQ(onApplySettings(link, window), kStatusOk);
    EXPECT_EQ(tcpCommands(*unit), (Strings{"OC", "OT", "OT", "OT", "OT"}));
    const sim::UnitSettingsState held = unit->settings();
    EXPECT_EQ(held.enableMask, 0x06);
    EXPECT_EQ(held.onTime, (std::array<uint8_t, 8>{10, 11, 12, 13}));
    EXPECT_EQ(held.offTime, (std::array<uint8_t, 8>{20, 21, 22, 23}));
    EXPECT_EQ(window.calls(), Strings{"gather"});  // no read-back, no refresh
}

TEST_F(SequenceTest, ApplyStopsAtAZeroTimeAfterWritingTheChannelsBeforeIt) {
    connect(kFourOutputLetterUnit, "_W", letterUnitSettings());
    window.gather = gatherTimes(0x0F, {10, 0, 12, 13}, {20, 21, 22, 23});
    EXPECT_EQ(onApplySettings(link, window), kStatusFailure);
    EXPECT_EQ(tcpCommands(*unit), (Strings{"OC", "OT"}));
    EXPECT_EQ(window.messages(), Strings{"設定反映通信エラー。"});
    const sim::UnitSettingsState held = unit->settings();
    EXPECT_EQ(held.enableMask, 0x0F);
    EXPECT_EQ(held.onTime, (std::array<uint8_t, 8>{10, 2, 3, 4}));
    EXPECT_EQ(link.settings().onTime[1], 0);  // the record holds what the panel gave
}

TEST_F(SequenceTest, ApplyFailingAtTheMaskShowsTheApplyMessage) {
    connect(kFourOutputLetterUnit, "_W", letterUnitSettings());
    silence("OC");
    EXPECT_EQ(onApplySettings(link, window), kStatusFailure);
    EXPECT_EQ(tcpCommands(*unit), Strings{"OC"});
    EXPECT_EQ(window.messages(), Strings{"設定反映通信エラー。"});
}

TEST_F(SequenceTest, ApplyWhoseGatherFailsSendsNothing) {
    connect(kFourOutputLetterUnit, "_W");
    window.gather = [](AutoOnOffSettings&, const DeviceIdentity&) { return kStatusFailure; };
    EXPECT_EQ(onApplySettings(link, window), kStatusFailure);
    EXPECT_TRUE(tcpCommands(*unit).empty());
    EXPECT_TRUE(window.messages().empty());  // the gather showed its own
}

TEST_F(SequenceTest, ApplyOnABinaryUnitWritesTheMaskAndTheInterval) {
    connect(kFiveOutputBinaryUnit, "_L");
    window.gather = [](AutoOnOffSettings& s, const DeviceIdentity&) {
        s.enableMask = 0x11;
        s.intervalIndex = 25;
        return kStatusOk;
    };
    ASSERT_EQ(onApplySettings(link, window), kStatusOk);
    EXPECT_EQ(tcpCommands(*unit), (Strings{"F3", "F2"}));
    EXPECT_EQ(unit->settings().enableMask, 0x11);
    EXPECT_EQ(unit->settings().intervalIndex, 25);
}

TEST_F(SequenceTest, StartStopTogglesAnyNonZeroFlagToStop) {
    sim::UnitSettingsState initial;
    initial.active = 2;  // binary units report the raw byte
    connect(kFiveOutputBinaryUnit, "_L", initial);
    ASSERT_EQ(readAutoOnOffSettings(link, window), kStatusOk);
    ASSERT_EQ(link.settings().active, 2);

    ASSERT_EQ(onStartStop(link, window), kStatusOk);
    EXPECT_EQ(unit->settings().active, 0);
    ASSERT_EQ(onStartStop(link, window), kStatusOk);
    EXPECT_EQ(unit->settings().active, 1);
    EXPECT_EQ(window.calls(), (Strings{"status: Non-active", "status: Active"}));
}

TEST_F(SequenceTest, FailedStartStopShowsTheErrorAndRestoresTheOppositeFlag) {
    connect(kFiveOutputBinaryUnit, "_L");
    silence("F1");
    link.settings().active = 2;
    EXPECT_EQ(onStartStop(link, window), kStatusFailure);
    EXPECT_EQ(link.settings().active, 1);  // not back to 2
    link.settings().active = 0;
    EXPECT_EQ(onStartStop(link, window), kStatusFailure);
    EXPECT_EQ(link.settings().active, 0);
    EXPECT_EQ(window.calls(), (Strings{"message: 通信エラー", "message: 通信エラー"}));
}

}  // namespace
}  // namespace mervane
