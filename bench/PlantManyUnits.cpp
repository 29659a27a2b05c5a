#include "bench/PlantManyUnits.h"

#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "bench/PlantProcess.h"

namespace mervane::bench {

namespace {

constexpr uint32_t kFirstAddress = 0x7F020001;  // 127.2.0.1, host byte order

double processCpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Where the time of a step went, on standard error: its longest stall and longest event (the
// receiver's class and the event's type), each split into the window thread's time on a core
// and waiting for one, and the CPU time of the plant and of this process over the step.
void record(StepFigures& figures, const WatchedStep& step, const char* what, double plantCpuMs,
            double ownCpuMs) {
    std::fprintf(stderr,
                 "mervane-bench-plant: %s: %.1f ms; longest gap %.1f ms (%.1f on a core, %.1f "
                 "waiting for one); longest event %.1f ms (%.1f, %.1f; %s); CPU: plant %.0f ms, "
                 "window process %.0f ms\n",
                 what, step.ms, step.longestGapMs, step.longestGapCpuMs, step.longestGapWaitMs,
                 step.longestEventMs, step.longestEventCpuMs, step.longestEventWaitMs,
                 step.longestEvent.c_str(), plantCpuMs, ownCpuMs);
    figures.gap.add(step.longestGapMs);
    figures.gapCpu.add(step.longestGapCpuMs);
    figures.event.add(step.longestEventMs);
    figures.ms.add(step.ms);
}

void check(bool held, const std::string& what) {
    if (!held) throw std::runtime_error(what);
}

}  // namespace

void Spread::add(double value) {
    samples.add(value);
    largest = std::max(largest, value);
}

std::string Spread::text(const std::string& unit, int decimals) const {
    return fixed(samples.median(), decimals) + unit + " (largest " + fixed(largest, decimals) +
           unit + ")";
}

ManyUnitFigures searchAndRead(PlantWindow& window, const std::string& unitProgram, int units,
                              int niceness, int runs) {
    const PlantProcess plant(unitProgram,
                             {"--count", std::to_string(units), "--address", "127.2.0.1",
                              "--broadcast", "127.2.255.255"},
                             units, niceness);
    const auto last = kFirstAddress + static_cast<uint32_t>(units - 1);
    ManyUnitFigures figures;
    for (int run = 0; run < runs; ++run) {
        ListMemory memory;
        memory.alone = residentKiB();
        check(resetPeakResident(), "cannot reset the peak resident size");
        double plantCpu = plant.cpuMs();
        double ownCpu = processCpuMs();
        const WatchedStep found = window.openList(kFirstAddress, last, 60000);
        check(found.finished && window.list().unitCount() == units,
              "the search listed " + std::to_string(window.list().unitCount()) + " units");
        record(figures.search, found, "search", plant.cpuMs() - plantCpu, processCpuMs() - ownCpu);
        memory.listed = residentKiB();

        plantCpu = plant.cpuMs();
        ownCpu = processCpuMs();
        const WatchedStep read = window.act({"CheckAllButton", "ReadUnitsButton"}, 120000);
        check(read.finished, "設定受信 did not end");
        for (int row = 0; row < units; ++row) {
            check(window.list().model().rowState(row) == PlantRowState::kSucceeded,
                  "設定受信: " + window.list().model().resultText(row).toStdString());
        }
        record(figures.read, read, "read", plant.cpuMs() - plantCpu, processCpuMs() - ownCpu);
        memory.read = residentKiB();
        memory.peak = peakResidentKiB();
        window.closeList();
        memory.closed = residentKiB();
        if (run == 0) {
            ::malloc_trim(0);
            memory.trimmed = residentKiB();
            figures.memory = memory;
        }
        std::fprintf(stderr,
                     "mervane-bench-plant: resident: %ld KiB alone, %ld listed, %ld read, peak "
                     "%ld, %ld closed\n",
                     memory.alone, memory.listed, memory.read, memory.peak, memory.closed);
    }
    return figures;
}

}  // namespace mervane::bench
