#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "tests/cli/FleetPlant.h"

namespace mervane::testing {

// The real mervane-cli as a child process, SIGINT at its default and unblocked. Its standard
// output and error go to the plant's files "out" and "err", or both to `outputFd` when one is
// given. Killed and reaped if the test leaves it running.
class CliChild {
  public:
    CliChild(const std::vector<std::string>& args, const FleetPlant& plant, int outputFd = -1);
    ~CliChild();
    CliChild(const CliChild&) = delete;
    CliChild& operator=(const CliChild&) = delete;

    void interrupt() const;
    // The wait status, or nothing when the program is still running after `bound` (or never ran).
    std::optional<int> wait(std::chrono::milliseconds bound);

  private:
    int pid_ = -1;
};

}  // namespace mervane::testing
