#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "sim/OutputCycle.h"
#include "sim/SimulatedUnit.h"
#include "sim/UnitProtocol.h"

namespace mervane::sim {

// Everything the unit's threads share: settings, faults, the record of requests and the
// connection count, behind one lock. Settings changes are passed on to the output cycle.
class UnitState {
  public:
    UnitState(const UnitConfig& config, OutputCycle& cycle);

    const UnitIdentity& identity() const { return identity_; }

    UnitFaults faults() const;
    void setFaults(const UnitFaults& faults);
    UnitSettingsState settings() const;
    void setSettings(const UnitSettingsState& settings);

    // Applies a TCP request; the reply bytes or nothing when the unit stays silent.
    std::optional<std::vector<uint8_t>> answer(const TcpRequest& request);

    // Appends to the record and tells the observer (outside the lock).
    void record(ReceivedRecord received);
    std::vector<ReceivedRecord> received() const;
    void clearReceived();
    bool waitForReceived(size_t count, std::chrono::milliseconds timeout) const;
    void setReceiveObserver(std::function<void(const ReceivedRecord&)> observer);

    // Counts an accepted connection and returns its number (1, 2, ...).
    int acceptConnection();
    int connectionsAccepted() const;

  private:
    const UnitIdentity identity_;
    OutputCycle& cycle_;
    mutable std::mutex mutex_;
    mutable std::condition_variable receivedChanged_;
    UnitSettingsState settings_;
    UnitFaults faults_;
    std::vector<ReceivedRecord> received_;
    std::function<void(const ReceivedRecord&)> receiveObserver_;
    int connections_ = 0;
};

}  // namespace mervane::sim
