// Which local addresses the window offers: the three passes over a made-up machine's interfaces and
// addresses, the limits, and the drop-down items.

#include <gtest/gtest.h>

#include <functional>

#include "net/Adapters.h"
#include "tests/net/FakeAdapterSource.h"

namespace mervane {
namespace {

using testing::addressRow;
using testing::ethernet;
using testing::FakeAdapterSource;
using testing::ipv4;
using testing::loopback;

// One field per entry on one line, so that a whole list compares at once.
std::vector<std::string> described(const AdapterList& adapters) {
    std::vector<std::string> lines;
    for (const AdapterEntry& e : adapters) {
        lines.push_back(std::to_string(e.ifIndex) + " " + dottedAddress(e.ipv4Address) + "/" +
                        dottedAddress(e.ipv4Mask) + " " + e.description + " (" + e.friendlyName +
                        ")");
    }
    return lines;
}

TEST(AdapterSelectionTest, OnlyUsableInterfacesAndAddressesGiveEntries) {
    struct Case {
        const char* what;
        std::function<void(InterfaceRecord&, AddressRow&)> change;
        size_t entries;
    };
    const std::vector<Case> cases{
        {"as it comes", [](InterfaceRecord&, AddressRow&) {}, 1},
        {"not operational", [](InterfaceRecord& i, AddressRow&) { i.operational = false; }, 0},
        {"no hardware address", [](InterfaceRecord& i, AddressRow&) { i.hardwareAddress = {}; }, 0},
        {"all-zero hardware address",
         [](InterfaceRecord& i, AddressRow&) { i.hardwareAddress = {0, 0, 0, 0, 0, 0}; }, 0},
        {"speed 0x40000000",
         [](InterfaceRecord& i, AddressRow&) { i.speedBitsPerSecond = 0x40000000; }, 0},
        {"speed 0x40000001",
         [](InterfaceRecord& i, AddressRow&) { i.speedBitsPerSecond = 0x40000001; }, 1},
        {"unknown speed", [](InterfaceRecord& i, AddressRow&) { i.speedBitsPerSecond = 0; }, 1},
        {"no description", [](InterfaceRecord& i, AddressRow&) { i.description.clear(); }, 0},
        {"127.0.0.1", [](InterfaceRecord&, AddressRow& r) { r.address = ipv4("127.0.0.1"); }, 0},
        {"127.0.1.1", [](InterfaceRecord&, AddressRow& r) { r.address = ipv4("127.0.1.1"); }, 1},
        {"an interface not in the list", [](InterfaceRecord&, AddressRow& r) { r.ifIndex = 9; }, 0},
    };
    for (const Case& c : cases) {
        InterfaceRecord interface = ethernet(3);
        AddressRow row = addressRow("192.168.0.10", 3);
        c.change(interface, row);
        FakeAdapterSource source;
        source.interfaceList = {loopback(), interface};
        source.addressRows = {addressRow("127.0.0.1", 1, "255.0.0.0"), row};
        EXPECT_EQ(enumerateAdapters(source).size(), c.entries) << c.what;
    }
}

TEST(AdapterSelectionTest, EntriesFollowTheAddressListWhateverTheInterfaceIndices) {
    FakeAdapterSource source;
    // Linux hands out indices sparsely; the one at 10 counts although there are three interfaces.
    source.interfaceList = {loopback(1), ethernet(2, "Office"), ethernet(10, "Lab")};
    source.addressRows = {addressRow("127.0.0.1", 1, "255.0.0.0"),
                          addressRow("10.1.2.3", 10, "255.0.0.0"), addressRow("192.168.0.10", 2),
                          addressRow("192.168.5.1", 10, "255.255.255.252")};
    const AdapterList adapters = enumerateAdapters(source);
    EXPECT_EQ(described(adapters), (std::vector<std::string>{
                                       "10 10.1.2.3/255.0.0.0 e1000e (Lab)",
                                       "2 192.168.0.10/255.255.255.0 e1000e (Office)",
                                       "10 192.168.5.1/255.255.255.252 e1000e (Lab)",
                                   }));
    EXPECT_EQ(
        adapterItemTexts(adapters),
        (std::vector<std::string>{"10.1.2.3 (Lab)", "192.168.0.10 (Office)", "192.168.5.1 (Lab)"}));
    EXPECT_EQ(bindAddressForItem(adapters, 1), ipv4("192.168.0.10"));
    EXPECT_EQ(bindAddressForItem(adapters, 3), 0u);
    EXPECT_EQ(bindAddressForItem(adapters, -1), 0u);
}

TEST(AdapterSelectionTest, FriendlyNamesComeFromTheLastRecordOfAnIndexOrTheInterfaceName) {
    InterfaceRecord unreadable = ethernet(4, "");
    // A later record for an index renames its entries even when it could not be kept itself.
    InterfaceRecord renamed = ethernet(2, "Renamed");
    renamed.operational = false;
    InterfaceRecord renamedUnreadable = ethernet(5, "");
    renamedUnreadable.name = "wlan0";
    FakeAdapterSource source;
    source.interfaceList = {ethernet(2, "Old"), unreadable, ethernet(5, "Wi-Fi"), renamed,
                            renamedUnreadable};
    source.addressRows = {addressRow("192.168.0.2", 2), addressRow("192.168.0.4", 4),
                          addressRow("192.168.0.5", 5)};
    EXPECT_EQ(adapterItemTexts(enumerateAdapters(source)),
              (std::vector<std::string>{"192.168.0.2 (Renamed)", "192.168.0.4 (eth4)",
                                        "192.168.0.5 (wlan0)"}));
}

TEST(AdapterSelectionTest, AListThatCannotBeFetchedGivesNoEntries) {
    FakeAdapterSource noInterfaces;
    noInterfaces.interfaceList = std::nullopt;
    noInterfaces.addressRows = {addressRow("192.168.0.10", 2)};
    EXPECT_TRUE(enumerateAdapters(noInterfaces).empty());

    FakeAdapterSource noAddresses;
    noAddresses.interfaceList = {ethernet(2)};
    noAddresses.addressRows = std::nullopt;
    EXPECT_TRUE(enumerateAdapters(noAddresses).empty());
}

TEST(AdapterSelectionTest, At256InterfacesAnd256EntriesTheRestIsLeftOut) {
    FakeAdapterSource source;
    source.interfaceList.emplace();
    for (uint32_t index = 1; index <= 257; ++index)
        source.interfaceList->push_back(ethernet(index));
    // The 257th usable interface is not kept, so its address comes to nothing.
    source.addressRows = {addressRow("172.16.1.1", 257)};
    for (uint32_t i = 0; i < 300; ++i) {
        const std::string dotted =
            "10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256);
        source.addressRows->push_back(addressRow(dotted.c_str(), 1 + i % 256));
    }
    const AdapterList adapters = enumerateAdapters(source);
    ASSERT_EQ(adapters.size(), kMaxAdapterEntries);
    EXPECT_EQ(dottedAddress(adapters.front().ipv4Address), "10.0.0.0");
    EXPECT_EQ(dottedAddress(adapters.back().ipv4Address), "10.0.0.255");

    const std::vector<std::string> items = adapterItemTexts(adapters);
    ASSERT_EQ(items.size(), kMaxListedAdapters);
    EXPECT_EQ(items.back(), "10.0.0.254 (Ethernet)");
    EXPECT_EQ(bindAddressForItem(adapters, 254), ipv4("10.0.0.254"));
    EXPECT_EQ(bindAddressForItem(adapters, 255), 0u);  // the 256th entry is no item
}

TEST(AdapterSelectionTest, TextsAreCutTo255BytesBetweenCharacters) {
    auto repeated = [](const std::string& piece, size_t times) {
        std::string text;
        for (size_t i = 0; i < times; ++i)
            text += piece;
        return text;
    };
    const std::vector<std::pair<std::string, size_t>> cases{
        {repeated("a", 255), 255},
        {repeated("a", 300), 255},
        {repeated("\xC3\xA9", 200), 254},            // é: 2 bytes
        {"a" + repeated("\xE3\x81\x82", 100), 253},  // あ: 3 bytes
        {"ab" + repeated("\xE3\x81\x82", 100), 254},
        {"abc" + repeated("\xE3\x81\x82", 100), 255},
        {repeated("\xF0\x9F\x94\x8C", 70), 252},  // 4 bytes
    };
    for (const auto& [text, bytes] : cases) {
        FakeAdapterSource source;
        InterfaceRecord interface = ethernet(2, text);
        interface.description = text;
        source.interfaceList = {interface};
        source.addressRows = {addressRow("192.168.0.10", 2)};
        const AdapterList adapters = enumerateAdapters(source);
        ASSERT_EQ(adapters.size(), 1u);
        EXPECT_EQ(adapters[0].description, text.substr(0, bytes));
        EXPECT_EQ(adapters[0].friendlyName, text.substr(0, bytes));
    }
}

}  // namespace
}  // namespace mervane
