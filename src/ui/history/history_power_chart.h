#pragma once

#include "history/history_range.h"
#include "history/history_series.h"

#include <QPixmap>
#include <QWidget>
#include <chrono>
#include <optional>

namespace voltrane {

/// The power chart of the history window: where the power went as stacked areas, the source
/// line, the charge on a second axis, charging and on-battery spans shaded, gaps left empty.
/// The mouse or the Left and Right keys pick a row whose figures it shows. It paints what it
/// was given and reads nothing.
class HistoryPowerChart : public QWidget {
    Q_OBJECT

public:
    explicit HistoryPowerChart(QWidget* parent = nullptr);

    /// The series to draw over [from, to], with its ticks, and the sentence for no rows.
    void setContent(ChartSeries series, Date from, Date to, std::vector<AxisTick> ticks, QString emptyText,
                    std::chrono::seconds utcOffset);

    const ChartSeries& series() const { return series_; }
    /// The row whose figures show, if any.
    std::optional<std::size_t> hoveredIndex() const { return hovered_; }
    void setHoveredIndex(std::optional<std::size_t> index);

    QSize sizeHint() const override { return {860, 300}; }

signals:
    void hoveredChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRectF plotRect() const;
    qreal xAt(Date date, const QRectF& plot) const;
    void paintLegend(QPainter& painter) const;
    void paintAxes(QPainter& painter, const QRectF& plot, const WattAxis& axis) const;
    void paintData(QPainter& painter, const QRectF& plot, const WattAxis& axis) const;
    void paintHover(QPainter& painter, const QRectF& plot) const;

    ChartSeries series_;
    Date from_{};
    Date to_{};
    std::vector<AxisTick> ticks_;
    QString emptyText_;
    std::chrono::seconds utcOffset_{0};
    std::optional<std::size_t> hovered_;
    QPixmap picture_; ///< legend, axes and data, without the hover marker
};

} // namespace voltrane
