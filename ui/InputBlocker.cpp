#include "ui/InputBlocker.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include <algorithm>

namespace mervane {

namespace {

bool isInput(const QEvent& event) {
    switch (event.type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::Shortcut:
        case QEvent::KeyRelease:
            return true;
        case QEvent::KeyPress:
            return static_cast<const QKeyEvent&>(event).key() != Qt::Key_Escape;
        default:
            return false;
    }
}

}  // namespace

InputBlocker::InputBlocker(QWidget& window) : window_(window) {}

InputBlocker::~InputBlocker() {
    setActive(false);
}

void InputBlocker::setActive(bool active) {
    if (active == active_) return;
    active_ = active;
    if (active) {
        qApp->installEventFilter(this);
        window_.setCursor(Qt::WaitCursor);
    } else {
        qApp->removeEventFilter(this);
        window_.unsetCursor();
    }
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget != nullptr && widget->window() == &window_ && isInput(*event) &&
        std::find(letThrough_.begin(), letThrough_.end(), widget) == letThrough_.end()) {
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace mervane
