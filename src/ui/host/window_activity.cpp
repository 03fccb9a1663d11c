#include "ui/host/window_activity.h"

#include <QEvent>
#include <QWidget>

namespace voltrane {

WindowActivity::WindowActivity(QWidget* widget) : QObject(widget), widget_(widget) {
    widget_->installEventFilter(this);
    watchWindow();
    active_ = widget_->isActiveWindow();
}

void WindowActivity::watchWindow() {
    QWidget* window = widget_->window();
    if (window == window_) {
        return;
    }
    if (window_ != nullptr && window_ != widget_) {
        window_->removeEventFilter(this);
    }
    window_ = window;
    if (window_ != widget_) {
        window_->installEventFilter(this);
    }
}

bool WindowActivity::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ParentChange:
        if (watched == widget_) {
            watchWindow();
            update();
        }
        break;
    case QEvent::ActivationChange:
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
    case QEvent::Show:
    case QEvent::Hide:
        update();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void WindowActivity::update() {
    const bool active = widget_->isActiveWindow();
    if (active != active_) {
        active_ = active;
        emit activeChanged(active_);
    }
}

} // namespace voltrane
