#include "tools/unit/UnitText.h"

#include <cstdio>

#include "link/ModelTable.h"

namespace mervane::unit {

std::optional<std::pair<uint8_t, uint8_t>> parseTimes(const std::string& text) {
    unsigned on = 0;
    unsigned off = 0;
    char end = 0;
    if (std::sscanf(text.c_str(), "%3u:%3u%c", &on, &off, &end) != 2 || on > 255 || off > 255) {
        return std::nullopt;
    }
    return std::pair{static_cast<uint8_t>(on), static_cast<uint8_t>(off)};
}

std::string outputsText(uint8_t outputs, int outputCount) {
    std::string text;
    for (int i = 0; i < outputCount; ++i) {
        if (i > 0) text += ' ';
        const bool on = ((static_cast<unsigned>(outputs) >> i) & 1U) != 0;
        text += "DO" + std::to_string(i + 1) + (on ? " ON " : " off");
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

std::string recordText(const sim::ReceivedRecord& record) {
    const std::string channel = record.channel == sim::ReceivedRecord::Channel::kUdp
                                    ? "udp"
                                    : "tcp#" + std::to_string(record.connection);
    return channel + " " + record.command + "  " + sim::hexText(record.bytes);
}

std::string unitText(const sim::UnitConfig& config) {
    const int outputs = modelRow(config.modelIndex).outputCount;
    const auto name = ModelDisplayNames[static_cast<size_t>(2 * config.modelIndex)];
    std::string text = "simulated unit, type " + std::string(config.typeCode.data(), 2) +
                       ", model " + std::to_string(config.modelIndex);
    if (!name.empty()) text += " (" + std::string(name) + ")";
    text += outputs > 0 ? ", " + std::to_string(outputs) + " outputs" : ", no outputs";
    return text + ", unit id " + std::to_string(config.unitId);
}

std::string describe(const sim::UnitConfig& config, uint16_t udpPort, uint16_t tcpPort) {
    return "mervane-unit: " + unitText(config) + "; UDP " + config.bindAddress + ":" +
           std::to_string(udpPort) + ", TCP " + config.bindAddress + ":" + std::to_string(tcpPort);
}

}  // namespace mervane::unit
