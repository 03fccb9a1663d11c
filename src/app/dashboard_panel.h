#pragma once

#include <QRect>
#include <QWidget>

namespace voltrane {

class DashboardView;

/// The 560 × 750 window that holds the compact dashboard, dark whatever the desktop's scheme.
/// Beside a tray icon it is a frameless panel that hides when it loses focus, like a menu
/// under its menu-bar item; without a tray it is an ordinary window.
class DashboardPanel : public QWidget {
    Q_OBJECT

public:
    enum class Mode { trayPanel, window };

    DashboardPanel(DashboardView* dashboard, Mode mode, QWidget* parent = nullptr);

    Mode mode() const { return mode_; }
    DashboardView* dashboard() const { return dashboard_; }

    /// Shows the panel beside `anchor` (the tray icon's geometry, if the host tells it) on the
    /// screen that holds it, or centred on the primary screen otherwise.
    void showBeside(const QRect& anchor);

    /// Where a panel of `size` goes beside `anchor` within `screen`: under the icon when the
    /// tray is at the top, above it otherwise, kept inside the screen.
    static QPoint placement(const QRect& anchor, const QRect& screen, const QSize& size);

signals:
    /// The panel went off screen; `onFocusLoss` when it closed itself because the user clicked
    /// elsewhere (a click on the tray icon, say, which must then not reopen it at once).
    void hidden(bool onFocusLoss);

protected:
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    DashboardView* dashboard_;
    Mode mode_;
    bool hidingOnFocusLoss_ = false;
};

} // namespace voltrane
