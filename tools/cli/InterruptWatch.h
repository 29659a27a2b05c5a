#pragma once

#include <thread>

#include "fleet/Interruption.h"
#include "link/UniqueFd.h"

namespace mervane::cli {

// Turns Ctrl+C and SIGTERM into requests on an Interruption. Create it first in main(), before
// any other thread: it blocks both signals in the calling thread (and so in every thread started
// later) and takes them on a thread of its own. The first signal is requested; when nothing is
// being written and the interruption ends at once when idle, or on a second signal, the process
// ends with the signal's default action, as it would without the watch.
class InterruptWatch {
  public:
    explicit InterruptWatch(fleet::Interruption& interruption);
    ~InterruptWatch();  // stops the thread; the signals stay blocked until the process ends
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

  private:
    void watch();

    fleet::Interruption& interruption_;
    UniqueFd signals_;
    UniqueFd wake_;  // an eventfd written by the destructor
    std::thread thread_;
};

}  // namespace mervane::cli
