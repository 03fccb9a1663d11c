#include "app/dashboard_panel.h"

#include "ui/dashboard/dashboard_view.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

namespace voltrane {

namespace {

QPalette darkPalette() {
    QPalette palette;
    const QColor canvas(19, 24, 25);
    const QColor text(242, 247, 245);
    palette.setColor(QPalette::Window, canvas);
    palette.setColor(QPalette::Base, canvas);
    palette.setColor(QPalette::Button, QColor(45, 52, 50));
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::ToolTipBase, QColor(45, 52, 50));
    palette.setColor(QPalette::ToolTipText, text);
    return palette;
}

constexpr int kGap = 6;

} // namespace

DashboardPanel::DashboardPanel(DashboardView* dashboard, Mode mode, QWidget* parent)
    : QWidget(parent, mode == Mode::trayPanel ? Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                                              : Qt::Window),
      dashboard_(dashboard), mode_(mode) {
    setObjectName(QStringLiteral("dashboardPanel"));
    setPalette(darkPalette());
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(dashboard_);
    setFixedSize(DashboardView::kPanelWidth, DashboardView::kPanelHeight);
}

QPoint DashboardPanel::placement(const QRect& anchor, const QRect& screen, const QSize& size) {
    // Plain edge arithmetic: QRect's right()/bottom()/center() are off by one for this.
    const int screenRight = screen.x() + screen.width();
    const int screenBottom = screen.y() + screen.height();
    if (!anchor.isValid()) {
        return {screen.x() + (screen.width() - size.width()) / 2,
                screen.y() + (screen.height() - size.height()) / 2};
    }
    const int anchorMiddleX = anchor.x() + anchor.width() / 2;
    const int anchorMiddleY = anchor.y() + anchor.height() / 2;
    const bool trayAtTop = anchorMiddleY < screen.y() + screen.height() / 2;
    int x = anchorMiddleX - size.width() / 2;
    int y = trayAtTop ? anchor.y() + anchor.height() + kGap : anchor.y() - kGap - size.height();
    x = std::clamp(x, screen.x(), std::max(screen.x(), screenRight - size.width()));
    y = std::clamp(y, screen.y(), std::max(screen.y(), screenBottom - size.height()));
    return {x, y};
}

void DashboardPanel::showBeside(const QRect& anchor) {
    QScreen* screen = anchor.isValid() ? QGuiApplication::screenAt(anchor.center()) : nullptr;
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen) {
        move(placement(anchor, screen->availableGeometry(), size()));
    }
    show();
    raise();
    activateWindow();
}

void DashboardPanel::changeEvent(QEvent* event) {
    // A tray panel closes when the user clicks elsewhere, as a menu would.
    if (event->type() == QEvent::ActivationChange && mode_ == Mode::trayPanel && !isActiveWindow() &&
        isVisible()) {
        hidingOnFocusLoss_ = true;
        hide();
        hidingOnFocusLoss_ = false;
    }
    QWidget::changeEvent(event);
}

void DashboardPanel::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    emit hidden(hidingOnFocusLoss_);
}

} // namespace voltrane
