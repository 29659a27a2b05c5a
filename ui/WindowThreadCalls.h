#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include <QObject>
#include <QThread>

namespace mervane {

// Runs work for other threads on the window thread, one call after another in the order they
// were made, and makes each caller wait for its call to finish, as the link expects of a window
// (a message box returns when the operator has closed it).
//
// close() ends all of that for good: calls already waiting return their fallback value at once,
// calls queued but not yet started are dropped, and later calls return the fallback without
// waiting. The window closes it before it waits for its worker threads, so that a worker never
// waits for a window thread that is waiting for the worker.
//
// call() may be made from any thread; on the window thread itself it runs the work directly.
class WindowThreadCalls {
  public:
    explicit WindowThreadCalls(QObject& windowObject) : windowObject_(windowObject) {}
    WindowThreadCalls(const WindowThreadCalls&) = delete;
    WindowThreadCalls& operator=(const WindowThreadCalls&) = delete;

    template <typename Result>
    Result call(const std::function<Result()>& work, Result whenClosed) {
        if (onWindowThread()) return work();
        auto outcome = std::make_shared<std::optional<Result>>();
        const bool finished = runAndWait([work, outcome] { *outcome = work(); });
        return finished && outcome->has_value() ? std::move(**outcome) : whenClosed;
    }

    void call(const std::function<void()>& work) {
        if (onWindowThread()) {
            work();
            return;
        }
        runAndWait(work);
    }

    void close();
    bool closed() const;

  private:
    bool onWindowThread() const { return QThread::currentThread() == windowObject_.thread(); }
    // Posts `work` to the window thread and waits until it has run (true) or the calls have been
    // closed (false).
    bool runAndWait(std::function<void()> work);

    QObject& windowObject_;
    mutable std::mutex mutex_;
    std::condition_variable finished_;
    bool closed_ = false;
};

}  // namespace mervane
