#pragma once

#include <QApplication>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <string>

#include "link/UniqueFd.h"

namespace mervane::bench {

// The window thread's time so far on a core and waiting for one (/proc/thread-self/schedstat),
// so that a stall can be told apart as work or as a busy machine.
struct ThreadTimes {
    int64_t cpuNs = 0;
    int64_t waitNs = 0;  // runnable, but no core free
};

// The application, timing each event it delivers on the window thread: the longest delivery
// tells which single piece of work held the thread.
class TimedApplication final : public QApplication {
  public:
    TimedApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
    // The window thread's times now; zeros where the system does not keep them.
    ThreadTimes threadTimes() const;

    // The longest delivery since the last reset, in nanoseconds; deliveries within a delivery
    // count as part of it.
    int64_t longestEventNs() const { return longestNs_; }
    // The window thread's times during that delivery.
    const ThreadTimes& longestEventTimes() const { return longestTimes_; }
    // Its receiver's class and the event's type, e.g. "QTreeView 77".
    const std::string& longestEventWhat() const { return longestWhat_; }
    void resetLongestEvent();

  private:
    UniqueFd schedstat_;
    int depth_ = 0;
    int64_t longestNs_ = 0;
    ThreadTimes longestTimes_;
    std::string longestWhat_;
};

// What the window thread did during one timed step.
struct WatchedStep {
    bool finished = false;        // `done` held before the limit
    double ms = 0;                // from `begin` until `done` was first seen to hold
    double longestGapMs = 0;      // the longest time the thread gave the heartbeat no turn
    double longestGapCpuMs = 0;   // the window thread's time on a core in that gap
    double longestGapWaitMs = 0;  // and waiting for one
    double longestEventMs = 0;    // the longest single event delivered meanwhile
    double longestEventCpuMs = 0;
    double longestEventWaitMs = 0;
    std::string longestEvent;  // what it was (TimedApplication::longestEventWhat)
};

// A heartbeat on the window thread: a timer every millisecond, each tick noting how long since
// the last. A thread busy elsewhere for 40 ms shows as a gap of about 40 ms.
class WindowThreadWatch final : public QObject {
  public:
    explicit WindowThreadWatch(TimedApplication& app);

    // Runs the window thread's event loop, calls `begin` from it, and runs on until `done` holds
    // (checked on every tick) and `settleMs` more, so that the work that follows the end (the
    // rows laid out and painted) counts too; gives up after `limitMs`. Call it from outside any
    // event.
    WatchedStep run(const std::function<void()>& begin, const std::function<bool()>& done,
                    int limitMs, int settleMs = 200);

  private:
    TimedApplication& app_;
    QTimer tick_;
};

}  // namespace mervane::bench
