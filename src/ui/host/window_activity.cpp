#include "ui/host/window_activity.h"

#include <QEvent>
#include <QWidget>

namespace voltrane {

WindowActivity::WindowActivity(QWidget* widget) : QObject(widget), widget_(widget) {
    watchAncestors();
    active_ = widget_->isActiveWindow();
}

void WindowActivity::watchAncestors() {
    for (const QPointer<QWidget>& ancestor : watched_) {
        if (ancestor != nullptr) {
            ancestor->removeEventFilter(this);
        }
    }
    watched_.clear();
    for (QWidget* ancestor = widget_; ancestor != nullptr; ancestor = ancestor->parentWidget()) {
        ancestor->installEventFilter(this);
        watched_.emplace_back(ancestor);
        if (ancestor->isWindow()) {
            break;
        }
    }
}

bool WindowActivity::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ParentChange:
        watchAncestors();
        update();
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
