#include "app/voltrane_app.h"

#include "app/dashboard_panel.h"
#include "ui/dashboard/state_style.h"

#include <QIcon>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace voltrane {

VoltraneApp::VoltraneApp(Readers readers, Options options, QObject* parent) : QObject(parent) {
    auto scheduler = options.scheduler ? std::move(options.scheduler) : makeEventLoopScheduler();
    // The monitor takes its first sample inside its constructor, so the first title shown
    // already carries a reading when there is one.
    monitor_ = std::make_unique<PowerMonitor>(std::move(readers.power), std::move(readers.components),
                                              std::move(scheduler));
    auto* dashboard = new DashboardView(*monitor_, true, std::move(options.services));
    panel_ = std::make_unique<DashboardPanel>(dashboard, options.useTray ? DashboardPanel::Mode::trayPanel
                                                                         : DashboardPanel::Mode::window);
    connect(dashboard, &DashboardView::quitRequested, this, &VoltraneApp::quitRequested);

    if (options.useTray) {
        tray_ = std::make_unique<QSystemTrayIcon>();
        connect(tray_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                togglePanel();
            }
        });
    }
    connect(monitor_.get(), &PowerMonitor::snapshotChanged, this, &VoltraneApp::publish);
    publish();
}

VoltraneApp::~VoltraneApp() {
    // The panel observes the monitor: it goes first.
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
    if (panel_->mode() == DashboardPanel::Mode::window) {
        panel_->show();
        panel_->raise();
        panel_->activateWindow();
        return;
    }
    panel_->showBeside(tray_ ? tray_->geometry() : QRect());
}

void VoltraneApp::togglePanel() {
    if (panel_->isVisible()) {
        panel_->hide();
    } else if (!panel_->hidJustNow()) {
        showPanel();
    }
}

void VoltraneApp::publish() {
    const std::string title = monitor_->menuBarTitle();
    const QString text = QString::fromStdString(title);
    if (tray_) {
        bool changed = false;
        const QImage& image = trayImage_.image(menuBarSymbol(monitor_->snapshot().state), title, &changed);
        if (changed) {
            tray_->setIcon(QIcon(QPixmap::fromImage(image)));
        }
        if (title != title_) {
            tray_->setToolTip(text);
        }
    } else {
        // As a window, the title bar carries the title and the window icon the state symbol.
        bool changed = false;
        const QImage& image = trayImage_.image(menuBarSymbol(monitor_->snapshot().state), std::string(), &changed);
        if (changed) {
            panel_->setWindowIcon(QIcon(QPixmap::fromImage(image)));
        }
        if (title != title_) {
            panel_->setWindowTitle(text);
        }
    }
    title_ = title;
}

} // namespace voltrane
