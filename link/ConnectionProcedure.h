#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "link/DeviceLink.h"
#include "link/OperatorWindow.h"

namespace mervane {

inline constexpr int32_t kDefaultIdentTimeoutMs = 2000;

// What the connect button does: from the address and port the operator typed to a unit whose
// settings are on screen, on a worker thread of its own, or, while connected, the disconnect.
//
// onConnectClicked, disconnect and shutdown belong to the window thread. At most one worker runs;
// the connect button stays disabled while it does. The worker reaches the window only through
// `window`, and not at all once shutdown() has been asked for.
class ConnectionProcedure {
  public:
    ConnectionProcedure(DeviceLink& link, OperatorWindow& window);
    ~ConnectionProcedure();  // shuts a running worker down
    ConnectionProcedure(const ConnectionProcedure&) = delete;
    ConnectionProcedure& operator=(const ConnectionProcedure&) = delete;

    // The identification time-out handed to each attempt (1..19999 ms, from the command line).
    int32_t timeoutMs() const { return timeoutMs_; }
    void setTimeoutMs(int32_t ms) { timeoutMs_ = ms; }

    // True exactly while a session with a unit is established.
    bool connected() const { return connected_.load(); }
    bool workerRunning() const { return workerRunning_.load(); }

    // The connect button: disconnects when connected; otherwise starts the worker (ignored while
    // one still runs). Returns at once.
    void onConnectClicked();

    // Called once for every attempt onConnectClicked starts, after the attempt's last step: on
    // the worker's thread as it ends (workerRunning() is already false), or at once when no worker
    // could be started. It must not wait for the window. Lets a window follow the attempt to its
    // end without relying on which of its calls comes last. Set before the first attempt.
    void setAttemptEnded(std::function<void()> ended) { attemptEnded_ = std::move(ended); }

    // The whole connection, on the calling thread: identification, capability check, session,
    // settings read and their display. 0 on success; on failure the operator has been told why
    // (except after a No to the one-shot question) and no session is left open.
    int connectUnit(OperatorWindow& window);

    // Closes the session without telling the unit and puts the window back to Not connected.
    void disconnect();

    // Ends a running worker promptly (its sockets are shut down, it stops at its next step and
    // touches the window no more) and waits for it. For the window's closing; the procedure
    // takes no further connect after it. A window whose calls wait for its own thread must let
    // a call that is already waiting return (a question answered No) before it calls this.
    void shutdown();

    // Waits until the current worker, if any, has finished. For tests and the command line.
    void waitForWorker();

  private:
    void connectWorker();
    void joinWorker();

    DeviceLink& link_;
    OperatorWindow& window_;
    int32_t timeoutMs_ = kDefaultIdentTimeoutMs;
    std::atomic<bool> connected_{false};
    std::atomic<bool> workerRunning_{false};
    std::atomic<bool> shutDown_{false};
    std::function<void()> attemptEnded_;
    std::mutex workerMutex_;  // guards worker_ between the window thread and waitForWorker
    std::thread worker_;
};

// The port field as a number: leading white space skipped, decimal digits up to the first other
// character, no digits giving 0. A value beyond 16 bits comes back as 65536 or more (saturating),
// never cut down.
uint32_t parsePortText(const std::string& text);

}  // namespace mervane
