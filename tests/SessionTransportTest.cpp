// The session over real loopback sockets: opening it (refused, unanswered, bound to the chosen
// local address without holding a port before the connect, stale input drained) and whole exchanges
// with the simulated unit, healthy and misbehaving.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "link/DeviceLink.h"
#include "link/SocketError.h"
#include "link/SocketOps.h"
#include "link/Status.h"
#include "link/UniqueFd.h"
#include "sim/SimulatedUnit.h"
#include "tests/RecordingWindow.h"

namespace mervane {
namespace {

using namespace std::chrono_literals;

using testing::RecordingWindow;

sockaddr_in loopback(uint16_t port, const char* address = "127.0.0.1") {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    ::inet_pton(AF_INET, address, &a.sin_addr);
    return a;
}

// A listening TCP socket on an ephemeral loopback port.
struct Listener {
    explicit Listener(int backlog = 8) : handle(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in a = loopback(0);
        EXPECT_EQ(::bind(handle.get(), reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        EXPECT_EQ(::listen(handle.get(), backlog), 0);
        socklen_t length = sizeof a;
        ::getsockname(handle.get(), reinterpret_cast<sockaddr*>(&a), &length);
        port = ntohs(a.sin_port);
    }
    UniqueFd accept(sockaddr_in* peer = nullptr) {
        sockaddr_in a{};
        socklen_t length = sizeof a;
        UniqueFd client(::accept(handle.get(), reinterpret_cast<sockaddr*>(&a), &length));
        if (peer) *peer = a;
        return client;
    }
    UniqueFd handle;
    uint16_t port = 0;
};

TEST(SessionOpenTest, RefusedConnectionShowsItsErrorNumber) {
    uint16_t closedPort = 0;
    {
        Listener gone;
        closedPort = gone.port;
    }
    DeviceLink link;
    link.identity().unitAddress = loopback(closedPort);
    RecordingWindow window;
    EXPECT_EQ(link.openSession(window), kStatusFailure);
    EXPECT_EQ(window.messages(), std::vector<std::string>{"接続エラー: S10061"});
    EXPECT_EQ(lastSocketError(), wsa::kConnectionRefused);
    link.closeSession();
    EXPECT_FALSE(link.sessionSocket().isOpen());
}

TEST(SessionOpenTest, UnansweredConnectTimesOutWith10060) {
    // A listener whose accept queue is full drops further connection requests unanswered.
    Listener full(0);
    std::vector<UniqueFd> fillers;
    for (int i = 0; i < 4; ++i) {
        UniqueFd s(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        sockaddr_in a = loopback(full.port);
        (void)::connect(s.get(), reinterpret_cast<sockaddr*>(&a), sizeof a);
        fillers.push_back(std::move(s));
    }
    ::usleep(50 * 1000);  // let the handshakes of the fillers settle into the queue

    UniqueFd socket(::socket(AF_INET, SOCK_STREAM, 0));
    int error = 0;
    EXPECT_EQ(connectWithTimeout(socket.get(), loopback(full.port), 200, error), kStatusFailure);
    EXPECT_EQ(error, wsa::kTimedOut);
    EXPECT_EQ(lastSocketError(), wsa::kTimedOut);
}

// connect() as it fails when no local port is free: at once, with EAGAIN.
int connectWithNoFreePort(int, const sockaddr*, socklen_t) {
    errno = EAGAIN;
    return -1;
}

TEST(SessionOpenTest, AConnectThatFailsAtOnceWithEagainIsNoConnection) {
    Listener server;
    UniqueFd socket(::socket(AF_INET, SOCK_STREAM, 0));
    int error = 0;
    EXPECT_EQ(connectWithTimeout(socket.get(), loopback(server.port), 200, error, nullptr,
                                 &connectWithNoFreePort),
              kStatusFailure);
    EXPECT_EQ(error, wsa::kNoBuffers);
    EXPECT_EQ(lastSocketError(), wsa::kNoBuffers);
}

TEST(SocketErrorTest, ErrnoMapsToTheNumbersTheManualPagesPromise) {
    const std::pair<int, int> shown[] = {
        {ETIMEDOUT, 10060},  {ECONNREFUSED, 10061},  {EHOSTUNREACH, 10065}, {ENETUNREACH, 10051},
        {ECONNRESET, 10054}, {EADDRNOTAVAIL, 10049}, {ENOBUFS, 10055}};
    for (const auto& [errnoValue, number] : shown)
        EXPECT_EQ(winsockErrorFromErrno(errnoValue), number) << errnoValue;
    EXPECT_EQ(winsockErrorFromErrno(EAGAIN, SocketCall::kTimedTransfer), 10060);
}

TEST(SessionOpenTest, BindsToTheChosenLocalAddress) {
    Listener server;
    DeviceLink link;
    link.setLocalBindAddress(loopback(0, "127.0.0.2").sin_addr.s_addr);

    std::thread unit([&] {
        sockaddr_in peer{};
        UniqueFd client = server.accept(&peer);
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
        EXPECT_STREQ(text, "127.0.0.2");
        std::array<uint8_t, 1> request{};
        EXPECT_EQ(::recv(client.get(), request.data(), 1, 0), 1);
        const std::array<uint8_t, 2> reply{0xE1, 0x01};
        ::send(client.get(), reply.data(), reply.size(), 0);
        ::recv(client.get(), request.data(), 1, 0);  // until the link closes
    });
    int error = -1;
    ASSERT_EQ(link.openSessionSocket(loopback(server.port), error), kStatusOk);
    EXPECT_EQ(error, 0);

    link.identity().modelIndex = 3;  // a binary unit
    int32_t active = -1;
    EXPECT_EQ(link.commands().getAutoActive(active), kStatusOk);
    EXPECT_EQ(active, 1);
    link.closeSession();
    unit.join();
}

// A port bound before the connect would stay out of use for the whole TIME_WAIT after the
// session, whatever unit it went to: reading many units again and again ran out of ports.
TEST(SessionOpenTest, TheLocalPortIsLeftToTheConnect) {
    Listener server;
    UniqueFd socket(::socket(AF_INET, SOCK_STREAM, 0));
    bindToLocal(socket.get(), loopback(0, "127.0.0.2").sin_addr.s_addr);
    sockaddr_in local{};
    socklen_t length = sizeof local;
    ASSERT_EQ(::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&local), &length), 0);
    EXPECT_EQ(local.sin_port, 0);

    int error = -1;
    ASSERT_EQ(connectWithTimeout(socket.get(), loopback(server.port), 200, error), kStatusOk);
    ASSERT_EQ(::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&local), &length), 0);
    EXPECT_NE(local.sin_port, 0);
    EXPECT_EQ(local.sin_addr.s_addr, loopback(0, "127.0.0.2").sin_addr.s_addr);
}

TEST(DrainInputTest, DiscardsEverythingAlreadyWaitingButNothingLater) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    UniqueFd ours(pair[0]);
    UniqueFd peer(pair[1]);
    const std::vector<uint8_t> stale(10000, 0x6F);  // more than one read's worth
    ASSERT_EQ(::send(peer.get(), stale.data(), stale.size(), 0), 10000);

