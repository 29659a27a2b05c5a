#pragma once

#include <QObject>

#include <vector>

class QWidget;

namespace mervane {

// While active, keeps every input away from one window and everything in it (keys, mouse, wheel,
// touch, tablet, input-method text, drag and drop, shortcuts), except Esc, so that the window can
// still be closed while an exchange runs. Other windows (the message boxes the exchange shows)
// get their input as usual. The window shows the wait cursor
// meanwhile. Controls let through (letThrough) take their input all the same: they must not
// depend on what the exchange is doing.
class InputBlocker final : public QObject {
  public:
    explicit InputBlocker(QWidget& window);
    ~InputBlocker() override;

    void setActive(bool active);
    bool active() const { return active_; }
    // `control`, a control of the window, takes its input even while input is kept away.
    void letThrough(const QWidget& control) { letThrough_.push_back(&control); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget& window_;
    bool active_ = false;
    std::vector<const QWidget*> letThrough_;
};

}  // namespace mervane
