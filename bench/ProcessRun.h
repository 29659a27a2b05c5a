#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mervane::bench {

struct ProcessResult {
    bool started = false;
    int exitStatus = -1;  // the exit code, or -1 when the process did not exit normally
    int64_t startNs = 0;  // monotonicNs() just before the process was created
    double wallMs = 0;    // from startNs until it was reaped
    double cpuMs = 0;     // user and system time of its threads (and of its reaped children)
    // ru_maxrss. The system counts this process's peak in it too: the child shares this
    // process's memory until it runs its program. Its own only when this process is smaller.
    long maxResidentKiB = 0;
    // With sampling: the last VmHWM (its own peak resident memory so far) and the most threads
    // seen in one sample; 0 without.
    long sampledPeakKiB = 0;
    int peakThreads = 0;
    std::string output;  // what it wrote to standard output
};

// Runs `argv` (argv[0] a path) with `environment` added to this process's own, waits for it and
// reports its time and peak memory. Standard error passes through. With `sampleMs` > 0, VmHWM
// and Threads are read from /proc/PID/status about that often while it runs: what happens in
// its last period (between the last sample and its end) can be missed.
ProcessResult runProcess(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment = {}, int sampleMs = 0);

// `relative` taken from the directory of the running program, so that the benchmarks find the
// programs of the same build wherever they are run from.
std::string besideThisProgram(const std::string& relative);

}  // namespace mervane::bench
