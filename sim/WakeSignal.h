#pragma once

#include <chrono>

#include "link/UniqueFd.h"

namespace mervane::sim {

// A level-triggered "stop now" flag that poll() can wait on next to sockets. Once raised it
// stays raised, so every thread waiting on it (now or later) returns.
class WakeSignal {
  public:
    // False when no eventfd could be made.
    bool open();
    // Closes the eventfd; only once no thread waits on it any more.
    void close() { fd_.reset(); }
    void raise();
    bool raised() const;
    int fd() const { return fd_.get(); }

    // Sleeps for `duration` unless raised first. True when the full time passed.
    bool pause(std::chrono::milliseconds duration) const;

  private:
    UniqueFd fd_;
};

}  // namespace mervane::sim
