#include "ui/history/history_power_chart.h"

#include "common/number_format.h"
#include "history/history_texts.h"
#include "ui/host/host_fonts.h"
#include "ui/host/qt_color.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace voltrane {
namespace {

constexpr qreal kLegendHeight = 22;
constexpr QMarginsF kPlotMargins{46, kLegendHeight + 10, 42, 24};

QColor sourceColor(bool battery) {
    return toQColor(battery ? VoltranePalette::warning : VoltranePalette::flowSource);
}

} // namespace

HistoryPowerChart::HistoryPowerChart(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("historyPowerChart"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumHeight(240);
    setAccessibleName(QStringLiteral("功率历史图表"));
}

void HistoryPowerChart::setContent(ChartSeries series, Date from, Date to, std::vector<AxisTick> ticks,
                                   QString emptyText, std::chrono::seconds utcOffset) {
    series_ = std::move(series);
    from_ = from;
    to_ = to;
    ticks_ = std::move(ticks);
    emptyText_ = std::move(emptyText);
    utcOffset_ = utcOffset;
    hovered_.reset();
    picture_ = QPixmap();
    setAccessibleDescription(QString());
    emit hoveredChanged();
    update();
}

void HistoryPowerChart::setHoveredIndex(std::optional<std::size_t> index) {
    if (index && *index >= series_.points.size()) {
        index.reset();
    }
    if (index == hovered_) {
        return;
    }
    hovered_ = index;
    // Assistive technologies read the picked row's figures as the chart's description.
    QString description;
    if (hovered_) {
        const RowDetail detail = rowDetail(series_.rows[*hovered_], utcOffset_);
        description = QString::fromStdString(detail.time);
        for (const std::string& line : detail.lines) {
            description += QStringLiteral("，") + QString::fromStdString(line);
        }
    }
    setAccessibleDescription(description);
    emit hoveredChanged();
    update();
}

QRectF HistoryPowerChart::plotRect() const {
    return QRectF(rect()).marginsRemoved(kPlotMargins);
}

qreal HistoryPowerChart::xAt(Date date, const QRectF& plot) const {
    const double span = std::chrono::duration<double>(to_ - from_).count();
    const double at = std::chrono::duration<double>(date - from_).count();
    return plot.left() + (span > 0 ? std::clamp(at / span, 0.0, 1.0) : 0) * plot.width();
}

void HistoryPowerChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (series_.points.empty()) {
        painter.setFont(HostFonts::style(TextStyle::callout));
        painter.setPen(toQColor(VoltranePalette::textSecondary));
        painter.drawText(QRectF(rect()).adjusted(40, 0, -40, 0), Qt::AlignCenter | Qt::TextWordWrap,
                         emptyText_);
        return;
    }
    const QRectF plot = plotRect();
    // A year holds thousands of rows: they are drawn once per content and size, and moving the
    // pointer only redraws the marker over that picture.
    const qreal ratio = devicePixelRatioF();
    if (picture_.isNull() || picture_.size() != size() * ratio) {
        picture_ = QPixmap(size() * ratio);
        picture_.setDevicePixelRatio(ratio);
        picture_.fill(Qt::transparent);
        QPainter layer(&picture_);
        layer.setRenderHint(QPainter::Antialiasing);
        const WattAxis axis = wattAxis(series_.maxWatts);
        paintLegend(layer);
        paintAxes(layer, plot, axis);
        paintData(layer, plot, axis);
    }
    painter.drawPixmap(0, 0, picture_);
    paintHover(painter, plot);
}

void HistoryPowerChart::paintLegend(QPainter& painter) const {
    painter.setFont(HostFonts::style(TextStyle::caption));
    const QFontMetricsF metrics(painter.font());
    qreal x = kPlotMargins.left();
    const qreal middle = kLegendHeight / 2;
    const auto item = [&](const QColor& colour, const QString& name, bool line) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        if (line) {
            painter.drawRoundedRect(QRectF(x, middle - 1, 12, 2.5), 1, 1);
        } else {
            painter.drawRoundedRect(QRectF(x + 1, middle - 5, 10, 10), 3, 3);
        }
        painter.setPen(toQColor(VoltranePalette::textSecondary));
        painter.drawText(QPointF(x + 16, middle + metrics.ascent() / 2 - 1), name);
        x += 16 + metrics.horizontalAdvance(name) + 14;
    };
    for (const ChartLayer& layer : chartLayers()) {
        item(toQColor(VoltranePalette::color(layer.tint), 0.85), QString::fromUtf8(layer.title), false);
    }
    item(sourceColor(false), QStringLiteral("适配器输入"), true);
    item(sourceColor(true), QStringLiteral("电池输出"), true);
    item(toQColor(VoltranePalette::flowBattery), QStringLiteral("电量"), true);
}

