#include "tests/soak/SoakUnits.h"

#include <cstddef>

namespace mervane::soak {

namespace {

constexpr int kLetterModel = 19;  // eight outputs, letter commands
constexpr int kBinaryModel = 3;   // five outputs, binary commands
constexpr size_t kLetterOutputs = 8;

std::unique_ptr<sim::SimulatedUnit> startUnit(int model, std::array<char, 2> type, int unitId,
                                              std::string& error) {
    sim::UnitConfig config;
    config.modelIndex = model;
    config.typeCode = type;
    config.unitId = unitId;
    config.bindAddress = "127.0.0.1";
    config.udpPort = 0;
    config.tcpPort = 0;
    auto unit = std::make_unique<sim::SimulatedUnit>(std::move(config));
    if (!unit->start(&error)) return nullptr;
    return unit;
}

std::string differs(const char* field, long read, long held) {
    return std::string(field) + " read as " + std::to_string(read) + ", unit holds " +
           std::to_string(held);
}

uint8_t cycleByte(int cycle, int factor, int offset) {
    return static_cast<uint8_t>((cycle * factor + offset) & 0xFF);
}

}  // namespace

bool SoakUnits::start(std::string& error) {
    letter_ = startUnit(kLetterModel, {'_', 'W'}, 3, error);
    if (!letter_) return false;
    binary_ = startUnit(kBinaryModel, {'_', 'L'}, 5, error);
    return binary_ != nullptr;
}

sim::SimulatedUnit& SoakUnits::unit(UnitKind kind) {
    return kind == UnitKind::kLetter ? *letter_ : *binary_;
}

int SoakUnits::modelIndex(UnitKind kind) const {
    return kind == UnitKind::kLetter ? kLetterModel : kBinaryModel;
}

void SoakUnits::varySettings(UnitKind kind, int cycle) {
    sim::UnitSettingsState settings;
    settings.active = static_cast<uint8_t>(cycle / 2 % 2);
    if (kind == UnitKind::kLetter) {
        settings.enableMask = cycleByte(cycle, 37, 1);
        for (size_t i = 0; i < kLetterOutputs; ++i) {
            const int channel = static_cast<int>(i);
            // ON and OFF times of 1..255: 0 is no time a unit takes.
            settings.onTime[i] = static_cast<uint8_t>(1 + (cycle + channel) % 255);
            settings.offTime[i] = static_cast<uint8_t>(1 + (cycle * 3 + channel) % 255);
        }
    } else {
        settings.enableMask = static_cast<uint8_t>(cycleByte(cycle, 7, 3) & 0x1F);
        settings.intervalIndex = static_cast<uint8_t>(cycle % 32);
    }
    unit(kind).setSettings(settings);
}

std::string SoakUnits::compare(UnitKind kind, const AutoOnOffSettings& read) {
    const sim::UnitSettingsState held = unit(kind).settings();
    if (read.active != held.active) return differs("active", read.active, held.active);
    if (read.enableMask != held.enableMask) {
        return differs("enable mask", read.enableMask, held.enableMask);
    }
    if (kind == UnitKind::kBinary) {
        if (read.intervalIndex != held.intervalIndex) {
            return differs("interval index", read.intervalIndex, held.intervalIndex);
        }
        return {};
    }
    for (size_t i = 0; i < kLetterOutputs; ++i) {
        if (read.onTime[i] != held.onTime[i] || read.offTime[i] != held.offTime[i]) {
            return "times of DO" + std::to_string(i + 1) + " read as " +
                   std::to_string(read.onTime[i]) + "/" + std::to_string(read.offTime[i]) +
                   ", unit holds " + std::to_string(held.onTime[i]) + "/" +
                   std::to_string(held.offTime[i]);
        }
    }
    return {};
}

}  // namespace mervane::soak
