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
    long maxResidentKiB = 0;
    std::string output;  // what it wrote to standard output
};

// Runs `argv` (argv[0] a path) with `environment` added to this process's own, waits for it and
// reports its time and peak memory. Standard error passes through.
ProcessResult runProcess(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment = {});

// `relative` taken from the directory of the running program, so that the benchmarks find the
// programs of the same build wherever they are run from.
std::string besideThisProgram(const std::string& relative);

}  // namespace mervane::bench
