#include "flow_samples.h"
#include "support/param_name.h"
#include "ui/flow/flow_accounting_bar.h"
#include "ui/host/host_fonts.h"
#include "ui/host/qt_color.h"
#include "ui/host/symbol_label.h"
#include "ui/host/text_label.h"

#include <QAccessible>
#include <QStringList>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

const TextLabel& label(const FlowAccountingBar& bar, const char* name) {
    const auto* found = bar.findChild<TextLabel*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    static const TextLabel missing;
    return found != nullptr ? *found : missing;
}

struct BarRow {
    const char* name;
    PowerSnapshot snapshot;
    ComponentPowerSnapshot components;
    const char* identified;
    const char* unattributed;
    const char* status;
};

class AccountingTexts : public ::testing::TestWithParam<BarRow> {};

TEST_P(AccountingTexts, StateTheSplitAndTheCounterStatus) {
    FlowAccountingBar bar;
    bar.setModel(SankeyFlowModel(GetParam().snapshot, GetParam().components));
    EXPECT_EQ(label(bar, "identifiedValue").text(), QString::fromUtf8(GetParam().identified));
    EXPECT_EQ(label(bar, "unattributedValue").text(), QString::fromUtf8(GetParam().unattributed));
    EXPECT_EQ(label(bar, "estimateStatus").text(), QString::fromUtf8(GetParam().status));
}

PowerSnapshot withoutSystemDraw() {
    PowerSnapshot snapshot = testing::chargingSnapshot();
    snapshot.systemWatts.reset();
    snapshot.inputWatts.reset();
    return snapshot;
}

PowerSnapshot smallDraw() {
    PowerSnapshot snapshot = testing::onBatterySnapshot();
    snapshot.systemWatts = 5.0;
    return snapshot;
}

INSTANTIATE_TEST_SUITE_P(
    Samples, AccountingTexts,
    ::testing::Values(BarRow{"charging", testing::chargingSnapshot(), testing::busyComponents(), "20.0 W",
                             "4.5 W", "近 1 秒估算"},
                      BarRow{"on_battery", testing::onBatterySnapshot(), testing::lightComponents(), "9.1 W",
                             "5.1 W", "近 1 秒估算"},
                      BarRow{"counters_unavailable", testing::onBatterySnapshot(),
                             ComponentPowerSnapshot::unavailable({}), "0.0 W", "14.2 W", "分项遥测不可用"},
                      BarRow{"no_system_draw", withoutSystemDraw(), testing::busyComponents(), "20.0 W",
                             "\u2014 W", "近 1 秒估算"},
                      BarRow{"components_exceed_the_draw", smallDraw(), testing::lightComponents(), "9.1 W",
                             "0.0 W", "近 1 秒估算"}),
    testing::ParamName{});

TEST(FlowAccountingBar, UsesCaptionTwoInItsColours) {
    FlowAccountingBar bar;
    bar.setModel(SankeyFlowModel(testing::chargingSnapshot(), testing::busyComponents()));
    struct Expected {
        const char* name;
        QFont::Weight weight;
        Color color;
        const char* text;
    };
    for (const Expected& expected : {
             Expected{"proportionLabel", QFont::DemiBold, VoltranePalette::textSecondary, "按功率比例"},
             Expected{"identifiedTitle", QFont::Normal, VoltranePalette::textMuted, "已识别"},
             Expected{"identifiedValue", QFont::DemiBold, VoltranePalette::textPrimary, nullptr},
             Expected{"unattributedTitle", QFont::Normal, VoltranePalette::textMuted, "未归因"},
             Expected{"unattributedValue", QFont::DemiBold, VoltranePalette::textPrimary, nullptr},
             Expected{"estimateStatus", QFont::Normal, VoltranePalette::textMuted, nullptr},
         }) {
        SCOPED_TRACE(expected.name);
        const TextLabel& text = label(bar, expected.name);
        EXPECT_NEAR(HostFonts::pixelSize(text.font()), HostFonts::size(TextStyle::caption2), 1e-9);
        EXPECT_EQ(text.font().weight(), expected.weight);
        EXPECT_EQ(text.color(), toQColor(expected.color));
        if (expected.text != nullptr) {
            EXPECT_EQ(text.text(), QString::fromUtf8(expected.text));
        }
    }
    const auto* symbol = bar.findChild<SymbolLabel*>(QStringLiteral("proportionSymbol"));
    ASSERT_NE(symbol, nullptr);
    EXPECT_EQ(symbol->symbol(), "arrow.triangle.branch");
    EXPECT_EQ(symbol->color(), toQColor(VoltranePalette::textSecondary));
}

TEST(FlowAccountingBar, ShowsItsItemsInOrderAndReadsThemOneByOne) {
    FlowAccountingBar bar;
    bar.setModel(SankeyFlowModel(testing::onBatterySnapshot(), testing::lightComponents()));
    bar.resize(540, 40);
    bar.show();
    int previous = -1;
    for (const char* name :
         {"proportionSymbol", "proportionLabel", "accountingDivider", "identifiedDot", "identifiedTitle",
          "identifiedValue", "unattributedDot", "unattributedTitle", "unattributedValue", "estimateStatus"}) {
        const auto* item = bar.findChild<QWidget*>(QLatin1String(name));
        ASSERT_NE(item, nullptr) << name;
        EXPECT_GT(item->x(), previous) << name;
        previous = item->x();
    }
    EXPECT_EQ(bar.findChild<QWidget*>(QStringLiteral("proportionSymbol"))->x(), 11);
    EXPECT_NEAR(bar.findChild<QWidget*>(QStringLiteral("estimateStatus"))->geometry().right() + 1, 540 - 11,
                1);

    QStringList spoken;
    QAccessibleInterface* strip = QAccessible::queryAccessibleInterface(&bar);
    ASSERT_NE(strip, nullptr);
    for (int i = 0; i < strip->childCount(); ++i) {
        QAccessibleInterface* item = strip->child(i);
        if (item != nullptr && !item->state().invisible) {
            spoken << item->text(QAccessible::Name);
        }
    }
    EXPECT_EQ(spoken.join(QLatin1Char('|')),
              QStringLiteral("按功率比例|已识别|9.1 W|未归因|5.1 W|近 1 秒估算"));
}

} // namespace
} // namespace voltrane
