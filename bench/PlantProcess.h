#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace mervane::bench {

// `mervane-unit --count N ...` as a child process, so that the plant's memory and threads are
// not counted as the measured program's. Started in the constructor, which returns once every
// unit is up (the program prints its start-up lines after starting them all); stopped with
// SIGTERM and reaped in the destructor. The child gets SIGTERM too if this process dies first.
// Throws std::runtime_error when the plant does not start within 20 s.
class PlantProcess {
  public:
    // `arguments` after the program's path; --quiet is added. `niceness` is the child's nice value.
    PlantProcess(const std::string& program, std::vector<std::string> arguments, int units,
                 int niceness = 0);
    ~PlantProcess();
    PlantProcess(const PlantProcess&) = delete;
    PlantProcess& operator=(const PlantProcess&) = delete;

    // The plant's user and system time so far (/proc/PID/stat, in the system's clock ticks).
    double cpuMs() const;

  private:
    void stop();

    pid_t pid_ = -1;
};

}  // namespace mervane::bench
