#pragma once

#include <memory>
#include <string>

#include "link/AutoOnOffSettings.h"
#include "sim/SimulatedUnit.h"

namespace mervane::soak {

// The two command families the link speaks, each with a unit of its own: a generation-4 letter
// unit with per-output times, and a generation-3 binary unit with a common interval.
enum class UnitKind { kLetter, kBinary };

// The simulated units of the soak, on loopback with ephemeral ports, for the whole run.
class SoakUnits {
  public:
    // False with a reason when a unit cannot start.
    bool start(std::string& error);

    sim::SimulatedUnit& unit(UnitKind kind);
    int modelIndex(UnitKind kind) const;

    // Gives the unit settings that differ from cycle to cycle, so that a read which silently
    // kept the previous copy cannot pass for a good one.
    void varySettings(UnitKind kind, int cycle);

    // Empty when `read` holds what the unit does (for the fields its family reports), otherwise
    // the first difference.
    std::string compare(UnitKind kind, const AutoOnOffSettings& read);

  private:
    std::unique_ptr<sim::SimulatedUnit> letter_;
    std::unique_ptr<sim::SimulatedUnit> binary_;
};

}  // namespace mervane::soak