    drainInput(ours.get());
    std::array<uint8_t, 16> buffer{};
    EXPECT_EQ(::recv(ours.get(), buffer.data(), buffer.size(), MSG_DONTWAIT), -1);

    const uint8_t fresh = 0x42;
    ASSERT_EQ(::send(peer.get(), &fresh, 1, 0), 1);
    EXPECT_EQ(::recv(ours.get(), buffer.data(), buffer.size(), 0), 1);
    EXPECT_EQ(buffer[0], 0x42);
}

TEST(DrainInputTest, StopsWhenThePeerHasClosed) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    UniqueFd ours(pair[0]);
    UniqueFd peer(pair[1]);
    const uint8_t stale = 0x01;
    ASSERT_EQ(::send(peer.get(), &stale, 1, 0), 1);
    peer.reset();
    drainInput(ours.get());  // must return, not spin on the end of the stream
    SUCCEED();
}

TEST(DrainInputTest, LeavesAPeerThatKeepsSendingAfterItsBound) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    UniqueFd ours(pair[0]);
    std::thread writer([peer = pair[1]] {  // 2 MiB, then it closes
        const std::vector<uint8_t> data(2 << 20, 0x6F);
        for (size_t at = 0; at < data.size();) {
            const ssize_t n = ::send(peer, &data[at], data.size() - at, MSG_NOSIGNAL);
            at = n > 0 ? at + static_cast<size_t>(n) : data.size();
        }
        ::close(peer);
    });
    pollfd waiting{ours.get(), POLLIN, 0};
    EXPECT_EQ(::poll(&waiting, 1, 10000), 1);
    EXPECT_LE(drainInput(ours.get()), size_t{kDrainRounds} * 4096);  // reads of 4096 at most
    ours.reset();                                                    // ends the writer's send
    writer.join();
}

