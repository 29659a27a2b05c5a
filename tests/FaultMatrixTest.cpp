// What the operator sees when a unit, or the network, misbehaves: one row per misbehaviour, run
// against the simulated unit through the connect button and the panel's buttons. Each row names
// the sequence it hits, the one message it must show, what the settings copy holds and whether
// the window is still connected afterwards, and a bound on how long it may take (ten times what
// it should). Rows whose unit recovers also show that the next command works and reads exactly
// what the unit holds: nothing a misbehaving unit left behind is taken for a later reply.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>

#include "link/ConnectionProcedure.h"
#include "link/SettingsSequences.h"
#include "link/SocketError.h"
#include "link/Status.h"
#include "link/UniqueFd.h"
#include "tests/LoopbackUnit.h"
#include "tests/RecordingWindow.h"

namespace mervane {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using testing::RecordingWindow;

constexpr int kSessionTimeoutMs = 200;
constexpr int kIdentTimeoutMs = 300;

// The sequence a misbehaviour hits. Identification and the connect-time read run through the
// connect button (faults in force from the start, or from the session's first request); the
// others run on a connected unit.
enum class Stage { kIdentification, kConnectRead, kReceive, kApply, kStartStop };

// What the settings copy holds afterwards.
enum class Settings {
    kUnchanged,        // exactly what it held before the sequence
    kReadAnew,         // exactly what the unit holds
    kToggled,          // as before, with the active flag switched
    kFlagAndMaskRead,  // the active flag and the mask as the unit holds them, the rest as before
};

// What a row does besides the unit's faults.
enum class Twist {
    kNone,
    kAddressOtherHost,   // the operator types an address the replies do not come from
    kRefusedPort,        // the operator types a TCP port where nothing listens
    kFromSessionAccept,  // the faults hold from the session's accept, armed at the probe's query
};

// What must work once the unit behaves again.
enum class Recovery { kNone, kReceiveAgain, kReconnect };

struct UnitKind {
    int model;
    std::array<char, 2> type;
};
constexpr UnitKind kLetterUnit{19, {'_', 'W'}};  // generation 4, eight outputs, letter commands
constexpr UnitKind kBinaryUnit{3, {'_', 'L'}};   // generation 3, five outputs, binary commands

struct FaultRow {
    const char* name;
    Stage stage;
    UnitKind unit;
    sim::UnitFaults faults;
    const char* message;  // the one message shown, or "" for none
    Settings settings;
    bool connectedAfter;
    milliseconds within;
    Recovery recovery = Recovery::kNone;
    Twist twist = Twist::kNone;
};

void PrintTo(const FaultRow& row, std::ostream* os) {
    *os << row.name;
}

// The unit's state at the start, and the different state it holds once a row's sequence on a
// connected unit begins, so that a read that did not happen cannot pass for one that did.
sim::UnitSettingsState unitState(bool second) {
    sim::UnitSettingsState s;
    s.active = second ? 0 : 1;
    s.enableMask = second ? 0x16 : 0x0B;
    s.intervalIndex = second ? 7 : 4;
    for (uint8_t c = 0; c < 8; ++c) {
        s.onTime[c] = static_cast<uint8_t>((second ? 21 : 1) + c);
        s.offTime[c] = static_cast<uint8_t>((second ? 41 : 11) + c);
    }
    return s;
}

// What the link holds before a connect: nothing any unit of the matrix reports.
AutoOnOffSettings linkStateBeforeConnect() {
    AutoOnOffSettings s;
    s.active = 0;
    s.enableMask = 0x05;
    s.intervalIndex = 9;
    s.onTime.fill(77);
    s.offTime.fill(88);
    return s;
}

// The fields a read of `unit` fills, compared with what the unit holds.
void expectReadFrom(const AutoOnOffSettings& read, const sim::UnitSettingsState& held,
                    const DeviceIdentity& unit) {
    EXPECT_EQ(read.active != 0, held.active != 0);
    EXPECT_EQ(read.enableMask, held.enableMask);
    if (hasPerOutputTimes(unit)) {
        for (size_t c = 0; c < static_cast<size_t>(outputCount(unit)); ++c) {
            EXPECT_EQ(read.onTime[c], held.onTime[c]) << "DO" << c + 1;
            EXPECT_EQ(read.offTime[c], held.offTime[c]) << "DO" << c + 1;
        }
    } else {
        EXPECT_EQ(read.intervalIndex, held.intervalIndex);
    }
}

bool operator==(const AutoOnOffSettings& a, const AutoOnOffSettings& b) {
    return a.active == b.active && a.enableMask == b.enableMask &&
           a.intervalIndex == b.intervalIndex && a.onTime == b.onTime && a.offTime == b.offTime;
}

// A TCP port on loopback where nothing listens: bound, never listening, so connects are refused.
class RefusingPort {
  public:
    RefusingPort() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        EXPECT_EQ(::bind(fd_.get(), reinterpret_cast<sockaddr*>(&a), length), 0);
        ::getsockname(fd_.get(), reinterpret_cast<sockaddr*>(&a), &length);
        port = ntohs(a.sin_port);
    }
    uint16_t port = 0;

