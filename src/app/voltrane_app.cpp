#include "app/voltrane_app.h"

#include "app/dashboard_panel.h"
#include "ui/dashboard/state_style.h"
#include "ui/history/history_window.h"

#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace voltrane {

namespace {

const char* const kOpenPanel = "打开面板";
const char* const kClosePanel = "关闭面板";
const char* const kStartAtLogin = "登录时启动";
const char* const kHistory = "历史记录";
const char* const kQuit = "退出 Voltrane";

} // namespace

void VoltraneApp::prepareDisplayConnection() {
    // On X11 Qt hands a window's pixels to the server through shared memory, and must wait for
    // the server to finish with them before it paints again: a round trip every frame, to send
    // eight particles' squares. Sent with the request instead, an animating panel costs this
    // process about half and the X server a quarter of what it did. Other platforms ignore it.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) {
        qputenv("QT_XCB_NO_MITSHM", "1");
    }
}

VoltraneApp::VoltraneApp(Readers readers, Options options, QObject* parent)
    : QObject(parent), useTray_(options.useTray), services_(std::move(options.services)),
      history_(options.history), autostart_(std::move(options.autostartDirectory)) {
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
        buildMenu();
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
        if (history_ != nullptr) {
            dashboard->offerHistory([this] { showHistory(); });
        }
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
    refreshMenu();
}

void VoltraneApp::buildMenu() {
    menu_ = std::make_unique<QMenu>();
    panelAction_ = menu_->addAction(QString::fromUtf8(kOpenPanel));
    panelAction_->setObjectName(QStringLiteral("panelAction"));
    // The entry does what its text says, even when the menu took the focus from the panel.
    connect(panelAction_, &QAction::triggered, this, [this] {
        if (panel_ && panel_->isVisible()) {
            panel_->hide();
        } else {
            showPanel();
        }
    });
    // Entries for further windows go here, between the panel and the settings.
    if (history_ != nullptr) {
        historyAction_ = menu_->addAction(QString::fromUtf8(kHistory));
        historyAction_->setObjectName(QStringLiteral("historyAction"));
        connect(historyAction_, &QAction::triggered, this, &VoltraneApp::showHistory);
    }
    menu_->addSeparator();
    autostartAction_ = menu_->addAction(QString::fromUtf8(kStartAtLogin));
    autostartAction_->setObjectName(QStringLiteral("autostartAction"));
    autostartAction_->setCheckable(true);
    connect(autostartAction_, &QAction::triggered, this, [this](bool checked) {
        // A switch that could not be written shows what is on disk, not what was asked.
        autostart_.setEnabled(checked);
        autostartAction_->setChecked(autostart_.isEnabled());
    });
    menu_->addSeparator();
    QAction* quit = menu_->addAction(QString::fromUtf8(kQuit));
    quit->setObjectName(QStringLiteral("quitAction"));
    connect(quit, &QAction::triggered, this, &VoltraneApp::quitRequested);
    // The autostart file may have changed behind our back, by hand or in the desktop's settings.
    connect(menu_.get(), &QMenu::aboutToShow, this, &VoltraneApp::refreshMenu);
    refreshMenu();
    tray_->setContextMenu(menu_.get());
}

void VoltraneApp::refreshMenu() {
    if (!menu_) {
        return;
    }
    const bool open = panel_ && panel_->isVisible();
    panelAction_->setText(QString::fromUtf8(open ? kClosePanel : kOpenPanel));
    autostartAction_->setChecked(autostart_.isEnabled());
}

VoltraneApp::~VoltraneApp() {
    // The panel observes the monitor: it goes first, without reporting its own hiding.
    if (panel_) {
        panel_->disconnect(this);
    }
    panel_.reset();
    if (historyWindow_) {
        historyWindow_->disconnect(this);
    }
    historyWindow_.reset();
    tray_.reset();
    menu_.reset();
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
    refreshMenu();
}

void VoltraneApp::showHistory() {
    if (history_ == nullptr) {
        return;
    }
    if (!historyWindow_) {
        historyWindow_ =
            std::make_unique<HistoryWindow>(*history_, [] { return std::chrono::system_clock::now(); });
        historyWindow_->setWindowIcon(windowIcon_);
        // A closed window is discarded, so it costs nothing until it is opened again.
        connect(historyWindow_.get(), &HistoryWindow::hidden, this,
                [this] { historyWindow_.release()->deleteLater(); });
    }
    historyWindow_->show();
    historyWindow_->raise();
    historyWindow_->activateWindow();
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
        const QIcon& icon = trayImage_.icon(menuBarSymbol(monitor_->snapshot()),
                                            hasFigure ? std::optional(title) : std::nullopt, &changed);
        if (changed) {
            tray_->setIcon(icon);
        }
        if (title != title_) {
            tray_->setToolTip(text);
        }
    } else {
        // As a window, the title bar carries the title and the window icon the state symbol.
        bool changed = false;
        const QImage& image = trayImage_.image(menuBarSymbol(monitor_->snapshot()), std::nullopt, &changed);
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
