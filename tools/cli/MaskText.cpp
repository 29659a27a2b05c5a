#include "tools/cli/MaskText.h"

#include <cstdio>
#include <optional>

namespace mervane::cli {

namespace {

std::optional<uint32_t> hexMask(std::string_view text) {
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 8) return std::nullopt;
    uint32_t value = 0;
    for (const char c : text) {
        uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<uint32_t>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        value = value << 4 | digit;
    }
    return value;
}

// The value of plain decimal digits, when `text` is nothing else.
std::optional<uint32_t> decimalDigits(std::string_view text) {
    if (text.empty() || text.size() > 8) return std::nullopt;
    uint32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value;
}

// "DO1, DO3, DO5"; three or more outputs in a row as "DO1..DO4".
std::string outputsText(uint32_t mask) {
    std::string text;
    for (int first = 0; first < 8; ++first) {
        if ((mask >> first & 1U) == 0) continue;
        int last = first;
        while (last + 1 < 8 && (mask >> (last + 1) & 1U) != 0)
            ++last;
        if (!text.empty()) text += ", ";
        if (last - first >= 2) {
            text += "DO" + std::to_string(first + 1) + "..DO" + std::to_string(last + 1);
        } else {
            text += "DO" + std::to_string(first + 1);
            if (last > first) text += ", DO" + std::to_string(last + 1);
        }
        first = last;
    }
    return text.empty() ? "no output" : text;
}

std::string hexText(uint32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

}  // namespace

std::variant<uint32_t, std::string> parseMask(std::string_view text) {
    const std::string option = "--mask " + std::string(text);
    const auto mask = hexMask(text);
    if (!mask)
        return "--mask \"" + std::string(text) + "\": not a hexadecimal output mask such as 0x0F";
    if (*mask > 0xFF) return option + ": a unit has at most 8 outputs (0x00..0xFF)";
    const auto decimal = decimalDigits(text);
    if (text.size() >= 2 && decimal && *decimal != *mask) {
        std::string why = option + ": " + hexText(*mask) + " enables " + outputsText(*mask);
        if (*decimal <= 0xFF) {
            why += "; for " + outputsText(*decimal) + " write " + hexText(*decimal);
        }
        return why;
    }
    return *mask;
}

}  // namespace mervane::cli