// Exchanges with the simulated unit on loopback.
class SimulatedSessionTest : public ::testing::Test {
  protected:
    void startUnit(int model, std::array<char, 2> type, sim::UnitFaults faults = {}) {
        sim::UnitConfig config;
        config.typeCode = type;
        config.modelIndex = model;
        config.unitId = 3;
        config.bindAddress = "127.0.0.1";
        config.udpPort = 0;
        config.tcpPort = 0;
        config.faults = faults;
        unit = std::make_unique<sim::SimulatedUnit>(config);
        std::string error;
        ASSERT_TRUE(unit->start(&error)) << error;

        link.setSessionTimeoutMs(300);
        link.identity().unitAddress = loopback(unit->tcpPort());
        link.identity().modelIndex = model;
        link.identity().generation = type[1] == 'W' ? UnitGeneration::kGen4 : UnitGeneration::kGen3;
        RecordingWindow window;
        ASSERT_EQ(link.openSession(window), kStatusOk);
    }

    std::vector<std::vector<uint8_t>> tcpRequests() const {
        std::vector<std::vector<uint8_t>> requests;
        for (const auto& r : unit->received()) {
            if (r.channel == sim::ReceivedRecord::Channel::kTcp) requests.push_back(r.bytes);
        }
        return requests;
    }

    DeviceLink link;
    std::unique_ptr<sim::SimulatedUnit> unit;
};

TEST_F(SimulatedSessionTest, LetterUnitKeepsWhatWasWritten) {
    startUnit(19, {'_', 'W'});
    UnitCommands& commands = link.commands();
    ASSERT_EQ(commands.setEnableMask(0xA5), kStatusOk);
    ASSERT_EQ(commands.setChannelTimes(7, 200, 3), kStatusOk);

    uint32_t mask = 0;
    int32_t on = 0;
    int32_t off = 0;
    ASSERT_EQ(commands.getEnableMask(mask), kStatusOk);
    ASSERT_EQ(commands.getChannelTimes(7, on, off), kStatusOk);
    EXPECT_EQ(mask, 0xA5u);
    EXPECT_EQ(on, 200);
    EXPECT_EQ(off, 3);

    const std::vector<std::vector<uint8_t>> expected{
        {'O', 'C', 0x25, 0x2A, 0xC8},
        {'O', 'T', 0x27, 'C', '8', '0', '3', 0xC8},
        {'O', 'H', 0xC8},
        {'O', 'I', 0x27, 0xC8},
    };
    EXPECT_EQ(tcpRequests(), expected);
}

