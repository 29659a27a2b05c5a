#include "ui/UnitSearch.h"

namespace mervane {

namespace {

class FleetSearch final : public UnitSearch {
  public:
    fleet::DiscoveryReport run(const fleet::DiscoveryPlan& plan,
                               fleet::DiscoveryObserver& observer) override {
        return discovery_.run(plan, observer);
    }
    void stop() override { discovery_.stop(); }

  private:
    fleet::Discovery discovery_;
};

}  // namespace

std::unique_ptr<UnitSearch> makeFleetSearch() {
    return std::make_unique<FleetSearch>();
}

}  // namespace mervane
