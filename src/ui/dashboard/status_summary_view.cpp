#include "ui/dashboard/status_summary_view.h"

#include "ui/dashboard/status_summary.h"
#include "ui/host/accessibility_hiding.h"
#include "ui/host/host_fonts.h"
#include "ui/host/qt_color.h"
#include "ui/host/symbol_label.h"
#include "ui/host/text_label.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace voltrane {

/// A 36 × 36 disc in the state colour at 0.12 with the state's symbol over it.
class StatusSummaryView::Icon : public QWidget {
public:
    explicit Icon(QWidget* parent) : QWidget(parent), symbol_(new SymbolLabel(this)) {
        setObjectName(QStringLiteral("statusIcon"));
        symbol_->setObjectName(QStringLiteral("statusSymbol"));
        symbol_->setSymbolSize(16);
        symbol_->setSymbolWeight(QFont::Bold);
        setFixedSize(36, 36);
        symbol_->setGeometry(0, 0, 36, 36);
    }

    void set(const std::string& symbol, const QColor& colour) {
        colour_ = colour;
        symbol_->setSymbol(symbol);
        symbol_->setColor(colour);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(Qt::NoPen);
        QColor fill = colour_;
        fill.setAlphaF(0.12f);
        painter.setBrush(fill);
        painter.drawEllipse(QRectF(rect()));
    }

private:
    SymbolLabel* symbol_;
    QColor colour_;
};

StatusSummaryView::StatusSummaryView(QWidget* parent)
    : AdaptiveGlassSurface({16, std::nullopt, false, 0.06}, parent), icon_(new Icon(this)),
      primary_(new TextLabel(this)), secondary_(new TextLabel(this)) {
    setObjectName(QStringLiteral("statusSummary"));
    // The card is read as one element; its parts stay silent.
    hideFromAccessibility(icon_);
    hideFromAccessibility(primary_);
    hideFromAccessibility(secondary_);
    primary_->setObjectName(QStringLiteral("statusPrimary"));
    secondary_->setObjectName(QStringLiteral("statusSecondary"));
    primary_->setFont(HostFonts::style(TextStyle::subheadline, QFont::DemiBold));
    primary_->setColor(toQColor(VoltranePalette::textPrimary));
    secondary_->setFont(HostFonts::style(TextStyle::caption));
    secondary_->setColor(toQColor(VoltranePalette::textMuted));
    primary_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    secondary_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    auto* texts = new QVBoxLayout;
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(3);
    texts->addWidget(primary_);
    texts->addWidget(secondary_);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(14, 11, 14, 11);
    row->setSpacing(12);
    row->addWidget(icon_, 0, Qt::AlignVCenter);
    row->addLayout(texts, 1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    setSnapshot(PowerSnapshot::unavailable({}));
}

void StatusSummaryView::setSnapshot(const PowerSnapshot& snapshot) {
    const StatusSummary summary(snapshot);
    snapshot_ = snapshot;
    const QColor colour = toQColor(VoltranePalette::color(summary.color()));
    icon_->set(std::string(summary.symbol()), colour);
    const QString primary = QString::fromStdString(summary.primaryText());
    const QString secondary = QString::fromStdString(summary.secondaryText());
    primary_->setText(primary);
    secondary_->setText(secondary);
    setTint(toQColor(VoltranePalette::color(summary.color()), 0.035));
    // One element for assistive technologies, reading both lines.
    setAccessibleName(primary + QStringLiteral("，") + secondary);
}

} // namespace voltrane
