#include "sim/OutputCycle.h"

#include <algorithm>

namespace mervane::sim {

namespace {

using std::chrono::milliseconds;

// A time of 0 still lasts one step, so a zero setting never spins.
milliseconds stepTime(uint8_t steps) {
    return milliseconds(100) * std::max<int>(steps, 1);
}

bool sameCycle(const UnitSettingsState& a, const UnitSettingsState& b) {
    return a.active == b.active && a.enableMask == b.enableMask &&
           a.intervalIndex == b.intervalIndex && a.onTime == b.onTime && a.offTime == b.offTime;
}

}  // namespace

OutputSchedule::OutputSchedule(bool generation4, int outputCount)
    : generation4_(generation4),
      present_(static_cast<uint8_t>((1U << std::clamp(outputCount, 0, 8)) - 1U)) {}

std::optional<milliseconds> OutputSchedule::intervalLength(uint8_t index) {
    if (index < 20) return milliseconds(100) * (index + 1);
    if (index < 32) return milliseconds(1000) * (index - 17);
    return std::nullopt;
}

void OutputSchedule::restart(const UnitSettingsState& settings, CycleClock::time_point now) {
    outputs_ = 0;
    deadline_.fill(std::nullopt);
    if (settings.active == 0) return;
    const auto interval = intervalLength(settings.intervalIndex);
    if (!generation4_ && !interval) return;

    const uint8_t enabled = settings.enableMask & present_;
    for (size_t i = 0; i < deadline_.size(); ++i) {
        if ((enabled & (1U << i)) == 0) continue;
        if (generation4_) {
            onFor_[i] = stepTime(settings.onTime[i]);
            offFor_[i] = stepTime(settings.offTime[i]);
        } else {
            onFor_[i] = offFor_[i] = *interval;
        }
        outputs_ = static_cast<uint8_t>(outputs_ | (1U << i));
        deadline_[i] = now + onFor_[i];
    }
}

void OutputSchedule::advance(CycleClock::time_point now) {
    for (size_t i = 0; i < deadline_.size(); ++i) {
        auto& deadline = deadline_[i];
        if (!deadline || *deadline > now) continue;
        const uint8_t bit = static_cast<uint8_t>(1U << i);
        outputs_ ^= bit;
        const milliseconds phase = (outputs_ & bit) != 0 ? onFor_[i] : offFor_[i];
        *deadline += phase;
        // Far behind (a stalled thread): carry on from now rather than switch in a burst.
        if (*deadline <= now) *deadline = now + phase;
    }
}

std::optional<CycleClock::time_point> OutputSchedule::nextDeadline() const {
    std::optional<CycleClock::time_point> next;
    for (const auto& deadline : deadline_) {
        if (deadline && (!next || *deadline < *next)) next = deadline;
    }
    return next;
}

OutputCycle::OutputCycle(bool generation4, int outputCount) : schedule_(generation4, outputCount) {}

OutputCycle::~OutputCycle() {
    stop();
}

void OutputCycle::start(const UnitSettingsState& settings) {
    std::lock_guard lock(mutex_);
    if (thread_.joinable()) return;
    settings_ = settings;
    restartPending_ = true;
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
}

void OutputCycle::stop() {
    {
        std::lock_guard lock(mutex_);
        if (!thread_.joinable()) return;
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void OutputCycle::apply(const UnitSettingsState& settings) {
    {
        std::lock_guard lock(mutex_);
        if (sameCycle(settings, settings_)) return;
        settings_ = settings;
        restartPending_ = true;
    }
    wake_.notify_all();
}

uint8_t OutputCycle::outputs() const {
    std::lock_guard lock(mutex_);
    return published_;
}

bool OutputCycle::waitFor(const std::function<bool(uint8_t)>& predicate,
                          milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return outputsChanged_.wait_for(lock, timeout, [&] { return predicate(published_); });
}

void OutputCycle::setObserver(std::function<void(uint8_t)> observer) {
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

void OutputCycle::run() {
    std::unique_lock lock(mutex_);
    auto interrupted = [this] { return stopping_ || restartPending_; };
    while (!stopping_) {
        if (restartPending_) {
            restartPending_ = false;
            schedule_.restart(settings_, CycleClock::now());
            publish(lock);
            continue;
        }
        const auto next = schedule_.nextDeadline();
        if (!next) {
            wake_.wait(lock, interrupted);
            continue;
        }
        if (wake_.wait_until(lock, *next, interrupted)) continue;
        schedule_.advance(CycleClock::now());
        publish(lock);
    }
}

void OutputCycle::publish(std::unique_lock<std::mutex>& lock) {
    const uint8_t outputs = schedule_.outputs();
    if (outputs == published_) return;
    published_ = outputs;
    outputsChanged_.notify_all();
    if (!observer_) return;
    auto observer = observer_;
    lock.unlock();
    observer(outputs);
    lock.lock();
}

}  // namespace mervane::sim
