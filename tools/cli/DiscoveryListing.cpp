#include "tools/cli/DiscoveryListing.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "fleet/JsonText.h"
#include "link/SettingsSequences.h"
#include "net/Adapters.h"

namespace mervane::cli {

namespace {

std::string addressText(const fleet::DiscoveredUnit& unit) {
    return dottedAddress(unit.source.sin_addr.s_addr);
}

// Two characters as they came; a byte that is not printable ASCII shows as '?' for people.
std::string typeCodeText(const fleet::DiscoveredUnit& unit, bool forPeople) {
    std::string text(unit.typeCode.data(), unit.typeCode.size());
    if (forPeople) {
        for (char& c : text) {
            if (c < 0x20 || c > 0x7E) c = '?';
        }
    }
    return text;
}

std::string stateText(const fleet::DiscoveredUnit& unit) {
    if (!unit.error.empty()) return unit.error;
    if (!unit.active) return "not supported";
    return activeStatusText(*unit.active ? 1 : 0);
}

}  // namespace

std::string discoveryText(const fleet::DiscoveryReport& report) {
    if (report.units.empty()) return {};
    std::string text = "ADDRESS          TYPE  GEN  ID  MODEL             OUTPUTS  STATE\n";
    for (const fleet::DiscoveredUnit& unit : report.units) {
        char row[160];
        if (unit.probed && unit.error.empty()) {
            std::snprintf(row, sizeof row, "%-15s  %-4s  %-3d  %-2u  %-16s  %-7d  ",
                          addressText(unit).c_str(), typeCodeText(unit, true).c_str(),
                          static_cast<int>(unit.identity.generation),
                          static_cast<unsigned>(unit.identity.unitId),
                          std::string(modelDisplayName(unit.identity)).c_str(),
                          outputCount(unit.identity));
        } else {
            std::snprintf(row, sizeof row, "%-15s  %-4s  %-3s  %-2s  %-16s  %-7s  ",
                          addressText(unit).c_str(), typeCodeText(unit, true).c_str(), "-", "-",
                          "-", "-");
        }
        text += row;
        text += unit.probed ? stateText(unit) : "-";
        text += '\n';
    }
    return text;
}

std::string discoveryJson(const fleet::DiscoveryReport& report) {
    nlohmann::json units = nlohmann::json::array();
    for (const fleet::DiscoveredUnit& unit : report.units) {
        nlohmann::json object = {
            {"address", addressText(unit)},
            {"typeCode", typeCodeText(unit, false)},
        };
        if (unit.probed && !unit.error.empty()) {
            object["error"] = unit.error;
        } else if (unit.probed) {
            object["generation"] = static_cast<int>(unit.identity.generation);
            object["unitId"] = unit.identity.unitId;
            object["model"] = std::string(modelDisplayName(unit.identity));
            object["outputs"] = outputCount(unit.identity);
            object["active"] = unit.active ? nlohmann::json(*unit.active) : nlohmann::json(nullptr);
        }
        units.push_back(std::move(object));
    }
    return fleet::jsonText(units) + '\n';
}

}  // namespace mervane::cli
