#include "ui/WindowThreadCalls.h"

#include <QMetaObject>

namespace mervane {

void WindowThreadCalls::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    finished_.notify_all();
}

bool WindowThreadCalls::closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

bool WindowThreadCalls::runAndWait(std::function<void()> work) {
    // Shared with the posted call, which may run (or be dropped) after this caller has given up.
    struct Pending {
        bool done = false;
    };
    auto pending = std::make_shared<Pending>();
    {
        std::lock_guard lock(mutex_);
        if (closed_) return false;
    }
    // Queued calls from one thread to one object are delivered in the order they were posted.
    QMetaObject::invokeMethod(
        &windowObject_,
        [this, pending, work = std::move(work)] {
            if (closed()) return;
            // Not under the lock: the work may run a nested event loop (a message box) in which
            // the window closes.
            work();
            {
                std::lock_guard lock(mutex_);
                pending->done = true;
            }
            finished_.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [&] { return pending->done || closed_; });
    return pending->done;
}

}  // namespace mervane
