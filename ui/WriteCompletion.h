#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace mervane {

// Waits, on the calling thread, while `running()` is true and the unit keeps answering: returns
// once `running()` is false, or once `progress()` (bytes the unit has sent) has not moved for
// `silence`. For the window's closing: a write sequence under way is let finish, so that no unit
// is left half-written, while a unit that has stopped answering is given up on.
void waitWhileAnswering(const std::function<bool()>& running,
                        const std::function<uint64_t()>& progress,
                        std::chrono::milliseconds silence);

}  // namespace mervane
