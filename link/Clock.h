#pragma once

#include <chrono>

namespace mervane {

// The link's only access to time: the short pauses between retried reads and between the
// identification requests. Tests substitute a clock that counts pauses instead of sleeping.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual void pause(std::chrono::milliseconds duration) = 0;
};

// Sleeps for real. Stateless, so one instance serves every link in the process.
class SystemClock final : public Clock {
  public:
    void pause(std::chrono::milliseconds duration) override;
};

Clock& systemClock();

}  // namespace mervane
