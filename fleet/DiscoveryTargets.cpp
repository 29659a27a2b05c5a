#include "fleet/DiscoveryTargets.h"

#include <arpa/inet.h>

#include <cctype>

namespace mervane::fleet {

namespace {

std::optional<uint32_t> dottedAddress(const std::string& text) {
    in_addr address{};
    if (inet_pton(AF_INET, text.c_str(), &address) != 1) return std::nullopt;
    return ntohl(address.s_addr);
}

// Letters, digits, '-' and '.', as a host name is spelt; anything else cannot be looked up.
bool couldBeHostName(std::string_view text) {
    if (text.empty() || text.size() > 253) return false;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) == 0 && c != '-' && c != '.') return false;
    }
    return true;
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

}  // namespace

TargetText parseTarget(std::string_view text) {
    TargetText result;
    const size_t slash = text.find('/');
    if (slash == std::string_view::npos) {
        if (const auto address = dottedAddress(std::string(text))) {
            result.range = AddressRange{*address, *address};
        } else if (couldBeHostName(text)) {
            result.hostName = std::string(text);
        } else {
            result.error = quoted(text) + ": not an IPv4 address, a range a.b.c.d/n or a host name";
        }
        return result;
    }
    const auto address = dottedAddress(std::string(text.substr(0, slash)));
    const std::string_view prefix = text.substr(slash + 1);
    int bits = -1;
    if (!prefix.empty() && prefix.size() <= 2 &&
        std::isdigit(static_cast<unsigned char>(prefix.front())) != 0 &&
        std::isdigit(static_cast<unsigned char>(prefix.back())) != 0) {
        bits = std::stoi(std::string(prefix));
    }
    if (!address || bits < 0 || bits > 32) {
        result.error = quoted(text) + ": not a range such as 192.168.0.0/24";
    } else if (bits < kWidestPrefix) {
        result.error = quoted(text) + ": a range may be at most a /16 (65,536 addresses)";
    } else {
        const uint32_t hostBits = bits == 32 ? 0 : (uint32_t{1} << (32 - bits)) - 1;
        result.range = AddressRange{*address & ~hostBits, *address | hostBits};
    }
    return result;
}

uint32_t subnetBroadcast(uint32_t address, uint32_t mask) {
    return address | ~mask;
}

}  // namespace mervane::fleet
