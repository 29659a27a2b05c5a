#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "sim/SimulatedUnit.h"

namespace mervane::sim {

using CycleClock = std::chrono::steady_clock;

// When each output switches, as a pure function of the settings and the time: no thread, no
// clock of its own.
class OutputSchedule {
  public:
    OutputSchedule(bool generation4, int outputCount);

    // Starts over at `now`: every enabled output of an active unit goes on.
    void restart(const UnitSettingsState& settings, CycleClock::time_point now);
    // Switches every output whose time has come by `now`.
    void advance(CycleClock::time_point now);

    uint8_t outputs() const { return outputs_; }
    // The earliest pending switch, or nothing while no output is cycling.
    std::optional<CycleClock::time_point> nextDeadline() const;

    // Milliseconds of a common-interval index; nothing beyond the list.
    static std::optional<std::chrono::milliseconds> intervalLength(uint8_t index);

  private:
    bool generation4_;
    uint8_t present_;
    uint8_t outputs_ = 0;
    std::array<std::optional<CycleClock::time_point>, 8> deadline_{};
    std::array<std::chrono::milliseconds, 8> onFor_{};
    std::array<std::chrono::milliseconds, 8> offFor_{};
};

// Runs the schedule on its own thread: sleeps until the next switch or a settings change.
class OutputCycle {
  public:
    OutputCycle(bool generation4, int outputCount);
    ~OutputCycle();
    OutputCycle(const OutputCycle&) = delete;
    OutputCycle& operator=(const OutputCycle&) = delete;

    void start(const UnitSettingsState& settings);
    void stop();

    // Restarts the cycle when anything it depends on changed.
    void apply(const UnitSettingsState& settings);

    uint8_t outputs() const;
    bool waitFor(const std::function<bool(uint8_t)>& predicate,
                 std::chrono::milliseconds timeout) const;
    void setObserver(std::function<void(uint8_t)> observer);

  private:
    void run();
    // Makes the schedule's outputs visible and tells the observer. Called with `lock` held;
    // releases it around the observer call.
    void publish(std::unique_lock<std::mutex>& lock);

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    mutable std::condition_variable outputsChanged_;
    OutputSchedule schedule_;
    UnitSettingsState settings_{};
    bool restartPending_ = false;
    bool stopping_ = false;
    uint8_t published_ = 0;
    std::function<void(uint8_t)> observer_;
    std::thread thread_;
};

}  // namespace mervane::sim
