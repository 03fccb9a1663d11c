#include "ui/dashboard/dashboard_view.h"

#include "monitor/power_monitor.h"
#include "ui/dashboard/adaptive_glass_surface.h"
#include "ui/dashboard/dashboard_background.h"
#include "ui/dashboard/footer_button.h"
#include "ui/dashboard/info_popover.h"
#include "ui/dashboard/metric_card.h"
#include "ui/dashboard/state_pill.h"
#include "ui/dashboard/state_style.h"
#include "ui/dashboard/status_summary_view.h"
#include "ui/dashboard/voltrane_mark.h"
#include "ui/flow/power_flow_view.h"
#include "ui/host/accessibility_environment.h"
#include "ui/host/host_fonts.h"
#include "ui/host/qt_color.h"
#include "ui/host/surface_painter.h"
#include "ui/host/symbol_glyphs.h"
#include "ui/host/symbol_label.h"
#include "ui/host/text_label.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLocale>
#include <QPaintEvent>
#include <QPainter>
#include <QShortcut>
#include <QShowEvent>
#include <QVBoxLayout>
#include <cmath>

namespace voltrane {

namespace {

constexpr int kMarkSide = 42;

QString qtext(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

/// A round symbol button on a small glass card: "info.circle" for the data explanation, and
/// the history's clock beside it.
class DashboardView::InfoButton : public QAbstractButton {
public:
    explicit InfoButton(QWidget* parent, const char* symbol = "info.circle",
                        const QString& toolTip = QStringLiteral("数据说明"),
                        const QString& accessibleName = QStringLiteral("查看数据说明"),
                        const QString& name = QStringLiteral("infoButton"))
        : QAbstractButton(parent), symbol_(symbol) {
        setObjectName(name);
        setFixedSize(30, 30);
        setCursor(Qt::PointingHandCursor);
        setToolTip(toolTip);
        setAccessibleName(accessibleName);
        connect(&AccessibilityEnvironment::shared(), &AccessibilityEnvironment::changed, this,
                [this] { update(); });
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        AdaptiveGlassSurface::paint(painter, QRectF(rect()), {15, std::nullopt, true, 0.06},
                                    AccessibilityEnvironment::shared().reduceTransparency());
        SymbolGlyphs::shared().paint(painter, QRectF(rect()), symbol_, 17, QFont::Medium,
                                     toQColor(VoltranePalette::textSecondary));
    }

private:
    const char* symbol_;
};

DashboardView::DashboardView(PowerMonitor& monitor, bool compact, Services services, QWidget* parent)
    : QWidget(parent), monitor_(monitor), compact_(compact), services_(std::move(services)) {
    setObjectName(QStringLiteral("dashboard"));
    if (!services_.formatTime) {
        services_.formatTime = &DashboardView::localeTimeText;
    }

    background_ = std::make_unique<DashboardBackground>();
    // The ground covers every pixel; nothing beneath the panel needs painting.
    setAttribute(Qt::WA_OpaquePaintEvent);

    auto* column = new QVBoxLayout(this);
    const int horizontal = compact_ ? 20 : 24;
    const int vertical = compact_ ? 18 : 22;
    column->setContentsMargins(horizontal, vertical, horizontal, vertical);
    column->setSpacing(15);
    // The column keeps its natural height and is centred in the panel.
    column->addStretch(1);
    buildHeader(column);
    buildMetrics(column);
    buildFlowSection(column);
    status_ = new StatusSummaryView(this);
    column->addWidget(status_);
    buildFooter(column);
    column->addStretch(1);

    mark_ = new VoltraneMark(this);
    markSlot_->installEventFilter(this);

    popover_ = new InfoPopover(services_.settings, this);
    popover_->setWindowFlags(Qt::Popup);
    // A click outside closes the popover; it must not reach the info button and reopen it.
    popover_->setAttribute(Qt::WA_NoMouseReplay);
    popover_->hide();
    connect(popover_, &InfoPopover::hidden, this, [this] { showingInfo_ = false; });

    connect(&monitor_, &PowerMonitor::snapshotChanged, this, [this] {
        renderSnapshot();
        scheduleFlowUpdate();
    });
    connect(&monitor_, &PowerMonitor::componentSnapshotChanged, this, [this] { scheduleFlowUpdate(); });

    renderSnapshot();
    // The flow view starts from the model of the samples the panel opens with.
    flow_->setSamples(monitor_.snapshot(), monitor_.componentSnapshot());
}

DashboardView::~DashboardView() = default;

void DashboardView::buildHeader(QVBoxLayout* column) {
    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    header_ = header;

    markSlot_ = new QWidget(this);
    markSlot_->setObjectName(QStringLiteral("voltraneMarkSlot"));
    markSlot_->setFixedSize(kMarkSide, kMarkSide);
    header->addWidget(markSlot_, 0, Qt::AlignVCenter);

    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(makeText(QStringLiteral("Voltrane"), HostFonts::style(TextStyle::title3, QFont::Bold),
                               VoltranePalette::textPrimary, this, "dashboardTitle"));
    titles->addWidget(makeText(QStringLiteral("实时电力与充电监控"), HostFonts::style(TextStyle::caption),
                               VoltranePalette::textSecondary, this, "dashboardSubtitle"));
    header->addLayout(titles);
    header->addSpacerItem(new QSpacerItem(12, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));

    pill_ = new StatePill(this);
    header->addWidget(pill_, 0, Qt::AlignVCenter);

    infoButton_ = new InfoButton(this);
    header->addWidget(infoButton_, 0, Qt::AlignVCenter);
    connect(infoButton_, &QAbstractButton::clicked, this, [this] { setShowingInfo(!showingInfo_); });

    column->addLayout(header);
}

void DashboardView::buildMetrics(QVBoxLayout* column) {
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);
    for (std::size_t i = 0; i < cards_.size(); ++i) {
        cards_[i] = new MetricCard(this);
        cards_[i]->setObjectName(QStringLiteral("metricCard%1").arg(i));
        const int col = static_cast<int>(i);
        grid->addWidget(cards_[i], 0, col);
        grid->setColumnStretch(col, 1);
        grid->setColumnMinimumWidth(col, 10);
    }
    column->addLayout(grid);
}

void DashboardView::buildFlowSection(QVBoxLayout* column) {
    auto* section = new QVBoxLayout;
    section->setSpacing(10);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    header->setContentsMargins(2, 0, 2, 0);
    auto* symbol = new SymbolLabel(this);
    symbol->setObjectName(QStringLiteral("sectionSymbol"));
    symbol->setSymbol("point.3.connected.trianglepath.dotted");
    symbol->setSymbolSize(HostFonts::size(TextStyle::headline));
    symbol->setColor(toQColor(VoltranePalette::accent));
    header->addWidget(symbol, 0, Qt::AlignVCenter);
    header->addWidget(makeText(QStringLiteral("实时功率流"),
                               HostFonts::style(TextStyle::headline, QFont::DemiBold),
                               VoltranePalette::textPrimary, this, "sectionTitle"),
                      0, Qt::AlignVCenter);
    header->addStretch(1);
    header->addWidget(makeText(QStringLiteral("每 1 秒刷新"), HostFonts::style(TextStyle::caption),
                               VoltranePalette::textMuted, this, "sectionCadence"),
                      0, Qt::AlignVCenter);
    section->addLayout(header);

    flow_ = new PowerFlowView(this);
    flow_->setObjectName(QStringLiteral("powerFlow"));
    section->addWidget(flow_);
    column->addLayout(section);
}

void DashboardView::buildFooter(QVBoxLayout* column) {
    auto* footer = new QHBoxLayout;
    footer->setSpacing(12);
    refreshButton_ = new FooterButton(QStringLiteral("立即刷新"), "arrow.clockwise", this);
    refreshButton_->setObjectName(QStringLiteral("refreshButton"));
    connect(refreshButton_, &QAbstractButton::clicked, &monitor_, &PowerMonitor::refresh);
    footer->addWidget(refreshButton_, 0, Qt::AlignVCenter);
    footer->addStretch(1);
    if (compact_) {
        quitButton_ = new FooterButton(QStringLiteral("退出 Voltrane"), "power", this);
        quitButton_->setObjectName(QStringLiteral("quitButton"));
        connect(quitButton_, &QAbstractButton::clicked, this, &DashboardView::quitRequested);
        // Ctrl stands for Command on the Mac, so this is Command-Q there.
        quitShortcut_ = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
        quitShortcut_->setObjectName(QStringLiteral("quitShortcut"));
        quitShortcut_->setContext(Qt::WindowShortcut);
        connect(quitShortcut_, &QShortcut::activated, this, &DashboardView::quitRequested);
        footer->addWidget(quitButton_, 0, Qt::AlignVCenter);
    } else {
        sampleTime_ = makeText(QString(), HostFonts::style(TextStyle::caption, QFont::Medium, true),
                               VoltranePalette::textMuted, this, "sampleTime");
        sampleTime_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        footer->addWidget(sampleTime_, 0, Qt::AlignVCenter);
    }
    column->addLayout(footer);
}

void DashboardView::renderSnapshot() {
    const PowerSnapshot& snapshot = monitor_.snapshot();
    pill_->setStyle(stateStyle(snapshot));
    const auto tiles = metricTiles(snapshot);
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        cards_[i]->setTile(tiles[i]);
    }
    status_->setSnapshot(snapshot);
    if (sampleTime_ != nullptr) {
        sampleTime_->setText(qtext(sampleTimeText(snapshot, services_.formatTime)));
    }
}

void DashboardView::scheduleFlowUpdate() {
    // The monitor announces both samples of one refresh back to back; the flow view takes
    // them together once, so its layout rule never sees a half-updated pair.
    if (flowUpdatePending_) {
        return;
    }
    flowUpdatePending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            flowUpdatePending_ = false;
            flow_->setSamples(monitor_.snapshot(), monitor_.componentSnapshot());
        },
        Qt::QueuedConnection);
}