  private:
    UniqueFd fd_;
};

class FaultMatrixTest : public ::testing::TestWithParam<FaultRow> {
  protected:
    void startUnit(const FaultRow& row) {
        sim::UnitConfig config =
            testing::unitConfig(row.unit.model, {row.unit.type[0], row.unit.type[1], '\0'});
        config.initial = unitState(false);
        if (row.twist == Twist::kAddressOtherHost) {
            // On every local address: the link addresses 127.0.0.3, the unit answers from the
            // address the reply is routed from (127.0.0.1).
            config.bindAddress = "0.0.0.0";
            config.udpPort = 0;
            config.tcpPort = 0;
            unit = std::make_unique<sim::SimulatedUnit>(config);
            ASSERT_TRUE(unit->start());
            window.address = "127.0.0.3";
        } else {
            unit = testing::startLoopbackUnit(config);
        }
        testing::aimLinkAt(link, *unit, kSessionTimeoutMs);
        procedure.setTimeoutMs(kIdentTimeoutMs);
        window.port = std::to_string(unit->tcpPort());
        link.settings() = linkStateBeforeConnect();
    }

    void connect() {
        procedure.onConnectClicked();
        procedure.waitForWorker();
    }

    // Arms `f` at a request of the probe's connection (1) or of the session that follows it (2).
    void armOnConnection(int connection, const sim::UnitFaults& f) {
        unit->setReceiveObserver([this, connection, f](const sim::ReceivedRecord& r) {
            if (r.channel == sim::ReceivedRecord::Channel::kTcp && r.connection == connection) {
                unit->setFaults(f);
            }
        });
    }

    int runButton(Stage stage) {
        switch (stage) {
            case Stage::kReceive:
                return onReceiveSettings(link, window);
            case Stage::kApply:
                return onApplySettings(link, window);
            case Stage::kStartStop:
                return onStartStop(link, window);
            default:
                ADD_FAILURE() << "not a button";
                return kStatusFailure;
        }
    }

    DeviceLink link;
    RecordingWindow window;
    ConnectionProcedure procedure{link, window};
    std::unique_ptr<sim::SimulatedUnit> unit;
};

