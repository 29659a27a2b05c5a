#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "fleet/Interruption.h"
#include "fleet/UnitWork.h"
#include "link/DeviceLink.h"

namespace mervane {

// One action of the plant list over many units, on a worker thread of its own that runs the
// fleet's per-unit work `jobs` units at a time, each unit with a link of its own. The worker
// never touches a widget: outcomes are queued in the order of the units and taken in batches by
// the window thread (takeOutcomes), which `outcomesReady` and `finished` wake.
//
// cancel() stops every unit not yet being written (it reports kNotStarted); a unit being written
// finishes, with its check, so that none is left half-written. The destructor cancels and waits.
// Window thread only, except where said.
class PlantRun final : public QObject {
    Q_OBJECT

  public:
    struct Unit {
        int row = 0;       // the plant list's row, handed back with the outcome
        std::string host;  // dotted address
    };
    struct Setup {
        std::vector<Unit> units;
        fleet::UnitTask task;  // its interruption is the run's own
        uint16_t port = 10003;
        bool clearOneShot = false;  // the answer to the one-shot question
        int jobs = 16;
        // Bind address, trace, time-outs; runs on the worker's threads.
        std::function<void(DeviceLink&)> prepareLink;
    };
    using Outcomes = std::vector<std::pair<int, fleet::UnitOutcome>>;

    explicit PlantRun(Setup setup, QObject* parent = nullptr);
    ~PlantRun() override;

    // False when the worker cannot be started.
    bool start();
    // True when no unit was being written, so the run ends at once.
    bool cancel();
    bool cancelled() const { return interruption_.requested(); }
    bool running() const { return worker_.joinable(); }
    // Outcomes delivered since the last call, in the order of the units.
    Outcomes takeOutcomes();
    // Waits for the worker (after cancel(), the writes under way).
    void wait();

  signals:
    // From the worker, queued: outcomes are waiting (once per batch the window has not taken).
    void outcomesReady();
    // Queued, after the last outcome.
    void finished();

  private:
    const Setup setup_;
    fleet::Interruption interruption_;
    std::mutex mutex_;
    Outcomes delivered_;
    bool wakePosted_ = false;
    std::thread worker_;
};

}  // namespace mervane
