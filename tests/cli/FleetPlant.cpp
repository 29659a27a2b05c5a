#include "tests/cli/FleetPlant.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace mervane::testing {

namespace {

sim::UnitSettingsState fleetSettings(bool written) {
    sim::UnitSettingsState s;
    s.active = written ? 1 : 0;
    s.enableMask = written ? 0xA5 : 0x5A;
    for (uint8_t c = 0; c < 8; ++c) {
        s.onTime[c] = static_cast<uint8_t>((written ? 101 : 1) + c);
        s.offTime[c] = static_cast<uint8_t>((written ? 201 : 11) + c);
    }
    return s;
}

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream file(path);
    file << text;
    ASSERT_TRUE(file.flush()) << path;
}

}  // namespace

sim::UnitSettingsState oldFleetSettings() {
    return fleetSettings(false);
}

sim::UnitSettingsState newFleetSettings() {
    return fleetSettings(true);
}

bool sameWrittenFields(const sim::UnitSettingsState& a, const sim::UnitSettingsState& b) {
    return a.active == b.active && a.enableMask == b.enableMask && a.onTime == b.onTime &&
           a.offTime == b.offTime;
}

FleetPlant::FleetPlant(const std::string& prefix, int count,
                       const std::function<sim::UnitFaults(int)>& faultsOf)
    : units_(30718, 10003) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "mervane-fleet-XXXXXX").string();
    directory_ = mkdtemp(pattern.data()) != nullptr ? pattern : "";
    EXPECT_FALSE(directory_.empty()) << "mkdtemp";
    std::string hostLines;
    for (int i = 0; i < count; ++i) {
        sim::UnitConfig config = unitConfig(19, "_W", faultsOf ? faultsOf(i) : sim::UnitFaults{});
        config.initial = oldFleetSettings();
        hosts_.push_back(prefix + std::to_string(i + 1));
        units_.add(hosts_.back(), config);
        hostLines += hosts_.back() + '\n';
    }
    const sim::UnitSettingsState profile = newFleetSettings();
    const nlohmann::json object = {{"active", profile.active != 0},
                                   {"enableMask", profile.enableMask},
                                   {"onTime", profile.onTime},
                                   {"offTime", profile.offTime}};
    writeFile(directory_ / "hosts", hostLines);
    writeFile(directory_ / "profile.json", object.dump());
}

FleetPlant::~FleetPlant() {
    std::error_code ignored;
    if (!directory_.empty()) std::filesystem::remove_all(directory_, ignored);
}

void FleetPlant::reset(const sim::UnitFaults& faults) {
    for (size_t i = 0; i < size(); ++i) {
        units_[i].setFaults(faults);
        units_[i].setSettings(oldFleetSettings());
        units_[i].clearReceived();
    }
}

std::vector<std::string> FleetPlant::applyArgs(std::vector<std::string> before) const {
    before.insert(before.end(), {"--json", "--hosts", (directory_ / "hosts").string(), "apply",
                                 "--profile", (directory_ / "profile.json").string(), "--verify"});
    return before;
}

std::map<std::string, nlohmann::json> resultsByHost(const std::string& out) {
    std::map<std::string, nlohmann::json> results;
    const nlohmann::json array = nlohmann::json::parse(out, nullptr, false);
    EXPECT_TRUE(array.is_array()) << out;
    if (!array.is_array()) return results;
    for (const nlohmann::json& element : array) {
        results[element.value("host", "")] = element;
    }
    return results;
}

int threadCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/task")) {
        ++count;
    }
    return count;
}

int settledCount(const std::function<int()>& count, int expected) {
    // A joined thread's entry in /proc may outlive the join by a moment.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int now = count();
    while (now != expected && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        now = count();
    }
    return now;
}

}  // namespace mervane::testing
