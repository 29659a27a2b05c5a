#include <gtest/gtest.h>

#include <mutex>

#include "tests/sim/TestSockets.h"

namespace mervane::sim {
namespace {

using namespace testing;

const Bytes kOJ{'O', 'J', 0xC8};
const Bytes kOJReply{'o', 'j', 0x20, 0xC8};

class TcpService : public ::testing::Test {
  protected:
    void start(UnitConfig config) {
        unit_ = std::make_unique<SimulatedUnit>(std::move(config));
        std::string error;
        ASSERT_TRUE(unit_->start(&error)) << error;
    }
    UniqueFd connect() const { return tcpClient(unit_->tcpPort()); }
    std::unique_ptr<SimulatedUnit> unit_;
};

TEST_F(TcpService, LetterUnitRoundTripsSettingsAndIgnoresBinary) {
    start(loopbackConfig(19));
    const UniqueFd link = connect();
    // No reply to the binary request: the next bytes belong to the letter reply.
    sendBytes(link.get(), {0xE1});
    EXPECT_EQ(exchange(link.get(), {'O', 'T', 0x20, '0', '1', '0', '1', 0xC8}, 3),
              (Bytes{'o', 't', 0xC8}));
    EXPECT_EQ(exchange(link.get(), {'O', 'I', 0x20, 0xC8}, 8),
              (Bytes{'o', 'i', 0x20, '0', '1', '0', '1', 0xC8}));
    EXPECT_EQ(exchange(link.get(), {'O', 'C', 0x23, 0x20, 0xC8}, 3), (Bytes{'o', 'c', 0xC8}));
    EXPECT_EQ(exchange(link.get(), {'O', 'H', 0xC8}, 5), (Bytes{'o', 'h', 0x23, 0x20, 0xC8}));
    EXPECT_EQ(unit_->settings().enableMask, 0x03);
    EXPECT_EQ(unit_->settings().onTime[0], 1);
}

TEST_F(TcpService, BinaryUnitRoundTripsSettingsAndIgnoresLetters) {
    start(loopbackConfig(4, {'_', 'L'}));
    const UniqueFd link = connect();
    sendBytes(link.get(), kOJ);
    EXPECT_EQ(exchange(link.get(), {0xF2, 0x05}, 2), (Bytes{0xF2, 0x00}));
    EXPECT_EQ(exchange(link.get(), {0xE2}, 2), (Bytes{0xE2, 0x05}));
    EXPECT_EQ(exchange(link.get(), {'U', 'U'}, 2), (Bytes{0x4F, 0x30}));
}

TEST_F(TcpService, RequestsSplitOverWritesAndRepliesSplitIntoPieces) {
    UnitConfig config = loopbackConfig(19);
    config.unitId = 1;
    config.faults.splitPieceBytes = 2;
    config.faults.splitPauseMs = 5;
    config.faults.strayFramesBeforeReply = 1;
    start(config);
    const UniqueFd link = connect();
    sendBytes(link.get(), {'M'});
    sendBytes(link.get(), {'I'});
    EXPECT_EQ(exchange(link.get(), {0xC8}, 10),
              (Bytes{'x', 'x', 0x20, 0xC8, 'm', 'i', 0x3E, 0x3F, 0x33, 0xC8}));
    const auto records = unit_->received();
    ASSERT_EQ(records.size(), 1U);
    EXPECT_EQ(records[0].bytes, (Bytes{'M', 'I', 0xC8}));
}

TEST_F(TcpService, SilentCommandGetsNoReplyButOthersDo) {
    UnitConfig config = loopbackConfig(19);
    config.faults.silentCommand = "OH";
    start(config);
    const UniqueFd link = connect();
    sendBytes(link.get(), {'O', 'H', 0xC8});
    EXPECT_EQ(exchange(link.get(), kOJ, 4), kOJReply);
}

TEST_F(TcpService, ClosesAfterTheConfiguredNumberOfRequests) {
    UnitConfig config = loopbackConfig(19);
    config.faults.closeAfterRequests = 2;
    start(config);
    const UniqueFd link = connect();
    EXPECT_EQ(exchange(link.get(), kOJ, 4), kOJReply);
    EXPECT_EQ(exchange(link.get(), kOJ, 4), kOJReply);
    EXPECT_TRUE(peerClosed(link.get()));

    const UniqueFd again = connect();
    EXPECT_EQ(exchange(again.get(), kOJ, 4), kOJReply);
}

TEST_F(TcpService, NewConnectionReplacesTheOldAndRecordsNumberThem) {
    start(loopbackConfig(19));
    const UniqueFd first = connect();
    EXPECT_EQ(exchange(first.get(), kOJ, 4), kOJReply);
    const UniqueFd second = connect();
    EXPECT_TRUE(peerClosed(first.get()));
    EXPECT_EQ(exchange(second.get(), {'Z', 'Z', 0xC8, 0x01}, 0), Bytes{});
    EXPECT_EQ(exchange(second.get(), kOJ, 4), kOJReply);
    EXPECT_EQ(unit_->connectionsAccepted(), 2);

    const auto records = unit_->received();
    ASSERT_EQ(records.size(), 4U);
    EXPECT_EQ(records[0].connection, 1);
    EXPECT_EQ(records[0].channel, ReceivedRecord::Channel::kTcp);
    EXPECT_EQ(records[1].connection, 2);
    EXPECT_EQ(records[1].command, "ZZ");
    EXPECT_EQ(records[2].command, "??");
    EXPECT_EQ(records[2].bytes, (Bytes{0x01}));
    EXPECT_EQ(records[3].command, "OJ");
    EXPECT_EQ(records[3].bytes, kOJ);
    EXPECT_NE(records[0].sourcePort, records[3].sourcePort);
}

TEST_F(TcpService, ReceiveObserverSeesRequestsInOrder) {
    start(loopbackConfig(19));
    std::mutex mutex;
    std::vector<std::string> seen;
    unit_->setReceiveObserver([&](const ReceivedRecord& record) {
        std::lock_guard lock(mutex);
        seen.push_back(record.command);
    });
    const UniqueFd link = connect();
    exchange(link.get(), kOJ, 4);
    exchange(link.get(), {'O', 'H', 0xC8}, 5);
    unit_->setReceiveObserver(nullptr);
    std::lock_guard lock(mutex);
    EXPECT_EQ(seen, (std::vector<std::string>{"OJ", "OH"}));
}

}  // namespace
}  // namespace mervane::sim
