#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace mervane::fleet {

// A stop request that also ends the sleeps of whoever waits on it. Thread-safe.
class StopFlag {
  public:
    void request() {
        {
            std::lock_guard lock(mutex_);
            requested_ = true;
        }
        changed_.notify_all();
    }

    bool requested() const {
        std::lock_guard lock(mutex_);
        return requested_;
    }

    // Sleeps until `when`; false when a stop was requested before or meanwhile.
    bool sleepUntil(std::chrono::steady_clock::time_point when) {
        std::unique_lock lock(mutex_);
        changed_.wait_until(lock, when, [this] { return requested_; });
        return !requested_;
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool requested_ = false;
};

}  // namespace mervane::fleet
