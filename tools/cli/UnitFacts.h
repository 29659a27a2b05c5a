#pragma once

#include <string>

#include "link/DeviceIdentity.h"
#include "link/ModelTable.h"

namespace mervane::cli {

// "KX-M19 (generation 4, 8 outputs)", for telling the operator why a change does not fit.
inline std::string unitDescription(const DeviceIdentity& unit) {
    return std::string(modelDisplayName(unit)) + " (generation " +
           std::to_string(static_cast<int>(unit.generation)) + ", " +
           std::to_string(outputCount(unit)) + " outputs)";
}

}  // namespace mervane::cli
