#pragma once

#include <mutex>
#include <string>

namespace mervane::unit {

// "12:34:56.789", the local time of day to the millisecond, for log lines.
std::string clockText();

// Whole lines to stdout, one thread at a time, flushed at once so pipes see them live. The
// caller waits while the terminal or pipe is slow: fit for one unit's log.
class Console {
  public:
    void line(const std::string& text);
    void stamped(const std::string& text) { line(clockText() + " " + text); }

    // Runs `body` with the console to itself; inside, print with writeStamped().
    template <typename Body>
    void locked(Body body) {
        std::lock_guard lock(mutex_);
        body(*this);
    }
    void writeStamped(const std::string& text) { write(clockText() + " " + text); }

  private:
    static void write(const std::string& text);

    std::mutex mutex_;
};

}  // namespace mervane::unit