TEST_P(FaultMatrixTest, ShowsItsMessageKeepsTheSettingsStraightAndEndsInTime) {
    const FaultRow& row = GetParam();
    startUnit(row);
    ASSERT_NE(unit, nullptr);
    const bool atConnect = row.stage == Stage::kIdentification || row.stage == Stage::kConnectRead;
    RefusingPort refusing;
    if (row.twist == Twist::kRefusedPort) window.port = std::to_string(refusing.port);

    if (!atConnect) {
        connect();
        ASSERT_TRUE(procedure.connected()) << ::testing::PrintToString(window.calls());
        unit->setSettings(unitState(true));
        window.clear();
    }
    const AutoOnOffSettings before = link.settings();
    if (row.stage == Stage::kConnectRead) {
        armOnConnection(row.twist == Twist::kFromSessionAccept ? 1 : 2, row.faults);
    } else {
        unit->setFaults(row.faults);
    }

    const auto start = std::chrono::steady_clock::now();
    int status = kStatusOk;
    if (atConnect) {
        connect();
        status = procedure.connected() ? kStatusOk : kStatusFailure;
    } else {
        // Each button runs on a thread of its own, which starts with no socket error.
        setLastSocketError(0);
        status = runButton(row.stage);
    }
    const auto took = std::chrono::steady_clock::now() - start;

    const bool expectSuccess = row.message[0] == '\0';
    EXPECT_EQ(status == kStatusOk, expectSuccess);
    if (expectSuccess) {
        EXPECT_TRUE(window.messages().empty()) << ::testing::PrintToString(window.messages());
    } else {
        EXPECT_EQ(window.messages(), std::vector<std::string>{row.message});
    }
    EXPECT_LT(took, row.within);

    switch (row.settings) {
        case Settings::kUnchanged:
            EXPECT_TRUE(link.settings() == before);
            break;
        case Settings::kReadAnew:
            expectReadFrom(link.settings(), unit->settings(), link.identity());
            break;
        case Settings::kFlagAndMaskRead: {
            AutoOnOffSettings expected = before;
            expected.active = unit->settings().active;
            expected.enableMask = unit->settings().enableMask;
            EXPECT_TRUE(link.settings() == expected);
            break;
        }
        case Settings::kToggled: {
            AutoOnOffSettings toggled = before;
            toggled.active = before.active == 0 ? 1 : 0;
            EXPECT_TRUE(link.settings() == toggled);
            EXPECT_EQ(unit->settings().active, toggled.active);
            break;
        }
    }
    EXPECT_EQ(procedure.connected(), row.connectedAfter);
    EXPECT_EQ(link.sessionSocket().isOpen(), row.connectedAfter);
    if (atConnect && !row.connectedAfter) {
        const auto calls = window.calls();
        ASSERT_GE(calls.size(), 2u);
        EXPECT_EQ(calls[calls.size() - 2], "caption: Connect");
        EXPECT_EQ(calls.back(), "button: enabled");
    }
    if (row.twist == Twist::kAddressOtherHost) {
        EXPECT_EQ(ntohl(link.identity().unitAddress.sin_addr.s_addr), INADDR_LOOPBACK);
    }

    if (row.recovery == Recovery::kNone) return;
    // The unit behaves again. Whatever it sent late has arrived by now.
    unit->setReceiveObserver(nullptr);
    unit->setFaults({});
    std::this_thread::sleep_for(
        milliseconds(row.faults.replyDelayMs + row.faults.splitPauseMs + 200));
    unit->setSettings(unitState(false));
    window.clear();
    if (row.recovery == Recovery::kReconnect) {
        if (procedure.connected()) procedure.onConnectClicked();  // Disconnect
        connect();
        ASSERT_TRUE(procedure.connected());
    } else {
        ASSERT_TRUE(procedure.connected());
        EXPECT_EQ(onReceiveSettings(link, window), kStatusOk);
    }
    EXPECT_TRUE(window.messages().empty()) << ::testing::PrintToString(window.messages());
    expectReadFrom(link.settings(), unit->settings(), link.identity());
}

template <typename F>
sim::UnitFaults with(F set) {
    sim::UnitFaults f;
    set(f);
    return f;
}

const sim::UnitFaults kHealthy{};

