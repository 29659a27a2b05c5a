#include "tools/cli/SettingsReport.h"

#include <cstdarg>
#include <cstdio>

#include "fleet/Profile.h"
#include "link/SettingsSequences.h"
#include "tools/cli/UnitFacts.h"

namespace mervane::cli {

namespace {

[[gnu::format(printf, 1, 2)]] std::string line(const char* format, ...) {
    char text[128];
    va_list values;
    va_start(values, format);
    std::vsnprintf(text, sizeof text, format, values);
    va_end(values);
    std::string result = text;
    while (!result.empty() && result.back() == ' ')
        result.pop_back();  // from padded columns
    return result + '\n';
}

// "  5 (500 ms)  ", padded so that the columns line up.
std::string timeText(int32_t units) {
    char ms[24];
    std::snprintf(ms, sizeof ms, "(%d ms)", units * 100);
    char text[40];
    std::snprintf(text, sizeof text, "%3d %-10s", units, ms);
    return text;
}

}  // namespace

std::string settingsText(const AutoOnOffSettings& settings, const DeviceIdentity& unit) {
    const int outputs = outputCount(unit);
    std::string text;
    text += line("Unit id   %u", static_cast<unsigned>(unit.unitId));
    text += "Model     " + std::string(modelDisplayName(unit)) + '\n';
    text += line("Status    %s", activeStatusText(settings.active));
    const bool perOutputTimes = hasPerOutputTimes(unit);
    if (!perOutputTimes) {
        if (const auto ms = intervalMs(settings.intervalIndex)) {
            text += line("Interval  %d ms", *ms);
        } else {
            text += line("Interval  index %d (not in the interval list)", settings.intervalIndex);
        }
    }
    for (int c = 0; c < outputs; ++c) {
        const auto i = static_cast<size_t>(c);
        const char* enabled = (settings.enableMask >> c & 1U) != 0 ? "enabled " : "disabled";
        if (perOutputTimes) {
            text +=
                line("DO%d  %s  ON %s  OFF %s", c + 1, enabled,
                     timeText(settings.onTime[i]).c_str(), timeText(settings.offTime[i]).c_str());
        } else {
            text += line("DO%d  %s", c + 1, enabled);
        }
    }
    return text;
}

std::string settingsJson(const AutoOnOffSettings& settings, const DeviceIdentity& unit) {
    return fleet::profileJson(settings, unit);
}

}  // namespace mervane::cli
