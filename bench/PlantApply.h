#pragma once

#include <string>

#include "bench/Measure.h"
#include "bench/PlantWindow.h"

namespace mervane::bench {

// The plant list's プロファイル適用 (with its check) against `mervane-cli --hosts FILE apply
// --profile FILE --verify` on the same units, in pairs whose order alternates. Before every
// apply of either, each unit is set to the other profile than the one written, so that both
// write every unit (the plant list writes nothing to a unit that already holds the profile).
struct ApplyComparison {
    Samples list;  // press to the action's end
    Samples cli;   // the whole process
    int units = 0;
    int delayMs = 0;
    int jobs = 0;
};

// Starts a plant of `units` generation-4 units on 127.1.0.1 on (ports 30718 and 10003) with
// replies `delayMs` late, opens the plant list on them in `window`, and measures `runs` pairs.
// Throws std::runtime_error when an apply fails or leaves a unit without what it wrote.
ApplyComparison compareApplies(PlantWindow& window, const std::string& cli, int units, int delayMs,
                               int runs);

}  // namespace mervane::bench
