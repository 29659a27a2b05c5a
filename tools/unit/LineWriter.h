#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mervane::unit {

// Whole lines to stdout from a thread of its own, so that the units' threads that log never
// wait for a slow terminal or pipe. At most kCapacity lines wait; past that, lines are dropped
// and counted, and the count is printed as soon as there is room again.
//
// Thread-safe: line() from any thread. Lines given before start() wait (within the bound) and
// come out after whatever the caller printed itself until then.
class LineWriter {
  public:
    static constexpr size_t kCapacity = 20000;

    LineWriter() = default;
    ~LineWriter();  // stops
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    void start();
    void line(std::string text);
    // Writes what waits (the lines given meanwhile too), then joins the thread. Lines given
    // after it are dropped. Idempotent.
    void stop();

  private:
    void run();

    std::mutex mutex_;
    std::condition_variable waiting_;
    std::vector<std::string> lines_;
    size_t dropped_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace mervane::unit
