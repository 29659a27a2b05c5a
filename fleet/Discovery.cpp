#include "fleet/Discovery.h"

#include <atomic>

namespace mervane::fleet {

// Placeholder until the search lands: finds nothing.
class Discovery::State {
  public:
    std::atomic<bool> stopped{false};
};

Discovery::Discovery() : state_(std::make_unique<State>()) {}
Discovery::~Discovery() = default;

DiscoveryReport Discovery::run(const DiscoveryPlan&, DiscoveryObserver&) {
    DiscoveryReport report;
    report.stopped = state_->stopped.load();
    return report;
}

void Discovery::stop() {
    state_->stopped.store(true);
}

}  // namespace mervane::fleet
