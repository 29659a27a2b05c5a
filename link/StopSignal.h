#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

namespace mervane {

// Lets another thread end a running connection attempt promptly. The attempt's sockets are
// watched while they are open; a stop request shuts every watched socket down, which makes a
// blocked connect, poll, send or receive on it return at once, and each step of the attempt
// checks requested() before it starts. Sockets watched after the request are shut down as they
// are watched, so no step can begin a fresh wait.
//
// Thread-safe. unwatch() must run before the descriptor is closed, so that a stop request never
// touches a descriptor number the system has already handed out again.
class StopSignal {
  public:
    void request();
    // Makes the signal ready for the next attempt. Only call it while no attempt runs.
    void clear();
    bool requested() const { return requested_.load(); }

    void watch(int fd);
    void unwatch(int fd);
    // A wait that no socket can end (a lookup) is woken by calling `wake`, under the signal's
    // lock, on a request (at once when one was made before). unwatch() before `wake` goes.
    void watch(const std::function<void()>* wake);
    void unwatch(const std::function<void()>* wake);

  private:
    mutable std::mutex mutex_;
    std::atomic<bool> requested_{false};
    std::vector<int> watched_;
    std::vector<const std::function<void()>*> wakers_;
};

// Watches one descriptor for as long as it lives. Declare it after the object that owns the
// descriptor, so that it is destroyed (and the descriptor unwatched) first.
class StopWatchGuard {
  public:
    StopWatchGuard(StopSignal& signal, int fd) : signal_(signal), fd_(fd) { signal_.watch(fd_); }
    ~StopWatchGuard() { signal_.unwatch(fd_); }
    StopWatchGuard(const StopWatchGuard&) = delete;
    StopWatchGuard& operator=(const StopWatchGuard&) = delete;

  private:
    StopSignal& signal_;
    int fd_;
};

// Has `wake` called on a stop request for as long as it lives.
class StopWakeGuard {
  public:
    StopWakeGuard(StopSignal& signal, std::function<void()> wake)
        : signal_(signal), wake_(std::move(wake)) {
        signal_.watch(&wake_);
    }
    ~StopWakeGuard() { signal_.unwatch(&wake_); }
    StopWakeGuard(const StopWakeGuard&) = delete;
    StopWakeGuard& operator=(const StopWakeGuard&) = delete;

  private:
    StopSignal& signal_;
    std::function<void()> wake_;
};

}  // namespace mervane
