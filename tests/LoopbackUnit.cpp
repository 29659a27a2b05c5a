#include "tests/LoopbackUnit.h"

#include <gtest/gtest.h>

namespace mervane::testing {

std::unique_ptr<sim::SimulatedUnit> startLoopbackUnit(sim::UnitConfig config) {
    config.bindAddress = "127.0.0.1";
    config.udpPort = 0;
    config.tcpPort = 0;
    auto unit = std::make_unique<sim::SimulatedUnit>(std::move(config));
    std::string error;
    EXPECT_TRUE(unit->start(&error)) << error;
    return unit;
}

sim::UnitConfig unitConfig(int modelIndex, const char (&type)[3], sim::UnitFaults faults) {
    sim::UnitConfig config;
    config.modelIndex = modelIndex;
    config.typeCode = {type[0], type[1]};
    config.faults = std::move(faults);
    return config;
}

sim::SimulatedUnit& SharedPortUnits::add(const std::string& address, sim::UnitConfig config) {
    config.bindAddress = address;
    config.udpPort = udpPort_;
    config.tcpPort = tcpPort_;
    units_.push_back(std::make_unique<sim::SimulatedUnit>(std::move(config)));
    std::string error;
    EXPECT_TRUE(units_.back()->start(&error)) << address << ": " << error;
    udpPort_ = units_.back()->udpPort();
    tcpPort_ = units_.back()->tcpPort();
    return *units_.back();
}

void aimLinkAt(DeviceLink& link, const sim::SimulatedUnit& unit, int sessionTimeoutMs) {
    link.setIdentificationPort(unit.udpPort());
    link.setSessionTimeoutMs(sessionTimeoutMs);
}

namespace {
std::vector<std::string> commandsOn(const sim::SimulatedUnit& unit,
                                    sim::ReceivedRecord::Channel channel) {
    std::vector<std::string> names;
    for (const auto& record : unit.received()) {
        if (record.channel == channel) names.push_back(record.command);
    }
    return names;
}
}  // namespace

std::vector<std::string> udpCommands(const sim::SimulatedUnit& unit) {
    return commandsOn(unit, sim::ReceivedRecord::Channel::kUdp);
}

std::vector<std::string> tcpCommands(const sim::SimulatedUnit& unit) {
    return commandsOn(unit, sim::ReceivedRecord::Channel::kTcp);
}

}  // namespace mervane::testing
