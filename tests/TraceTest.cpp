// The traffic trace: what the link reports must be what went over the wire, with the time-outs,
// pauses and thrown-away bytes that explain a failure.

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <array>
#include <string>
#include <vector>

#include "link/DeviceLink.h"
#include "link/Identification.h"
#include "link/SettingsSequences.h"
#include "link/Status.h"
#include "link/TraceLines.h"
#include "tests/FakeStream.h"
#include "tests/LoopbackUnit.h"
#include "tests/RecordingWindow.h"

namespace mervane {
namespace {

// Keeps every event, with a copy of its bytes.
struct KeptEvent {
    TraceKind kind;
    bool datagram;
    std::string command;
    std::vector<uint8_t> bytes;
    long count;
    int error;
    std::string note;
};

class KeepingSink final : public TraceSink {
  public:
    void record(const TraceEvent& e) override {
        events.push_back({e.kind, e.datagram, e.command.data(),
                          std::vector<uint8_t>(e.bytes.begin(), e.bytes.end()), e.count, e.error,
                          e.note != nullptr ? e.note : ""});
    }
    std::vector<KeptEvent> of(TraceKind kind) const {
        std::vector<KeptEvent> found;
        for (const KeptEvent& e : events)
            if (e.kind == kind) found.push_back(e);
        return found;
    }
    std::vector<KeptEvent> events;
};

TEST(TraceTest, ConnectReadApplyAndStartStopSendExactlyWhatTheUnitReceived) {
    sim::UnitSettingsState initial;
    initial.enableMask = 0x0F;
    initial.onTime.fill(5);
    initial.offTime.fill(5);
    auto unit = testing::startLoopbackUnit(testing::unitConfig(19, "_W"));
    unit->setSettings(initial);
    DeviceLink link;
    testing::aimLinkAt(link, *unit);
    KeepingSink sink;
    link.trace().setSink(&sink);
    testing::RecordingWindow window;

    ASSERT_EQ(identifyUnit(link, 1000, unit->tcpPort(), "127.0.0.1"), kStatusOk);
    ASSERT_EQ(link.openSession(window), kStatusOk);
    ASSERT_EQ(readAutoOnOffSettings(link, window), kStatusOk);
    ASSERT_EQ(onApplySettings(link, window), kStatusOk);
    ASSERT_EQ(onStartStop(link, window), kStatusOk);
    ASSERT_EQ(onStartStop(link, window), kStatusOk);
    link.closeSession();

    std::vector<std::vector<uint8_t>> traced;
    for (const KeptEvent& e : sink.events) {
        if (e.kind == TraceKind::kDatagramSent || e.kind == TraceKind::kSent) {
            traced.push_back(e.bytes);
        }
    }
    std::vector<std::vector<uint8_t>> logged;
    for (const sim::ReceivedRecord& r : unit->received())
        logged.push_back(r.bytes);
    EXPECT_EQ(traced, logged);
    // Two sessions (the probe and the main one), each connected, drained and closed; the
    // identification socket closed too.
    EXPECT_EQ(sink.of(TraceKind::kConnected).size(), 2u);
    EXPECT_EQ(sink.of(TraceKind::kDrained).size(), 2u);
    EXPECT_EQ(sink.of(TraceKind::kClosed).size(), 3u);
    EXPECT_TRUE(sink.of(TraceKind::kTimedOut).empty());
    // The first reply may answer either first request, so it is named by neither.
    ASSERT_FALSE(sink.of(TraceKind::kDatagramReceived).empty());
    EXPECT_EQ(sink.of(TraceKind::kDatagramReceived).front().command, "");
}

TEST(TraceTest, AnOversizedReplyShowsItsOwnLengthAndWhyItFailed) {
    sim::UnitFaults faults;
    faults.oversizedReplyTo = "F8";
    auto unit = testing::startLoopbackUnit(testing::unitConfig(19, "_W", faults));
    DeviceLink link;
    testing::aimLinkAt(link, *unit);
    KeepingSink sink;
    link.trace().setSink(&sink);
    ASSERT_NE(identifyUnit(link, 1000, unit->tcpPort(), "127.0.0.1"), kStatusOk);

    const std::vector<KeptEvent> replies = sink.of(TraceKind::kDatagramReceived);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[1].count, 125);  // the datagram's length, of which 124 fitted
    EXPECT_EQ(replies[1].bytes.size(), 124u);
    ASSERT_EQ(sink.of(TraceKind::kReceiveFailed).size(), 1u);
    EXPECT_EQ(sink.of(TraceKind::kReceiveFailed).front().error, 10040);
}

struct SilentCase {
    const char* name;
    bool frame;          // receiveFrame, else receiveExact
    const char* script;  // bytes before the silence
    int timeouts;
    int pauses;
    std::vector<std::string> received;  // gathered bytes, then their note
};

TEST(TraceTest, SilentUnitShowsEveryTimeOutAndRetryPause) {
    const std::vector<SilentCase> cases = {
        {"exact read, nothing", false, "", 2, 2, {}},
        {"exact read, one byte of two", false, "00", 1, 2, {"00", ""}},
        {"frame, nothing", true, "", 4, 3, {}},
        {"frame, a stray frame then half a reply",
         true,
         "41 42 C8 6F",
         4,
         3,
         {"41 42 C8", "skipped", "6F", ""}},
    };
    for (const SilentCase& c : cases) {
        SCOPED_TRACE(c.name);
        DeviceIdentity identity;
        LinkTrace trace(identity);
        KeepingSink sink;
        trace.setSink(&sink);
        testing::ScriptedStream stream;
        if (*c.script != '\0') stream.data(c.script);
        testing::CountingClock clock;
        SessionTransport transport(stream, clock, &trace);
        const std::array<uint8_t, 3> request{'O', 'J', 0xC8};
        ASSERT_EQ(transport.sendRequest(request), kStatusOk);
        if (c.frame) {
            FrameBuffer buffer{};
            EXPECT_EQ(transport.receiveFrame(std::span(request).first<2>(), buffer, 256), 0u);
        } else {
            std::array<uint8_t, 2> buffer{};
            EXPECT_NE(transport.receiveExact(buffer), kStatusOk);
        }
        EXPECT_EQ(static_cast<int>(sink.of(TraceKind::kTimedOut).size()), c.timeouts);
        EXPECT_EQ(static_cast<int>(sink.of(TraceKind::kPaused).size()), c.pauses);
        EXPECT_EQ(clock.pauses, c.pauses);  // one line per pause really taken
        std::vector<std::string> received;
        for (const KeptEvent& e : sink.of(TraceKind::kReceived)) {
            received.push_back(sim::hexText(e.bytes));
            received.push_back(e.note);
        }
        EXPECT_EQ(received, c.received);
        for (const KeptEvent& e : sink.events) {
            if (e.kind != TraceKind::kSent) {
                EXPECT_EQ(e.command, "OJ");
            }
        }
        EXPECT_EQ(sink.of(TraceKind::kTimedOut).front().error, 10060);
    }
}

TEST(TraceTest, DrainAndDiscardReportHowManyBytesWereThrownAway) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    UniqueFd peer(pair[1]);
    DeviceLink link;
    link.sessionSocket().adopt(UniqueFd(pair[0]));
    KeepingSink sink;
    link.trace().setSink(&sink);

