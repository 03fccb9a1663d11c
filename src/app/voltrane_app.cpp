#include "app/voltrane_app.h"

#include "app/dashboard_panel.h"
#include "ui/dashboard/state_style.h"

#include <QIcon>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace voltrane {

VoltraneApp::VoltraneApp(Readers readers, Options options, QObject* parent)
    : QObject(parent), useTray_(options.useTray), services_(std::move(options.services)) {
    auto scheduler = options.scheduler ? std::move(options.scheduler) : makeEventLoopScheduler();
    // The monitor takes its first sample inside its constructor, so the first title shown
    // already carries a reading when there is one.
    monitor_ = std::make_unique<PowerMonitor>(std::move(readers.power), std::move(readers.components),
                                              std::move(scheduler));
    if (options.useTray) {
        tray_ = std::make_unique<QSystemTrayIcon>();
        connect(tray_.get(), &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                        togglePanel();
                    }
                });
    }
    connect(monitor_.get(), &PowerMonitor::snapshotChanged, this, &VoltraneApp::publish);
    publish();
}

DashboardPanel& VoltraneApp::panel() {
    if (!panel_) {
        auto* dashboard = new DashboardView(*monitor_, true, services_);
        panel_ = std::make_unique<DashboardPanel>(dashboard, useTray_ ? DashboardPanel::Mode::trayPanel
                                                                      : DashboardPanel::Mode::window);
        connect(dashboard, &DashboardView::quitRequested, this, &VoltraneApp::quitRequested);
        if (useTray_) {
            connect(panel_.get(), &DashboardPanel::hidden, this, &VoltraneApp::discardPanel);
        } else {
            panel_->setWindowTitle(QString::fromStdString(title_));
            panel_->setWindowIcon(windowIcon_);
        }
    }
    return *panel_;
}

void VoltraneApp::discardPanel(bool onFocusLoss) {
    if (!panel_) {
        return;
    }
    if (onFocusLoss) {
        closedOnFocusLoss_.start();
    }
    // Deleted later: this runs inside the panel's own hide event.
    panel_.release()->deleteLater();
}

VoltraneApp::~VoltraneApp() {
    // The panel observes the monitor: it goes first, without reporting its own hiding.
    if (panel_) {
        panel_->disconnect(this);
    }
    panel_.reset();
    tray_.reset();
    monitor_.reset();
}

void VoltraneApp::start() {
    if (tray_) {
        tray_->show();
    } else {
        showPanel();
    }
}

void VoltraneApp::showPanel() {
    DashboardPanel& shown = panel();
    if (shown.mode() == DashboardPanel::Mode::window) {
        shown.show();
        shown.raise();
        shown.activateWindow();
        return;
    }
    shown.showBeside(tray_ ? tray_->geometry() : QRect());
}

void VoltraneApp::togglePanel() {
    if (panel_ && panel_->isVisible()) {
        panel_->hide();
        return;
    }
    // The click on the tray icon took the focus from the open panel, which closed itself:
    // that click meant "close", not "open again".
    if (closedOnFocusLoss_.isValid() && closedOnFocusLoss_.elapsed() < 300) {
        return;
    }
    showPanel();
}

void VoltraneApp::publish() {
    const std::string title = monitor_->menuBarTitle();
    const QString text = QString::fromStdString(title);
    if (tray_) {
        // The title is the figure only while the snapshot has one; otherwise it names the program.
        const bool hasFigure = monitor_->snapshot().headlineWatts().has_value();
        bool changed = false;
        const QImage& image = trayImage_.image(menuBarSymbol(monitor_->snapshot().state),
                                               hasFigure ? std::optional(title) : std::nullopt, &changed);
        if (changed) {
            tray_->setIcon(QIcon(QPixmap::fromImage(image)));
        }
        if (title != title_) {
            tray_->setToolTip(text);
        }
    } else {
        // As a window, the title bar carries the title and the window icon the state symbol.
        bool changed = false;
        const QImage& image =
            trayImage_.image(menuBarSymbol(monitor_->snapshot().state), std::nullopt, &changed);
        if (changed) {
            windowIcon_ = QIcon(QPixmap::fromImage(image));
        }
        if (panel_) {
            if (changed) {
                panel_->setWindowIcon(windowIcon_);
            }
            if (title != title_) {
                panel_->setWindowTitle(text);
            }
        }
    }
    title_ = title;
}

} // namespace voltrane
