#pragma once

#include <functional>
#include <string>
#include <vector>

#include "bench/Measure.h"

namespace mervane {
class DeviceLink;
}

namespace mervane::bench {

// One command as a whole process, as given and with "--trace FILE" put before its other
// arguments, FILE in a scratch directory of its own that is removed before this returns.
struct TracedRunFigures {
    Samples untracedMs;
    Samples tracedMs;
    std::string error;  // why the runs stopped; empty when every run ended with status 0
};

// Called with the text of the first traced run's trace file, right after that run: what is wrong
// with it, or "".
using TraceCheck = std::function<std::string(const std::string& trace)>;

// `runs` runs of each, after a run of each to warm up, in pairs whose order alternates (the traced
// one first in the warm-up), so that whatever else the machine does meanwhile reaches both alike.
// The first run of all is the traced one that `check` is handed.
TracedRunFigures measureTracedRuns(const std::vector<std::string>& argv, int runs,
                                   const TraceCheck& check);

// `call` on `link` (true: it succeeded), timed as above: with a sink that writes each line of the
// trace to a file with a write of its own, as `mervane-cli --trace FILE` does, and with none.
TracedRunFigures measureTracedCalls(DeviceLink& link, const std::function<bool()>& call, int runs);

}  // namespace mervane::bench
