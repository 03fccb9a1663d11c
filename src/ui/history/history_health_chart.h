#pragma once

#include "history/battery_health.h"
#include "history/history_range.h"

#include <QWidget>

namespace voltrane {

/// The battery's capacity as a percent of its design over the last year, the latest figure
/// and cycle count beside it and what it means below. Paints what it was given.
class HistoryHealthChart : public QWidget {
    Q_OBJECT

public:
    explicit HistoryHealthChart(QWidget* parent = nullptr);

    void setContent(std::vector<HealthPoint> points, Date from, Date to, std::vector<AxisTick> ticks);

    const QString& sentence() const { return sentence_; }

    QSize sizeHint() const override { return {860, 150}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<HealthPoint> points_;
    Date from_{};
    Date to_{};
    std::vector<AxisTick> ticks_;
    QString figure_;
    QString cycles_;
    QString sentence_;
};

} // namespace voltrane
