// The search against simulated units on loopback: what it sends, whom it finds, how it probes
// them (and the pool they run on), and how promptly it stops.

#include "fleet/Discovery.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>

#include "fleet/JobPool.h"
#include "link/UniqueFd.h"
#include "sim/SimulatedUnit.h"
#include "sim/UnitSockets.h"
#include "tests/LoopbackUnit.h"
#include "tests/OpenDescriptors.h"

namespace mervane::fleet {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kBlock = 127U << 24 | 98U << 8;  // 127.0.98.0/23, this file's own

std::string dotted(uint32_t hostOrder) {
    return sim::dottedAddress(in_addr{htonl(hostOrder)});
}

// Units on addresses of the block, sharing their ports as a plant's units do.
class Units : public testing::SharedPortUnits {
  public:
    void add(uint32_t host, sim::UnitConfig config) {
        SharedPortUnits::add(dotted(kBlock | host), std::move(config));
    }

    DiscoveryPlan plan(uint32_t lastHost) const {
        DiscoveryPlan plan;
        plan.ranges = {{kBlock, kBlock | lastHost}};
        plan.identificationPort = udpPort();
        plan.tcpPort = tcpPort();
        plan.replyWindowMs = 300;
        return plan;
    }
};

sim::UnitConfig config(int model, const char (&type)[3], int unitId, bool active = false,
                       sim::UnitFaults faults = {}) {
    sim::UnitConfig c;
    c.modelIndex = model;
    c.typeCode = {type[0], type[1]};
    c.unitId = unitId;
    c.initial.active = active ? 1 : 0;
    c.faults = std::move(faults);
    return c;
}

TEST(DiscoveryTest, ARangeFindsEveryUnitProbedAndEachFailureStaysWithItsUnit) {
    Units units;
    units.add(9, config(19, "_W", 5, true));
    units.add(2, config(3, "_L", 6));
    units.add(5, config(2, "_W", 7));  // a model without automatic ON/OFF
    sim::UnitFaults silentF8;
    silentF8.silentCommand = "F8";
    units.add(7, config(19, "_W", 8, false, silentF8));
    sim::UnitFaults answersTwice;
    answersTwice.answerBothFirstRequests = true;
    units.add(1U << 8 | 3, config(19, "_W", 9, false, answersTwice));  // 127.0.99.3, after .98.9

    const int descriptorsBefore = testing::openDescriptorCount();
    DiscoveryObserver quiet;
    const DiscoveryReport report = Discovery().run(units.plan(1U << 8 | 15), quiet);
    ASSERT_TRUE(report.failure.empty()) << report.failure;
    ASSERT_EQ(report.units.size(), 5U);  // the unit answering twice is listed once
    const std::vector<std::string> order{"127.0.98.2", "127.0.98.5", "127.0.98.7", "127.0.98.9",
                                         "127.0.99.3"};
    for (size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(dotted(report.units[i].hostOrderAddress()), order[i]);
        EXPECT_TRUE(report.units[i].probed) << order[i];
    }
    const DiscoveredUnit& gen3 = report.units[0];
    EXPECT_EQ(gen3.identity.unitId, 6);
    EXPECT_EQ(gen3.identity.generation, UnitGeneration::kGen3);
    EXPECT_EQ(gen3.active, false);
    EXPECT_EQ(report.units[1].active, std::nullopt);  // not supported, yet no failure
    EXPECT_TRUE(report.units[1].error.empty());
    EXPECT_EQ(report.units[2].error, "通信エラー");
    EXPECT_EQ(report.units[3].identity.unitId, 5);
    EXPECT_EQ(report.units[3].identity.modelIndex, 19);
    EXPECT_EQ(report.units[3].active, true);
    EXPECT_TRUE(report.units[3].error.empty());

    // A search writes nothing: each unit heard only the identification and the reads.
    for (const auto& record : units[0].received()) {
        EXPECT_TRUE(record.command == "F6" || record.command == "LN" || record.command == "F8" ||
                    record.command == "UU" || record.command == "MI" || record.command == "OJ")
            << record.command;
    }
    EXPECT_EQ(testing::openDescriptorCount(), descriptorsBefore) << "sockets left open";
}

// A stand-in unit that only listens: when each request came, and from which port.
struct Heard {
    std::string bytes;
    uint16_t sourcePort;
    std::chrono::microseconds at;  // the kernel's receive stamp
};

TEST(DiscoveryTest, EachAddressGetsF6ThenLnTenMillisecondsLaterPacedFromAnEphemeralPort) {
    constexpr uint32_t kListeners = 40;
    std::vector<UniqueFd> listeners;
    uint16_t port = 0;
    for (uint32_t host = 1; host <= kListeners; ++host) {
        std::string error;
        UniqueFd fd = sim::openUdpSocket(in_addr{htonl(kBlock | (100 + host))}, port, error);
        ASSERT_TRUE(fd.valid()) << error;
        const int on = 1;  // stamped as they arrive
        ::setsockopt(fd.get(), SOL_SOCKET, SO_TIMESTAMP, &on, sizeof on);
        port = sim::localPort(fd.get());
        listeners.push_back(std::move(fd));
    }
    std::this_thread::sleep_for(200ms);  // the kernel turns receive stamps on a moment later
    DiscoveryPlan plan;
    plan.ranges = {{kBlock | 101, kBlock | (100 + kListeners)}};
    plan.identificationPort = port;
    plan.replyWindowMs = 50;
    DiscoveryObserver quiet;
    const DiscoveryReport report = Discovery().run(plan, quiet);
    EXPECT_TRUE(report.units.empty());

    std::vector<std::vector<Heard>> heard(kListeners);
    for (size_t i = 0; i < kListeners; ++i) {
        // Everything has arrived by now; when each datagram came is the kernel's stamp.
        while (true) {
            char buffer[16];
            sockaddr_in from{};
            iovec data{buffer, sizeof buffer};
            alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timeval))];
            msghdr message{};
            message.msg_name = &from;
            message.msg_namelen = sizeof from;
            message.msg_iov = &data;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            const ssize_t n = ::recvmsg(listeners[i].get(), &message, MSG_DONTWAIT);
            if (n < 0) break;
            timeval stamp{};
            const cmsghdr* header = CMSG_FIRSTHDR(&message);
            if (header != nullptr && header->cmsg_type == SCM_TIMESTAMP) {
                std::memcpy(&stamp, CMSG_DATA(header), sizeof stamp);
            }
            heard[i].push_back(
                {std::string(buffer, static_cast<size_t>(n)), ntohs(from.sin_port),
                 std::chrono::seconds(stamp.tv_sec) + std::chrono::microseconds(stamp.tv_usec)});
        }
        ASSERT_EQ(heard[i].size(), 2U) << "address " << i;
        EXPECT_EQ(heard[i][0].bytes, std::string("\0\0\0\xF6", 4));
        EXPECT_EQ(heard[i][1].bytes, "LN");
        EXPECT_NE(heard[i][0].sourcePort, port);
        EXPECT_EQ(heard[i][0].sourcePort, heard[i][1].sourcePort);
        EXPECT_GE(heard[i][1].at - heard[i][0].at, 10ms) << "address " << i;
    }
    // Paced, not all at once: the 40th address's first request is planned 3 ms after the first's
    // (sent all at once they would be microseconds apart; the first may itself go out late).
    EXPECT_GE(heard.back()[0].at - heard.front()[0].at, 2ms);
}

