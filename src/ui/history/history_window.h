#pragma once

#include "history/history_range.h"
#include "history/history_row.h"

#include <QWidget>
#include <array>
#include <chrono>
#include <functional>
#include <memory>

class QAbstractButton;

namespace voltrane {

class DashboardBackground;
class HistoryHealthChart;
class HistoryPowerChart;
class MetricCard;

/// The history window: a range to pick, the range's totals as tiles, the power chart and the
/// battery's health. It reads the history each time it is shown and when the range changes,
/// never while painting; a hidden window holds only what it last read.
class HistoryWindow : public QWidget {
    Q_OBJECT

public:
    using Clock = std::function<Date()>;
    /// How far the local clock is ahead of UTC at an instant.
    using UtcOffset = std::function<std::chrono::seconds(Date)>;

    /// `reading` must outlive the window. Without `utcOffset` the system's time zone applies.
    HistoryWindow(HistoryReading& reading, Clock clock, UtcOffset utcOffset = {}, QWidget* parent = nullptr);
    ~HistoryWindow() override;

    HistoryRange range() const { return range_; }
    /// Selects a range; a visible window reads its rows at once.
    void setRange(HistoryRange range);

    HistoryPowerChart* powerChart() const { return chart_; }
    HistoryHealthChart* healthChart() const { return health_; }
    QAbstractButton* rangeButton(HistoryRange range) const;

    /// The system's offset from UTC at `date`.
    static std::chrono::seconds localUtcOffset(Date date);

signals:
    /// The window was closed or hidden; the shell may discard it.
    void hidden();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    class RangeButton;

    void readRows();
    void readHealth();

    HistoryReading& reading_;
    Clock clock_;
    UtcOffset utcOffset_;
    HistoryRange range_ = HistoryRange::day;
    std::unique_ptr<DashboardBackground> background_;
    std::array<RangeButton*, 5> rangeButtons_{};
    std::array<MetricCard*, 5> tiles_{};
    HistoryPowerChart* chart_;
    HistoryHealthChart* health_;
};

} // namespace voltrane