void DashboardView::offerHistory(std::function<void()> open) {
    if (historyButton_ == nullptr) {
        historyButton_ = new InfoButton(this, "clock.arrow.circlepath", QStringLiteral("历史记录"),
                                        QStringLiteral("打开历史记录"), QStringLiteral("historyButton"));
        header_->insertWidget(header_->indexOf(infoButton_), historyButton_, 0, Qt::AlignVCenter);
    }
    historyButton_->disconnect(this);
    connect(historyButton_, &QAbstractButton::clicked, this, std::move(open));
}

void DashboardView::setShowingInfo(bool showing) {
    if (showing == showingInfo_) {
        return;
    }
    showingInfo_ = showing;
    if (!showing) {
        popover_->hide();
        return;
    }
    // Below the button, its right edge on the button's, kept on the panel's screen.
    popover_->resize(InfoPopover::kWidth, popover_->heightForWidth(InfoPopover::kWidth));
    const QPoint anchor = infoButton_->mapToGlobal(QPoint(infoButton_->width(), infoButton_->height() + 6));
    popover_->move(anchor.x() - popover_->width(), anchor.y());
    popover_->show();
}

std::string DashboardView::localeTimeText(Date date) {
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(date.time_since_epoch()).count();
    const QTime time = QDateTime::fromMSecsSinceEpoch(milliseconds).toLocalTime().time();
    const QLocale locale;
    QString format = locale.timeFormat(QLocale::ShortFormat);
    // The short style omits seconds in most locales; the footer shows them.
    if (!format.contains(QLatin1Char('s'))) {
        format.replace(QStringLiteral("mm"), QStringLiteral("mm:ss"));
    }
    return locale.toString(time, format).toStdString();
}