TEST_F(SimulatedSessionTest, BinaryUnitKeepsWhatWasWritten) {
    startUnit(3, {'_', 'L'});
    UnitCommands& commands = link.commands();
    ASSERT_EQ(commands.setEnableMask(0x13), kStatusOk);
    ASSERT_EQ(commands.setCommonInterval(21), kStatusOk);
    uint32_t mask = 0;
    int32_t interval = 0;
    ASSERT_EQ(commands.getEnableMask(mask), kStatusOk);
    ASSERT_EQ(commands.getCommonInterval(interval), kStatusOk);
    EXPECT_EQ(mask, 0x13u);
    EXPECT_EQ(interval, 21);
}

TEST_F(SimulatedSessionTest, SwitchedOnTheUnitCyclesItsOutputsAndStopsWhenSwitchedOff) {
    startUnit(17, {'_', 'W'});
    UnitCommands& commands = link.commands();
    ASSERT_EQ(commands.setChannelTimes(0, 1, 1), kStatusOk);
    ASSERT_EQ(commands.setChannelTimes(2, 1, 2), kStatusOk);
    ASSERT_EQ(commands.setEnableMask(0x05), kStatusOk);
    ASSERT_EQ(commands.setAutoActive(true), kStatusOk);

    // DO1 goes on and off again by itself; DO2 (not enabled) never does.
    EXPECT_TRUE(unit->waitForOutputs([](uint8_t o) { return (o & 0x01) != 0; }, 5s));
    EXPECT_TRUE(unit->waitForOutputs([](uint8_t o) { return (o & 0x01) == 0; }, 5s));
    EXPECT_TRUE(unit->waitForOutputs([](uint8_t o) { return (o & 0x01) != 0; }, 5s));
    EXPECT_EQ(unit->outputs() & 0x02, 0);

    int32_t active = 0;
    ASSERT_EQ(commands.getAutoActive(active), kStatusOk);
    EXPECT_EQ(active, 1);
    ASSERT_EQ(commands.setAutoActive(false), kStatusOk);
    EXPECT_TRUE(unit->waitForOutputs([](uint8_t o) { return o == 0; }, 5s));
}

TEST_F(SimulatedSessionTest, StrayFramesAndRepliesInPiecesAreTolerated) {
    sim::UnitFaults faults;
    faults.strayFramesBeforeReply = 2;
    faults.splitPieceBytes = 1;
    faults.splitPauseMs = 5;
    startUnit(19, {'_', 'W'}, faults);
    int32_t active = -1;
    EXPECT_EQ(link.commands().getAutoActive(active), kStatusOk);
    EXPECT_EQ(active, 0);
}

TEST_F(SimulatedSessionTest, OneByteBinaryReplyFailsWithTimeOut) {
    sim::UnitFaults faults;
    faults.oneByteBinaryReply = true;
    startUnit(3, {'_', 'L'}, faults);
    int32_t active = -1;
    EXPECT_EQ(link.commands().getAutoActive(active), kStatusFailure);
    EXPECT_EQ(lastSocketError(), wsa::kTimedOut);
    EXPECT_EQ(active, -1);
}

TEST_F(SimulatedSessionTest, SilentCommandFailsButTheSessionGoesOn) {
    sim::UnitFaults faults;
    faults.silentCommand = "OJ";
    startUnit(19, {'_', 'W'}, faults);
    int32_t active = -1;
    EXPECT_EQ(link.commands().getAutoActive(active), kStatusFailure);
    EXPECT_EQ(lastSocketError(), wsa::kTimedOut);
    uint32_t mask = 0xFF;
    EXPECT_EQ(link.commands().getEnableMask(mask), kStatusOk);
    EXPECT_EQ(mask, 0u);
}

TEST_F(SimulatedSessionTest, UnitClosingTheConnectionFailsTheNextCommand) {
    sim::UnitFaults faults;
    faults.closeAfterRequests = 1;
    startUnit(19, {'_', 'W'}, faults);
    uint32_t mask = 0;
    EXPECT_EQ(link.commands().getEnableMask(mask), kStatusOk);
    int32_t active = -1;
    EXPECT_EQ(link.commands().getAutoActive(active), kStatusFailure);
    EXPECT_EQ(active, -1);
}

}  // namespace
}  // namespace mervane