// Bounds: ten times what each case should take with a 300 ms identification time-out and a
// 200 ms session time-out (a silent frame read: four time-outs and three pauses, ~0.85 s; an
// exact read: two time-outs and two pauses, ~0.42 s). Late replies come over a second after
// the read gave up, so that a slow machine cannot make them timely.
INSTANTIATE_TEST_SUITE_P(
    Misbehaviour, FaultMatrixTest,
    ::testing::Values(
        // ---- identification
        FaultRow{"NoUdpReply", Stage::kIdentification, kLetterUnit,
                 with([](auto& f) { f.noUdpReply = true; }), "通信エラー", Settings::kUnchanged,
                 false, 3000ms, Recovery::kReconnect},
        FaultRow{"DuplicateFirstReply", Stage::kIdentification, kLetterUnit,
                 with([](auto& f) { f.answerBothFirstRequests = true; }), "", Settings::kReadAnew,
                 true, 3000ms},
        // No type code: generation unknown, so the probe asks 'U' 'U' first, which this model
        // leaves unanswered (two 1 s reads) before the extended query.
        FaultRow{"TruncatedFirstReply", Stage::kIdentification, kLetterUnit,
                 with([](auto& f) { f.firstReplySize = 8; }), "", Settings::kReadAnew, true,
                 25000ms},
        FaultRow{"OversizedFirstReply", Stage::kIdentification, kLetterUnit,
                 with([](auto& f) { f.firstReplySize = 31; }), "通信エラー", Settings::kUnchanged,
                 false, 3000ms, Recovery::kReconnect},
        FaultRow{"ReplyFromAnotherHost", Stage::kIdentification, kLetterUnit, kHealthy, "",
                 Settings::kReadAnew, true, 3000ms, Recovery::kNone, Twist::kAddressOtherHost},
        // Taken for generation 4 after the fallback query, a generation-3 binary unit is asked
        // for per-output times it does not have.
        FaultRow{"NoAnswerToUU", Stage::kIdentification, kBinaryUnit,
                 with([](auto& f) { f.noUuAnswer = true; }), "設定取得通信エラー: 3-10060",
                 Settings::kFlagAndMaskRead, false, 25000ms, Recovery::kReconnect},
        FaultRow{"RefusedTcp", Stage::kIdentification, kLetterUnit, kHealthy, "通信エラー",
                 Settings::kUnchanged, false, 3000ms, Recovery::kNone, Twist::kRefusedPort},
        FaultRow{"GarbageToTheProbe", Stage::kIdentification, kLetterUnit,
                 with([](auto& f) { f.garbage = true; }), "通信エラー", Settings::kUnchanged, false,
                 3000ms, Recovery::kReconnect},
        // ---- the read that completes a connect
        FaultRow{"HangsAtConnectRead", Stage::kConnectRead, kLetterUnit,
                 with([](auto& f) { f.tcpSilent = true; }), "設定取得通信エラー: O10060",
                 Settings::kUnchanged, false, 9000ms, Recovery::kReconnect},
        // A closed connection is no socket error: the number is the thread's last one, none.
        FaultRow{"ClosesMidFrameAtConnectRead", Stage::kConnectRead, kLetterUnit,
                 with([](auto& f) { f.closeMidReply = true; }), "設定取得通信エラー: O0",
                 Settings::kUnchanged, false, 3000ms, Recovery::kReconnect},
        FaultRow{"ResetAtConnectRead", Stage::kConnectRead, kLetterUnit,
                 with([](auto& f) { f.resetOnRequest = true; }), "設定取得通信エラー: O10054",
                 Settings::kUnchanged, false, 3000ms, Recovery::kReconnect},
        // Noise without pause from the accept on: the open's drain gives up after its rounds, and
        // the one-shot read's six-byte budget ends in noise.
        FaultRow{"ChattersFromTheSessionsAccept", Stage::kConnectRead, kLetterUnit,
                 with([](auto& f) { f.chatter = true; }), "設定取得通信エラー: O0",
                 Settings::kUnchanged, false, 3000ms, Recovery::kReconnect,
                 Twist::kFromSessionAccept},
        // ---- "設定受信"
        FaultRow{"LateLetterReply", Stage::kReceive, kLetterUnit,
                 with([](auto& f) { f.replyDelayMs = 2000; }), "設定取得通信エラー: O10060",
                 Settings::kUnchanged, true, 9000ms, Recovery::kReceiveAgain},
        FaultRow{"LateBinaryReply", Stage::kReceive, kBinaryUnit,
                 with([](auto& f) { f.replyDelayMs = 1500; }), "設定取得通信エラー: 1-10060",
                 Settings::kUnchanged, true, 5000ms, Recovery::kReceiveAgain},
        FaultRow{"SlowDripWithinTheLimits", Stage::kReceive, kBinaryUnit, with([](auto& f) {
                     f.splitPieceBytes = 1;
                     f.splitPauseMs = 20;  // a tenth of the receive time-out
                 }),
                 "", Settings::kReadAnew, true, 5000ms},
        FaultRow{"SlowDripBeyondTheLimits", Stage::kReceive, kBinaryUnit, with([](auto& f) {
                     f.splitPieceBytes = 1;
                     f.splitPauseMs = 1000;  // five receive time-outs
                 }),
                 "設定取得通信エラー: 1-10060", Settings::kUnchanged, true, 5000ms,
                 Recovery::kReceiveAgain},
        FaultRow{"OneByteBinaryReply", Stage::kReceive, kBinaryUnit,
                 with([](auto& f) { f.oneByteBinaryReply = true; }), "設定取得通信エラー: 1-10060",
                 Settings::kUnchanged, true, 5000ms, Recovery::kReceiveAgain},
        FaultRow{"ThreeByteBinaryReply", Stage::kReceive, kBinaryUnit,
                 with([](auto& f) { f.extraBinaryByte = true; }), "", Settings::kReadAnew, true,
                 3000ms, Recovery::kReceiveAgain},
        FaultRow{"WrongEchoLetters", Stage::kReceive, kLetterUnit,
                 with([](auto& f) { f.wrongEcho = true; }), "設定取得通信エラー: O10060",
                 Settings::kUnchanged, true, 9000ms, Recovery::kReceiveAgain},
        // Discarded frames count against the reply's budget: six bytes for the one-shot check.
        FaultRow{"StrayFramesBeyondTheBudget", Stage::kReceive, kLetterUnit,
                 with([](auto& f) { f.strayFramesBeforeReply = 1; }), "設定取得通信エラー: O0",
                 Settings::kUnchanged, true, 3000ms, Recovery::kReceiveAgain},
        FaultRow{"NoFrameEndWhileDataKeepsComing", Stage::kReceive, kLetterUnit,
                 with([](auto& f) { f.noFrameEnd = true; }), "設定取得通信エラー: O0",
                 Settings::kUnchanged, true, 3000ms, Recovery::kReceiveAgain},
        FaultRow{"Garbage", Stage::kReceive, kLetterUnit, with([](auto& f) { f.garbage = true; }),
                 "設定取得通信エラー: O10060", Settings::kUnchanged, true, 9000ms,
                 Recovery::kReceiveAgain},
        FaultRow{"ClosesMidFrame", Stage::kReceive, kLetterUnit,
                 with([](auto& f) { f.closeMidReply = true; }), "設定取得通信エラー: O0",
                 Settings::kUnchanged, true, 3000ms, Recovery::kReconnect},
        FaultRow{"AcceptsAndHangsThenComesBack", Stage::kReceive, kLetterUnit,
                 with([](auto& f) { f.tcpSilent = true; }), "設定取得通信エラー: O10060",
                 Settings::kUnchanged, true, 9000ms, Recovery::kReconnect},
        // ---- "設定反映"
        FaultRow{"ApplyUnitClosesMidFrame", Stage::kApply, kLetterUnit,
                 with([](auto& f) { f.closeMidReply = true; }), "設定反映通信エラー。",
                 Settings::kUnchanged, true, 3000ms, Recovery::kReconnect},
        FaultRow{"ApplyReset", Stage::kApply, kBinaryUnit,
                 with([](auto& f) { f.resetOnRequest = true; }), "設定反映通信エラー。",
                 Settings::kUnchanged, true, 3000ms, Recovery::kReconnect},
        // ---- "Start/Stop"
        FaultRow{"StartStopOneByteBinaryReply", Stage::kStartStop, kBinaryUnit,
                 with([](auto& f) { f.oneByteBinaryReply = true; }), "通信エラー",
                 Settings::kUnchanged, true, 5000ms, Recovery::kReceiveAgain},
        FaultRow{"StartStopSlowDripWithinTheLimits", Stage::kStartStop, kLetterUnit,
                 with([](auto& f) {
                     f.splitPieceBytes = 1;
                     f.splitPauseMs = 20;  // a tenth of the receive time-out
                 }),
                 "", Settings::kToggled, true, 3000ms},
        FaultRow{"StartStopStrayFramesWithinTheBudget", Stage::kStartStop, kLetterUnit,
                 with([](auto& f) { f.strayFramesBeforeReply = 3; }), "", Settings::kToggled, true,
                 3000ms},
        FaultRow{"StartStopLateReply", Stage::kStartStop, kLetterUnit,
                 with([](auto& f) { f.replyDelayMs = 2000; }), "通信エラー", Settings::kUnchanged,
                 true, 9000ms, Recovery::kReceiveAgain},
        FaultRow{"StartStopGarbage", Stage::kStartStop, kBinaryUnit,
                 with([](auto& f) { f.garbage = true; }), "", Settings::kToggled, true, 3000ms,
                 Recovery::kReceiveAgain}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace mervane
