#include <thread>

#include "link/Clock.h"

namespace mervane {

void SystemClock::pause(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

Clock& systemClock() {
    static SystemClock clock;
    return clock;
}

}  // namespace mervane
