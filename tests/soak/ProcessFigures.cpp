#include "tests/soak/ProcessFigures.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

#include "tests/OpenDescriptors.h"

namespace mervane::soak {

namespace {

// The number after `key` on its line of /proc/self/status, or -1.
long statusField(const std::string& status, const std::string& key) {
    const size_t at = status.find("\n" + key);
    if (at == std::string::npos) return -1;
    return std::stol(status.substr(at + 1 + key.size()));
}

}  // namespace

ProcessFigures readProcessFigures() {
    ProcessFigures figures;
    figures.descriptors = testing::openDescriptorCount();
    std::ifstream file("/proc/self/status");
    const std::string status = "\n" + std::string(std::istreambuf_iterator<char>(file), {});
    figures.threads = static_cast<int>(statusField(status, "Threads:"));
    figures.rssKiB = statusField(status, "VmRSS:");
    return figures;
}

ProcessFigures settledProcessFigures() {
    constexpr int kReadings = 10;
    constexpr auto kSpacing = std::chrono::milliseconds(10);
    ProcessFigures lowest = readProcessFigures();
    for (int i = 1; i < kReadings; ++i) {
        std::this_thread::sleep_for(kSpacing);
        const ProcessFigures now = readProcessFigures();
        lowest.descriptors = std::min(lowest.descriptors, now.descriptors);
        lowest.threads = std::min(lowest.threads, now.threads);
        lowest.rssKiB = now.rssKiB;
    }
    return lowest;
}

std::string describe(const ProcessFigures& figures) {
    return "fds " + std::to_string(figures.descriptors) + ", threads " +
           std::to_string(figures.threads) + ", RSS " + std::to_string(figures.rssKiB) + " KiB";
}

}  // namespace mervane::soak
