#include "bench/ReplayAtOnce.h"

#include <latch>
#include <system_error>
#include <thread>

#include "bench/ExchangeReplay.h"
#include "bench/Measure.h"

namespace mervane::bench {

std::optional<double> replayAtOnce(const std::vector<UnitConversation>& units, uint16_t udpPort,
                                   uint16_t tcpPort, std::string& error) {
    std::vector<ReplayResult> results(units.size());
    std::latch letGo(1);
    std::vector<std::thread> threads;
    int64_t start = 0;
    try {
        for (size_t u = 0; u < units.size(); ++u) {
            threads.emplace_back([&, u] {
                letGo.wait();
                results[u] = replayConnect(units[u].records, udpPort, tcpPort, units[u].address);
            });
        }
        start = monotonicNs();
    } catch (const std::system_error&) {
        error = "cannot start a replay thread";
    }
    // Started or not, every thread waits to be let go and must be joined.
    letGo.count_down();
    for (std::thread& thread : threads)
        thread.join();
    const double elapsedMs = static_cast<double>(monotonicNs() - start) / 1e6;
    if (!error.empty()) return std::nullopt;
    for (const ReplayResult& result : results) {
        if (!result.ok) {
            error = result.error;
            return std::nullopt;
        }
    }
    return elapsedMs;
}

}  // namespace mervane::bench
