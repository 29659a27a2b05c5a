#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "link/TraceEvent.h"

namespace mervane {

// One trace event as one line (no newline): the time in seconds since the first event, the
// unit's address, udp or tcp, the direction (-> out, <- in, .. neither), the command's name, and
// what happened: the bytes in hex and printable, a time-out, an error number, a count...
// With `json`, the same as one JSON object per line. Not thread-safe.
class TraceFormatter {
  public:
    explicit TraceFormatter(bool json) : json_(json) {}
    std::string line(const TraceEvent& event);
    // The next event is time 0 again.
    void restart() { origin_.reset(); }

  private:
    double secondsSinceOrigin(std::chrono::steady_clock::time_point at);

    bool json_;
    std::optional<std::chrono::steady_clock::time_point> origin_;
};

// A sink that formats every event and hands its line to `write`, one line at a time and in the
// order the events were recorded, whichever links and threads record them. `write` runs under the
// sink's lock and must not record into this sink.
class TraceLineSink final : public TraceSink {
  public:
    using LineWriter = std::function<void(const std::string& line)>;
    TraceLineSink(bool json, LineWriter write) : formatter_(json), write_(std::move(write)) {}

    void record(const TraceEvent& event) override;
    // The next event is time 0 again. `alongside` runs under the sink's lock, so that no event is
    // formatted between the two (it must not record into this sink either).
    void restart(const std::function<void()>& alongside = {});

  private:
    std::mutex mutex_;
    TraceFormatter formatter_;
    LineWriter write_;
};

}  // namespace mervane
