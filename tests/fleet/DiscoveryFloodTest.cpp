// A search under a flood of replies: garbage of every size from many sources, duplicates, all
// while real units answer. The search must end on time and still list every real unit.

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "fleet/Discovery.h"
#include "link/UniqueFd.h"
#include "sim/SimulatedUnit.h"
#include "sim/UnitSockets.h"

namespace mervane::fleet {
namespace {

using namespace std::chrono_literals;

constexpr uint32_t kUnits = 127U << 24 | 96U << 8;    // 127.0.96.0/24: real units, the flooder
constexpr uint32_t kSources = 127U << 24 | 97U << 8;  // 127.0.97.0/24: the flood's sources
constexpr int kFloodSources = 120;

UniqueFd boundSocket(uint32_t hostOrder, uint16_t port) {
    std::string error;
    return sim::openUdpSocket(in_addr{htonl(hostOrder)}, port, error);
}

// Listens where a unit would; each request it hears sets off a burst of datagrams of every size
// up to 1500 bytes from many sources, each source several times, back to the asker.
class Flooder {
  public:
    explicit Flooder(uint16_t port) : listener_(boundSocket(kUnits | 200, port)) {
        for (int i = 1; i <= kFloodSources; ++i)
            sources_.push_back(boundSocket(kSources | static_cast<uint32_t>(i), 0));
        thread_ = std::thread([this] { run(); });
    }
    ~Flooder() {
        stop_ = true;
        thread_.join();
    }
    size_t sent() const { return sent_; }

  private:
    void run() {
        std::mt19937 random(7);
        std::vector<uint8_t> garbage(1500);
        while (!stop_) {
            pollfd entry{listener_.get(), POLLIN, 0};
            if (::poll(&entry, 1, 20) <= 0) continue;
            uint8_t request[16];
            sockaddr_in asker{};
            socklen_t length = sizeof asker;
            if (::recvfrom(listener_.get(), request, sizeof request, 0,
                           reinterpret_cast<sockaddr*>(&asker), &length) < 0) {
                continue;
            }
            for (int burst = 0; burst < 1500; ++burst) {
                for (uint8_t& b : garbage)
                    b = static_cast<uint8_t>(random());
                const size_t size = random() % 4 == 0 ? random() % 31 : random() % 1501;
                const UniqueFd& from = sources_[random() % sources_.size()];
                if (::sendto(from.get(), garbage.data(), size, 0,
                             reinterpret_cast<sockaddr*>(&asker), length) >= 0) {
                    ++sent_;
                }
            }
        }
    }

    UniqueFd listener_;
    std::vector<UniqueFd> sources_;
    std::atomic<bool> stop_{false};
    std::atomic<size_t> sent_{0};
    std::thread thread_;
};

TEST(DiscoveryFloodTest, AFloodOfGarbageEndsOnTimeAndEveryRealUnitIsStillListed) {
    std::vector<std::unique_ptr<sim::SimulatedUnit>> units;
    uint16_t udpPort = 0;
    uint16_t tcpPort = 0;
    for (uint32_t host : {10U, 20U, 30U}) {
        sim::UnitConfig config;
        config.bindAddress = "127.0.96." + std::to_string(host);
        config.udpPort = udpPort;
        config.tcpPort = tcpPort;
        units.push_back(std::make_unique<sim::SimulatedUnit>(config));
        ASSERT_TRUE(units.back()->start());
        udpPort = units.back()->udpPort();
        tcpPort = units.back()->tcpPort();
    }
    Flooder flooder(udpPort);

    DiscoveryPlan plan;
    plan.ranges = {{kUnits, kUnits | 255}};
    plan.identificationPort = udpPort;
    plan.tcpPort = tcpPort;
    plan.replyWindowMs = 300;
    plan.probe = false;  // the flood's sources would each cost a probe time-out
    DiscoveryObserver quiet;
    const auto start = std::chrono::steady_clock::now();
    const DiscoveryReport report = Discovery().run(plan, quiet);
    // 26 ms of sending and 300 ms of replies; a flood must not stretch that.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);

    ASSERT_GT(flooder.sent(), 100U);  // a slow (sanitized) build floods less within the window
    EXPECT_GT(report.oversizedReplies, 0U);
    // Every real unit, and no source twice: at most the flood's sources besides them.
    size_t real = 0;
    for (const DiscoveredUnit& unit : report.units) {
        const uint32_t address = unit.hostOrderAddress();
        if (address == (kUnits | 10) || address == (kUnits | 20) || address == (kUnits | 30)) {
            ++real;
            EXPECT_EQ(unit.typeCode, (std::array<char, 2>{'_', 'W'}));
        }
    }
    EXPECT_EQ(real, 3U);
    EXPECT_LE(report.units.size(), 3U + kFloodSources);
}

}  // namespace
}  // namespace mervane::fleet
