#include "ui/history/history_window.h"

#include "history/battery_health.h"
#include "history/history_series.h"
#include "history/history_texts.h"
#include "history/history_totals.h"
#include "ui/dashboard/adaptive_glass_surface.h"
#include "ui/dashboard/dashboard_background.h"
#include "ui/dashboard/metric_card.h"
#include "ui/history/history_health_chart.h"
#include "ui/history/history_power_chart.h"
#include "ui/host/accessibility_environment.h"
#include "ui/host/host_fonts.h"
#include "ui/host/qt_color.h"
#include "ui/host/symbol_label.h"
#include "ui/host/text_label.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPaintEvent>
#include <QPainter>
#include <QShowEvent>
#include <QVBoxLayout>

namespace voltrane {
namespace {

constexpr auto kHealthSpan = std::chrono::days(365);

/// A card holding a titled section.
QWidget* section(const char* symbol, const QString& title, QWidget* content, QWidget* parent,
                 const char* name) {
    auto* card = new AdaptiveGlassSurface({18, std::nullopt, false, 0.07}, parent);
    card->setObjectName(QString::fromLatin1(name));
    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(16, 12, 16, 12);
    column->setSpacing(8);
    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    auto* icon = new SymbolLabel(card);
    icon->setSymbol(symbol);
    icon->setSymbolSize(HostFonts::size(TextStyle::headline));
    icon->setColor(toQColor(VoltranePalette::accent));
    header->addWidget(icon, 0, Qt::AlignVCenter);
    header->addWidget(makeText(title, HostFonts::style(TextStyle::headline, QFont::DemiBold),
                               VoltranePalette::textPrimary, card, "sectionTitle"),
                      0, Qt::AlignVCenter);
    header->addStretch(1);
    column->addLayout(header);
    content->setParent(card);
    column->addWidget(content, 1);
    return card;
}

} // namespace

/// One capsule of the range selector; the chosen one is lit in the accent.
class HistoryWindow::RangeButton : public QAbstractButton {
public:
    RangeButton(const QString& text, QWidget* parent) : QAbstractButton(parent) {
        setText(text);
        setCheckable(true);
        setAutoExclusive(true);
        setCursor(Qt::PointingHandCursor);
        setFont(HostFonts::style(TextStyle::caption, QFont::DemiBold));
        setAccessibleName(QStringLiteral("显示最近 ") + text);
    }

    QSize sizeHint() const override {
        return {static_cast<int>(QFontMetricsF(font()).horizontalAdvance(text())) + 26, 28};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const bool reduce = AccessibilityEnvironment::shared().reduceTransparency();
        const std::optional<QColor> tint =
            isChecked() ? std::optional(toQColor(VoltranePalette::accent, 0.45)) : std::nullopt;
        AdaptiveGlassSurface::paint(painter, QRectF(rect()), {99, tint, true, isChecked() ? 0.16 : 0.06},
                                    reduce);
        painter.setPen(toQColor(isChecked() ? VoltranePalette::accent : VoltranePalette::textSecondary));
        painter.drawText(rect(), Qt::AlignCenter, text());
    }
};

HistoryWindow::HistoryWindow(HistoryReading& reading, Clock clock, UtcOffset utcOffset, QWidget* parent)
    : QWidget(parent), reading_(reading), clock_(std::move(clock)), utcOffset_(std::move(utcOffset)),
      background_(std::make_unique<DashboardBackground>()), chart_(new HistoryPowerChart),
      health_(new HistoryHealthChart) {
    setObjectName(QStringLiteral("historyWindow"));
    setWindowTitle(QStringLiteral("Voltrane 历史记录"));
    if (!utcOffset_) {
        utcOffset_ = &HistoryWindow::localUtcOffset;
    }
    // Fits a 768-pixel-high laptop screen with its panels.
    resize(920, 720);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 22, 24, 22);
    column->setSpacing(14);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(makeText(QStringLiteral("历史记录"), HostFonts::style(TextStyle::title3, QFont::Bold),
                               VoltranePalette::textPrimary, this, "historyTitle"));
    titles->addWidget(makeText(QStringLiteral("功率与电池健康，只记录在这台电脑上"),
                               HostFonts::style(TextStyle::caption), VoltranePalette::textSecondary, this,
                               "historySubtitle"));
    header->addLayout(titles);
    header->addStretch(1);
    for (const HistoryRangeSpec& entry : historyRanges()) {
        auto* button = new RangeButton(QString::fromUtf8(entry.label), this);
        const auto index = static_cast<std::size_t>(entry.range);
        button->setObjectName(QStringLiteral("historyRange%1").arg(index));
        button->setChecked(entry.range == range_);
        connect(button, &QAbstractButton::clicked, this, [this, range = entry.range] { setRange(range); });
        header->addWidget(button, 0, Qt::AlignVCenter);
        rangeButtons_[index] = button;
    }
    column->addLayout(header);

    auto* tiles = new QHBoxLayout;
    tiles->setSpacing(8);
    for (std::size_t i = 0; i < tiles_.size(); ++i) {
        tiles_[i] = new MetricCard(this);
        tiles_[i]->setObjectName(QStringLiteral("historyTile%1").arg(i));
        tiles->addWidget(tiles_[i], 1);
    }
    column->addLayout(tiles);

    column->addWidget(
        section("waveform.path.ecg", QStringLiteral("功率去向"), chart_, this, "historyPowerSection"), 3);
    column->addWidget(
        section("battery.100percent", QStringLiteral("电池健康"), health_, this, "historyHealthSection"), 0);
}

HistoryWindow::~HistoryWindow() = default;

QAbstractButton* HistoryWindow::rangeButton(HistoryRange range) const {
    return rangeButtons_[static_cast<std::size_t>(range)];
}

std::chrono::seconds HistoryWindow::localUtcOffset(Date date) {
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(date.time_since_epoch());
    return std::chrono::seconds(QDateTime::fromMSecsSinceEpoch(milliseconds.count()).offsetFromUtc());
}

void HistoryWindow::setRange(HistoryRange range) {
    rangeButtons_[static_cast<std::size_t>(range)]->setChecked(true);
    if (range == range_) {
        return;
    }
    range_ = range;
    if (isVisible()) {
        readRows();
    }
}

void HistoryWindow::readRows() {
    const HistoryRangeSpec& entry = rangeSpec(range_);
    const Date to = clock_();
    const Date from = to - entry.duration;
    std::vector<HistoryRow> rows = reading_.rows(from, to);
    const auto tiles = totalsTiles(HistoryTotals::of(rows));
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        tiles_[i]->setTile(tiles[i]);
    }
    const std::chrono::seconds offset = utcOffset_(to);
    chart_->setContent(ChartSeries::make(std::move(rows), entry.resolution), from, to,
                       timeTicks(range_, from, to, offset),
                       QString::fromStdString(emptyHistoryText(entry.label)), offset);
}

void HistoryWindow::readHealth() {
    const Date to = clock_();
    const Date from = to - kHealthSpan;
    health_->setContent(healthPoints(reading_.health(from, to)), from, to,
                        timeTicks(HistoryRange::year, from, to, utcOffset_(to)));
}

void HistoryWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    background_->paint(painter, event->region(), size(), devicePixelRatioF());
}

void HistoryWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Restoring a minimised window is no reason to read again.
    if (!event->spontaneous()) {
        readRows();
        readHealth();
    }
}

void HistoryWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous()) {
        emit hidden();
    }
}

} // namespace voltrane
