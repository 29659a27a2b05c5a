#include "ui/WindowState.h"

namespace mervane {

bool WindowState::busy() const {
    return !closed_ && (link_ == Link::kConnecting || link_ == Link::kUnitShown || exchange_ ||
                        !queued_.empty());
}

WindowState::Verdict WindowState::verdict(Action action) const {
    // A dialog working with units must never share one with the window: it may be writing to
    // the very unit a session here would talk to.
    if (closed_ || dialogOpen_) return Verdict::kRefuse;
    const bool connected = link_ == Link::kConnected;
    switch (action) {
        case Action::kConnect:
            return (connected || link_ == Link::kNotConnected) && !exchange_ ? Verdict::kRun
                                                                             : Verdict::kRefuse;
        case Action::kSearch:
            return link_ == Link::kNotConnected ? Verdict::kRun : Verdict::kRefuse;
        case Action::kOutputs:
            return (connected || link_ == Link::kUnitShown) && !exchange_ ? Verdict::kRun
                                                                          : Verdict::kRefuse;
        default:
            break;
    }
    // The unit is on screen a moment before the worker ends; a press then waits for it, and a
    // press behind a waiting one waits too, so that they run in the order pressed.
    if (link_ == Link::kUnitShown) return Verdict::kQueue;
    if (!connected || exchange_) return Verdict::kRefuse;
    return queued_.empty() ? Verdict::kRun : Verdict::kQueue;
}

bool WindowState::enabled(Action action) const {
    switch (action) {
        case Action::kConnect:
            return link_ == Link::kNotConnected || link_ == Link::kConnected;
        case Action::kSearch:
            return link_ == Link::kNotConnected;
        default:
            return link_ == Link::kUnitShown || link_ == Link::kConnected;
    }
}

bool WindowState::addressEditable() const {
    // An attempt reads the fields once, at its start; what is typed meanwhile is for the next.
    return link_ == Link::kNotConnected || link_ == Link::kConnecting;
}

void WindowState::connectStarted() {
    if (link_ == Link::kNotConnected) link_ = Link::kConnecting;
}

void WindowState::unitShown() {
    if (link_ == Link::kConnecting) link_ = Link::kUnitShown;
}

void WindowState::connectEnded(bool connected) {
    if (link_ != Link::kConnecting && link_ != Link::kUnitShown) return;
    link_ = connected ? Link::kConnected : Link::kNotConnected;
    if (!connected) queued_.clear();
}

void WindowState::disconnected() {
    link_ = Link::kNotConnected;
    queued_.clear();  // they were for the session that ended
}

void WindowState::exchangeStarted() {
    exchange_ = true;
}

void WindowState::exchangeEnded() {
    exchange_ = false;
}

void WindowState::dialogOpened() {
    dialogOpen_ = true;
}

void WindowState::dialogClosed() {
    dialogOpen_ = false;
}

void WindowState::close() {
    closed_ = true;
    queued_.clear();
}

void WindowState::queue(Action action) {
    if (queued_.size() < kMaxQueued) queued_.push_back(action);
}

std::optional<WindowState::Action> WindowState::nextQueued() {
    if (closed_ || link_ == Link::kNotConnected || link_ == Link::kConnecting) {
        queued_.clear();
        return std::nullopt;
    }
    if (queued_.empty() || link_ != Link::kConnected || exchange_ || dialogOpen_) {
        return std::nullopt;
    }
    const Action next = queued_.front();
    queued_.pop_front();
    return next;
}

}  // namespace mervane
