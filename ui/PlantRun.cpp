#include "ui/PlantRun.h"

#include <QMetaObject>

#include <optional>
#include <system_error>

#include "fleet/AnsweringWindow.h"
#include "fleet/OrderedRun.h"

namespace mervane {

PlantRun::PlantRun(Setup setup, QObject* parent) : QObject(parent), setup_(std::move(setup)) {
    // The window waits for units being written; nothing ends the process under them.
    interruption_.setEndsAtOnceWhenIdle(false);
}

PlantRun::~PlantRun() {
    cancel();
    wait();
}

bool PlantRun::start() {
    if (running()) return false;
    try {
        worker_ = std::thread([this] {
            const size_t count = setup_.units.size();
            std::vector<std::optional<fleet::UnitOutcome>> outcomes(count);
            fleet::UnitTask task = setup_.task;
            task.interruption = &interruption_;
            fleet::runInOrder(
                count, setup_.jobs,
                [&](size_t i) {
                    fleet::AnsweringWindow window(setup_.units[i].host, setup_.port,
                                                  setup_.clearOneShot);
                    outcomes[i] = fleet::runUnitOnNewLink(task, window, setup_.prepareLink);
                },
                [&](size_t i) {
                    bool wake = false;
                    {
                        const std::lock_guard lock(mutex_);
                        delivered_.emplace_back(setup_.units[i].row, std::move(*outcomes[i]));
                        wake = !wakePosted_;
                        wakePosted_ = true;
                    }
                    // One wake per batch the window has not yet taken: a thousand units do not
                    // queue a thousand calls.
                    if (wake) emit outcomesReady();
                });
            emit finished();
        });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

bool PlantRun::cancel() {
    return interruption_.request();
}

PlantRun::Outcomes PlantRun::takeOutcomes() {
    const std::lock_guard lock(mutex_);
    wakePosted_ = false;
    return std::exchange(delivered_, {});
}

void PlantRun::wait() {
    if (worker_.joinable()) worker_.join();
}

}  // namespace mervane
