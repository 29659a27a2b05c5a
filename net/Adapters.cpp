#include "net/Adapters.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>

namespace mervane {

namespace {

constexpr size_t kMaxKeptInterfaces = 256;
// Reported by some virtual adapters that are no way to reach a unit.
constexpr uint64_t kVirtualAdapterSpeed = 0x40000000;

bool hasHardwareAddress(const InterfaceRecord& record) {
    return std::any_of(record.hardwareAddress.begin(), record.hardwareAddress.end(),
                       [](uint8_t byte) { return byte != 0; });
}

bool isUsable(const InterfaceRecord& record) {
    return record.operational && hasHardwareAddress(record) &&
           record.speedBitsPerSecond != kVirtualAdapterSpeed;
}

}  // namespace

AdapterList enumerateAdapters(AdapterSource& source) {
    const auto interfaces = source.interfaces();
    std::vector<const InterfaceRecord*> kept;
    if (interfaces) {
        for (const InterfaceRecord& record : *interfaces) {
            if (kept.size() == kMaxKeptInterfaces) break;
            if (isUsable(record)) kept.push_back(&record);
        }
    }

    AdapterList adapters;
    const auto rows = source.ipv4Addresses();
    if (!rows) return adapters;
    const uint32_t loopback = htonl(INADDR_LOOPBACK);
    for (const AddressRow& row : *rows) {
        if (adapters.size() == kMaxAdapterEntries) break;
        if (row.address == loopback) continue;
        const auto found = std::find_if(kept.begin(), kept.end(), [&row](const auto* record) {
            return record->index == row.ifIndex;
        });
        if (found == kept.end() || (*found)->description.empty()) continue;
        adapters.push_back({row.ifIndex,
                            truncatedUtf8((*found)->description, kMaxAdapterTextBytes),
                            {},
                            row.address,
                            row.mask});
    }

    // Every record, kept or not, so that the last one with an index names its entries.
    if (interfaces) {
        for (const InterfaceRecord& record : *interfaces) {
            const std::string& name =
                record.friendlyName.empty() ? record.name : record.friendlyName;
            for (AdapterEntry& entry : adapters) {
                if (entry.ifIndex == record.index) {
                    entry.friendlyName = truncatedUtf8(name, kMaxAdapterTextBytes);
                }
            }
        }
    }
    return adapters;
}

std::vector<std::string> adapterItemTexts(const AdapterList& adapters) {
    std::vector<std::string> items;
    const size_t count = std::min(adapters.size(), kMaxListedAdapters);
    items.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        items.push_back(dottedAddress(adapters[i].ipv4Address) + " (" + adapters[i].friendlyName +
                        ")");
    }
    return items;
}

uint32_t bindAddressForItem(const AdapterList& adapters, int itemIndex) {
    if (itemIndex < 0) return 0;
    const auto i = static_cast<size_t>(itemIndex);
    if (i >= std::min(adapters.size(), kMaxListedAdapters)) return 0;
    return adapters[i].ipv4Address;
}

std::string dottedAddress(uint32_t address) {
    in_addr in{};
    in.s_addr = address;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &in, text, sizeof text);
    return text;
}

std::string truncatedUtf8(std::string text, size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    size_t cut = maxBytes;
    // A continuation byte (10xxxxxx) just past the cut belongs to a character that would be split.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0U) == 0x80U)
        --cut;
    text.resize(cut);
    return text;
}

}  // namespace mervane
