#include "bench/PlantApply.h"

#include <array>
#include <stdexcept>

#include "bench/ProcessRun.h"
#include "bench/ProfileVariants.h"
#include "bench/ScratchDirectory.h"
#include "sim/SimulatedPlant.h"

namespace mervane::bench {

namespace {

constexpr uint32_t kFirstAddress = 0x7F010001;  // 127.1.0.1, host byte order
constexpr int kJobs = 16;                       // the plant list's, and mervane-cli's default

std::string dotted(uint32_t hostOrder) {
    return std::to_string(hostOrder >> 24) + '.' + std::to_string(hostOrder >> 16 & 0xFF) + '.' +
           std::to_string(hostOrder >> 8 & 0xFF) + '.' + std::to_string(hostOrder & 0xFF);
}

void check(bool held, const std::string& what) {
    if (!held) throw std::runtime_error(what);
}

}  // namespace

ApplyComparison compareApplies(PlantWindow& window, const std::string& cli, int units, int delayMs,
                               int runs) {
    sim::PlantConfig config;
    config.first.bindAddress = dotted(kFirstAddress);  // generation 4, 8 outputs
    config.count = units;
    config.broadcastAddress = "127.1.255.255";
    sim::SimulatedPlant plant(config);
    std::string error;
    check(plant.start(&error), "cannot start the plant: " + error);

    const ScratchDirectory scratch("mervane-bench-plant");
    std::string hosts;
    for (int u = 0; u < units; ++u)
        hosts += dotted(kFirstAddress + static_cast<uint32_t>(u)) + '\n';
    const std::string hostsFile = scratch.write("hosts", hosts);
    // The profiles are the first unit's own, as read, with each variant's changes.
    const auto read = runProcess({cli, "--json", "read", config.first.bindAddress});
    std::array<std::string, kProfileVariants.size()> profiles;
    for (size_t v = 0; v < kProfileVariants.size(); ++v) {
        const std::string text = variantProfileText(read.output, kProfileVariants[v]);
        check(read.exitStatus == 0 && !text.empty(), "cannot read " + config.first.bindAddress);
        profiles[v] = scratch.write("profile-" + std::to_string(v) + ".json", text);
    }

    const auto last = kFirstAddress + static_cast<uint32_t>(units - 1);
    const WatchedStep search = window.openList(kFirstAddress, last, 30000);
    check(search.finished && window.list().unitCount() == units, "the search missed units");
    sim::UnitFaults faults;
    faults.replyDelayMs = delayMs;
    for (size_t u = 0; u < plant.size(); ++u)
        plant.unit(u).setFaults(faults);

    const auto size = static_cast<size_t>(units);
    ApplyComparison result{{}, {}, units, delayMs, kJobs};
    size_t applies = 0;
    const auto prepare = [&] {
        const size_t writes = applies++ % kProfileVariants.size();
        for (size_t u = 0; u < size; ++u)
            plant.unit(u).clearReceived();  // the plant keeps every request otherwise
        holdVariant(plant, size, kProfileVariants[(writes + 1) % kProfileVariants.size()]);
        return writes;
    };
    const auto applyInList = [&] {
        const size_t writes = prepare();
        window.setProfile(profiles[writes]);
        const WatchedStep step = window.act({"CheckAllButton", "ApplyProfileButton"}, 30000, 0);
        check(step.finished, "the plant list's apply did not end");
        for (int row = 0; row < units; ++row) {
            check(window.list().model().resultText(row) == QStringLiteral("検証済み"),
                  "the plant list: " + window.list().model().resultText(row).toStdString());
        }
        check(holdsVariant(plant, size, kProfileVariants[writes]),
              "the plant list left units without what it wrote");
        result.list.add(step.ms);
    };
    const auto applyByCli = [&] {
        const size_t writes = prepare();
        const ProcessResult run =
            runProcess({cli, "--json", "--jobs", std::to_string(kJobs), "--hosts", hostsFile,
                        "apply", "--profile", profiles[writes], "--verify"});
        check(run.started && run.exitStatus == 0, "mervane-cli apply failed");
        check(holdsVariant(plant, size, kProfileVariants[writes]),
              "mervane-cli left units without what it wrote");
        result.cli.add(run.wallMs);
    };
    for (int run = 0; run < runs; ++run) {
        if (run % 2 == 0) {
            applyInList();
            applyByCli();
        } else {
            applyByCli();
            applyInList();
        }
    }
    window.closeList();
    return result;
}

}  // namespace mervane::bench
