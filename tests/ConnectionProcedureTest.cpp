// The connect button's procedure with a recording window: the order of window calls for a
// connection and for each way it fails, repeated connects, and a shutdown while the worker waits.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <array>
#include <atomic>
#include <chrono>
#include <thread>

#include "link/ConnectionProcedure.h"
#include "link/Status.h"
#include "link/UniqueFd.h"
#include "tests/LoopbackUnit.h"
#include "tests/RecordingWindow.h"

namespace mervane {
namespace {

using namespace std::chrono_literals;
using testing::aimLinkAt;
using testing::RecordingWindow;
using testing::startLoopbackUnit;
using testing::tcpCommands;
using testing::udpCommands;
using testing::unitConfig;
using Strings = std::vector<std::string>;

const Strings kConnecting{"caption: Disconnect", "button: disabled"};
const Strings kBackToConnect{"caption: Connect", "button: enabled"};

Strings concat(std::initializer_list<Strings> parts) {
    Strings all;
    for (const Strings& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

class ConnectionTest : public ::testing::Test {
  protected:
    ConnectionTest() {
        procedure.setAttemptEnded([this] {
            endedWhileRunning = endedWhileRunning || procedure.workerRunning();
            ++attemptsEnded;
        });
    }
    void startUnit(sim::UnitConfig config) {
        unit = startLoopbackUnit(std::move(config));
        aimLinkAt(link, *unit, 200);
        window.port = std::to_string(unit->tcpPort());
        procedure.setTimeoutMs(300);
    }
    void clickAndWait() {
        procedure.onConnectClicked();
        procedure.waitForWorker();
    }

    DeviceLink link;
    RecordingWindow window;
    ConnectionProcedure procedure{link, window};
    std::unique_ptr<sim::SimulatedUnit> unit;
    std::atomic<int> attemptsEnded{0};
    std::atomic<bool> endedWhileRunning{false};
};

TEST_F(ConnectionTest, ConnectShowsTheUnitAndDisconnectSendsNothing) {
    sim::UnitConfig config = unitConfig(19, "_W");
    config.unitId = 3;
    config.initial.active = 1;
    startUnit(config);

    clickAndWait();
    EXPECT_EQ(window.calls(), concat({kConnecting,
                                      {"show settings", "unit id: 3",
                                       "model: " + std::string(modelDisplayName(link.identity())),
                                       "state: connected", "button: enabled"}}));
    EXPECT_TRUE(procedure.connected());
    EXPECT_TRUE(link.sessionSocket().isOpen());
    EXPECT_EQ(window.shown.active, 1);

    window.clear();
    const size_t requestsBefore = unit->received().size();
    procedure.onConnectClicked();
    EXPECT_EQ(window.calls(), (Strings{"caption: Connect", "state: not connected"}));
    EXPECT_FALSE(procedure.connected());
    EXPECT_FALSE(link.sessionSocket().isOpen());
    EXPECT_EQ(unit->received().size(), requestsBefore);
    EXPECT_EQ(unit->settings().active, 1);  // the unit keeps cycling
}

TEST_F(ConnectionTest, ConnectAndDisconnectRepeatedIdentifyTheUnitAnewEachTime) {
    startUnit(unitConfig(3, "_L"));
    for (int round = 1; round <= 3; ++round) {
        clickAndWait();
        ASSERT_TRUE(procedure.connected()) << "round " << round;
        procedure.onConnectClicked();
        ASSERT_FALSE(procedure.connected());
    }
    const Strings udp = udpCommands(*unit);
    EXPECT_EQ(std::count(udp.begin(), udp.end(), "F6"), 3);
    EXPECT_EQ(unit->connectionsAccepted(), 6);  // a probe and a session per round
    EXPECT_TRUE(window.messages().empty());
    EXPECT_EQ(attemptsEnded, 3);  // a disconnect is no attempt
    EXPECT_FALSE(endedWhileRunning);
}

// How each failure reads in the window; every one ends back at "Connect", enabled.
struct FailureCase {
    const char* name;
    int model;
    const char* type;
    sim::UnitFaults faults;
    std::string port;  // empty: the unit's port
    Strings shown;     // between the connecting and the final calls
    int connections;   // TCP connections the unit accepted
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class ConnectionFailureTest : public ConnectionTest,
                              public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ConnectionFailureTest, ShowsItsMessageAndComesBackToConnect) {
    const FailureCase& c = GetParam();
    sim::UnitConfig config = unitConfig(c.model, {c.type[0], c.type[1], '\0'}, c.faults);
    config.initial.oneShot[1] = 1;  // asked about on letter units; answered No
    startUnit(config);
    if (!c.port.empty()) window.port = c.port;

    clickAndWait();
    EXPECT_EQ(window.calls(), concat({kConnecting, c.shown, kBackToConnect}));
    EXPECT_FALSE(procedure.connected());
    EXPECT_FALSE(link.sessionSocket().isOpen());
    EXPECT_EQ(unit->connectionsAccepted(), c.connections);
    EXPECT_EQ(attemptsEnded, 1);
    EXPECT_FALSE(endedWhileRunning);
    if (!c.port.empty()) {
        EXPECT_TRUE(udpCommands(*unit).empty());  // no usable port, no traffic
    }
}

sim::UnitFaults faultsWith(bool noUdpReply, const char* silentCommand = "") {
    sim::UnitFaults f;
    f.noUdpReply = noUdpReply;
    f.silentCommand = silentCommand;
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    Connection, ConnectionFailureTest,
    ::testing::Values(
        FailureCase{
            "NoIdentificationReply", 19, "_W", faultsWith(true), "", {"message: 通信エラー"}, 0},
        FailureCase{"EmptyPort", 19, "_W", faultsWith(false), " ", {"message: 通信エラー"}, 0},
        FailureCase{
            "PortBeyond16Bits", 19, "_W", faultsWith(false), "75539", {"message: 通信エラー"}, 0},
        FailureCase{"ModelWithoutAutoOnOff",
                    2,
                    "_L",
                    faultsWith(false),
                    "",
                    {"message: 自動ON/OFFに対応していないモデルです。"},
                    1},
        FailureCase{"Generation3OnlyModelOnGeneration4",
                    0,
                    "_W",
                    faultsWith(false),
                    "",
                    {"message: 自動ON/OFFに対応していないモデルです。"},
                    1},
        FailureCase{"SettingsRead",
                    3,
                    "_L",
                    faultsWith(false, "E1"),
                    "",
                    {"message: 設定取得通信エラー: 1-10060"},
                    2},
        FailureCase{
            "OneShotDeclined",
            19,
            "_W",
            faultsWith(false),
            "",
            {std::string("question: ") + "ワンショット出力設定されている端子があります。\n"
                                         "自動ONOFF動作はワンショット出力設定と共存できません。\n"
                                         "ワンショット出力設定を解除しますか？"},
            2}),
    [](const auto& param) { return std::string(param.param.name); });

// Answers the probe's unit query once, then stops listening, so the session that follows is
// refused.
class ProbeOnlyServer {
  public:
    ProbeOnlyServer() : listener_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        EXPECT_EQ(::bind(listener_.get(), reinterpret_cast<sockaddr*>(&a), length), 0);
        EXPECT_EQ(::listen(listener_.get(), 1), 0);
        ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&a), &length);
        port = ntohs(a.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~ProbeOnlyServer() { thread_.join(); }
    uint16_t port = 0;

  private:
    void serve() {
        UniqueFd client(::accept(listener_.get(), nullptr, nullptr));
        listener_.reset();  // before the reply, so the session cannot slip into the backlog
        std::array<uint8_t, 3> request{};
        (void)::recv(client.get(), request.data(), request.size(), MSG_WAITALL);
        // 'M' 'I' answered for unit 0, model 19 (escaped form).
        const std::array<uint8_t, 6> reply{'m', 'i', 0x3F, 0x3F, 0x33, 0xC8};
        (void)::send(client.get(), reply.data(), reply.size(), MSG_NOSIGNAL);
    }
    UniqueFd listener_;
    std::thread thread_;
};

TEST_F(ConnectionTest, RefusedSessionShowsItsErrorNumber) {
    startUnit(unitConfig(19, "_W"));
    ProbeOnlyServer probeOnly;
    window.port = std::to_string(probeOnly.port);
    clickAndWait();
    EXPECT_EQ(window.calls(),
              concat({kConnecting, {"message: 接続エラー: S10061"}, kBackToConnect}));
    EXPECT_FALSE(link.sessionSocket().isOpen());
}

TEST_F(ConnectionTest, ShutdownWhileIdentificationWaitsEndsPromptlyAndSilently) {
    startUnit(unitConfig(19, "_W", faultsWith(true)));
    procedure.setTimeoutMs(15000);
    procedure.onConnectClicked();
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(procedure.workerRunning());

    const auto start = std::chrono::steady_clock::now();
    procedure.shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_FALSE(procedure.workerRunning());
    EXPECT_EQ(window.calls(), kConnecting);  // no message, no caption after the shutdown

    procedure.onConnectClicked();  // nothing starts once shut down
    EXPECT_EQ(window.calls(), kConnecting);
}

TEST_F(ConnectionTest, StopDuringTheQuestionLeavesTheWindowAlone) {
    sim::UnitConfig config = unitConfig(19, "_W");
    config.initial.oneShot[0] = 1;
    startUnit(config);
    window.answerYes = true;
    window.onQuestion = [this] { link.stopSignal().request(); };  // the window closes meanwhile
    clickAndWait();
    const Strings calls = window.calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[2].rfind("question: ", 0), 0u);
    EXPECT_FALSE(procedure.connected());
    EXPECT_FALSE(link.sessionSocket().isOpen());
    EXPECT_TRUE(tcpCommands(*unit).size() <= 3u);  // probe, one-shot read, at most one clear
}

TEST(PortTextTest, ConvertsLikeTheFieldIsMeant) {
    const std::vector<std::pair<std::string, uint32_t>> cases{
        {"10003", 10003},
        {"  10003", 10003},
        {"\t80abc", 80},
        {"", 0},
        {"abc", 0},
        {"-5", 0},
        {"+5", 0},
        {"65535", 65535},
        {"65536", 65536},
        {"75539", 65536},
        {"99999999999999", 65536},
    };
    for (const auto& [text, port] : cases)
        EXPECT_EQ(parsePortText(text), port) << text;
}

}  // namespace
}  // namespace mervane
