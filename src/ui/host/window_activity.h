#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace voltrane {

/// Tells whether the window holding a widget is the active one, and announces changes.
/// Follows the widget when it is moved to another window.
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
    void watchWindow();
    void update();

    QWidget* widget_;
    QPointer<QWidget> window_;
    bool active_ = false;
};

} // namespace voltrane