void DashboardView::paintEvent(QPaintEvent* event) {
    // Painted here rather than by a child widget below the others: Qt spares a widget the
    // parts its opaque descendants cover, not a sibling's, so the flow canvas's frames never
    // reach the ground.
    QPainter painter(this);
    background_->paint(painter, event->region(), size(), devicePixelRatioF());
}

void DashboardView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A restore from the minimised state is the window system's doing, not a new opening.
    if (!event->spontaneous() && services_.onShown) {
        services_.onShown();
    }
}

bool DashboardView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == markSlot_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        placeMark();
    }
    return QWidget::eventFilter(watched, event);
}

void DashboardView::placeMark() {
    // The mark's shadow reaches past its 42 × 42 frame; the mark widget is grown by that much
    // around the slot so the shadow is not cut off.
    const VoltraneMark::Geometry g = VoltraneMark::geometry(QRectF(0, 0, kMarkSide, kMarkSide));
    const int margin = static_cast<int>(
        std::ceil(SurfacePainter::shadowMargin({QColor(), g.shadowRadius, QPointF(0, g.shadowOffsetY)})));
    mark_->setShadowMargin(margin);
    mark_->setGeometry(markSlot_->geometry().adjusted(-margin, -margin, margin, margin));
    // Below everything else, as the shadow is in the header row.
    mark_->lower();
}

} // namespace voltrane