TEST(DiscoveryTest, StopEndsSendingAndProbingWithinASecond) {
    Units units;
    sim::UnitFaults silent;
    silent.tcpSilent = true;  // the probe would wait on its receives for seconds
    units.add(20, config(19, "_W", 1, false, silent));
    DiscoveryPlan plan = units.plan(20);
    plan.ranges.push_back({127U << 24 | 94U << 16, 127U << 24 | 94U << 16 | 0xFFFF});  // 6.5 s
    plan.replyWindowMs = 5000;

    Discovery discovery;
    struct : DiscoveryObserver {
        std::promise<void> found;
        void unitFound(const DiscoveredUnit&) override { found.set_value(); }
    } observer;
    auto foundOne = observer.found.get_future();
    auto running = std::async(std::launch::async, [&] { return discovery.run(plan, observer); });
    ASSERT_EQ(foundOne.wait_for(5s), std::future_status::ready);
    std::this_thread::sleep_for(100ms);  // the probe is waiting on the silent unit by now
    const auto stopAt = Clock::now();
    discovery.stop();
    ASSERT_EQ(running.wait_for(3s), std::future_status::ready) << "the search did not stop";
    EXPECT_LT(Clock::now() - stopAt, 1s);
    const DiscoveryReport report = running.get();
    EXPECT_TRUE(report.stopped);
    ASSERT_EQ(report.units.size(), 1U);
    EXPECT_FALSE(report.units[0].probed);  // cut short: neither a result nor a failure
}

TEST(JobPoolTest, ABurstAfterAThreadWentIdleRunsAtOnce) {
    for (int round = 0; round < 3; ++round) {  // when a woken thread runs is the scheduler's say
        JobPool pool(4);
        pool.submit([] {});
        std::this_thread::sleep_for(50ms);  // its thread has gone idle
        std::atomic<int> begun{0};          // each job waits (2 s at most) for all four to begin
        for (int i = 0; i < 4; ++i) {
            pool.submit([&begun] {
                ++begun;
                for (int ms = 0; ms < 2000 && begun < 4; ++ms)
                    std::this_thread::sleep_for(1ms);
                EXPECT_EQ(begun, 4);
            });
        }
        pool.finish();
    }
}

}  // namespace
}  // namespace mervane::fleet
