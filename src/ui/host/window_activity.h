#pragma once

#include <QObject>
#include <QPointer>
#include <vector>

class QWidget;

namespace voltrane {

/// Tells whether the window holding a widget is the active one, and announces changes.
/// Follows the widget into another window when it or any of its ancestors is reparented.
class WindowActivity : public QObject {
    Q_OBJECT

public:
    explicit WindowActivity(QWidget* widget);

    bool isActive() const { return active_; }

signals:
    void activeChanged(bool active);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watchAncestors();
    void update();

    QWidget* widget_;
    // The widget and every ancestor up to its window: a reparenting anywhere on this chain
    // may move the widget to another window, and only the reparented widget is told.
    std::vector<QPointer<QWidget>> watched_;
    bool active_ = false;
};

} // namespace voltrane
