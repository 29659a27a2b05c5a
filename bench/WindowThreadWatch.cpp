#include "bench/WindowThreadWatch.h"

#include <fcntl.h>
#include <unistd.h>

#include <QEventLoop>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "bench/Measure.h"

namespace mervane::bench {

namespace {

double toMs(int64_t ns) {
    return static_cast<double>(ns) / 1e6;
}

}  // namespace

TimedApplication::TimedApplication(int& argc, char** argv)
    : QApplication(argc, argv),
      // Opened here, on the window thread, so that it stays that thread's.
      schedstat_(::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC)) {}

ThreadTimes TimedApplication::threadTimes() const {
    std::array<char, 128> text{};
    if (!schedstat_.valid() || ::pread(schedstat_.get(), text.data(), text.size() - 1, 0) <= 0) {
        return {};
    }
    char* rest = nullptr;
    ThreadTimes times;
    times.cpuNs = std::strtoll(text.data(), &rest, 10);
    times.waitNs = std::strtoll(rest, nullptr, 10);
    return times;
}

void TimedApplication::resetLongestEvent() {
    longestNs_ = 0;
    longestTimes_ = {};
    longestWhat_.clear();
}

bool TimedApplication::notify(QObject* receiver, QEvent* event) {
    if (depth_ > 0) return QApplication::notify(receiver, event);
    ++depth_;
    const int64_t start = monotonicNs();
    const ThreadTimes before = threadTimes();
    const auto type = event->type();  // the event may be gone afterwards
    const char* receiverClass = receiver->metaObject()->className();
    const bool handled = QApplication::notify(receiver, event);
    if (const int64_t took = monotonicNs() - start; took > longestNs_) {
        const ThreadTimes after = threadTimes();
        longestNs_ = took;
        longestTimes_ = {after.cpuNs - before.cpuNs, after.waitNs - before.waitNs};
        longestWhat_ = std::string(receiverClass) + ' ' + std::to_string(static_cast<int>(type));
    }
    --depth_;
    return handled;
}

WindowThreadWatch::WindowThreadWatch(TimedApplication& app) : app_(app) {
    tick_.setTimerType(Qt::PreciseTimer);
    tick_.setInterval(1);
}

WatchedStep WindowThreadWatch::run(const std::function<void()>& begin,
                                   const std::function<bool()>& done, int limitMs, int settleMs) {
    WatchedStep step;
    QEventLoop loop;
    int64_t last = 0;
    ThreadTimes lastTimes;
    int64_t doneAt = 0;
    const auto connection = connect(&tick_, &QTimer::timeout, &loop, [&] {
        const int64_t now = monotonicNs();
        const ThreadTimes times = app_.threadTimes();
        if (toMs(now - last) > step.longestGapMs) {
            step.longestGapMs = toMs(now - last);
            step.longestGapCpuMs = toMs(times.cpuNs - lastTimes.cpuNs);
            step.longestGapWaitMs = toMs(times.waitNs - lastTimes.waitNs);
        }
        last = now;
        lastTimes = times;
        if (doneAt == 0 && done()) doneAt = now;
        if (doneAt != 0 && now - doneAt >= int64_t{settleMs} * 1'000'000) loop.quit();
    });
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);

    // Begun from the loop, as a press is: what it posts is handled there, and a dialog it closes
    // is deleted there.
    int64_t start = 0;
    QTimer::singleShot(0, &loop, [&] {
        app_.resetLongestEvent();
        tick_.start();
        start = monotonicNs();
        last = start;
        lastTimes = app_.threadTimes();
        begin();
    });
    loop.exec();
    tick_.stop();
    disconnect(connection);

    step.finished = doneAt != 0;
    step.ms = toMs(doneAt - start);
    step.longestEventMs = toMs(app_.longestEventNs());
    step.longestEventCpuMs = toMs(app_.longestEventTimes().cpuNs);
    step.longestEventWaitMs = toMs(app_.longestEventTimes().waitNs);
    step.longestEvent = app_.longestEventWhat();
    return step;
}

}  // namespace mervane::bench
