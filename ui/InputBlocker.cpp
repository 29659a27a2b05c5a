#include "ui/InputBlocker.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include <algorithm>

namespace mervane {

namespace {

// Every kind of input: keys, mouse, wheel, touch, tablet and gestures (all QInputEvents), and
// the input that is no QInputEvent: text committed by an input method, drag and drop, shortcuts.
// A pointer that only moves changes nothing. Esc goes through, so that the window can still be
// closed.
bool isInput(const QEvent& event) {
    switch (event.type()) {
        case QEvent::HoverEnter:
        case QEvent::HoverLeave:
        case QEvent::HoverMove:
        case QEvent::MouseMove:
            return false;
        case QEvent::KeyPress:
        case QEvent::ShortcutOverride:
            return static_cast<const QKeyEvent&>(event).key() != Qt::Key_Escape;
        case QEvent::InputMethod:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::DragLeave:
        case QEvent::Drop:
        case QEvent::Shortcut:
            return true;
        default:
            return dynamic_cast<const QInputEvent*>(&event) != nullptr;
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
