#include "link/AutoOnOffSettings.h"

#include <algorithm>

namespace mervane {

std::optional<int> intervalMs(int32_t intervalIndex) {
    if (intervalIndex < 0 || intervalIndex >= kIntervalCount) return std::nullopt;
    return IntervalList[static_cast<size_t>(intervalIndex)];
}

std::optional<int32_t> intervalIndexOf(int milliseconds) {
    const auto it = std::find(IntervalList.begin(), IntervalList.end(), milliseconds);
    if (it == IntervalList.end()) return std::nullopt;
    return static_cast<int32_t>(it - IntervalList.begin());
}

}  // namespace mervane
