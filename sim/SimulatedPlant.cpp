#include "sim/SimulatedPlant.h"

#include <arpa/inet.h>

#include <atomic>

#include "link/ModelTable.h"
#include "sim/BroadcastListener.h"
#include "sim/UnitSockets.h"

namespace mervane::sim {

std::optional<std::vector<UnitConfig>> plantUnitConfigs(const PlantConfig& config,
                                                        std::string& error) {
    if (config.count < 1 || config.count > kMaxPlantUnits) {
        error = "a plant has 1 to " + std::to_string(kMaxPlantUnits) + " units, not " +
                std::to_string(config.count);
        return std::nullopt;
    }
    in_addr first{};
    if (!parseIpv4(config.first.bindAddress, first)) {
        error = "\"" + config.first.bindAddress + "\" is not an IPv4 address";
        return std::nullopt;
    }
    const uint32_t base = ntohl(first.s_addr);
    if (base == INADDR_ANY && config.count > 1) {
        error = "units of a plant need addresses of their own, not 0.0.0.0";
        return std::nullopt;
    }
    const auto count = static_cast<uint32_t>(config.count);
    if (base > UINT32_MAX - (count - 1)) {
        error = std::to_string(count) + " addresses from " + config.first.bindAddress +
                " run past 255.255.255.255";
        return std::nullopt;
    }
    in_addr broadcast{};
    if (!config.broadcastAddress.empty() && !parseIpv4(config.broadcastAddress, broadcast)) {
        error = "\"" + config.broadcastAddress + "\" is not an IPv4 broadcast address";
        return std::nullopt;
    }

    std::vector<UnitConfig> units;
    units.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        UnitConfig unit = config.first;
        in_addr address{};
        address.s_addr = htonl(base + i);
        unit.bindAddress = dottedAddress(address);
        unit.unitId = static_cast<int>((static_cast<uint32_t>(config.first.unitId) + i) % 16);
        if (config.variety) {
            const UnitKind& kind = kVarietyCycle[i % kVarietyCycle.size()];
            unit.typeCode = kind.typeCode;
            unit.modelIndex = kind.modelIndex;
            unit.initial.active = (unit.initial.active != 0 || kind.active) ? 1 : 0;
            const int outputs = modelRow(kind.modelIndex).outputCount;
            unit.initial.enableMask =
                static_cast<uint8_t>(unit.initial.enableMask & ((1U << outputs) - 1U));
        }
        units.push_back(std::move(unit));
    }
    return units;
}

class SimulatedPlant::Impl {
  public:
    explicit Impl(PlantConfig config) : config_(std::move(config)) {}
    ~Impl() { stop(); }

    bool start(std::string& error) {
        if (!units_.empty()) {
            error = "the plant was started already";
            return false;
        }
        auto configs = plantUnitConfigs(config_, error);
        if (!configs) return false;
        configs_ = std::move(*configs);
        if (!startUnits(error) || !startListener(error)) {
            stop();
            return false;
        }
        return true;
    }

    void stop() {
        // The listener first, so that no broadcast is handed to a unit being stopped.
        listener_.stop();
        for (const auto& unit : units_) {
            unit->stop();
        }
    }

    size_t size() const { return started_.load(); }
    SimulatedUnit& unit(size_t index) { return *units_.at(index); }
    const SimulatedUnit& unit(size_t index) const { return *units_.at(index); }
    const UnitConfig& unitConfig(size_t index) const { return configs_.at(index); }
    std::string broadcastAddress() const { return broadcastAddress_; }

    std::function<void(size_t, const ReceivedRecord&)> receiveObserver;

  private:
    bool startUnits(std::string& error) {
        units_.reserve(configs_.size());
        for (size_t i = 0; i < configs_.size(); ++i) {
            UnitConfig& config = configs_[i];
            if (i > 0) {
                // A port 0 was given to the first unit to choose; every other unit takes it.
                config.udpPort = configs_[0].udpPort;
                config.tcpPort = configs_[0].tcpPort;
            }
            units_.push_back(std::make_unique<SimulatedUnit>(config));
            SimulatedUnit& unit = *units_.back();
            if (receiveObserver) {
                unit.setReceiveObserver(
                    [this, i](const ReceivedRecord& record) { receiveObserver(i, record); });
            }
            std::string reason;
            if (!unit.start(&reason)) {
                error = config.bindAddress + ": " + reason;
                return false;
            }
            config.udpPort = unit.udpPort();
            config.tcpPort = unit.tcpPort();
        }
        started_ = units_.size();
        return true;
    }

    bool startListener(std::string& error) {
        in_addr first{};
        parseIpv4(configs_[0].bindAddress, first);
        std::optional<in_addr> broadcast;
        if (!config_.broadcastAddress.empty()) {
            in_addr named{};
            parseIpv4(config_.broadcastAddress, named);
            broadcast = named;
        } else if (first.s_addr == htonl(INADDR_ANY)) {
            return true;
        } else {
            broadcast = subnetBroadcast(first);
            if (!broadcast) {
                error = "no interface with a broadcast address holds " + configs_[0].bindAddress;
                return false;
            }
        }
        const bool listening = listener_.start(
            *broadcast, configs_[0].udpPort,
            [this](std::span<const uint8_t> datagram, const sockaddr_in& source) {
                for (const auto& unit : units_) {
                    unit->receiveBroadcast(datagram, source);
                }
            },
            error);
        if (listening) broadcastAddress_ = dottedAddress(*broadcast);
        return listening;
    }

    const PlantConfig config_;
    std::vector<UnitConfig> configs_;
    std::vector<std::unique_ptr<SimulatedUnit>> units_;  // at most kMaxPlantUnits
    std::atomic<size_t> started_{0};
    BroadcastListener listener_;
    std::string broadcastAddress_;
};

SimulatedPlant::SimulatedPlant(PlantConfig config)
    : impl_(std::make_unique<Impl>(std::move(config))) {}

SimulatedPlant::~SimulatedPlant() = default;

void SimulatedPlant::setReceiveObserver(
    std::function<void(size_t unit, const ReceivedRecord&)> observer) {
    impl_->receiveObserver = std::move(observer);
}

bool SimulatedPlant::start(std::string* error) {
    std::string reason;
    const bool started = impl_->start(reason);
    if (!started && error) *error = reason;
    return started;
}
void SimulatedPlant::stop() {
    impl_->stop();
}

size_t SimulatedPlant::size() const {
    return impl_->size();
}
SimulatedUnit& SimulatedPlant::unit(size_t index) {
    return impl_->unit(index);
}
const SimulatedUnit& SimulatedPlant::unit(size_t index) const {
    return impl_->unit(index);
}
const UnitConfig& SimulatedPlant::unitConfig(size_t index) const {
    return impl_->unitConfig(index);
}
uint16_t SimulatedPlant::udpPort() const {
    return size() > 0 ? unitConfig(0).udpPort : 0;
}
uint16_t SimulatedPlant::tcpPort() const {
    return size() > 0 ? unitConfig(0).tcpPort : 0;
}
std::string SimulatedPlant::broadcastAddress() const {
    return impl_->broadcastAddress();
}

}  // namespace mervane::sim