void HistoryPowerChart::paintAxes(QPainter& painter, const QRectF& plot, const WattAxis& axis) const {
    painter.setFont(HostFonts::style(TextStyle::caption2, true));
    const QFontMetricsF metrics(painter.font());
    // Spans first, under everything else.
    for (const ChartSpan& span : series_.spans) {
        const bool charging = span.kind == ChartSpan::Kind::charging;
        const QColor shade = toQColor(charging ? VoltranePalette::accent : VoltranePalette::warning, 0.07);
        painter.fillRect(
            QRectF(QPointF(xAt(span.from, plot), plot.top()), QPointF(xAt(span.to, plot), plot.bottom())),
            shade);
    }
    const QColor grid = toQColor(VoltranePalette::stroke, 0.35);
    const QColor label = toQColor(VoltranePalette::textMuted);
    const int steps = static_cast<int>(std::lround(axis.top / axis.step));
    for (int step = 0; step <= steps; ++step) {
        const qreal y = plot.bottom() - plot.height() * step / steps;
        painter.setPen(QPen(grid, step == 0 ? 1 : 0.6));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(label);
        const QString watts =
            QString::fromStdString(formatFixed(step * axis.step, axis.step < 1 ? 1 : 0, "W"));
        painter.drawText(QRectF(0, y - 8, plot.left() - 6, 16), Qt::AlignRight | Qt::AlignVCenter, watts);
    }
    // The charge has its own axis on the right, 0 to 100 %.
    painter.setPen(toQColor(VoltranePalette::flowBattery, 0.8));
    for (const int percent : {0, 50, 100}) {
        const qreal y = plot.bottom() - plot.height() * percent / 100;
        painter.drawText(QRectF(plot.right() + 6, y - 8, kPlotMargins.right() - 6, 16),
                         Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("%1%").arg(percent));
    }
    for (const AxisTick& tick : ticks_) {
        const qreal x = xAt(tick.at, plot);
        painter.setPen(QPen(grid, 0.6));
        painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 4));
        painter.setPen(label);
        const QString text = QString::fromStdString(tick.label);
        const qreal textWidth = metrics.horizontalAdvance(text);
        painter.drawText(QPointF(std::clamp(x - textWidth / 2, 0.0, width() - textWidth), plot.bottom() + 17),
                         text);
    }
}

void HistoryPowerChart::paintData(QPainter& painter, const QRectF& plot, const WattAxis& axis) const {
    const auto& points = series_.points;
    const auto yWatts = [&](double watts) {
        return plot.bottom() - std::min(watts / axis.top, 1.0) * plot.height();
    };
    const auto yPercent = [&](int percent) { return plot.bottom() - percent / 100.0 * plot.height(); };

    // Each unbroken run of rows is drawn on its own, so a gap stays empty.
    std::size_t begin = 0;
    while (begin < points.size()) {
        std::size_t end = begin + 1;
        while (end < points.size() && !points[end].breakBefore) {
            ++end;
        }
        std::vector<double> below(end - begin, 0);
        for (std::size_t layer = 0; layer < kChartLayerCount; ++layer) {
            QPolygonF band;
            for (std::size_t i = begin; i < end; ++i) {
                const qreal y = yWatts(below[i - begin] + points[i].stack[layer]);
                band << QPointF(xAt(points[i].start, plot), y) << QPointF(xAt(points[i].end, plot), y);
            }
            for (std::size_t i = end; i-- > begin;) {
                const qreal y = yWatts(below[i - begin]);
                band << QPointF(xAt(points[i].end, plot), y) << QPointF(xAt(points[i].start, plot), y);
                below[i - begin] += points[i].stack[layer];
            }
            painter.setPen(Qt::NoPen);
            painter.setBrush(toQColor(VoltranePalette::color(chartLayers()[layer].tint), 0.78));
            painter.drawPolygon(band);
        }

        // The source and charge lines join the rows' middles, broken where a figure is missing
        // or the source changes; a lone row is drawn across its width.
        painter.setBrush(Qt::NoBrush);
        QPolygonF source;
        bool sourceIsBattery = false;
        QPolygonF charge;
        const auto stroke = [&](QPolygonF& line, const QPen& pen) {
            if (line.size() == 2 && line[0] == line[1]) {
                line[0].rx() -= 1.5;
                line[1].rx() += 1.5;
            }
            if (!line.isEmpty()) {
                painter.setPen(pen);
                painter.drawPolyline(line);
            }
            line.clear();
        };
        QPen chargePen(toQColor(VoltranePalette::flowBattery), 1.6);
        // Dashes only read as dashes while a row is a few pixels wide; denser rows get a thin solid line.
        if (xAt(points[begin].end, plot) - xAt(points[begin].start, plot) >= 3) {
            chargePen.setDashPattern({3, 2});
        } else {
            chargePen.setWidthF(1.1);
        }
        for (std::size_t i = begin; i < end; ++i) {
            const ChartPoint& point = points[i];
            const qreal x0 = xAt(point.start, plot);
            const qreal x1 = xAt(point.end, plot);
            const auto add = [&](QPolygonF& line, qreal y) {
                if (i + 1 == end && i == begin) {
                    line << QPointF(x0, y) << QPointF(x1, y);
                } else {
                    line << QPointF(i == begin ? x0 : (x0 + x1) / 2, y);
                    if (i + 1 == end) {
                        line << QPointF(x1, y);
                    }
                }
            };
            if (!point.sourceWatts || (!source.isEmpty() && sourceIsBattery != point.sourceIsBattery)) {
                stroke(source, QPen(sourceColor(sourceIsBattery), 1.6));
            }
            if (point.sourceWatts) {
                sourceIsBattery = point.sourceIsBattery;
                add(source, yWatts(*point.sourceWatts));
            }
            if (point.chargePercent) {
                add(charge, yPercent(*point.chargePercent));
            } else {
                stroke(charge, chargePen);
            }
        }
        stroke(source, QPen(sourceColor(sourceIsBattery), 1.6));
        stroke(charge, chargePen);
        begin = end;
    }
}

