#include "tools/cli/AdapterReport.h"

#include <nlohmann/json.hpp>

#include "fleet/JsonText.h"

namespace mervane::cli {

std::string adaptersText(const AdapterList& adapters) {
    std::string text;
    for (const std::string& item : adapterItemTexts(adapters))
        text += item + '\n';
    return text;
}

std::string adaptersJson(const AdapterList& adapters) {
    const std::vector<std::string> items = adapterItemTexts(adapters);
    // In the order people read the fields.
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (size_t i = 0; i < items.size(); ++i) {
        const AdapterEntry& entry = adapters[i];
        array.push_back({
            {"item", items[i]},
            {"address", dottedAddress(entry.ipv4Address)},
            {"mask", dottedAddress(entry.ipv4Mask)},
            {"interface", entry.ifIndex},
            {"description", entry.description},
            {"name", entry.friendlyName},
        });
    }
    // Interface names and aliases are bytes to the system, not always UTF-8.
    return fleet::jsonText(array) + '\n';
}

}  // namespace mervane::cli
