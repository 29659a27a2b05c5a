#include "tests/soak/Scenarios.h"

#include <array>

namespace mervane::soak {

namespace {

constexpr const char* kIdentificationFailed = "通信エラー";
constexpr const char* kActiveReadFailed = "設定取得通信エラー: 1-";
constexpr const char* kEnableReadFailed = "設定取得通信エラー: 2-";
constexpr const char* kTimesReadFailed = "設定取得通信エラー: 3-";
constexpr const char* kIntervalReadFailed = "設定取得通信エラー: 4-";

sim::UnitFaults faults(void (*set)(sim::UnitFaults&)) {
    sim::UnitFaults f;
    set(f);
    return f;
}

const std::array<Scenario, 2> kHealthy{{
    {"healthy letter unit", UnitKind::kLetter, {}, nullptr},
    {"healthy binary unit", UnitKind::kBinary, {}, nullptr},
}};

// Each costs at most a few session or identification time-outs.
const std::array<Scenario, 9> kQuick{{
    {"no identification reply", UnitKind::kLetter,
     faults([](sim::UnitFaults& f) { f.noUdpReply = true; }), kIdentificationFailed},
    {"oversized first reply", UnitKind::kLetter,
     faults([](sim::UnitFaults& f) { f.firstReplySize = 31; }), kIdentificationFailed},
    {"unit query refused (7x reply)", UnitKind::kBinary,
     faults([](sim::UnitFaults& f) { f.uuHighNibble7 = true; }), kIdentificationFailed},
    {"silent on enable-mask read (letter)", UnitKind::kLetter,
     faults([](sim::UnitFaults& f) { f.silentCommand = "OH"; }), kEnableReadFailed},
    {"silent on interval read (binary)", UnitKind::kBinary,
     faults([](sim::UnitFaults& f) { f.silentCommand = "E2"; }), kIntervalReadFailed},
    {"one-byte binary replies", UnitKind::kBinary,
     faults([](sim::UnitFaults& f) { f.oneByteBinaryReply = true; }), kActiveReadFailed},
    {"closes after two requests", UnitKind::kBinary,
     faults([](sim::UnitFaults& f) { f.closeAfterRequests = 2; }), kIntervalReadFailed},
    // The probe's extended unit query reads an exact length, so the stray frame ends it.
    {"stray frame before each reply", UnitKind::kLetter,
     faults([](sim::UnitFaults& f) { f.strayFramesBeforeReply = 1; }), kIdentificationFailed},
    // Every reply in one-byte pieces: the link reassembles them.
    {"replies split into bytes", UnitKind::kBinary, faults([](sim::UnitFaults& f) {
         f.splitPieceBytes = 1;
         f.splitPauseMs = 2;
     }),
     nullptr},
}};

// The unit query's two reads wait 1 s each before the extended query answers; that one names
// the unit generation 4, which asks the binary unit for per-output times it cannot give.
const Scenario kSlow{"unit query unanswered", UnitKind::kBinary,
                     faults([](sim::UnitFaults& f) { f.noUuAnswer = true; }), kTimesReadFailed};

constexpr int kSlowEvery = 100;
constexpr int kQuickCount = static_cast<int>(kQuick.size());
constexpr int kHealthyCount = static_cast<int>(kHealthy.size());

}  // namespace

int scenarioCount() {
    return kHealthyCount + kQuickCount + 1;
}

const Scenario& scenarioAt(int index) {
    if (index < kHealthyCount) return kHealthy[static_cast<size_t>(index)];
    if (index < kHealthyCount + kQuickCount) {
        return kQuick[static_cast<size_t>(index - kHealthyCount)];
    }
    return kSlow;
}

int scenarioIndexForCycle(int cycle) {
    const int pair = (cycle - 1) / 2;  // 0-based count of healthy/misbehaving pairs before
    if (cycle % 2 == 1) return pair % kHealthyCount;
    if (pair % kSlowEvery == kSlowEvery / 2) return kHealthyCount + kQuickCount;
    return kHealthyCount + pair % kQuickCount;
}

const Scenario& scenarioForCycle(int cycle) {
    return scenarioAt(scenarioIndexForCycle(cycle));
}

}  // namespace mervane::soak
