#pragma once

#include "app/tray_icon_renderer.h"
#include "monitor/power_monitor.h"
#include "ui/dashboard/dashboard_view.h"

#include <QObject>

#include <memory>

class QSystemTrayIcon;

namespace voltrane {

class DashboardPanel;

/// The application: one monitor for the life of the process, a tray item whose icon and
/// tooltip follow every sample, and the panel holding the compact dashboard. Without a tray
/// the panel is an ordinary window titled with the tray title, and closing it quits.
class VoltraneApp : public QObject {
    Q_OBJECT

public:
    struct Readers {
        std::unique_ptr<PowerMetricsProviding> power;
        std::unique_ptr<ComponentPowerProviding> components;
    };

    struct Options {
        bool useTray = true;
        DashboardView::Services services;
        /// The sampling loop's timer; the default is the event loop's.
        std::unique_ptr<SamplingScheduler> scheduler;
    };

    VoltraneApp(Readers readers, Options options, QObject* parent = nullptr);
    ~VoltraneApp() override;

    PowerMonitor& monitor() { return *monitor_; }
    DashboardPanel& panel() { return *panel_; }
    QSystemTrayIcon* trayIcon() const { return tray_.get(); }

    /// Shows the tray item, or the window when there is no tray.
    void start();

public slots:
    void showPanel();
    void togglePanel();

signals:
    /// The footer's quit button or Ctrl+Q.
    void quitRequested();

private:
    void publish();

    std::unique_ptr<PowerMonitor> monitor_;
    std::unique_ptr<DashboardPanel> panel_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    TrayIconRenderer trayImage_;
    std::string title_;
};

} // namespace voltrane
