#pragma once

#include <QObject>

class QWidget;

namespace mervane {

// While active, keeps mouse and keyboard input away from one window and everything in it,
// except Esc, so that the window can still be closed while an exchange runs. Other windows (the
// message boxes the exchange shows) get their input as usual. The window shows the wait cursor
// meanwhile.
class InputBlocker final : public QObject {
  public:
    explicit InputBlocker(QWidget& window);
    ~InputBlocker() override;

    void setActive(bool active);
    bool active() const { return active_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget& window_;
    bool active_ = false;
};

}  // namespace mervane
