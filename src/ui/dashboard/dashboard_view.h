#pragma once

#include "ui/dashboard/dashboard_texts.h"

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class QAbstractButton;
class QHBoxLayout;
class QShortcut;
class QVBoxLayout;

namespace voltrane {

class DashboardBackground;
class FooterButton;
class InfoPopover;
class MetricCard;
class PowerFlowView;
class PowerMonitor;
class SettingsStore;
class StatePill;
class StatusSummaryView;
class TextLabel;
class VoltraneMark;

/// The whole panel that opens from the tray: header, metric tiles, the flow section, the
/// status card and the footer, re-rendered whenever the monitor publishes.
class DashboardView : public QWidget {
    Q_OBJECT

public:
    /// What the panel reaches outside itself. The application shell picks each; a panel given
    /// none keeps to itself.
    struct Services {
        /// Holds the usage-statistics switch; none when the program sends no usage statistics,
        /// and the info popover then says so.
        std::shared_ptr<SettingsStore> settings;
        /// Called each time the panel comes on screen (the shell posts "dashboard_open"); it
        /// must return at once.
        std::function<void()> onShown;
        /// The time of the last sample; defaults to the locale's short time with seconds.
        TimeFormatter formatTime;
    };

    static constexpr int kPanelWidth = 560;
    static constexpr int kPanelHeight = 750;

    DashboardView(PowerMonitor& monitor, bool compact, Services services = {}, QWidget* parent = nullptr);
    ~DashboardView() override;

    bool isCompact() const { return compact_; }

    /// Whether the data-explanation popover is open; the info button toggles it.
    bool isShowingInfo() const { return showingInfo_; }
    void setShowingInfo(bool showing);

    InfoPopover* infoPopover() const { return popover_; }

    /// Puts a history button beside the info button that calls `open`; a panel never given one
    /// has no such button.
    void offerHistory(std::function<void()> open);
    PowerFlowView* flowView() const { return flow_; }

    /// The locale's time of day with seconds, e.g. "14:03:27".
    static std::string localeTimeText(Date date);

signals:
    /// The quit button or its shortcut (compact mode only); the shell ends the program.
    void quitRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class InfoButton;

    void buildHeader(QVBoxLayout* column);
    void buildMetrics(QVBoxLayout* column);
    void buildFlowSection(QVBoxLayout* column);
    void buildFooter(QVBoxLayout* column);

    void renderSnapshot();
    void scheduleFlowUpdate();
    void placeMark();

    PowerMonitor& monitor_;
    bool compact_;
    Services services_;
    bool showingInfo_ = false;
    bool flowUpdatePending_ = false;

    std::unique_ptr<DashboardBackground> background_;
    QWidget* markSlot_ = nullptr;
    VoltraneMark* mark_ = nullptr;
    StatePill* pill_ = nullptr;
    InfoButton* infoButton_ = nullptr;
    InfoButton* historyButton_ = nullptr;
    QHBoxLayout* header_ = nullptr;
    InfoPopover* popover_ = nullptr;
    std::array<MetricCard*, 4> cards_{};
    PowerFlowView* flow_ = nullptr;
    StatusSummaryView* status_ = nullptr;
    FooterButton* refreshButton_ = nullptr;
    FooterButton* quitButton_ = nullptr;
    QShortcut* quitShortcut_ = nullptr;
    TextLabel* sampleTime_ = nullptr;
};

} // namespace voltrane
