#include "sim/SimulatedUnit.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "sim/DatagramInbox.h"
#include "sim/OutputCycle.h"
#include "sim/TcpService.h"
#include "sim/UdpService.h"
#include "sim/UnitSockets.h"
#include "sim/UnitState.h"
#include "sim/WakeSignal.h"

namespace mervane::sim {

class SimulatedUnit::Impl {
  public:
    explicit Impl(UnitConfig config)
        : config_(std::move(config)),
          cycle_(UnitIdentity::of(config_).generation4(), UnitIdentity::of(config_).outputCount),
          state_(config_, cycle_) {}

    ~Impl() { stop(); }

    bool start(std::string* error) {
        std::lock_guard lock(lifecycle_);
        std::string reason;
        if (!startLocked(reason)) {
            if (error) *error = reason;
            udp_.reset();
            tcp_.reset();
            inbox_.close();
            wake_.close();
            return false;
        }
        return true;
    }

    void stop() {
        std::lock_guard lock(lifecycle_);
        if (!running_) return;
        wake_.raise();
        udpThread_.join();
        tcpThread_.join();
        udp_.reset();
        tcp_.reset();
        inbox_.close();
        wake_.close();
        cycle_.stop();
        running_ = false;
    }

    uint16_t udpPort() const { return udpPort_; }
    uint16_t tcpPort() const { return tcpPort_; }
    UnitState& state() { return state_; }
    const UnitState& state() const { return state_; }
    DatagramInbox& inbox() { return inbox_; }
    OutputCycle& cycle() { return cycle_; }
    const OutputCycle& cycle() const { return cycle_; }

  private:
    bool startLocked(std::string& reason) {
        if (running_) {
            reason = "the unit is already running";
            return false;
        }
        if (config_.modelIndex < 0 || config_.modelIndex >= kModelCount) {
            reason = "model index " + std::to_string(config_.modelIndex) + " is not 0..31";
            return false;
        }
        if (config_.unitId < 0 || config_.unitId > 15) {
            reason = "unit id " + std::to_string(config_.unitId) + " is not 0..15";
            return false;
        }
        in_addr address{};
        if (!parseIpv4(config_.bindAddress, address)) {
            reason = "\"" + config_.bindAddress + "\" is not an IPv4 address";
            return false;
        }
        if (!wake_.open()) {
            reason = "no eventfd for the unit's threads";
            return false;
        }
        if (!inbox_.open()) {
            reason = "no eventfd for the unit's inbox";
            return false;
        }
        udp_ = std::make_unique<UdpService>(state_, wake_, inbox_);
        tcp_ = std::make_unique<TcpService>(state_, wake_);
        if (!udp_->open(address, config_.udpPort, reason)) return false;
        if (!tcp_->open(address, config_.tcpPort, reason)) return false;
        udpPort_ = udp_->port();
        tcpPort_ = tcp_->port();

        cycle_.start(state_.settings());
        udpThread_ = std::thread([this] { udp_->run(); });
        tcpThread_ = std::thread([this] { tcp_->run(); });
        running_ = true;
        return true;
    }

    const UnitConfig config_;
    OutputCycle cycle_;
    UnitState state_;
    std::mutex lifecycle_;
    bool running_ = false;
    WakeSignal wake_;
    DatagramInbox inbox_;
    std::unique_ptr<UdpService> udp_;
    std::unique_ptr<TcpService> tcp_;
    std::thread udpThread_;
    std::thread tcpThread_;
    std::atomic<uint16_t> udpPort_{0};
    std::atomic<uint16_t> tcpPort_{0};
};

SimulatedUnit::SimulatedUnit(UnitConfig config)
    : impl_(std::make_unique<Impl>(std::move(config))) {}

SimulatedUnit::~SimulatedUnit() = default;

bool SimulatedUnit::start(std::string* error) {
    return impl_->start(error);
}
void SimulatedUnit::stop() {
    impl_->stop();
}

uint16_t SimulatedUnit::udpPort() const {
    return impl_->udpPort();
}
uint16_t SimulatedUnit::tcpPort() const {
    return impl_->tcpPort();
}

void SimulatedUnit::receiveBroadcast(std::span<const uint8_t> datagram, const sockaddr_in& source) {
    impl_->inbox().push(datagram, source);
}

UnitSettingsState SimulatedUnit::settings() const {
    return impl_->state().settings();
}
void SimulatedUnit::setSettings(const UnitSettingsState& settings) {
    impl_->state().setSettings(settings);
}
void SimulatedUnit::setFaults(const UnitFaults& faults) {
    impl_->state().setFaults(faults);
}

std::vector<ReceivedRecord> SimulatedUnit::received() const {
    return impl_->state().received();
}
void SimulatedUnit::clearReceived() {
    impl_->state().clearReceived();
}
bool SimulatedUnit::waitForReceived(size_t count, std::chrono::milliseconds timeout) const {
    return impl_->state().waitForReceived(count, timeout);
}
int SimulatedUnit::connectionsAccepted() const {
    return impl_->state().connectionsAccepted();
}

uint8_t SimulatedUnit::outputs() const {
    return impl_->cycle().outputs();
}
bool SimulatedUnit::waitForOutputs(const std::function<bool(uint8_t)>& predicate,
                                   std::chrono::milliseconds timeout) const {
    return impl_->cycle().waitFor(predicate, timeout);
}

void SimulatedUnit::setOutputObserver(std::function<void(uint8_t outputs)> observer) {
    impl_->cycle().setObserver(std::move(observer));
}
void SimulatedUnit::setReceiveObserver(std::function<void(const ReceivedRecord&)> observer) {
    impl_->state().setReceiveObserver(std::move(observer));
}

std::string hexText(const std::vector<uint8_t>& bytes) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (const uint8_t byte : bytes) {
        if (!text.empty()) text.push_back(' ');
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

}  // namespace mervane::sim
