#include <gtest/gtest.h>

#include <future>

#include "tests/sim/TestSockets.h"

namespace mervane::sim {
namespace {

using namespace testing;

const Bytes kF6{0, 0, 0, 0xF6};
const Bytes kF8{0, 0, 0, 0xF8};
const Bytes kF4{0, 0, 0, 0xF4};
const Bytes kLN{'L', 'N'};

class UdpService : public ::testing::Test {
  protected:
    void start(UnitConfig config) {
        unit_ = std::make_unique<SimulatedUnit>(std::move(config));
        std::string error;
        ASSERT_TRUE(unit_->start(&error)) << error;
    }
    std::unique_ptr<SimulatedUnit> unit_;
    UniqueFd client_ = udpClient();
};

TEST_F(UdpService, FirstReplyCarriesTypeCodeAndConfiguredSize) {
    UnitConfig config = loopbackConfig(19, {'_', 'L'});
    config.faults.firstReplySize = 40;
    start(config);
    sendDatagram(client_.get(), unit_->udpPort(), kF6);
    const auto reply = receiveDatagram(client_.get());
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->sourcePort, unit_->udpPort());
    ASSERT_EQ(reply->bytes.size(), 40U);
    EXPECT_EQ(reply->bytes[8], '_');
    EXPECT_EQ(reply->bytes[9], 'L');
}

TEST_F(UdpService, LnIsAnsweredOnlyWhenTold) {
    start(loopbackConfig(19));
    // Replies come in request order, so the F4 reply arriving first shows LN went unanswered.
    sendDatagram(client_.get(), unit_->udpPort(), kLN);
    sendDatagram(client_.get(), unit_->udpPort(), kF4);
    auto reply = receiveDatagram(client_.get());
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->bytes.size(), 33U);

    UnitFaults faults;
    faults.answerBothFirstRequests = true;
    unit_->setFaults(faults);
    sendDatagram(client_.get(), unit_->udpPort(), kLN);
    reply = receiveDatagram(client_.get());
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->bytes.size(), 30U);
}

TEST_F(UdpService, FirstReplyFromOtherPortAndLaterRequestsAnsweredThere) {
    UnitConfig config = loopbackConfig(19);
    config.faults.firstReplyFromOtherPort = true;
    start(config);
    sendDatagram(client_.get(), unit_->udpPort(), kF6);
    const auto first = receiveDatagram(client_.get());
    ASSERT_TRUE(first.has_value());
    ASSERT_NE(first->sourcePort, unit_->udpPort());

    sendDatagram(client_.get(), first->sourcePort, kF8);
    const auto second = receiveDatagram(client_.get());
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->sourcePort, first->sourcePort);
    EXPECT_EQ(second->bytes.size(), 124U);
}

TEST_F(UdpService, SilentUnitStillRecordsEveryDatagram) {
    UnitConfig config = loopbackConfig(19);
    config.faults.noUdpReply = true;
    start(config);
    sendDatagram(client_.get(), unit_->udpPort(), kF6);
    sendDatagram(client_.get(), unit_->udpPort(), {1, 2, 3});
    ASSERT_TRUE(unit_->waitForReceived(2, kWait));

    unit_->setFaults({});
    sendDatagram(client_.get(), unit_->udpPort(), kF8);
    const auto reply = receiveDatagram(client_.get());
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->bytes.size(), 124U);  // nothing came for the F6

    const auto records = unit_->received();
    ASSERT_EQ(records.size(), 3U);
    EXPECT_EQ(records[0].channel, ReceivedRecord::Channel::kUdp);
    EXPECT_EQ(records[0].command, "F6");
    EXPECT_EQ(records[0].bytes, kF6);
    EXPECT_EQ(records[1].command, "??");
    EXPECT_EQ(records[1].bytes, (Bytes{1, 2, 3}));
    EXPECT_EQ(records[2].command, "F8");
    EXPECT_EQ(records[0].sourcePort, records[2].sourcePort);
    EXPECT_NE(records[0].sourcePort, 0);
}

TEST(UnitLifecycle, StartFailsOnATakenPortStopEndsADelayedReplyAndRestartServes) {
    UnitConfig config = loopbackConfig(19);
    config.faults.replyDelayMs = 60'000;
    SimulatedUnit first(config);
    ASSERT_TRUE(first.start());

    config.udpPort = first.udpPort();
    SimulatedUnit second(config);
    std::string error;
    EXPECT_FALSE(second.start(&error));
    EXPECT_NE(error.find("bind"), std::string::npos) << error;

    const UniqueFd client = udpClient();
    sendDatagram(client.get(), first.udpPort(), kF6);
    ASSERT_TRUE(first.waitForReceived(1, kWait));
    // The reply waits for a minute unless stop() cuts the delay short.
    auto stopped = std::async(std::launch::async, [&first] { first.stop(); });
    EXPECT_EQ(stopped.wait_for(kWait), std::future_status::ready);
    stopped.get();
    first.stop();

    // A stopped unit starts again and serves.
    ASSERT_TRUE(first.start());
    first.setFaults({});
    sendDatagram(client.get(), first.udpPort(), kF6);
    const auto reply = receiveDatagram(client.get());
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->bytes.size(), 30U);
}

}  // namespace
}  // namespace mervane::sim
