// Framing of the session: exact-length replies and 0xC8-terminated, echo-checked frames, with
// their retry, pause and budget rules, over a scripted stream.

#include <gtest/gtest.h>

#include <array>

#include "link/SessionTransport.h"
#include "link/SocketError.h"
#include "link/Status.h"
#include "tests/FakeStream.h"

namespace mervane {
namespace {

using testing::CountingClock;
using testing::ScriptedStream;

constexpr std::array<uint8_t, 2> kOJ{'O', 'J'};
constexpr std::array<uint8_t, 2> kNJ{'N', 'J'};

class FrameReaderTest : public ::testing::Test {
  protected:
    size_t readFrame(std::array<uint8_t, 2> request, size_t limit = 256) {
        return transport.receiveFrame(request, buffer, limit);
    }
    std::vector<uint8_t> frame(size_t length) const {
        return {buffer.begin(), buffer.begin() + static_cast<long>(length)};
    }

    ScriptedStream stream;
    CountingClock clock;
    SessionTransport transport{stream, clock};
    FrameBuffer buffer{};
};

TEST_F(FrameReaderTest, ReturnsFrameWhoseFirstTwoBytesEchoTheRequest) {
    stream.data("6F 6A 28 C8");
    ASSERT_EQ(readFrame(kOJ), 4u);
    EXPECT_EQ(frame(4), testing::fromHex("6F 6A 28 C8"));
    EXPECT_EQ(clock.pauses, 0);
}

TEST_F(FrameReaderTest, ReadsNothingBehindTheTerminator) {
    stream.data("6F 6A 28 C8 6F 6A 20 C8");
    ASSERT_EQ(readFrame(kOJ), 4u);
    EXPECT_EQ(stream.unreadBytes(), 4u);
}

TEST_F(FrameReaderTest, AcceptsAReplyArrivingInPiecesWithTimeOutsBetween) {
    stream.data("6F").timeOut().timeOut().timeOut().data("6A 28").closed().data("C8");
    ASSERT_EQ(readFrame(kOJ), 4u);
    EXPECT_EQ(frame(4), testing::fromHex("6F 6A 28 C8"));
    EXPECT_EQ(clock.pauses, 4);
}

TEST_F(FrameReaderTest, SkipsFramesWithAnotherEchoAndLoneTerminators) {
    // A stray reply of another command, a lone terminator and two frames too short to carry an
    // echo come before the real reply.
    stream.data("6F 68 2F 21 C8").data("C8").data("6F C8").data("6F 6A 20 C8");
    ASSERT_EQ(readFrame(kOJ), 4u);
    EXPECT_EQ(frame(4), testing::fromHex("6F 6A 20 C8"));
}

TEST_F(FrameReaderTest, BudgetCountsTheBytesOfDiscardedFrames) {
    // Limit 6: the stray frame uses 4 of the budget, the real one needs 5 more.
    stream.data("78 78 20 20 C8 6E 6A 21 30 35 C8");
    EXPECT_EQ(readFrame(kNJ, 6), 0u);

    ScriptedStream alone;
    SessionTransport fresh{alone, clock};
    alone.data("6E 6A 21 30 35 C8");
    EXPECT_EQ(fresh.receiveFrame(kNJ, buffer, 6), 6u);
}

TEST_F(FrameReaderTest, FailsOnTheFirstByteBeyondTheBudget) {
    std::string longFrame = "6F 6A";
    for (int i = 0; i < 300; ++i)
        longFrame += " 41";
    stream.data(longFrame + " C8");
    EXPECT_EQ(readFrame(kOJ, 256), 0u);
    // 256 non-terminator bytes are allowed; the 257th ends the call, nothing more is read.
    EXPECT_EQ(stream.receiveCalls(), 257);
}

TEST_F(FrameReaderTest, LoneTerminatorsCostTheBudgetToo) {
    stream.bytes(std::vector<uint8_t>(1000, kFrameTerminator));
    EXPECT_EQ(readFrame(kOJ, 256), 0u);
    EXPECT_EQ(stream.receiveCalls(), 257);
}

TEST_F(FrameReaderTest, AFrameOfExactlyTheLimitStillFits) {
    std::string frameHex = "6F 6A";
    for (int i = 0; i < 254; ++i)
        frameHex += " 41";
    stream.data(frameHex + " C8");
    EXPECT_EQ(readFrame(kOJ, 256), 257u);
    EXPECT_EQ(buffer[256], kFrameTerminator);
}

TEST_F(FrameReaderTest, GivesUpOnTheFourthFailedReadInARow) {
    stream.data("6F 6A").timeOut().error(wsa::kConnectionReset).closed().timeOut();
    EXPECT_EQ(readFrame(kOJ), 0u);
    EXPECT_EQ(clock.pauses, 3);  // pauses between the four failures, none after the last
}

TEST_F(FrameReaderTest, FailureCountRestartsAfterEachByte) {
    stream.timeOut().timeOut().timeOut().data("6F").timeOut().timeOut().timeOut().data("6A");
    stream.timeOut().timeOut().timeOut().data("20 C8");
    EXPECT_EQ(readFrame(kOJ), 4u);
}

class ExactReaderTest : public FrameReaderTest {};

TEST_F(ExactReaderTest, CompletesAcrossTwoReads) {
    stream.data("00").data("01");
    std::array<uint8_t, 2> reply{};
    ASSERT_EQ(transport.receiveExact(reply), kStatusOk);
    EXPECT_EQ(reply, (std::array<uint8_t, 2>{0x00, 0x01}));
    EXPECT_EQ(clock.pauses, 1);
}

TEST_F(ExactReaderTest, TimeOutCountsAsAnEmptyAttempt) {
    stream.timeOut().data("00 01");
    std::array<uint8_t, 2> reply{};
    EXPECT_EQ(transport.receiveExact(reply), kStatusOk);
    EXPECT_EQ(clock.pauses, 1);
}

TEST_F(ExactReaderTest, OneByteReplyFailsAfterTwoAttemptsAndTwoPauses) {
    stream.data("00");
    std::array<uint8_t, 2> reply{};
    EXPECT_EQ(transport.receiveExact(reply), kStatusFailure);
    EXPECT_EQ(stream.receiveCalls(), 2);
    EXPECT_EQ(clock.pauses, 2);
    EXPECT_EQ(lastSocketError(), wsa::kTimedOut);
}

TEST_F(ExactReaderTest, ClosedPeerCountsAsEmptyAttempts) {
    stream.closed().closed();
    std::array<uint8_t, 2> reply{};
    EXPECT_EQ(transport.receiveExact(reply), kStatusFailure);
    EXPECT_EQ(stream.receiveCalls(), 2);
}

TEST_F(ExactReaderTest, OtherReceiveErrorFailsAtOnceWithoutPause) {
    stream.error(wsa::kConnectionReset).data("00 01");
    std::array<uint8_t, 2> reply{};
    EXPECT_EQ(transport.receiveExact(reply), kStatusFailure);
    EXPECT_EQ(stream.receiveCalls(), 1);
    EXPECT_EQ(clock.pauses, 0);
    EXPECT_EQ(lastSocketError(), wsa::kConnectionReset);
}

TEST_F(ExactReaderTest, SecondAttemptContinuesBehindAPartialFirst) {
    stream.data("6D 69 30").data("3F 31");
    std::array<uint8_t, 5> reply{};
    ASSERT_EQ(transport.receiveExact(reply), kStatusOk);
    EXPECT_EQ(reply, (std::array<uint8_t, 5>{0x6D, 0x69, 0x30, 0x3F, 0x31}));
}

TEST(SendRequestTest, OnlyAnErrorFails) {
    ScriptedStream stream;
    CountingClock clock;
    SessionTransport transport{stream, clock};
    const std::array<uint8_t, 3> request{'O', 'J', 0xC8};
    EXPECT_EQ(transport.sendRequest(request), kStatusOk);
    EXPECT_EQ(stream.sent(), testing::fromHex("4F 4A C8"));

    stream.failSends(wsa::kConnectionReset);
    EXPECT_EQ(transport.sendRequest(request), kStatusFailure);
    EXPECT_EQ(lastSocketError(), wsa::kConnectionReset);
    EXPECT_EQ(stream.sendCalls(), 2);  // no re-send
}

}  // namespace
}  // namespace mervane