    const std::vector<uint8_t> stale(10000, 0x6F);
    ASSERT_EQ(::send(peer.get(), stale.data(), stale.size(), 0), 10000);
    link.drainSession();
    ASSERT_EQ(::send(peer.get(), stale.data(), 7, 0), 7);
    const std::array<uint8_t, 3> request{'O', 'J', 0xC8};
    ASSERT_EQ(link.transport().sendRequest(request), kStatusOk);
    ASSERT_EQ(link.transport().sendRequest(request), kStatusOk);  // nothing left: no line

    ASSERT_EQ(sink.of(TraceKind::kDrained).size(), 1u);
    EXPECT_EQ(sink.of(TraceKind::kDrained).front().count, 10000);
    ASSERT_EQ(sink.of(TraceKind::kDiscarded).size(), 1u);
    EXPECT_EQ(sink.of(TraceKind::kDiscarded).front().count, 7);
    EXPECT_EQ(sink.events[1].kind, TraceKind::kDiscarded);  // before the request it preceded
    EXPECT_EQ(sink.events[2].kind, TraceKind::kSent);
}

TEST(TraceTest, LinesCarryTimeUnitDirectionNameAndBytesInTextAndJson) {
    TraceEvent e;
    e.kind = TraceKind::kReceived;
    e.peer.sin_family = AF_INET;
    e.peer.sin_port = htons(10003);
    e.peer.sin_addr.s_addr = htonl(0x7F000301);
    e.command = {'O', 'J', '\0'};
    const std::array<uint8_t, 5> bytes{'o', 'j', '"', '\\', 0xC8};
    e.bytes = bytes;
    e.note = "skipped";
    TraceFormatter text(false);
    TraceFormatter json(true);
    e.at = std::chrono::steady_clock::time_point(std::chrono::seconds(100));
    (void)text.line(e);  // the first event is time 0
    (void)json.line(e);
    e.at += std::chrono::microseconds(1500);
    EXPECT_EQ(text.line(e),
              "  0.001500  127.0.3.1:10003        tcp <-  OJ  5 bytes  6F 6A 22 5C C8  "
              "|oj\"\\.|  skipped");
    EXPECT_EQ(json.line(e),
              R"({"time":0.001500,"unit":"127.0.3.1:10003","proto":"tcp","event":"receive",)"
              R"("command":"OJ","length":5,"bytes":"6F 6A 22 5C C8","printable":"oj\"\\.",)"
              R"("note":"skipped"})");
}

}  // namespace
}  // namespace mervane
