#pragma once

#include <mutex>
#include <vector>

#include "link/StopSignal.h"

namespace mervane::fleet {

// What Ctrl+C or SIGTERM asks of a command: units not yet written to are left alone, and a unit
// being written to is finished (with its check) so that none is left half-written. The signal
// side calls request(); each unit's work watches its link's stop signal and brackets its writing
// with beginWriting()/endWriting(). Thread-safe.
class Interruption {
  public:
    // Stops every watched link that is not writing, and makes later beginWriting() calls fail.
    // True when no unit is being written, so that nothing is lost by ending at once.
    bool request();
    bool requested() const;

    // Whether the process may simply end on a request while nothing is being written: a single
    // unit, or a command that writes nothing, ends as the default signal action ends it.
    void setEndsAtOnceWhenIdle(bool endsAtOnce);
    bool endsAtOnceWhenIdle() const;

    void watch(StopSignal& link);
    void unwatch(StopSignal& link);
    // False (and nothing may be written) once a request came; the link is then no longer stopped
    // by a request until endWriting().
    bool beginWriting(StopSignal& link);
    void endWriting(StopSignal& link);

  private:
    struct Watched {
        StopSignal* link;
        bool writing;
    };

    mutable std::mutex mutex_;
    bool requested_ = false;
    bool endsAtOnceWhenIdle_ = true;
    std::vector<Watched> watched_;
};

// Watches one link's stop signal for as long as it lives (nothing when `interruption` is null).
class InterruptionWatchGuard {
  public:
    InterruptionWatchGuard(Interruption* interruption, StopSignal& link)
        : interruption_(interruption), link_(link) {
        if (interruption_ != nullptr) interruption_->watch(link_);
    }
    ~InterruptionWatchGuard() {
        if (interruption_ != nullptr) interruption_->unwatch(link_);
    }
    InterruptionWatchGuard(const InterruptionWatchGuard&) = delete;
    InterruptionWatchGuard& operator=(const InterruptionWatchGuard&) = delete;

  private:
    Interruption* interruption_;
    StopSignal& link_;
};

}  // namespace mervane::fleet
