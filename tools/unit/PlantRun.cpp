#include "tools/unit/PlantRun.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <optional>

#include "link/ModelTable.h"
#include "tools/unit/Console.h"
#include "tools/unit/LineWriter.h"
#include "tools/unit/UnitText.h"

namespace mervane::unit {

namespace {

// A unit holds two UDP sockets, a TCP listener, a wake and an inbox eventfd, and one connection
// while a client is connected.
constexpr rlim_t kDescriptorsPerUnit = 6;

void makeRoomForDescriptors(size_t units) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    const rlim_t wanted = units * kDescriptorsPerUnit + 64;
    if (limit.rlim_cur >= wanted) return;
    // Without more, the plant fails to start and says which unit ran out.
    limit.rlim_cur = std::min(wanted, limit.rlim_max);
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

// The outputs a unit's last line showed, so that a change racing the first line can neither be
// lost nor printed out of order.
struct Shown {
    std::mutex mutex;
    std::optional<uint8_t> outputs;
};

void printStartUp(const sim::SimulatedPlant& plant) {
    const size_t count = plant.size();
    std::string summary = "mervane-unit: simulated plant of " + std::to_string(count) +
                          (count == 1 ? " unit, " : " units, ") + plant.unitConfig(0).bindAddress;
    if (count > 1) summary += " to " + plant.unitConfig(count - 1).bindAddress;
    summary += "; UDP port " + std::to_string(plant.udpPort()) + ", TCP port " +
               std::to_string(plant.tcpPort());
    if (!plant.broadcastAddress().empty()) {
        summary +=
            "; broadcasts on " + plant.broadcastAddress() + ":" + std::to_string(plant.udpPort());
    }
    std::fputs((summary + "\n").c_str(), stdout);
    for (size_t i = 0; i < count; ++i) {
        const sim::UnitConfig& unit = plant.unitConfig(i);
        std::fputs(("mervane-unit: " + unit.bindAddress + " " + unitText(unit) + "\n").c_str(),
                   stdout);
    }
    std::fflush(stdout);
}

}  // namespace

int runPlant(const sim::PlantConfig& config, const std::vector<sim::UnitConfig>& units, bool quiet,
             const sigset_t& stopSignals) {
    makeRoomForDescriptors(units.size());
    // Lines wait in the writer until the start-up lines are out, then follow them.
    LineWriter log;
    sim::SimulatedPlant plant(config);
    if (!quiet) {
        plant.setReceiveObserver([&log, &units](size_t unit, const sim::ReceivedRecord& record) {
            log.line(clockText() + " " + units[unit].bindAddress + " " + recordText(record));
        });
    }
    std::string error;
    if (!plant.start(&error)) {
        std::fprintf(stderr, "mervane-unit: cannot start: %s\n", error.c_str());
        return 1;
    }
    printStartUp(plant);
    log.start();

    std::vector<Shown> shown(plant.size());
    for (size_t i = 0; i < plant.size() && !quiet; ++i) {
        const int outputCount = modelRow(units[i].modelIndex).outputCount;
        if (outputCount <= 0) continue;
        sim::SimulatedUnit& unit = plant.unit(i);
        auto show = [&log, &unit, &shown = shown[i], &address = units[i].bindAddress, outputCount] {
            std::lock_guard lock(shown.mutex);
            const uint8_t outputs = unit.outputs();
            if (shown.outputs == outputs) return;
            shown.outputs = outputs;
            log.line(clockText() + " " + address + " " + outputsText(outputs, outputCount));
        };
        unit.setOutputObserver([show](uint8_t) { show(); });
        show();
    }

    int stopSignal = 0;
    sigwait(&stopSignals, &stopSignal);
    plant.stop();
    // Written after every waiting line, and never dropped with them.
    log.stop();
    if (!quiet) {
        std::printf("mervane-unit: stopped by %s\n", stopSignal == SIGINT ? "SIGINT" : "SIGTERM");
    }
    return 0;
}

}  // namespace mervane::unit
