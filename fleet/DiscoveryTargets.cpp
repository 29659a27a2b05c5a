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

// a.b.c.d-e, the last byte from d to e; nothing when the text before the last '-' is not a dotted
// address (a host name such as "unit-7" is not a range).
std::optional<TargetText> lastByteRange(std::string_view text) {
    const size_t dash = text.rfind('-');
    if (dash == std::string_view::npos) return std::nullopt;
    const auto first = dottedAddress(std::string(text.substr(0, dash)));
    if (!first) return std::nullopt;
    const std::string_view end = text.substr(dash + 1);
    uint32_t last = 256;
    if (!end.empty() && end.size() <= 3) {
        last = 0;
        for (const char c : end) {
            last = std::isdigit(static_cast<unsigned char>(c)) != 0
                       ? last * 10 + static_cast<uint32_t>(c - '0')
                       : 256;
        }
    }
    TargetText result;
    if (last > 255 || last < (*first & 0xFF)) {
        result.error = quoted(text) +
                       ": not a range such as 192.168.0.10-20 (a.b.c.d-e, the last byte from d to "
                       "e, d <= e <= 255)";
    } else {
        result.range = AddressRange{*first, (*first & ~uint32_t{0xFF}) | last};
    }
    return result;
}

}  // namespace

TargetText parseTarget(std::string_view text) {
    TargetText result;
    const size_t slash = text.find('/');
    if (slash == std::string_view::npos) {
        if (const auto address = dottedAddress(std::string(text))) {
            result.range = AddressRange{*address, *address};
        } else if (auto range = lastByteRange(text)) {
            result = std::move(*range);
        } else if (couldBeHostName(text)) {
            result.hostName = std::string(text);
        } else {
            result.error = quoted(text) +
                           ": not an IPv4 address, a range a.b.c.d/n or a.b.c.d-e, or a host name";
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
