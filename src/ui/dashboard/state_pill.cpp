#include "ui/dashboard/state_pill.h"

#include "ui/dashboard/state_style.h"
#include "ui/host/accessibility_hiding.h"
#include "ui/host/host_fonts.h"
#include "ui/host/qt_color.h"
#include "ui/host/symbol_label.h"
#include "ui/host/text_label.h"

#include <QHBoxLayout>

namespace voltrane {

StatePill::StatePill(QWidget* parent)
    : AdaptiveGlassSurface({99, std::nullopt, false, 0.07}, parent), symbol_(new SymbolLabel(this)),
      label_(new TextLabel(this)) {
    setObjectName(QStringLiteral("statePill"));
    // The card is read as one element; its parts stay silent.
    hideFromAccessibility(symbol_);
    hideFromAccessibility(label_);
    symbol_->setObjectName(QStringLiteral("statePillSymbol"));
    label_->setObjectName(QStringLiteral("statePillLabel"));
    symbol_->setSymbolSize(HostFonts::size(TextStyle::caption));
    symbol_->setSymbolWeight(QFont::DemiBold);
    label_->setFont(HostFonts::style(TextStyle::caption, QFont::DemiBold));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 7, 10, 7);
    row->setSpacing(5);
    row->addWidget(symbol_, 0, Qt::AlignVCenter);
    row->addWidget(label_, 0, Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    setState(PowerState::unavailable);
}

void StatePill::setState(PowerState state) {
    setStyle(stateStyle(state));
}

void StatePill::setStyle(const StateStyle& style) {
    if (style == style_ && !style_.label.empty()) {
        return;
    }
    style_ = style;
    const QColor colour = toQColor(VoltranePalette::color(style.color));
    symbol_->setSymbol(std::string(style.symbol));
    symbol_->setColor(colour);
    const QString label = QString::fromUtf8(style.label.data(), static_cast<qsizetype>(style.label.size()));
    label_->setText(label);
    label_->setColor(colour);
    setTint(toQColor(VoltranePalette::color(style.color), 0.1));
    // Symbol and label read as one element.
    setAccessibleName(label);
    updateGeometry();
}

} // namespace voltrane
