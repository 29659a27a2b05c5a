#include "ui/WriteCompletion.h"

#include <thread>

namespace mervane {

void waitWhileAnswering(const std::function<bool()>& running,
                        const std::function<uint64_t()>& progress,
                        std::chrono::milliseconds silence) {
    using Clock = std::chrono::steady_clock;
    uint64_t seen = progress();
    Clock::time_point lastAnswer = Clock::now();
    while (running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (const uint64_t now = progress(); now != seen) {
            seen = now;
            lastAnswer = Clock::now();
        } else if (Clock::now() - lastAnswer >= silence) {
            return;
        }
    }
}

}  // namespace mervane
