#include "bench/RequestTimes.h"

#include <algorithm>
#include <limits>

#include "bench/Measure.h"

namespace mervane::bench {

RequestTimes::RequestTimes(size_t units) : first_(units), last_(units) {}

void RequestTimes::received(size_t unit) {
    if (unit >= first_.size()) return;
    const int64_t now = monotonicNs();
    int64_t none = 0;
    first_[unit].compare_exchange_strong(none, now, std::memory_order_relaxed);
    last_[unit].store(now, std::memory_order_relaxed);
}

void RequestTimes::clear() {
    for (size_t u = 0; u < first_.size(); ++u) {
        first_[u].store(0, std::memory_order_relaxed);
        last_[u].store(0, std::memory_order_relaxed);
    }
}

RequestTimes::Span RequestTimes::since(int64_t startNs, size_t count) const {
    int64_t first = std::numeric_limits<int64_t>::max();
    int64_t lastUnitFirst = 0;
    int64_t last = 0;
    Span span;
    span.everyUnit = count <= first_.size();
    for (size_t u = 0; u < std::min(count, first_.size()); ++u) {
        const int64_t unitFirst = first_[u].load(std::memory_order_relaxed);
        if (unitFirst == 0) span.everyUnit = false;
        first = std::min(first, unitFirst);
        lastUnitFirst = std::max(lastUnitFirst, unitFirst);
        last = std::max(last, last_[u].load(std::memory_order_relaxed));
    }
    const auto ms = [startNs](int64_t ns) { return static_cast<double>(ns - startNs) / 1e6; };
    if (span.everyUnit) {
        span.firstMs = ms(first);
        span.lastUnitFirstMs = ms(lastUnitFirst);
        span.lastMs = ms(last);
    }
    return span;
}

}  // namespace mervane::bench
