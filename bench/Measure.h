#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mervane::bench {

// CLOCK_MONOTONIC in nanoseconds: one clock for every process on the machine, so that a child's
// "first frame painted" can be compared with the moment its parent started it.
int64_t monotonicNs();

// The calling process's resident set size in KiB (VmRSS), 0 when it cannot be read.
long residentKiB();
// Its peak resident set size in KiB (VmHWM), 0 when it cannot be read.
long peakResidentKiB();
// Lowers that peak to the present resident size, so that the next reading is the peak of what
// follows only. False when the system does not allow it.
bool resetPeakResident();

// Repeated measurements of one quantity.
class Samples {
  public:
    void add(double value) { values_.push_back(value); }
    double median() const;

  private:
    std::vector<double> values_;
};

// "12.34" with `decimals` places.
std::string fixed(double value, int decimals);

}  // namespace mervane::bench
