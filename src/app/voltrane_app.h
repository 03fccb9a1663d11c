#pragma once

#include "app/tray_icon_renderer.h"
#include "monitor/power_monitor.h"
#include "ui/dashboard/dashboard_view.h"

#include <QElapsedTimer>
#include <QIcon>
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
    /// The panel, made when first needed. A tray panel is discarded when it closes and made
    /// afresh from the current samples at the next opening, so a closed panel costs nothing.
    DashboardPanel& panel();
    bool hasPanel() const { return panel_ != nullptr; }
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
    void discardPanel(bool onFocusLoss);

    std::unique_ptr<PowerMonitor> monitor_;
    bool useTray_;
    DashboardView::Services services_;
    std::unique_ptr<DashboardPanel> panel_;
    QElapsedTimer closedOnFocusLoss_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    TrayIconRenderer trayImage_;
    QIcon windowIcon_;
    std::string title_;
};

} // namespace voltrane
