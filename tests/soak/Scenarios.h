#pragma once

#include "sim/SimulatedUnit.h"
#include "tests/soak/SoakUnits.h"

namespace mervane::soak {

// One way a cycle can go: which unit, how it misbehaves, and what the operator must see.
struct Scenario {
    const char* name;
    UnitKind unit;
    sim::UnitFaults faults;
    // Null: the link copes and the connection succeeds with the unit's settings. Otherwise the
    // start of the one message the failed connect must show.
    const char* expectedMessage;
};

// The scenario of cycle `cycle` (1-based): odd cycles a healthy unit, alternating the two
// families; even cycles the next misbehaviour in turn. A misbehaviour that costs seconds (the
// probe's receive time-out is fixed) comes only every hundredth misbehaving cycle.
const Scenario& scenarioForCycle(int cycle);

// Every scenario, for the run's summary.
int scenarioCount();
const Scenario& scenarioAt(int index);
int scenarioIndexForCycle(int cycle);

}  // namespace mervane::soak
