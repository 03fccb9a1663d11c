#include "analytics/settings_store.h"
#include "common/platform_texts.h"
#include "support/temp_dir.h"
#include "ui/dashboard/footer_button.h"
#include "ui/dashboard/info_popover.h"
#include "ui/dashboard/metric_card.h"
#include "ui/dashboard/state_pill.h"
#include "ui/dashboard/status_summary_view.h"
#include "ui/host/qt_color.h"
#include "ui/host/symbol_label.h"
#include "ui/host/text_label.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

template <typename T> T* child(const QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << "no child named " << name;
    return found;
}

QString text(const QWidget& parent, const char* name) {
    const TextLabel* label = child<TextLabel>(parent, name);
    return label != nullptr ? label->text() : QString();
}

/// The symbol's name and colour, or "missing".
std::string symbolOf(const QWidget& parent, const char* name) {
    const SymbolLabel* symbol = child<SymbolLabel>(parent, name);
    return symbol == nullptr ? "missing"
                             : symbol->symbol() + " " + symbol->color().name(QColor::HexArgb).toStdString();
}

std::string named(const char* symbol, Color colour) {
    return std::string(symbol) + " " + toQColor(colour).name(QColor::HexArgb).toStdString();
}

TEST(StatePill, ShowsTheStatesSymbolLabelAndColourAndFollowsChanges) {
    StatePill pill;
    EXPECT_EQ(text(pill, "statePillLabel"), QStringLiteral("等待电源数据"));
    EXPECT_EQ(symbolOf(pill, "statePillSymbol"), named("questionmark.circle", VoltranePalette::textMuted));
    pill.setState(PowerState::charging);
    EXPECT_EQ(symbolOf(pill, "statePillSymbol"), named("bolt.fill", VoltranePalette::accent));
    pill.setState(PowerState::onBattery);
    EXPECT_EQ(text(pill, "statePillLabel"), QStringLiteral("正在使用电池"));
    EXPECT_EQ(child<TextLabel>(pill, "statePillLabel")->color(), toQColor(VoltranePalette::warning));
    EXPECT_EQ(symbolOf(pill, "statePillSymbol"), named("battery.75percent", VoltranePalette::warning));
    EXPECT_EQ(pill.accessibleName(), QStringLiteral("正在使用电池"));
    ASSERT_TRUE(pill.parameters().tint.has_value());
    EXPECT_NEAR(pill.parameters().tint->alphaF(), 0.1, 1e-3);
}

const MetricTile kVoltage{"电池电压",          "11.43", "V", "实时电池组电压", "bolt.horizontal.fill",
                          PaletteColor::accent};

TEST(MetricCard, ShowsTheTileAndReadsAsOneLabel) {
    MetricCard card;
    card.setTile({"系统实时功率", "12.3", "W", "当前系统负载", "waveform.path.ecg", PaletteColor::warning});
    const QStringList shown{text(card, "metricTitle"), text(card, "metricValue"), text(card, "metricUnit"),
                            text(card, "metricDetail")};
    EXPECT_EQ(shown, (QStringList{QStringLiteral("系统实时功率"), QStringLiteral("12.3"), QStringLiteral("W"),
                                  QStringLiteral("当前系统负载")}));
    EXPECT_EQ(symbolOf(card, "metricSymbol"), named("waveform.path.ecg", VoltranePalette::warning));
    EXPECT_EQ(card.accessibleName(), QStringLiteral("系统实时功率，12.3 W，当前系统负载"));
    ASSERT_TRUE(card.parameters().tint.has_value());
    EXPECT_NEAR(card.parameters().tint->alphaF(), 0.045, 1e-3);
}

TEST(MetricCard, UnitSitsOnTheFiguresBaselineFivePointsAfterIt) {
    for (const MetricTile& tile :
         {kVoltage, MetricTile{"充放电电流", "0", "mA", "", "arrow.up.right", PaletteColor::accent}}) {
        MetricCard card;
        card.setTile(tile);
        card.resize(124, 10);
        card.show();
        EXPECT_GE(card.height(), MetricCard::kMinimumHeight) << tile.value; // even with an empty detail
        const TextLabel* value = child<TextLabel>(card, "metricValue");
        const TextLabel* unit = child<TextLabel>(card, "metricUnit");
        ASSERT_TRUE(value != nullptr && unit != nullptr);
        const auto baseline = [](const TextLabel* label) {
            return label->geometry().bottom() - QFontMetricsF(label->font()).descent();
        };
        EXPECT_NEAR(baseline(value), baseline(unit), 1.0) << tile.value;
        EXPECT_EQ(value->width(),
                  static_cast<int>(std::ceil(QFontMetricsF(value->font()).horizontalAdvance(value->text()))));
        EXPECT_EQ(unit->geometry().left() - value->geometry().right() - 1, 5) << tile.value;
    }
}

TEST(MetricCard, ANewFigureFadesInOverTheOldOneButANewUnitAloneDoesNot) {
    MetricCard card;
    card.setTile(kVoltage);
    card.resize(124, 82);
    card.show();
    EXPECT_DOUBLE_EQ(card.figureTransition(), 1.0); // the first figure simply appears
    MetricTile next = kVoltage;
    next.unit = "mV";
    card.setTile(next);
    EXPECT_DOUBLE_EQ(card.figureTransition(), 1.0);
    EXPECT_EQ(text(card, "metricUnit"), QStringLiteral("mV"));

    next.value = "11.44";
    card.setTile(next);
    EXPECT_DOUBLE_EQ(card.figureTransition(), 0.0);
    const TextLabel* previous = child<TextLabel>(card, "metricValuePrevious");
    ASSERT_NE(previous, nullptr);
    EXPECT_TRUE(previous->isVisible());
    EXPECT_EQ(previous->text(), QStringLiteral("11.43"));
    EXPECT_EQ(text(card, "metricValue"), QStringLiteral("11.44")); // the text itself is current at once
    QTRY_COMPARE_WITH_TIMEOUT(card.figureTransition(), 1.0, 1000);
    EXPECT_FALSE(previous->isVisible());
}