void HistoryPowerChart::paintHover(QPainter& painter, const QRectF& plot) const {
    if (!hovered_) {
        return;
    }
    const ChartPoint& point = series_.points[*hovered_];
    const qreal x = (xAt(point.start, plot) + xAt(point.end, plot)) / 2;
    painter.setPen(QPen(toQColor(VoltranePalette::textPrimary, 0.6), 1));
    painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));

    const RowDetail detail = rowDetail(series_.rows[*hovered_], utcOffset_);
    const QFont titleFont = HostFonts::style(TextStyle::caption, QFont::DemiBold);
    const QFont lineFont = HostFonts::style(TextStyle::caption, true);
    const QFontMetricsF titleMetrics(titleFont);
    const QFontMetricsF lineMetrics(lineFont);
    qreal boxWidth = titleMetrics.horizontalAdvance(QString::fromStdString(detail.time));
    for (const std::string& line : detail.lines) {
        boxWidth = std::max(boxWidth, lineMetrics.horizontalAdvance(QString::fromStdString(line)));
    }
    boxWidth += 20;
    const qreal lineHeight = lineMetrics.height() + 2;
    const qreal boxHeight =
        14 + titleMetrics.height() + 2 + lineHeight * static_cast<qreal>(detail.lines.size());
    qreal left = x + 10;
    if (left + boxWidth > plot.right()) {
        left = x - 10 - boxWidth;
    }
    const QRectF box(std::max(left, plot.left()), plot.top() + 6, boxWidth, boxHeight);
    painter.setPen(QPen(toQColor(VoltranePalette::stroke, 0.8), 0.75));
    painter.setBrush(toQColor(VoltranePalette::canvas, 0.92));
    painter.drawRoundedRect(box, 10, 10);
    painter.setPen(toQColor(VoltranePalette::textPrimary));
    painter.setFont(titleFont);
    qreal y = box.top() + 7 + titleMetrics.ascent();
    painter.drawText(QPointF(box.left() + 10, y), QString::fromStdString(detail.time));
    y += titleMetrics.descent() + 2;
    painter.setFont(lineFont);
    painter.setPen(toQColor(VoltranePalette::textSecondary));
    for (const std::string& line : detail.lines) {
        y += lineHeight;
        painter.drawText(QPointF(box.left() + 10, y - lineMetrics.descent()), QString::fromStdString(line));
    }
}

void HistoryPowerChart::mouseMoveEvent(QMouseEvent* event) {
    const QRectF plot = plotRect();
    const auto& points = series_.points;
    if (points.empty() || !plot.contains(event->position())) {
        setHoveredIndex(std::nullopt);
        return;
    }
    // The row under the pointer, else the nearest one within a few pixels (a gap shows none).
    const qreal x = event->position().x();
    std::optional<std::size_t> best;
    qreal bestDistance = 6;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const qreal x0 = xAt(points[i].start, plot);
        const qreal x1 = xAt(points[i].end, plot);
        const qreal distance = x < x0 ? x0 - x : (x > x1 ? x - x1 : 0);
        if (distance < bestDistance || (distance == 0 && bestDistance == 0)) {
            best = i;
            bestDistance = distance;
        }
    }
    setHoveredIndex(best);
}

void HistoryPowerChart::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (!hasFocus()) {
        setHoveredIndex(std::nullopt);
    }
}

void HistoryPowerChart::keyPressEvent(QKeyEvent* event) {
    const std::size_t count = series_.points.size();
    if (count == 0 || (event->key() != Qt::Key_Left && event->key() != Qt::Key_Right)) {
        QWidget::keyPressEvent(event);
        return;
    }
    const bool left = event->key() == Qt::Key_Left;
    // The first key press starts from the newest row, where the eye usually is.
    std::size_t index = count - 1;
    if (hovered_) {
        index = left ? (*hovered_ == 0 ? 0 : *hovered_ - 1) : std::min(*hovered_ + 1, count - 1);
    }
    setHoveredIndex(index);
}

} // namespace voltrane
