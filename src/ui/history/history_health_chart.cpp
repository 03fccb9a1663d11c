#include "ui/history/history_health_chart.h"

#include "ui/host/host_fonts.h"
#include "ui/host/qt_color.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace voltrane {
namespace {

constexpr qreal kFigureColumn = 150;
constexpr qreal kSentenceHeight = 38;
// The chart shows 60 % to 105 %: new packs often read a little above their design.
constexpr double kLowest = 60;
constexpr double kHighest = 105;

} // namespace

HistoryHealthChart::HistoryHealthChart(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("historyHealthChart"));
    setMinimumHeight(150);
}

void HistoryHealthChart::setContent(std::vector<HealthPoint> points, Date from, Date to,
                                    std::vector<AxisTick> ticks) {
    points_ = std::move(points);
    from_ = from;
    to_ = to;
    ticks_ = std::move(ticks);
    figure_ = QString::fromStdString(healthFigureText(points_));
    cycles_.clear();
    for (auto point = points_.rbegin(); point != points_.rend(); ++point) {
        if (point->cycleCount) {
            cycles_ = QStringLiteral("循环 %1 次").arg(*point->cycleCount);
            break;
        }
    }
    sentence_ = QString::fromStdString(healthSentence(points_));
    setAccessibleDescription(sentence_);
    update();
}

void HistoryHealthChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area(rect());

    const bool anyPercent = std::any_of(points_.begin(), points_.end(), [](const HealthPoint& point) {
        return point.percentOfDesign.has_value();
    });
    painter.setPen(toQColor(VoltranePalette::textSecondary));
    painter.setFont(HostFonts::style(TextStyle::callout));
    if (!anyPercent) {
        // Without a figure the sentence is all there is to say, in the middle of the card.
        painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, sentence_);
        return;
    }
    const QRectF sentenceRect(area.left(), area.bottom() - kSentenceHeight, area.width(), kSentenceHeight);
    painter.drawText(sentenceRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, sentence_);

    painter.setPen(toQColor(VoltranePalette::textMuted));
    painter.setFont(HostFonts::style(TextStyle::caption));
    painter.drawText(QPointF(0, 14), QStringLiteral("满电容量 / 出厂容量"));
    painter.setPen(toQColor(VoltranePalette::textPrimary));
    painter.setFont(HostFonts::system(30, QFont::DemiBold, true));
    painter.drawText(QRectF(0, 20, kFigureColumn, 42), Qt::AlignLeft | Qt::AlignVCenter, figure_);
    painter.setPen(toQColor(VoltranePalette::textSecondary));
    painter.setFont(HostFonts::style(TextStyle::caption, QFont::Medium));
    painter.drawText(QPointF(0, 80), cycles_);

    const QRectF plot(kFigureColumn + 36, 8, area.width() - kFigureColumn - 40,
                      area.height() - kSentenceHeight - 8 - 26);
    const auto y = [&](double percent) {
        return plot.bottom() -
               (std::clamp(percent, kLowest, kHighest) - kLowest) / (kHighest - kLowest) * plot.height();
    };
    const double span = std::chrono::duration<double>(to_ - from_).count();
    const auto x = [&](Date at) {
        const double offset = std::chrono::duration<double>(at - from_).count();
        return plot.left() + (span > 0 ? std::clamp(offset / span, 0.0, 1.0) : 1.0) * plot.width();
    };

    painter.setFont(HostFonts::style(TextStyle::caption2, true));
    const QColor grid = toQColor(VoltranePalette::stroke, 0.35);
    for (const int percent : {60, 80, 100}) {
        QPen pen(grid, percent == 100 ? 1 : 0.6);
        if (percent == 100) {
            pen.setDashPattern({4, 3});
        }
        painter.setPen(pen);
        painter.drawLine(QPointF(plot.left(), y(percent)), QPointF(plot.right(), y(percent)));
        painter.setPen(toQColor(VoltranePalette::textMuted));
        painter.drawText(QRectF(plot.left() - 40, y(percent) - 8, 34, 16), Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("%1%").arg(percent));
    }
    const QFontMetricsF metrics(painter.font());
    for (const AxisTick& tick : ticks_) {
        const QString text = QString::fromStdString(tick.label);
        const qreal width = metrics.horizontalAdvance(text);
        painter.drawText(QPointF(std::clamp(x(tick.at) - width / 2, plot.left() - 20, plot.right() - width),
                                 plot.bottom() + 17),
                         text);
    }

    QPainterPath line;
    bool open = false;
    for (const HealthPoint& point : points_) {
        if (!point.percentOfDesign) {
            open = false;
            continue;
        }
        const QPointF at(x(point.at), y(*point.percentOfDesign));
        open ? line.lineTo(at) : line.moveTo(at);
        open = true;
    }
    const QColor colour = toQColor(VoltranePalette::flowBattery);
    painter.setPen(QPen(colour, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(line);
    // Every record as a dot while they are few enough to tell apart.
    if (points_.size() <= 60) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        for (const HealthPoint& point : points_) {
            if (point.percentOfDesign) {
                painter.drawEllipse(QPointF(x(point.at), y(*point.percentOfDesign)), 2.5, 2.5);
            }
        }
    }
}

} // namespace voltrane
