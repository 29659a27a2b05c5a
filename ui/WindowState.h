#pragma once

#include <cstddef>
#include <deque>
#include <optional>

namespace mervane {

// What the main window is doing, and from that what the operator's presses may start now and
// which controls are usable. The window's handlers ask it rather than reading the controls, and
// one function of the window makes the controls' enabled flags follow it. No widgets here.
//
// Window thread only: the window tells it what happened (a press run, a worker's end, a dialog
// opened or closed, the window closing) as it learns of it on its own thread.
class WindowState {
  public:
    // The window and its unit.
    enum class Link {
        kNotConnected,
        kConnecting,  // the connect worker runs; no unit is on screen yet
        kUnitShown,   // the worker has put the connected unit on screen and is ending
        kConnected,   // a session with the unit, no worker
    };

    // What the operator can press or change.
    enum class Action {
        kConnect,  // Connect, or Disconnect while connected
        kSearch,   // 検索...
        kReceive,  // 設定受信
        kApply,    // 設定反映
        kStartStop,
        kSaveProfile,  // 保存...
        kLoadProfile,  // 読込...
        kOutputs,      // the rows' check boxes and times, the interval list
    };

    enum class Verdict {
        kRun,
        kQueue,  // runs once the connect has ended and the presses before it have run
        kRefuse,
    };

    // Presses waiting beyond this many are dropped: a burst of clicks on a finishing connect.
    static constexpr size_t kMaxQueued = 4;

    Link link() const { return link_; }
    bool exchangeRunning() const { return exchange_; }
    bool dialogOpen() const { return dialogOpen_; }
    bool closed() const { return closed_; }
    size_t queued() const { return queued_.size(); }
    // A connect, an exchange or a queued press is under way; never once the window has closed.
    bool busy() const;

    // What a press of `action` may do now.
    Verdict verdict(Action action) const;
    // Whether `action`'s control is usable. An exchange keeps the controls as they are (the
    // window takes no input meanwhile), and so does an open dialog (window-modal).
    bool enabled(Action action) const;
    // The adapter, address and port: what the next connect will use.
    bool addressEditable() const;

    void connectStarted();
    void unitShown();
    // The connect worker has ended, with a session or without one.
    void connectEnded(bool connected);
    void disconnected();
    void exchangeStarted();
    void exchangeEnded();
    // A dialog that works with units of its own (the unit search, the plant list): while it is
    // open the window starts no connect and no exchange.
    void dialogOpened();
    void dialogClosed();
    // For good: from now on nothing runs.
    void close();

    // Keeps a press whose verdict was kQueue.
    void queue(Action action);
    // The next queued press when it may run now (it is taken off the queue); nothing while it
    // must wait. Presses that can no longer run are dropped.
    std::optional<Action> nextQueued();

  private:
    Link link_ = Link::kNotConnected;
    bool exchange_ = false;
    bool dialogOpen_ = false;
    bool closed_ = false;
    std::deque<Action> queued_;
};

}  // namespace mervane
