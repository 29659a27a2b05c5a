#include "sim/SimulatedPlant.h"

#include <gtest/gtest.h>

#include <map>

#include "link/ModelTable.h"
#include "sim/UnitSockets.h"
#include "tests/OpenDescriptors.h"
#include "tests/sim/TestSockets.h"

namespace mervane::sim {
namespace {

using namespace testing;

const Bytes kF6{0, 0, 0, 0xF6};

PlantConfig plantOn(const std::string& firstAddress, int count) {
    PlantConfig config;
    config.first = loopbackConfig(19);
    config.first.bindAddress = firstAddress;
    config.count = count;
    return config;
}

TEST(SimulatedPlant, RefusesCountsAndAddressesItCannotServe) {
    const std::vector<std::pair<std::string, int>> refused{
        {"127.0.90.1", 0}, {"127.0.90.1", 1001}, {"0.0.0.0", 2}, {"255.255.255.250", 7}};
    for (const auto& [address, count] : refused) {
        std::string error;
        EXPECT_FALSE(plantUnitConfigs(plantOn(address, count), error)) << address << " " << count;
        EXPECT_FALSE(error.empty());
    }
    std::string error;
    const auto lastFits = plantUnitConfigs(plantOn("255.255.255.250", 6), error);
    ASSERT_TRUE(lastFits) << error;
    EXPECT_EQ(lastFits->back().bindAddress, "255.255.255.255");
}

TEST(SimulatedPlant, UnitIdsWrapAndVarietyFitsEveryModel) {
    PlantConfig config = plantOn("127.0.90.1", 40);
    config.first.unitId = 14;
    config.first.initial.enableMask = 0xFF;
    config.variety = true;
    std::string error;
    const auto units = plantUnitConfigs(config, error);
    ASSERT_TRUE(units) << error;
    std::map<CommandFamily, int> families;
    for (size_t i = 0; i < units->size(); ++i) {
        const UnitConfig& unit = (*units)[i];
        EXPECT_EQ(unit.unitId, static_cast<int>((14 + i) % 16));
        const ModelRow& row = modelRow(unit.modelIndex);
        EXPECT_EQ(unit.initial.enableMask, (1 << row.outputCount) - 1) << i;
        // Every kind must be one a real unit could be: generation 3 has binary commands only.
        if (unit.typeCode[1] == 'L') {
            EXPECT_NE(row.commandFamily, CommandFamily::kLetter) << i;
        }
        ++families[row.commandFamily];
    }
    EXPECT_EQ(families.size(), 4U);  // none, binary, binary on generation 3 only, letter
    EXPECT_EQ((*units)[6].modelIndex, (*units)[0].modelIndex);
    EXPECT_EQ((*units)[7].bindAddress, "127.0.90.8");
}

TEST(SimulatedPlant, UnicastAndBroadcastEachAnsweredByTheRightUnitsFromTheirAddresses) {
    PlantConfig config = plantOn("127.0.90.1", 50);
    config.variety = true;
    SimulatedPlant plant(config);
    std::string error;
    ASSERT_TRUE(plant.start(&error)) << error;
    ASSERT_EQ(plant.size(), 50U);
    EXPECT_EQ(plant.broadcastAddress(), "127.255.255.255");
    const uint16_t port = plant.udpPort();
    ASSERT_NE(port, 0);
    EXPECT_EQ(plant.unitConfig(49).tcpPort, plant.tcpPort());

    UniqueFd client = udpClient();
    sendDatagramTo(client.get(), "127.0.90.18", port, kF6);
    const auto unicast = receiveDatagram(client.get());
    ASSERT_TRUE(unicast);
    EXPECT_EQ(unicast->sourceAddress, "127.0.90.18");

    sendDatagramTo(client.get(), "127.255.255.255", port, kF6);
    std::map<std::string, Datagram> replies;
    while (replies.size() < 50) {
        auto reply = receiveDatagram(client.get());
        ASSERT_TRUE(reply) << replies.size() << " replies";
        EXPECT_EQ(reply->sourcePort, port);
        const std::string from = reply->sourceAddress;
        EXPECT_TRUE(replies.emplace(from, std::move(*reply)).second) << "twice from " << from;
    }
    for (size_t i = 0; i < plant.size(); ++i) {
        const UnitConfig& unit = plant.unitConfig(i);
        ASSERT_TRUE(replies.count(unit.bindAddress)) << unit.bindAddress;
        const Bytes& bytes = replies[unit.bindAddress].bytes;
        EXPECT_EQ(bytes[9], unit.typeCode[1]);
        EXPECT_EQ(bytes[28], unit.modelIndex);
        EXPECT_EQ(bytes[29], unit.unitId);
        // Had the unicast also reached the broadcast listener, every unit would show two.
        EXPECT_EQ(plant.unit(i).received().size(), i == 17 ? 2U : 1U) << unit.bindAddress;
    }

    // On the shared TCP port each address reaches its own unit: an active and a stopped one.
    const UniqueFd active = tcpClient(plant.tcpPort(), "127.0.90.2");
    EXPECT_EQ(exchange(active.get(), {0xE1}, 2), (Bytes{0xE1, 1}));
    const UniqueFd stopped = tcpClient(plant.tcpPort(), "127.0.90.4");
    EXPECT_EQ(exchange(stopped.get(), {0xE1}, 2), (Bytes{0xE1, 0}));
}

TEST(SimulatedPlant, BroadcastMeetsEachUnitsFaultsAndReachesEveryPlantOnThePort) {
    SimulatedPlant first(plantOn("127.0.92.1", 3));
    ASSERT_TRUE(first.start());
    PlantConfig config = plantOn("127.0.93.1", 3);
    config.first.udpPort = first.udpPort();
    SimulatedPlant second(config);
    std::string error;
    ASSERT_TRUE(second.start(&error)) << error;
    UnitFaults silent;
    silent.noUdpReply = true;
    first.unit(1).setFaults(silent);
    UnitFaults otherPort;
    otherPort.firstReplyFromOtherPort = true;
    second.unit(2).setFaults(otherPort);

    UniqueFd client = udpClient();
    sendDatagramTo(client.get(), "127.255.255.255", first.udpPort(), kF6);
    std::map<std::string, uint16_t> replies;
    while (replies.size() < 5) {
        const auto reply = receiveDatagram(client.get());
        ASSERT_TRUE(reply) << replies.size() << " replies";
        replies[reply->sourceAddress] = reply->sourcePort;
    }
    EXPECT_EQ(replies.count("127.0.92.2"), 0U);
    EXPECT_TRUE(first.unit(1).waitForReceived(1, kWait)) << "a silent unit still records";
    EXPECT_EQ(replies["127.0.93.1"], first.udpPort());
    EXPECT_NE(replies["127.0.93.3"], first.udpPort());
}

TEST(SimulatedPlant, StopEndsRepliesWaitingOutADelay) {
    PlantConfig config = plantOn("127.0.94.1", 20);
    config.first.faults.replyDelayMs = 600000;
    SimulatedPlant plant(config);
    ASSERT_TRUE(plant.start());
    UniqueFd client = udpClient();
    sendDatagramTo(client.get(), "127.255.255.255", plant.udpPort(), kF6);
    for (size_t i = 0; i < plant.size(); ++i) {
        ASSERT_TRUE(plant.unit(i).waitForReceived(1, kWait)) << i;
    }
    plant.stop();  // ten minutes, were any unit's wait not ended
}

TEST(SimulatedPlant, StopAndFailedStartLeaveNoDescriptorOpen) {
    const int before = mervane::testing::openDescriptorCount();
    {
        SimulatedPlant plant(plantOn("127.0.91.1", 50));
        ASSERT_TRUE(plant.start());
        plant.stop();
        EXPECT_EQ(mervane::testing::openDescriptorCount(), before);
    }
    // The third address's port is taken: the two units started before it are stopped again.
    in_addr third{};
    ASSERT_TRUE(parseIpv4("127.0.91.3", third));
    std::string error;
    const UniqueFd taken = openUdpSocket(third, 0, error);
    ASSERT_TRUE(taken.valid()) << error;
    PlantConfig config = plantOn("127.0.91.1", 5);
    config.first.udpPort = localPort(taken.get());
    {
        SimulatedPlant plant(config);
        EXPECT_FALSE(plant.start(&error));
        EXPECT_NE(error.find("127.0.91.3"), std::string::npos) << error;
    }
    EXPECT_EQ(mervane::testing::openDescriptorCount(), before + 1);  // the taken port
}

}  // namespace
}  // namespace mervane::sim
