#include "fleet/Interruption.h"

#include <algorithm>

namespace mervane::fleet {

bool Interruption::request() {
    std::lock_guard lock(mutex_);
    requested_ = true;
    bool idle = true;
    for (const Watched& watched : watched_) {
        if (watched.writing) {
            idle = false;
        } else {
            watched.link->request();
        }
    }
    return idle;
}

bool Interruption::requested() const {
    std::lock_guard lock(mutex_);
    return requested_;
}

void Interruption::setEndsAtOnceWhenIdle(bool endsAtOnce) {
    std::lock_guard lock(mutex_);
    endsAtOnceWhenIdle_ = endsAtOnce;
}

bool Interruption::endsAtOnceWhenIdle() const {
    std::lock_guard lock(mutex_);
    return endsAtOnceWhenIdle_;
}

void Interruption::watch(StopSignal& link) {
    std::lock_guard lock(mutex_);
    watched_.push_back({&link, false});
    // A unit whose work begins after the request is stopped before it sends anything.
    if (requested_) link.request();
}

void Interruption::unwatch(StopSignal& link) {
    std::lock_guard lock(mutex_);
    std::erase_if(watched_, [&link](const Watched& w) { return w.link == &link; });
}

bool Interruption::beginWriting(StopSignal& link) {
    std::lock_guard lock(mutex_);
    if (requested_) return false;
    for (Watched& watched : watched_) {
        if (watched.link == &link) watched.writing = true;
    }
    return true;
}

void Interruption::endWriting(StopSignal& link) {
    std::lock_guard lock(mutex_);
    for (Watched& watched : watched_) {
        if (watched.link == &link) watched.writing = false;
    }
}

}  // namespace mervane::fleet
