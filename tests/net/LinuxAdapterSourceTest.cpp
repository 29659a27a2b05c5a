// The Linux source read from a made-up /sys/class/net, and once from this machine.

#include "net/LinuxAdapterSource.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "net/Adapters.h"

namespace mervane {
namespace {

namespace fs = std::filesystem;

class ScratchSysClassNet : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::path(::testing::TempDir()) /
                ("mervane-net-" + std::to_string(getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    // An interface directory with the given attribute files; a value of "->x" makes a symlink.
    void addInterface(const std::string& name, const std::map<std::string, std::string>& files) {
        for (const auto& [file, content] : files) {
            const fs::path path = root_ / name / file;
            fs::create_directories(path.parent_path());
            if (content.rfind("->", 0) == 0) {
                fs::create_symlink(content.substr(2), path);
            } else {
                std::ofstream(path) << content;
            }
        }
    }

    fs::path root_;
};

TEST_F(ScratchSysClassNet, EachInterfaceDirectoryGivesOneRecordInIndexOrder) {
    addInterface("eth0", {{"ifindex", "12\n"},
                          {"operstate", "up\n"},
                          {"flags", "0x1003\n"},
                          {"addr_len", "6\n"},
                          {"address", "52:54:00:ab:cd:ef\n"},
                          {"speed", "1000\n"},
                          {"device/driver", "->../../../bus/pci/drivers/e1000e"},
                          {"ifalias", "事務所 LAN\n"}});
    addInterface("lo", {{"ifindex", "1\n"},
                        {"operstate", "unknown\n"},
                        {"flags", "0x9\n"},
                        {"addr_len", "6\n"},
                        {"address", "00:00:00:00:00:00\n"},
                        {"ifalias", "\n"}});
    // Up with no link state, no hardware address, an alias that is not UTF-8.
    addInterface("tun0", {{"ifindex", "40\n"},
                          {"operstate", "unknown\n"},
                          {"flags", "0x1091\n"},
                          {"addr_len", "0\n"},
                          {"address", "\n"},
                          {"speed", "10\n"},
                          {"ifalias", "\xFF\xFE\n"}});
    // Administratively down although it says "unknown"; unknown speed.
    addInterface("dummy0", {{"ifindex", "7\n"},
                            {"operstate", "unknown\n"},
                            {"flags", "0x82\n"},
                            {"addr_len", "6\n"},
                            {"address", "aa:bb:cc:dd:ee:ff\n"},
                            {"speed", "-1\n"}});
    addInterface("broken", {{"operstate", "up\n"}});  // no index: left out

    LinuxAdapterSource source(root_.string());
    const auto records = source.interfaces();
    ASSERT_TRUE(records.has_value());
    std::vector<std::string> lines;
    for (const InterfaceRecord& r : *records) {
        std::string hardware;
        for (const uint8_t byte : r.hardwareAddress)
            hardware += std::to_string(byte) + ".";
        lines.push_back(std::to_string(r.index) + " " + r.name +
                        " up=" + std::to_string(r.operational) + " hw=" + hardware +
                        " bps=" + std::to_string(r.speedBitsPerSecond) + " " + r.description +
                        " (" + r.friendlyName + ")");
    }
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "1 lo up=1 hw=0.0.0.0.0.0. bps=0 lo ()",
                         "7 dummy0 up=0 hw=170.187.204.221.238.255. bps=0 dummy0 ()",
                         "12 eth0 up=1 hw=82.84.0.171.205.239. bps=1000000000 e1000e (事務所 LAN)",
                         "40 tun0 up=1 hw= bps=10000000 tun0 ()",
                     }));
}

TEST_F(ScratchSysClassNet, AMissingDirectoryCannotBeFetched) {
    LinuxAdapterSource source((root_ / "absent").string());
    EXPECT_FALSE(source.interfaces().has_value());
}

// Asserts only what holds on any machine: whatever its adapters, the selection's promises.
TEST(LinuxAdapterSourceTest, ThisMachinesAdaptersKeepTheSelectionsPromises) {
    LinuxAdapterSource source;
    const auto rows = source.ipv4Addresses();
    ASSERT_TRUE(rows.has_value());
    const AdapterList adapters = enumerateAdapters(source);
    EXPECT_LE(adapters.size(), kMaxAdapterEntries);
    for (const AdapterEntry& entry : adapters) {
        EXPECT_NE(dottedAddress(entry.ipv4Address), "127.0.0.1");
        EXPECT_NE(entry.ifIndex, 0u);
        EXPECT_FALSE(entry.description.empty());
        EXPECT_FALSE(entry.friendlyName.empty());
    }
}

}  // namespace
}  // namespace mervane
