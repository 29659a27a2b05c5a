#include "fleet/WrittenSettingsCheck.h"

namespace mervane::fleet {

namespace {

std::string intervalText(int32_t index) {
    const auto ms = intervalMs(index);
    return "index " + std::to_string(index) +
           (ms ? " (" + std::to_string(*ms) + " ms)" : " (not in the interval list)");
}

std::string differs(const std::string& field, const std::string& written, const std::string& read) {
    return field + ": wrote " + written + ", read " + read;
}

}  // namespace

std::string writtenSettingsDifference(const AutoOnOffSettings& written,
                                      const AutoOnOffSettings& read, const DeviceIdentity& unit,
                                      bool activeWritten) {
    const int outputs = outputCount(unit);
    for (int c = 0; c < outputs; ++c) {
        const bool wrote = (written.enableMask >> c & 1U) != 0;
        const bool got = (read.enableMask >> c & 1U) != 0;
        if (wrote != got) {
            return differs("DO" + std::to_string(c + 1) + " enabled", wrote ? "yes" : "no",
                           got ? "yes" : "no");
        }
    }
    // Bits above the unit's outputs are not compared: the apply never sends them (a binary unit
    // is told mask & 0x1F), so whatever the unit reports there is its own.
    if (hasPerOutputTimes(unit)) {
        for (int c = 0; c < outputs; ++c) {
            const auto i = static_cast<size_t>(c);
            const std::string output = "DO" + std::to_string(c + 1);
            if (written.onTime[i] != read.onTime[i]) {
                return differs(output + " ON time", std::to_string(written.onTime[i]),
                               std::to_string(read.onTime[i]));
            }
            if (written.offTime[i] != read.offTime[i]) {
                return differs(output + " OFF time", std::to_string(written.offTime[i]),
                               std::to_string(read.offTime[i]));
            }
        }
    } else if (written.intervalIndex != read.intervalIndex) {
        return differs("interval", intervalText(written.intervalIndex),
                       intervalText(read.intervalIndex));
    }
    if (activeWritten && (written.active != 0) != (read.active != 0)) {
        return differs("active", written.active != 0 ? "yes" : "no",
                       read.active != 0 ? "yes" : "no");
    }
    return {};
}

}  // namespace mervane::fleet