TEST(StatusSummaryView, StartsUnavailableThenShowsTheSentencesAsOneElement) {
    StatusSummaryView view;
    EXPECT_EQ(text(view, "statusPrimary"), QStringLiteral("暂时无法读取电源遥测"));
    EXPECT_EQ(text(view, "statusSecondary"), QStringLiteral("数据直接来自本机电源管理系统"));
    PowerSnapshot snapshot;
    snapshot.state = PowerState::onBattery;
    snapshot.batteryWatts = -9.87;
    snapshot.batteryWattsIsEstimated = true;
    snapshot.cycleCount = 212;
    view.setSnapshot(snapshot);
    EXPECT_EQ(text(view, "statusPrimary"), QStringLiteral("电池正在输出 \u2248 9.9 W"));
    EXPECT_EQ(text(view, "statusSecondary"), QStringLiteral("循环 212 次"));
    EXPECT_EQ(symbolOf(view, "statusSymbol"), named("battery.75percent", VoltranePalette::warning));
    EXPECT_TRUE(view.accessibleName().contains(QStringLiteral("电池正在输出")));
    EXPECT_TRUE(view.accessibleName().contains(QStringLiteral("循环 212 次")));
    ASSERT_TRUE(view.parameters().tint.has_value());
    EXPECT_NEAR(view.parameters().tint->alphaF(), 0.035, 1e-3);
}

class InfoPopoverTest : public ::testing::Test {
protected:
    std::shared_ptr<SettingsStore> store() const {
        return std::make_shared<SettingsStore>(
            QString::fromStdString((dir_.path() / "settings.json").string()));
    }
    static bool switchedOn(const InfoPopover& popover) {
        const auto* toggle = child<QAbstractButton>(popover, "analyticsSwitch");
        return toggle != nullptr && toggle->isChecked();
    }
    voltrane::testing::TempDir dir_;
};

TEST_F(InfoPopoverTest, SwitchReadsAndWritesTheStoredChoice) {
    InfoPopover popover(store());
    popover.show();
    EXPECT_TRUE(switchedOn(popover));
    EXPECT_EQ(store()->boolValue(SettingsStore::analyticsEnabledKey), std::nullopt); // reading writes nothing

    QTest::mouseClick(popover.analyticsSwitch(), Qt::LeftButton);
    EXPECT_FALSE(switchedOn(popover));
    EXPECT_EQ(store()->boolValue(SettingsStore::analyticsEnabledKey), false);
    EXPECT_FALSE(switchedOn(InfoPopover(store())));
    QTest::mouseClick(popover.analyticsSwitch(), Qt::LeftButton);
    EXPECT_EQ(store()->boolValue(SettingsStore::analyticsEnabledKey), true);

    popover.hide();
    store()->setAnalyticsEnabled(false); // changed elsewhere while closed
    popover.show();
    EXPECT_FALSE(switchedOn(popover));
}

TEST_F(InfoPopoverTest, ShowsItsParagraphsAtAFixedWidth) {
    InfoPopover popover(store());
    const std::pair<const char*, const char*> paragraphs[] = {
        {"infoTitle", "关于实时数据"},
        {"infoSources", infoSourcesText()},
        {"infoEstimates", infoComponentsText()},
        {"infoFillIn", "切换到电池供电时，如果电池电流字段短暂滞后，Voltrane "
                       "会用系统负载即时补齐，并在数值说明中标为估算。"},
        {"infoMissing", infoFieldsText()},
        {"analyticsTitle", "发送匿名使用统计"},
        {"analyticsCaption", analyticsContentsText()},
    };
    for (const auto& [name, expected] : paragraphs) {
        const QLabel* label = child<QLabel>(popover, name);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), QString::fromUtf8(expected)) << name;
    }
    popover.show();
    EXPECT_EQ(popover.width(), InfoPopover::kWidth);
    // The long paragraphs wrap: the popover is taller than one line per row would make it.
    EXPECT_GT(popover.height(), 7 * QFontMetrics(popover.font()).height() + 6 * 10 + 36);
}

TEST(FooterButton, PressFadesAndShrinksReleaseRestoresAndTheClickGetsThrough) {
    FooterButton button(QStringLiteral("退出 Voltrane"), "power");
    button.show();
    int clicks = 0;
    QObject::connect(&button, &QAbstractButton::clicked, [&clicks] { ++clicks; });
    EXPECT_EQ(button.symbol(), "power");
    EXPECT_GT(button.sizeHint().width(), QFontMetrics(button.font()).horizontalAdvance(button.text()) + 22);
    EXPECT_DOUBLE_EQ(button.fillOpacity(), 0.72);
    EXPECT_DOUBLE_EQ(button.scale(), 1.0);
    QTest::mousePress(&button, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(button.pressProgress(), 1.0, 1000);
    EXPECT_DOUBLE_EQ(button.fillOpacity(), 0.5);
    EXPECT_DOUBLE_EQ(button.scale(), 0.97);
    QTest::mouseRelease(&button, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(button.pressProgress(), 0.0, 1000);
    EXPECT_DOUBLE_EQ(button.fillOpacity(), 0.72);
    EXPECT_EQ(clicks, 1);
}

} // namespace
} // namespace voltrane
