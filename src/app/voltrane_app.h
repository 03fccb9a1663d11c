#pragma once

#include "app/autostart_entry.h"
#include "app/tray_icon_renderer.h"
#include "history/history_row.h"
#include "monitor/power_monitor.h"
#include "ui/dashboard/dashboard_view.h"

#include <QElapsedTimer>
#include <QIcon>
#include <QObject>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace voltrane {

class DashboardPanel;
class HistoryWindow;

/// The application: one monitor for the life of the process, a tray item whose icon and
/// tooltip follow every sample, and the panel holding the compact dashboard. The tray item has
/// a menu as well, since some hosts open the menu on any click: open or close the panel,
/// start at login, quit. Without a tray the panel is an ordinary window titled with the tray
/// title, and closing it quits.
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
        /// Where the start-at-login entry goes; the default is $XDG_CONFIG_HOME/autostart.
        QString autostartDirectory = AutostartEntry::defaultDirectory();
        /// The recorded history, not owned; without one there is no history window to open.
        HistoryReading* history = nullptr;
    };

    VoltraneApp(Readers readers, Options options, QObject* parent = nullptr);
    ~VoltraneApp() override;

    /// Before the QApplication exists: sets up the display connection for a panel whose frames
    /// change a few small squares. Leaves alone what the user has set.
    static void prepareDisplayConnection();

    PowerMonitor& monitor() { return *monitor_; }
    /// The panel, made when first needed. A tray panel is discarded when it closes and made
    /// afresh from the current samples at the next opening, so a closed panel costs nothing.
    DashboardPanel& panel();
    bool hasPanel() const { return panel_ != nullptr; }
    QSystemTrayIcon* trayIcon() const { return tray_.get(); }
    /// The tray item's menu; null without a tray.
    QMenu* trayMenu() const { return menu_.get(); }

    /// The history window, made when first opened and discarded when closed; only with a history.
    bool hasHistoryWindow() const { return historyWindow_ != nullptr; }
    HistoryWindow* historyWindow() const { return historyWindow_.get(); }
    /// The tray menu's history entry; null without a tray or a history.
    QAction* historyAction() const { return historyAction_; }

    /// Shows the tray item, or the window when there is no tray.
    void start();

public slots:
    void showPanel();
    void togglePanel();
    /// Opens the history window, or brings it forward; does nothing without a history.
    void showHistory();

signals:
    /// The footer's quit button or Ctrl+Q.
    void quitRequested();

private:
    void publish();
    void discardPanel(bool onFocusLoss);
    void buildMenu();
    /// Brings the menu's texts and check marks up to date with the panel and the autostart file.
    void refreshMenu();

    std::unique_ptr<PowerMonitor> monitor_;
    bool useTray_;
    DashboardView::Services services_;
    std::unique_ptr<DashboardPanel> panel_;
    HistoryReading* history_;
    std::unique_ptr<HistoryWindow> historyWindow_;
    QElapsedTimer closedOnFocusLoss_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    std::unique_ptr<QMenu> menu_;
    QAction* panelAction_ = nullptr;
    QAction* autostartAction_ = nullptr;
    QAction* historyAction_ = nullptr;
    AutostartEntry autostart_;
    TrayIconRenderer trayImage_;
    QIcon windowIcon_;
    std::string title_;
};

} // namespace voltrane
