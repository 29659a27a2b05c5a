// Identification against the simulated unit on loopback: which requests go where for each type
// code, how replies that are late, oversized or from elsewhere end it, and that no socket
// outlives the call.

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "link/Identification.h"
#include "link/Status.h"
#include "tests/LoopbackUnit.h"

namespace mervane {
namespace {

using namespace std::chrono_literals;
using testing::aimLinkAt;
using testing::openDescriptorCount;
using testing::startLoopbackUnit;
using testing::tcpCommands;
using testing::udpCommands;
using testing::unitConfig;
using Strings = std::vector<std::string>;

constexpr int32_t kShortTimeoutMs = 300;

struct TypeCodeCase {
    const char* type;
    int model;
    Strings udp;
    Strings tcp;
    UnitGeneration generation;
};

void PrintTo(const TypeCodeCase& c, std::ostream* os) {
    *os << c.type;
}

class TypeCodeTest : public ::testing::TestWithParam<TypeCodeCase> {};

TEST_P(TypeCodeTest, SendsTheRequestsOfItsTypeAndFillsTheIdentity) {
    const TypeCodeCase& c = GetParam();
    sim::UnitConfig config = unitConfig(c.model, {c.type[0], c.type[1], '\0'});
    config.unitId = 6;
    auto unit = startLoopbackUnit(config);
    DeviceLink link;
    aimLinkAt(link, *unit);

    ASSERT_EQ(identifyUnit(link, kShortTimeoutMs, unit->tcpPort(), "127.0.0.1"), kStatusOk);
    EXPECT_EQ(udpCommands(*unit), c.udp);
    EXPECT_EQ(tcpCommands(*unit), c.tcp);
    const DeviceIdentity& identity = link.identity();
    EXPECT_EQ(identity.typeCode[0], c.type[0]);
    EXPECT_EQ(identity.typeCode[1], c.type[1]);
    EXPECT_EQ(identity.unitId, 6);
    EXPECT_EQ(identity.modelIndex, c.model);
    EXPECT_EQ(identity.generation, c.generation);
    EXPECT_EQ(ntohs(identity.unitAddress.sin_port), unit->tcpPort());
    EXPECT_EQ(identity.unitAddress.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    EXPECT_FALSE(link.sessionSocket().isOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Identification, TypeCodeTest,
    ::testing::Values(
        TypeCodeCase{"_L", 3, {"F6", "LN", "F8"}, {"UU"}, UnitGeneration::kGen3},
        // Generation 4 is known from the type code, so the extended query is asked at once; the
        // model above 15 comes in the escaped six-byte reply.
        TypeCodeCase{"_W", 19, {"F6", "LN", "F8"}, {"MI"}, UnitGeneration::kGen4},
        TypeCodeCase{"X6", 3, {"F6", "LN", "F8", "F4", "E7"}, {"UU"}, UnitGeneration::kUnset},
        TypeCodeCase{"AB", 4, {"F6", "LN", "F8", "E7"}, {"UU"}, UnitGeneration::kUnset}));

TEST(IdentificationTest, LaterRequestsGoWhereTheFirstReplyCameFrom) {
    sim::UnitFaults faults;
    faults.firstReplyFromOtherPort = true;
    auto unit = startLoopbackUnit(unitConfig(3, "X6", faults));
    DeviceLink link;
    aimLinkAt(link, *unit);

    ASSERT_EQ(identifyUnit(link, kShortTimeoutMs, unit->tcpPort(), "127.0.0.1"), kStatusOk);
    const auto records = unit->received();
    ASSERT_GE(records.size(), 5u);
    EXPECT_EQ(records[0].unitPort, unit->udpPort());
    for (size_t i = 2; i < 5; ++i) {
        EXPECT_NE(records[i].unitPort, unit->udpPort()) << records[i].command;
    }
}

TEST(IdentificationTest, EveryRequestLeavesFromTheChosenLocalAddress) {
    auto unit = startLoopbackUnit(unitConfig(3, "AB"));
    DeviceLink link;
    aimLinkAt(link, *unit);
    in_addr chosen{};
    ASSERT_EQ(::inet_pton(AF_INET, "127.0.0.2", &chosen), 1);
    link.setLocalBindAddress(chosen.s_addr);

    ASSERT_EQ(identifyUnit(link, kShortTimeoutMs, unit->tcpPort(), "127.0.0.1"), kStatusOk);
    const auto records = unit->received();
    ASSERT_EQ(records.size(), 5u);  // F6, LN, F8, E7 and the unit query
    for (const auto& record : records)
        EXPECT_EQ(record.sourceAddress, "127.0.0.2");
}

TEST(IdentificationTest, UnansweredUnitQueryFallsBackToTheExtendedOne) {
    sim::UnitFaults faults;
    faults.noUuAnswer = true;
    auto unit = startLoopbackUnit(unitConfig(3, "_L", faults));
    DeviceLink link;
    aimLinkAt(link, *unit);

    ASSERT_EQ(identifyUnit(link, kShortTimeoutMs, unit->tcpPort(), "127.0.0.1"), kStatusOk);
    EXPECT_EQ(tcpCommands(*unit), (Strings{"UU", "MI"}));
    EXPECT_EQ(link.identity().modelIndex, 3);
    EXPECT_EQ(link.identity().generation, UnitGeneration::kGen4);  // only 'M' 'I' units answer it
}

// Every failure: the status, what the unit saw, what the identity holds, and no descriptor left.
struct FailureCase {
    const char* name;
    sim::UnitFaults faults;
    Strings udp;  // what the unit received
    const char* type = "_W";
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class IdentificationFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(IdentificationFailureTest, FailsAndLeavesNoSocketOpen) {
    const FailureCase& c = GetParam();
    const int descriptorsBefore = openDescriptorCount();
    {
        auto unit = startLoopbackUnit(unitConfig(19, {c.type[0], c.type[1], '\0'}, c.faults));
        DeviceLink link;
        aimLinkAt(link, *unit);
        EXPECT_EQ(identifyUnit(link, kShortTimeoutMs, unit->tcpPort(), "127.0.0.1"),
                  kStatusFailure);
        EXPECT_FALSE(link.sessionSocket().isOpen());
        EXPECT_EQ(link.identity().unitId, kUnitIdUnknown);
        EXPECT_EQ(link.identity().modelIndex, kModelIndexUnknown);
        ASSERT_TRUE(unit->waitForReceived(c.udp.size(), 2s));
        EXPECT_EQ(udpCommands(*unit), c.udp);
    }
    EXPECT_EQ(openDescriptorCount(), descriptorsBefore);
}

sim::UnitFaults oversizedFirstReply() {
    sim::UnitFaults f;
    f.firstReplySize = 31;
    return f;
}
sim::UnitFaults silentOn(const char* command) {
    sim::UnitFaults f;
    f.silentCommand = command;
    return f;
}
sim::UnitFaults oversizedReplyTo(const char* request) {
    sim::UnitFaults f;
    f.oversizedReplyTo = request;
    return f;
}
sim::UnitFaults noUdpReply() {
    sim::UnitFaults f;
    f.noUdpReply = true;
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    Identification, IdentificationFailureTest,
    ::testing::Values(
        FailureCase{"NoReply", noUdpReply(), {"F6", "LN"}},
        FailureCase{"OversizedFirstReply", oversizedFirstReply(), {"F6", "LN"}},
        FailureCase{"NoF8Reply", silentOn("F8"), {"F6", "LN", "F8"}},
        FailureCase{"NoUnitQueryReply", silentOn("MI"), {"F6", "LN", "F8"}},
        // Each later reply one byte over its buffer (125, 34 and 131 bytes).
        FailureCase{"OversizedF8Reply", oversizedReplyTo("F8"), {"F6", "LN", "F8"}, "X6"},
        FailureCase{"OversizedF4Reply", oversizedReplyTo("F4"), {"F6", "LN", "F8", "F4"}, "X6"},
        FailureCase{
            "OversizedE7Reply", oversizedReplyTo("E7"), {"F6", "LN", "F8", "F4", "E7"}, "X6"}),
    [](const auto& param) { return std::string(param.param.name); });

// Snapshots what the unit has received at each pause, once the datagram sent just before the
// pause has arrived.
class SnapshotClock final : public Clock {
  public:
    void pause(std::chrono::milliseconds duration) override {
        unit->waitForReceived(pauses.size() + 1, 2s);
        pauses.emplace_back(duration, udpCommands(*unit));
    }
    const sim::SimulatedUnit* unit = nullptr;
    std::vector<std::pair<std::chrono::milliseconds, Strings>> pauses;
};

TEST(IdentificationTest, PausesTenMillisecondsAfterEachOfTheFirstTwoRequests) {
    auto unit = startLoopbackUnit(unitConfig(19, "_W"));
    SnapshotClock clock;
    clock.unit = unit.get();
    DeviceLink link(clock);
    aimLinkAt(link, *unit);
    ASSERT_EQ(identifyUnit(link, kShortTimeoutMs, unit->tcpPort(), "127.0.0.1"), kStatusOk);
    // Only then the wait for the first reply, and no pause after it.
    using Pause = std::pair<std::chrono::milliseconds, Strings>;
    EXPECT_EQ(clock.pauses, (std::vector<Pause>{{10ms, {"F6"}}, {10ms, {"F6", "LN"}}}));
}

struct SlowClock final : Clock {  // time enough for the replies to both first requests to queue
    void pause(std::chrono::milliseconds) override { std::this_thread::sleep_for(100ms); }
};

TEST(IdentificationTest, AReplyLeftQueuedIsNotTakenForTheF8Reply) {
    sim::UnitFaults both;
    both.answerBothFirstRequests = true;
    auto unit = startLoopbackUnit(unitConfig(3, "X6", both));  // F8's reply would fail as F4's
    SlowClock clock;
    DeviceLink link(clock);
    aimLinkAt(link, *unit);
    EXPECT_EQ(identifyUnit(link, kShortTimeoutMs, unit->tcpPort(), "127.0.0.1"), kStatusOk);
}

TEST(IdentificationTest, NoReplyFailsAfterAboutTheTimeOut) {
    auto unit = startLoopbackUnit(unitConfig(19, "_W", noUdpReply()));
    DeviceLink link;
    aimLinkAt(link, *unit);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(identifyUnit(link, 200, unit->tcpPort(), "127.0.0.1"), kStatusFailure);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 200ms);
    EXPECT_LT(took, 3s);
}

TEST(IdentificationTest, ZeroTimeOutStillEnds) {
    auto unit = startLoopbackUnit(unitConfig(19, "_W", noUdpReply()));
    DeviceLink link;
    aimLinkAt(link, *unit);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(identifyUnit(link, 0, unit->tcpPort(), "127.0.0.1"), kStatusFailure);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

TEST(IdentificationTest, FirstReplyTooShortForATypeCodeCountsAsAnUnknownType) {
    sim::UnitFaults faults;
    faults.firstReplySize = 9;  // byte 9 missing
    auto unit = startLoopbackUnit(unitConfig(3, "_W", faults));
    DeviceLink link;
    aimLinkAt(link, *unit);
    ASSERT_EQ(identifyUnit(link, kShortTimeoutMs, unit->tcpPort(), "127.0.0.1"), kStatusOk);
    EXPECT_EQ(link.identity().typeCode, (std::array<char, 2>{}));
    EXPECT_EQ(udpCommands(*unit), (Strings{"F6", "LN", "F8", "E7"}));
}

TEST(IdentificationTest, RefusedProbeConnectionLeavesNoSocketOpen) {
    const int descriptorsBefore = openDescriptorCount();
    {
        auto unit = startLoopbackUnit(unitConfig(19, "_W"));
        DeviceLink link;
        aimLinkAt(link, *unit);
        // The identification service answers, but nothing listens on the TCP port typed.
        const uint16_t closedPort = unit->udpPort();
        EXPECT_EQ(identifyUnit(link, kShortTimeoutMs, closedPort, "127.0.0.1"), kStatusFailure);
        EXPECT_EQ(link.identity().generation, UnitGeneration::kGen4);  // from the type code
        EXPECT_EQ(unit->connectionsAccepted(), 0);
    }
    EXPECT_EQ(openDescriptorCount(), descriptorsBefore);
}

TEST(IdentificationTest, PortsOutsideOneTo65535FailWithoutTraffic) {
    auto unit = startLoopbackUnit(unitConfig(19, "_W"));
    DeviceLink link;
    aimLinkAt(link, *unit);
    link.identity().unitId = 7;  // left alone: nothing was attempted
    // 65536 + the real port must not be cut down to the real port.
    for (const uint32_t port : {0u, 65536u + unit->tcpPort(), 0xFFFFFFFFu}) {
        EXPECT_EQ(identifyUnit(link, kShortTimeoutMs, port, "127.0.0.1"), kStatusFailure);
    }
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(unit->received().empty());
    EXPECT_EQ(link.identity().unitId, 7);
}

TEST(IdentificationTest, UnresolvableAddressFails) {
    DeviceLink link;
    const int descriptorsBefore = openDescriptorCount();
    EXPECT_EQ(identifyUnit(link, kShortTimeoutMs, 10003, ""), kStatusFailure);
    EXPECT_EQ(identifyUnit(link, kShortTimeoutMs, 10003, "1.2.3.4.5"), kStatusFailure);
    EXPECT_EQ(openDescriptorCount(), descriptorsBefore);
}

TEST(IdentificationTest, StopRequestEndsTheWaitForTheFirstReply) {
    auto unit = startLoopbackUnit(unitConfig(19, "_W", noUdpReply()));
    DeviceLink link;
    aimLinkAt(link, *unit);
    std::thread stopper([&link] {
        std::this_thread::sleep_for(100ms);
        link.stopSignal().request();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(identifyUnit(link, 15000, unit->tcpPort(), "127.0.0.1"), kStatusFailure);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    stopper.join();
}

}  // namespace
}  // namespace mervane
