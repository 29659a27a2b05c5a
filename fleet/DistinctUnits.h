#pragma once

#include <string>
#include <vector>

#include "link/HostLookup.h"
#include "link/StopSignal.h"

namespace mervane::fleet {

// A host left out because an earlier one names the same unit.
struct RepeatedUnit {
    std::string host;    // as given
    std::string sameAs;  // the earlier host that stays
};

struct DistinctUnits {
    std::vector<std::string> hosts;  // the first host given for each address, in the order given
    std::vector<RepeatedUnit> repeated;
};

// `hosts` with every host that resolves to the address of an earlier one left out, so that no
// unit is worked on twice at once under two spellings ("127.0.2.1", "127.0.2.01", "2130706945",
// or a name and its address). Names are looked up `jobs` at a time through `resolver`; a host
// that cannot be looked up stays, to fail on its own. A stop request through `stop` ends the
// lookups at once, and the hosts not yet looked up stay. Returns when every lookup has ended.
DistinctUnits distinctUnits(const std::vector<std::string>& hosts, const HostResolver& resolver,
                            StopSignal& stop, int jobs);

}  // namespace mervane::fleet
