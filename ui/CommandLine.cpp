#include "ui/CommandLine.h"

#include <string_view>

#include "ui/DecimalText.h"

namespace mervane {

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlankChar(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlankChar(text.back()))
        text.remove_suffix(1);
    return text;
}

// Only ASCII letters change: bytes of a multi-byte character stay as they are.
std::string upperCased(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return result;
}

}  // namespace

int32_t parseCommandLine(const std::vector<std::string>& args, int32_t timeoutMs) {
    for (const std::string& arg : args) {
        const std::string text = upperCased(trimmed(arg));
        if (text.find("-T") == std::string::npos && text.find("/T") == std::string::npos) continue;
        // The number is read from the third character on, wherever the switch itself was found:
        // "ab-T300" reads "-T300" as no number at all.
        const int32_t value = parseDecimalInt32(std::string_view(text).substr(2));
        if (value >= kMinIdentTimeoutMs && value <= kMaxIdentTimeoutMs) timeoutMs = value;
    }
    return timeoutMs;
}

}  // namespace mervane
