#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>

#include "link/DeviceLink.h"
#include "link/TraceLines.h"
#include "ui/TraceLogWindow.h"

namespace mervane {

// The window's traffic log: while on, every step of `link` on the wire becomes a line in the
// log window (TraceLogWindow); while off, the link has no sink and nothing is collected.
//
// Lines are formatted on whichever thread runs the link and handed to the window thread in the
// order they were recorded. A line still on its way when the log is switched off or cleared is
// dropped there. Closing the log window switches the log off (switchedOff).
//
// Window thread only. The link outlives this object; whoever runs the link stops its threads
// and then calls setOn(false) before this object goes, so that no thread is left in the sink.
class TraceLog final : public QObject {
    Q_OBJECT

  public:
    // The log window is a window of its own owned by `owner`; failures go to `report`.
    TraceLog(DeviceLink& link, QWidget& owner, TraceLogWindow::Report report);
    ~TraceLog() override;

    void setOn(bool on);
    bool on() const { return on_; }
    TraceLogWindow& window() { return *window_; }
    // For links the window makes beside its own (the unit search, the plant list's actions):
    // records into the log while it is on and drops everything while it is off. Any thread; it
    // lives as long as this object.
    TraceSink& sharedSink() { return shared_; }

  signals:
    void switchedOff();

  private:
    class SharedSink final : public TraceSink {
      public:
        void record(const TraceEvent& event) override {
            if (TraceSink* target = target_.load(std::memory_order_acquire)) target->record(event);
        }
        void setTarget(TraceSink* target) { target_.store(target, std::memory_order_release); }

      private:
        std::atomic<TraceSink*> target_{nullptr};
    };

    // Runs under the sink's lock on the link's thread: the queue keeps the lines in order.
    void post(const std::string& line);
    void take(uint64_t batch, const QString& line);
    void restart();

    DeviceLink& link_;
    TraceLogWindow* window_;  // owned by the owner, as its child
    // Lines carry the batch they were formatted in; switching and clearing start a new one.
    std::atomic<uint64_t> batch_{0};
    bool on_ = false;
    TraceLineSink sink_{false, [this](const std::string& line) { post(line); }};
    SharedSink shared_;
};

}  // namespace mervane
