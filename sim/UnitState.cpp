#include "sim/UnitState.h"

namespace mervane::sim {

UnitState::UnitState(const UnitConfig& config, OutputCycle& cycle)
    : identity_(UnitIdentity::of(config)),
      cycle_(cycle),
      settings_(config.initial),
      faults_(config.faults) {}

UnitFaults UnitState::faults() const {
    std::lock_guard lock(mutex_);
    return faults_;
}

void UnitState::setFaults(const UnitFaults& faults) {
    std::lock_guard lock(mutex_);
    faults_ = faults;
}

UnitSettingsState UnitState::settings() const {
    std::lock_guard lock(mutex_);
    return settings_;
}

void UnitState::setSettings(const UnitSettingsState& settings) {
    // The cycle is told under the lock so it sees changes in the order they were made.
    std::lock_guard lock(mutex_);
    settings_ = settings;
    cycle_.apply(settings_);
}

std::optional<std::vector<uint8_t>> UnitState::answer(const TcpRequest& request) {
    std::lock_guard lock(mutex_);
    auto reply = answerRequest(request, identity_, faults_, settings_);
    cycle_.apply(settings_);
    return reply;
}

void UnitState::record(ReceivedRecord received) {
    std::function<void(const ReceivedRecord&)> observer;
    {
        std::lock_guard lock(mutex_);
        received_.push_back(received);
        observer = receiveObserver_;
    }
    receivedChanged_.notify_all();
    if (observer) observer(received);
}

std::vector<ReceivedRecord> UnitState::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

void UnitState::clearReceived() {
    std::lock_guard lock(mutex_);
    received_.clear();
}

bool UnitState::waitForReceived(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return receivedChanged_.wait_for(lock, timeout, [&] { return received_.size() >= count; });
}

void UnitState::setReceiveObserver(std::function<void(const ReceivedRecord&)> observer) {
    std::lock_guard lock(mutex_);
    receiveObserver_ = std::move(observer);
}

int UnitState::acceptConnection() {
    std::lock_guard lock(mutex_);
    return ++connections_;
}

int UnitState::connectionsAccepted() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

}  // namespace mervane::sim
