#pragma once

#include <string>

#include "bench/Measure.h"
#include "bench/PlantWindow.h"

namespace mervane::bench {

// The median of the runs and, beside it, the largest.
struct Spread {
    Samples samples;
    double largest = 0;

    void add(double value);
    // "12.3 ms (largest 15.0 ms)" for unit " ms".
    std::string text(const std::string& unit, int decimals = 1) const;
};

// One step of the plant list (the search, or 設定受信) over the runs.
struct StepFigures {
    Spread gap;     // the window thread's longest stall
    Spread gapCpu;  // its time on a core in that stall
    Spread event;   // the longest single event
    Samples ms;     // how long the step took
};

// Resident memory (KiB) around the first opening of the plant list in this process: later
// openings reuse what the first one left with the allocator.
struct ListMemory {
    long alone = 0;  // the window alone, before the list opens
    long listed = 0;
    long read = 0;
    long peak = 0;  // VmHWM over the search and the read
    long closed = 0;
    long trimmed = 0;  // closed, once the allocator has returned what it can (malloc_trim)
};

struct ManyUnitFigures {
    StepFigures search;
    StepFigures read;
    ListMemory memory;
};

// Starts `units` generation-4 units on 127.2.0.1 on (ports 30718 and 10003) as a `unitProgram`
// of their own with nice value `niceness`, then `runs` times opens the plant list in `window`,
// waits for its search, ticks every unit and reads them all (設定受信), and closes the list.
// Each step is also printed on standard error, with where its longest stall and event went.
// Throws std::runtime_error when a unit is missed or fails.
ManyUnitFigures searchAndRead(PlantWindow& window, const std::string& unitProgram, int units,
                              int niceness, int runs);

}  // namespace mervane::bench
