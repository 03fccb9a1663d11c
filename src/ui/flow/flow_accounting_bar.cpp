#include "ui/flow/flow_accounting_bar.h"

#include "common/platform_texts.h"
#include "ui/flow/flow_texts.h"
#include "ui/host/accessibility_hiding.h"
#include "ui/host/host_fonts.h"
#include "ui/host/qt_color.h"
#include "ui/host/surface_painter.h"
#include "ui/host/symbol_label.h"
#include "ui/host/text_label.h"

#include <QHBoxLayout>
#include <QPainter>

namespace voltrane {

namespace {

/// A small painted shape of fixed size: the bar's dots and its divider.
class SwatchWidget : public QWidget {
public:
    SwatchWidget(QSize size, QSizeF shape, QColor color, bool round, QWidget* parent)
        : QWidget(parent), shape_(shape), color_(color), round_(round) {
        setFixedSize(size);
        setAttribute(Qt::WA_TranslucentBackground);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(Qt::NoPen);
        painter.setBrush(color_);
        const QRectF box(QPointF((width() - shape_.width()) / 2, (height() - shape_.height()) / 2), shape_);
        if (round_) {
            painter.drawEllipse(box);
        } else {
            painter.drawRect(box);
        }
    }

private:
    QSizeF shape_;
    QColor color_;
    bool round_;
};

TextLabel* makeText(const QString& name, const QFont& font, const QColor& color, QWidget* parent) {
    auto* label = new TextLabel(parent);
    label->setObjectName(name);
    label->setFont(font);
    label->setColor(color);
    return label;
}

// accountingValue(title:value:tint:): a dot, the title and the figure, 5 apart.
TextLabel* addAccountingValue(QHBoxLayout* bar, const QString& name, const QString& title, PaletteColor tint,
                              QWidget* parent) {
    auto* value = new QHBoxLayout;
    value->setSpacing(5);
    auto* dot = new SwatchWidget({5, 5}, {5, 5}, toQColor(VoltranePalette::color(tint)), true, parent);
    dot->setObjectName(name + QStringLiteral("Dot"));
    hideFromAccessibility(dot);
    value->addWidget(dot, 0, Qt::AlignVCenter);
    TextLabel* titleLabel = makeText(name + QStringLiteral("Title"), HostFonts::style(TextStyle::caption2),
                                     toQColor(VoltranePalette::textMuted), parent);
    titleLabel->setText(title);
    value->addWidget(titleLabel, 0, Qt::AlignVCenter);
    TextLabel* figure =
        makeText(name + QStringLiteral("Value"), HostFonts::style(TextStyle::caption2, QFont::DemiBold, true),
                 toQColor(VoltranePalette::textPrimary), parent);
    figure->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    value->addWidget(figure, 0, Qt::AlignVCenter);
    bar->addLayout(value);
    return figure;
}

} // namespace

FlowAccountingBar::FlowAccountingBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("flowAccountingBar"));
    setAttribute(Qt::WA_TranslucentBackground);
    auto* bar = new QHBoxLayout(this);
    bar->setContentsMargins(11, 0, 11, 0);
    bar->setSpacing(10);

    const QFont labelFont = HostFonts::style(TextStyle::caption2, QFont::DemiBold);
    const QColor secondary = toQColor(VoltranePalette::textSecondary);
    auto* label = new QHBoxLayout;
    label->setSpacing(4);
    auto* symbol = new SymbolLabel(this);
    symbol->setObjectName(QStringLiteral("proportionSymbol"));
    symbol->setSymbol("arrow.triangle.branch");
    symbol->setSymbolSize(HostFonts::size(TextStyle::caption2));
    symbol->setSymbolWeight(QFont::DemiBold);
    symbol->setColor(secondary);
    hideFromAccessibility(symbol);
    label->addWidget(symbol, 0, Qt::AlignVCenter);
    TextLabel* labelText = makeText(QStringLiteral("proportionLabel"), labelFont, secondary, this);
    labelText->setText(QStringLiteral("按功率比例"));
    label->addWidget(labelText, 0, Qt::AlignVCenter);
    bar->addLayout(label);

    auto* divider = new SwatchWidget({2, 18}, {0.5, 18}, QColor::fromRgbF(1, 1, 1, 0.08f), false, this);
    divider->setObjectName(QStringLiteral("accountingDivider"));
    hideFromAccessibility(divider);
    bar->addWidget(divider, 0, Qt::AlignVCenter);

    identifiedValue_ = addAccountingValue(bar, QStringLiteral("identified"), QStringLiteral("已识别"),
                                          PaletteColor::flowCPU, this);
    unattributedValue_ = addAccountingValue(bar, QStringLiteral("unattributed"), QStringLiteral("未归因"),
                                            PaletteColor::flowOther, this);
    bar->addSpacerItem(new QSpacerItem(2, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    status_ = makeText(QStringLiteral("estimateStatus"), HostFonts::style(TextStyle::caption2),
                       toQColor(VoltranePalette::textMuted), this);
    status_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    bar->addWidget(status_, 0, Qt::AlignVCenter);
}

void FlowAccountingBar::setModel(const SankeyFlowModel& model) {
    identifiedValue_->setText(QString::fromStdString(flowWattsText(model.allocation.identifiedWatts)));
    identifiedValue_->setFixedWidth(identifiedValue_->sizeHint().width());
    unattributedValue_->setText(QString::fromStdString(flowWattsText(model.allocation.unattributedWatts)));
    unattributedValue_->setFixedWidth(unattributedValue_->sizeHint().width());
    status_->setText(model.estimateAvailable ? QStringLiteral("近 1 秒估算")
                                             : QStringLiteral("分项遥测不可用"));
    // Why the components are missing, where the pointer is on the strip: no dialog interrupts.
    const QString reason =
        model.estimateAvailable ? QString() : QString::fromUtf8(componentsUnavailableText());
    setToolTip(reason);
    status_->setAccessibleDescription(reason);
}

void FlowAccountingBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    SurfaceStyle style;
    style.fill = QColor::fromRgbF(1, 1, 1, 0.026f);
    style.stroke = QColor::fromRgbF(1, 1, 1, 0.055f);
    style.strokeWidth = 0.5;
    SurfacePainter::paintRoundedRect(painter, QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25), 12, style);
}

} // namespace voltrane
