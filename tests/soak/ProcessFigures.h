#pragma once

#include <string>

namespace mervane::soak {

// What the process holds right now, from /proc/self.
struct ProcessFigures {
    int descriptors = 0;  // entries of /proc/self/fd
    int threads = 0;      // "Threads:" of /proc/self/status
    long rssKiB = 0;      // "VmRSS:" of /proc/self/status
};

ProcessFigures readProcessFigures();

// Figures once the simulated units' threads have caught up with the last cycle: a unit may hold
// the connection the link just closed for a moment, so the lowest descriptor and thread counts
// of a few readings spread over ~100 ms are taken. A real leak persists and still shows.
ProcessFigures settledProcessFigures();

std::string describe(const ProcessFigures& figures);

}  // namespace mervane::soak
