// Search targets as typed: what is read at once, what is looked up, and what is refused.

#include "fleet/DiscoveryTargets.h"

#include <gtest/gtest.h>

#include "fleet/ReplyCollector.h"
#include "fleet/RequestSweep.h"

namespace mervane::fleet {
namespace {

constexpr uint32_t address(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return a << 24 | b << 16 | c << 8 | d;
}

TEST(DiscoveryTargetsTest, RangesCoverTheWholeNetworkOfTheAddressTyped) {
    struct Case {
        const char* text;
        uint32_t first;
        uint32_t last;
    };
    const Case cases[] = {
        {"192.168.0.77", address(192, 168, 0, 77), address(192, 168, 0, 77)},
        {"192.168.0.77/24", address(192, 168, 0, 0), address(192, 168, 0, 255)},
        {"10.1.2.3/16", address(10, 1, 0, 0), address(10, 1, 255, 255)},
        {"10.1.2.3/32", address(10, 1, 2, 3), address(10, 1, 2, 3)},
        {"10.1.2.3/31", address(10, 1, 2, 2), address(10, 1, 2, 3)},
        {"127.0.21.1-5", address(127, 0, 21, 1), address(127, 0, 21, 5)},
        {"10.1.2.7-7", address(10, 1, 2, 7), address(10, 1, 2, 7)},
        {"10.1.2.0-255", address(10, 1, 2, 0), address(10, 1, 2, 255)},
    };
    for (const Case& c : cases) {
        const TargetText parsed = parseTarget(c.text);
        ASSERT_TRUE(parsed.range) << c.text << ": " << parsed.error;
        EXPECT_EQ(parsed.range->first, c.first) << c.text;
        EXPECT_EQ(parsed.range->last, c.last) << c.text;
    }
    EXPECT_EQ(parseTarget("10.1.0.0/16").range->size(), 65536U);
}

TEST(DiscoveryTargetsTest, MalformedOrTooWideTargetsSayWhatIsWrong) {
    for (const char* text : {"10.0.0.0/15", "10.0.0.0/8", "10.0.0.0/0"}) {
        const TargetText parsed = parseTarget(text);
        EXPECT_FALSE(parsed.range) << text;
        EXPECT_NE(parsed.error.find("at most a /16"), std::string::npos) << text;
    }
    for (const char* text : {"10.0.0.0/", "10.0.0.0/33", "10.0.0/24", "10.0.0.0/2x", "a.b/24",
                             "10.0.0.0/-1", "", "two words", "x;rm", "10.0.0.5-4", "10.0.0.1-256",
                             "10.0.0.1-", "10.0.0.1-1000", "10.0.0.1-x"}) {
        const TargetText parsed = parseTarget(text);
        EXPECT_FALSE(parsed.range) << text;
        EXPECT_TRUE(parsed.hostName.empty()) << text;
        EXPECT_FALSE(parsed.error.empty()) << text;
    }
    EXPECT_EQ(parseTarget("unit-7.plant.example").hostName, "unit-7.plant.example");
    EXPECT_EQ(parseTarget("10.0.0.5-4").error.rfind("\"10.0.0.5-4\": not a range", 0), 0U);
}

TEST(DestinationListTest, EachAddressIsAskedOnceHoweverManyTargetsHoldIt) {
    const uint32_t net = address(127, 0, 5, 0);  // broadcast .7; 127.0.5.1 127.0.5.0/29 127.0.5.1
    const DestinationList list({htonl(net + 7)},
                               {{net + 1, net + 1}, {net, net + 7}, {net + 1, net + 1}});
    std::vector<uint32_t> asked;
    for (size_t i = 0; i < list.size(); ++i)
        asked.push_back(ntohl(list.at(i)) - net);
    EXPECT_EQ(asked, (std::vector<uint32_t>{7, 1, 0, 2, 3, 4, 5, 6}));
}

sockaddr_in source(uint32_t hostOrder) {
    sockaddr_in s{};
    s.sin_family = AF_INET;
    s.sin_addr.s_addr = htonl(hostOrder);
    return s;
}

TEST(ReplyCollectorTest, OneUnitPerSourceOversizeIsNoUnitAndTheCapHolds) {
    ReplyCollector collector(2);
    std::vector<uint8_t> reply(30, 0);
    reply[8] = '_';
    reply[9] = 'W';
    const std::vector<uint8_t> oversized(31, 0);
    using V = ReplyCollector::Verdict;
    EXPECT_EQ(collector.take(source(1), oversized, oversized.size()), V::kOversized);
    EXPECT_EQ(collector.take(source(1), reply, reply.size()), V::kNewUnit);
    EXPECT_EQ(collector.take(source(1), reply, reply.size()), V::kDuplicate);
    // A second reply from the same address but another port is the same unit.
    sockaddr_in otherPort = source(1);
    otherPort.sin_port = htons(999);
    EXPECT_EQ(collector.take(otherPort, reply, reply.size()), V::kDuplicate);
    // Too short for a type code: still a unit, with zeros for the code, as a connect reads it.
    EXPECT_EQ(collector.take(source(2), std::span(reply).first(9), 9), V::kNewUnit);
    EXPECT_EQ(collector.take(source(3), reply, reply.size()), V::kBeyondCap);
    EXPECT_EQ(collector.take(source(3), reply, 2000), V::kOversized);

    ASSERT_EQ(collector.units().size(), 2U);
    EXPECT_EQ(collector.units()[0].typeCode, (std::array<char, 2>{'_', 'W'}));
    EXPECT_EQ(collector.units()[1].typeCode, (std::array<char, 2>{0, 0}));
    EXPECT_EQ(collector.oversized(), 2U);
    EXPECT_EQ(collector.beyondCap(), 1U);
}

}  // namespace
}  // namespace mervane::fleet
