#include "fleet/Discovery.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

#include "fleet/JobPool.h"
#include "fleet/ReplyCollector.h"
#include "fleet/RequestSweep.h"
#include "fleet/StopFlag.h"
#include "fleet/UnitProbe.h"
#include "link/DeviceLink.h"
#include "link/LinkTrace.h"
#include "link/SocketOps.h"
#include "link/StopSignal.h"

namespace mervane::fleet {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kReceivePollMs = 100;  // how often the receiver looks at the clock and the stop
constexpr size_t kReadsPerWake = 1024;
// A first reply is at most 30 bytes; a little more is read only to be told apart from it.
constexpr size_t kDatagramBuffer = 64;

}  // namespace

class Discovery::State {
  public:
    StopFlag flag;          // ends the sender's sleeps and the receiver's loop
    StopSignal socketStop;  // shuts the search socket down in the middle of a wait

    // A probe's link, stopped with the search; one registered after the stop is stopped at once.
    void enlist(DeviceLink& link) {
        std::lock_guard lock(mutex_);
        if (flag.requested()) link.stopSignal().request();
        probing_.push_back(&link);
    }
    void discharge(DeviceLink& link) {
        std::lock_guard lock(mutex_);
        std::erase(probing_, &link);
    }
    void stopAll() {
        std::lock_guard lock(mutex_);
        flag.request();
        socketStop.request();
        for (DeviceLink* link : probing_)
            link->stopSignal().request();
    }

  private:
    std::mutex mutex_;
    std::vector<DeviceLink*> probing_;
};

namespace {

// Hands the observer one call at a time, whichever thread makes it.
class SerialObserver {
  public:
    explicit SerialObserver(DiscoveryObserver& observer) : observer_(observer) {}

    void found(const DiscoveredUnit& unit) {
        std::lock_guard lock(mutex_);
        observer_.unitFound(unit);
    }
    void probed(const DiscoveredUnit& unit) {
        std::lock_guard lock(mutex_);
        observer_.unitProbed(unit);
    }
    void sent(size_t done, size_t total) {
        std::lock_guard lock(mutex_);
        observer_.requestsSent(done, total);
    }

  private:
    std::mutex mutex_;
    DiscoveryObserver& observer_;
};

// The probes' results by the unit's place in the collector, filled in as they end.
class ProbeResults {
  public:
    void put(size_t index, DiscoveredUnit unit) {
        std::lock_guard lock(mutex_);
        results_[index] = std::move(unit);
    }
    void mergeInto(std::vector<DiscoveredUnit>& units) {
        std::lock_guard lock(mutex_);
        for (auto& [index, unit] : results_)
            units[index] = std::move(unit);
    }

  private:
    std::mutex mutex_;
    std::map<size_t, DiscoveredUnit> results_;
};

}  // namespace

Discovery::Discovery() : state_(std::make_unique<State>()) {}

Discovery::~Discovery() = default;

void Discovery::stop() {
    state_->stopAll();
}

DiscoveryReport Discovery::run(const DiscoveryPlan& plan, DiscoveryObserver& observer) {
    DiscoveryReport report;
    State& state = *state_;
    if (state.flag.requested()) {
        report.stopped = true;
        return report;
    }
    const UniqueFd socket = openSearchSocket(plan.localAddress, plan.identificationPort,
                                             !plan.broadcasts.empty(), report.failure);
    if (!socket.valid()) return report;
    const int fd = socket.get();
    StopWatchGuard watching(state.socketStop, fd);

    SerialObserver serial(observer);
    ProbeResults results;
    JobPool probes(std::clamp(plan.jobs, 1, kMaxJobs));
    const int32_t identTimeoutMs = std::max(plan.replyWindowMs, 1);

    // The sender runs beside the receiver, so that replies are read while requests still go out.
    const DestinationList destinations(plan.broadcasts, plan.ranges);
    std::atomic<bool> sending{true};
    std::atomic<Clock::rep> lastRequest{0};
    std::thread sender;
    try {
        sender = std::thread([&] {
            sendSearchRequests(
                fd, destinations, plan.identificationPort, state.flag,
                [&](size_t done) { serial.sent(done, destinations.size()); }, plan.trace);
            lastRequest.store(Clock::now().time_since_epoch().count());
            sending.store(false);
        });
    } catch (const std::system_error&) {
        report.failure = "cannot start the search's sending thread";
        return report;
    }

    ReplyCollector collector;
    std::array<uint8_t, kDatagramBuffer> buffer{};
    while (!state.flag.requested()) {
        int waitMs = kReceivePollMs;
        if (!sending.load()) {
            const auto deadline = Clock::time_point(Clock::duration(lastRequest.load())) +
                                  std::chrono::milliseconds(plan.replyWindowMs);
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) break;
            waitMs = static_cast<int>(std::min<long long>(left, kReceivePollMs));
        }
        if (pollFor(fd, POLLIN, waitMs) <= 0) continue;
        for (size_t read = 0; read < kReadsPerWake && !state.flag.requested(); ++read) {
            sockaddr_in source{};
            socklen_t length = sizeof source;
            // MSG_TRUNC gives the real length, so an oversized datagram is told apart.
            const ssize_t n = ::recvfrom(fd, buffer.data(), buffer.size(), MSG_TRUNC | MSG_DONTWAIT,
                                         reinterpret_cast<sockaddr*>(&source), &length);
            if (n < 0) break;
            if (length < sizeof source || source.sin_family != AF_INET) continue;
            const size_t size = static_cast<size_t>(n);
            if (plan.trace != nullptr) {
                reportDatagram(*plan.trace, TraceKind::kDatagramReceived, fd, source,
                               std::span(buffer).first(std::min(size, buffer.size())), size);
            }
            const auto verdict = collector.take(
                source, std::span(buffer).first(std::min(size, buffer.size())), size);
            if (verdict != ReplyCollector::Verdict::kNewUnit) continue;
            const size_t index = collector.units().size() - 1;
            const DiscoveredUnit found = collector.units().back();
            serial.found(found);
            if (!plan.probe) continue;
            probes.submit([&state, &serial, &results, &plan, found, index, identTimeoutMs] {
                DeviceLink link;
                link.setLocalBindAddress(plan.localAddress);
                link.trace().setSink(plan.trace);
                state.enlist(link);
                DiscoveredUnit unit = found;
                probeFoundUnit(link, unit, identTimeoutMs, plan.tcpPort);
                state.discharge(link);
                if (!unit.probed) return;  // cut short by a stop
                serial.probed(unit);
                results.put(index, std::move(unit));
            });
        }
    }
    sender.join();
    if (state.flag.requested()) probes.abandon();
    probes.finish();

    report.stopped = state.flag.requested();
    report.units = collector.units();
    results.mergeInto(report.units);
    std::sort(report.units.begin(), report.units.end(),
              [](const DiscoveredUnit& a, const DiscoveredUnit& b) {
                  return a.hostOrderAddress() < b.hostOrderAddress();
              });
    report.oversizedReplies = collector.oversized();
    report.repliesBeyondCap = collector.beyondCap();
    return report;
}

}  // namespace mervane::fleet
