#pragma once

#include <functional>
#include <memory>

#include "fleet/Discovery.h"

namespace mervane {

// One search as the discovery dialog runs it: the fleet's Discovery in the program, a stand-in
// in tests. run() blocks on the dialog's worker thread and reports through `observer` from
// whichever threads the search uses; stop() may come from any thread, also before run(), and
// makes run() return within a fraction of a second. An object serves one run().
class UnitSearch {
  public:
    virtual ~UnitSearch() = default;
    virtual fleet::DiscoveryReport run(const fleet::DiscoveryPlan& plan,
                                       fleet::DiscoveryObserver& observer) = 0;
    virtual void stop() = 0;
};

// Makes the search for each press of the dialog's start button; called on the window thread.
using UnitSearchFactory = std::function<std::unique_ptr<UnitSearch>()>;

// Last changes to a plan before it runs (on the window thread); tests aim it at loopback ports.
using DiscoveryPlanHook = std::function<void(fleet::DiscoveryPlan&)>;

// A search over the fleet's Discovery.
std::unique_ptr<UnitSearch> makeFleetSearch();

// How the window searches: the factory (empty: makeFleetSearch) and the plan hook (may be empty).
struct DiscoverySeam {
    UnitSearchFactory makeSearch;
    DiscoveryPlanHook preparePlan;
};

}  // namespace mervane
