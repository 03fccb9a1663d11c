#include "ui/dashboard/info_popover.h"

#include "analytics/settings_store.h"
#include "common/platform_texts.h"
#include "ui/host/host_fonts.h"
#include "ui/host/qt_color.h"
#include "ui/host/symbol_label.h"

#include <QAbstractButton>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace voltrane {

/// A switch-style toggle: a capsule track, green when on, with a round knob.
class InfoPopover::Switch : public QAbstractButton {
public:
    explicit Switch(QWidget* parent) : QAbstractButton(parent) {
        setCheckable(true);
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override { return {38, 22}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing, true);
        const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
        const qreal radius = track.height() / 2;
        painter.setPen(QPen(toQColor(VoltranePalette::stroke, 0.6), 1));
        painter.setBrush(isChecked() ? toQColor(VoltranePalette::accent)
                                     : toQColor(VoltranePalette::surface));
        painter.drawRoundedRect(track, radius, radius);
        const qreal knob = track.height() - 4;
        const qreal x = isChecked() ? track.right() - 2 - knob : track.left() + 2;
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(VoltranePalette::textPrimary));
        painter.drawEllipse(QRectF(x, track.top() + 2, knob, knob));
    }
};

namespace {

QLabel* paragraph(const char* text, const Color& colour, QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, toQColor(colour));
    label->setPalette(palette);
    return label;
}

} // namespace

InfoPopover::InfoPopover(std::shared_ptr<SettingsStore> settings, QWidget* parent)
    : QWidget(parent), settings_(std::move(settings)), switch_(new Switch(this)) {
    setObjectName(QStringLiteral("infoPopover"));
    switch_->setObjectName(QStringLiteral("analyticsSwitch"));
    setFont(HostFonts::style(TextStyle::callout));
    setFixedWidth(kWidth);

    auto* title = new QWidget(this);
    auto* titleRow = new QHBoxLayout(title);
    titleRow->setContentsMargins(0, 0, 0, 0);
    titleRow->setSpacing(6);
    auto* titleSymbol = new SymbolLabel(title);
    titleSymbol->setSymbol("bolt.shield.fill");
    titleSymbol->setSymbolSize(HostFonts::size(TextStyle::headline));
    titleSymbol->setSymbolWeight(QFont::Bold);
    titleSymbol->setColor(toQColor(VoltranePalette::textPrimary));
    QLabel* titleText = paragraph("关于实时数据", VoltranePalette::textPrimary, title);
    titleText->setObjectName(QStringLiteral("infoTitle"));
    titleText->setFont(HostFonts::style(TextStyle::headline));
    titleRow->addWidget(titleSymbol);
    titleRow->addWidget(titleText, 1);

    auto* divider = new QFrame(this);
    divider->setObjectName(QStringLiteral("infoDivider"));
    divider->setFixedHeight(1);
    divider->setAutoFillBackground(true);
    QPalette dividerPalette = divider->palette();
    dividerPalette.setColor(QPalette::Window, toQColor(VoltranePalette::stroke));
    divider->setPalette(dividerPalette);

    auto* toggleRow = new QHBoxLayout;
    toggleRow->setContentsMargins(0, 0, 0, 0);
    auto* toggleTexts = new QVBoxLayout;
    toggleTexts->setContentsMargins(0, 0, 0, 0);
    toggleTexts->setSpacing(2);
    const bool sends = settings_ != nullptr;
    QLabel* toggleTitle =
        paragraph(sends ? "发送匿名使用统计" : "不发送使用统计", VoltranePalette::textPrimary, this);
    toggleTitle->setObjectName(QStringLiteral("analyticsTitle"));
    QLabel* toggleCaption = paragraph(
        sends ? analyticsContentsText() : "此版本未设置统计服务器：不生成安装 ID，也不向任何地方发送数据。",
        VoltranePalette::textMuted, this);
    toggleCaption->setObjectName(QStringLiteral("analyticsCaption"));
    toggleCaption->setFont(HostFonts::style(TextStyle::caption));
    toggleTexts->addWidget(toggleTitle);
    toggleTexts->addWidget(toggleCaption);
    toggleRow->addLayout(toggleTexts, 1);
    toggleRow->addWidget(switch_, 0, Qt::AlignVCenter);
    switch_->setAccessibleName(toggleTitle->text());
    switch_->setVisible(sends);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(10);
    column->addWidget(title);
    const struct {
        const char* name;
        const char* text;
        const Color& colour;
    } paragraphs[] = {
        {"infoSources", infoSourcesText(), VoltranePalette::textSecondary},
        {"infoEstimates", infoComponentsText(), VoltranePalette::textSecondary},
        {"infoFillIn",
         "切换到电池供电时，如果电池电流字段短暂滞后，Voltrane "
         "会用系统负载即时补齐，并在数值说明中标为估算。",
         VoltranePalette::textSecondary},
        {"infoMissing", infoFieldsText(), VoltranePalette::textMuted},
    };
    for (const auto& p : paragraphs) {
        QLabel* label = paragraph(p.text, p.colour, this);
        label->setObjectName(QString::fromLatin1(p.name));
        column->addWidget(label);
    }
    column->addWidget(divider);
    column->addLayout(toggleRow);
    // The width is fixed; the wrapped paragraphs decide the height.
    resize(kWidth, heightForWidth(kWidth));

    reload();
    connect(switch_, &QAbstractButton::toggled, this, [this](bool on) {
        // A write that fails leaves the stored value; the switch goes back to show it.
        if (settings_ && !settings_->setAnalyticsEnabled(on)) {
            reload();
        }
    });
}

InfoPopover::~InfoPopover() = default;

void InfoPopover::reload() {
    const bool enabled = settings_ ? settings_->analyticsEnabled() : true;
    if (switch_->isChecked() != enabled) {
        const QSignalBlocker blocker(switch_);
        switch_->setChecked(enabled);
        switch_->update();
    }
}

void InfoPopover::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), toQColor(VoltranePalette::canvas));
    // A hairline edge, so the popover stands apart from the panel it opens over.
    painter.setPen(QPen(toQColor(VoltranePalette::stroke, 0.6), 1));
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

void InfoPopover::showEvent(QShowEvent* event) {
    reload();
    QWidget::showEvent(event);
}

void InfoPopover::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    emit hidden();
}

} // namespace voltrane
