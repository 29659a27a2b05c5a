#include "ui/TraceLog.h"

namespace mervane {

TraceLog::TraceLog(DeviceLink& link, QWidget& owner, TraceLogWindow::Report report)
    : link_(link), window_(new TraceLogWindow(owner, std::move(report))) {
    connect(window_, &TraceLogWindow::closedByOperator, this, [this] { setOn(false); });
    connect(window_, &TraceLogWindow::cleared, this, &TraceLog::restart);
}

TraceLog::~TraceLog() {
    // Normally off already, once the link's threads have stopped.
    link_.trace().setSink(nullptr);
    shared_.setTarget(nullptr);
}

void TraceLog::setOn(bool on) {
    if (on == on_) return;
    on_ = on;
    batch_.fetch_add(1);
    if (on) {
        window_->showBesideOwner();
        link_.trace().setSink(&sink_);
        shared_.setTarget(&sink_);
        return;
    }
    link_.trace().setSink(nullptr);
    shared_.setTarget(nullptr);
    window_->hide();
    emit switchedOff();
}

void TraceLog::post(const std::string& line) {
    QMetaObject::invokeMethod(
        this,
        [this, batch = batch_.load(), text = QString::fromStdString(line)] { take(batch, text); },
        Qt::QueuedConnection);
}

void TraceLog::take(uint64_t batch, const QString& line) {
    if (on_ && batch == batch_.load()) window_->appendLine(line);
}

void TraceLog::restart() {
    // In one step: a line formatted between the two would be dropped as of the old batch, yet
    // its event would be the new batch's time 0.
    sink_.restart([this] { batch_.fetch_add(1); });
}

}  // namespace mervane
