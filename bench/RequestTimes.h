#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace mervane::bench {

// When each unit of a plant received its first and its last request of a run (monotonicNs()),
// told by the plant's receive observer.
//
// Thread: received() from any thread, never blocking; clear() and since() from the owner's,
// while no request arrives.
class RequestTimes {
  public:
    explicit RequestTimes(size_t units);

    void received(size_t unit);
    void clear();

    // Of units 0..count-1, in ms after `startNs`.
    struct Span {
        bool everyUnit = false;      // every one of them received a request
        double firstMs = 0;          // the first request any of them received
        double lastUnitFirstMs = 0;  // the latest of their first requests
        double lastMs = 0;           // the last request any of them received
    };
    Span since(int64_t startNs, size_t count) const;

  private:
    std::vector<std::atomic<int64_t>> first_;  // 0: none yet
    std::vector<std::atomic<int64_t>> last_;
};

}  // namespace mervane::bench
