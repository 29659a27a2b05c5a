#include "sim/WakeSignal.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace mervane::sim {

bool WakeSignal::open() {
    fd_.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    return fd_.valid();
}

void WakeSignal::raise() {
    const uint64_t one = 1;
    // A full counter still reads as raised, so a failed write loses nothing.
    [[maybe_unused]] ssize_t written = ::write(fd_.get(), &one, sizeof one);
}

bool WakeSignal::raised() const {
    pollfd entry{fd_.get(), POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0;
}

bool WakeSignal::pause(std::chrono::milliseconds duration) const {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + duration;
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return !raised();
        pollfd entry{fd_.get(), POLLIN, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left));
        if (ready > 0) return false;
        if (ready < 0 && errno != EINTR) return false;
    }
}

}  // namespace mervane::sim
