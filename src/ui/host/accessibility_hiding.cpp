#include "ui/host/accessibility_hiding.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace voltrane {

namespace {

constexpr const char* kHiddenProperty = "voltraneAccessibleHidden";

class HiddenAccessible : public QAccessibleWidget {
public:
    explicit HiddenAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::NoRole) {}

    QAccessible::State state() const override {
        QAccessible::State hidden = QAccessibleWidget::state();
        hidden.invisible = true;
        hidden.focusable = false;
        return hidden;
    }
    QString text(QAccessible::Text) const override { return {}; }
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
};

QAccessibleInterface* hiddenFactory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget != nullptr && widget->property(kHiddenProperty).toBool()) {
        return new HiddenAccessible(widget);
    }
    return nullptr;
}

} // namespace

void hideFromAccessibility(QWidget* widget) {
    static const bool installed = [] {
        QAccessible::installFactory(hiddenFactory);
        return true;
    }();
    static_cast<void>(installed);
    widget->setProperty(kHiddenProperty, true);
}

bool isHiddenFromAccessibility(const QWidget* widget) {
    return widget->property(kHiddenProperty).toBool();
}

} // namespace voltrane
