#include "analytics/settings_store.h"
#include "support/param_name.h"
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

struct PillCase {
    const char* name;
    PowerState state;
    const char* symbol;
    const char* label;
    Color colour;
};

class StatePillTest : public ::testing::TestWithParam<PillCase> {};

TEST_P(StatePillTest, ShowsTheStatesSymbolLabelAndColour) {
    StatePill pill;
    pill.setState(GetParam().state);
    const SymbolLabel* symbol = child<SymbolLabel>(pill, "statePillSymbol");
    const TextLabel* label = child<TextLabel>(pill, "statePillLabel");
    ASSERT_TRUE(symbol != nullptr && label != nullptr);
    EXPECT_EQ(symbol->symbol(), GetParam().symbol);
    EXPECT_EQ(label->text(), QString::fromUtf8(GetParam().label));
    EXPECT_EQ(label->color(), toQColor(GetParam().colour));
    EXPECT_EQ(symbol->color(), toQColor(GetParam().colour));
    ASSERT_TRUE(pill.parameters().tint.has_value());
    EXPECT_NEAR(pill.parameters().tint->alphaF(), 0.1, 1e-3);
    EXPECT_EQ(pill.accessibleName(), QString::fromUtf8(GetParam().label));
}

INSTANTIATE_TEST_SUITE_P(
    States, StatePillTest,
    ::testing::Values(
        PillCase{"Charging", PowerState::charging, "bolt.fill", "正在充电", VoltranePalette::accent},
        PillCase{"Charged", PowerState::charged, "battery.100percent", "电池已充满", VoltranePalette::accent},
        PillCase{"PluggedIn", PowerState::pluggedIn, "powerplug.fill", "已接入电源", VoltranePalette::accent},
        PillCase{"OnBattery", PowerState::onBattery, "battery.75percent", "正在使用电池",
                 VoltranePalette::warning},
        PillCase{"Unavailable", PowerState::unavailable, "questionmark.circle", "等待电源数据",
                 VoltranePalette::textMuted}),
    voltrane::testing::ParamName());

TEST(StatePill, FollowsAChangeOfState) {
    StatePill pill;
    EXPECT_EQ(text(pill, "statePillLabel"), QStringLiteral("等待电源数据"));
    pill.setState(PowerState::charging);
    pill.setState(PowerState::onBattery);
    EXPECT_EQ(text(pill, "statePillLabel"), QStringLiteral("正在使用电池"));
}

TEST(MetricCard, ShowsTheTileAndReadsAsOneLabel) {
    MetricCard card;
    card.setTile({"系统实时功率", "12.3", "W", "当前系统负载", "waveform.path.ecg", PaletteColor::warning});
    EXPECT_EQ(text(card, "metricTitle"), QStringLiteral("系统实时功率"));
    EXPECT_EQ(text(card, "metricValue"), QStringLiteral("12.3"));
    EXPECT_EQ(text(card, "metricUnit"), QStringLiteral("W"));
    EXPECT_EQ(text(card, "metricDetail"), QStringLiteral("当前系统负载"));
    const SymbolLabel* symbol = child<SymbolLabel>(card, "metricSymbol");
    ASSERT_NE(symbol, nullptr);
    EXPECT_EQ(symbol->symbol(), "waveform.path.ecg");
    EXPECT_EQ(symbol->color(), toQColor(VoltranePalette::warning));
    EXPECT_EQ(card.accessibleName(), QStringLiteral("系统实时功率，12.3 W，当前系统负载"));
    ASSERT_TRUE(card.parameters().tint.has_value());
    EXPECT_NEAR(card.parameters().tint->alphaF(), 0.045, 1e-3);
}

TEST(MetricCard, KeepsItsMinimumHeightWithAnEmptyDetail) {
    MetricCard card;
    card.setTile({"电池电压", "\u2014", "V", "", "bolt.horizontal.fill", PaletteColor::accent});
    card.resize(120, 10);
    card.show();
    EXPECT_GE(card.height(), MetricCard::kMinimumHeight);
    EXPECT_GE(card.minimumSizeHint().height(), 0);
}

TEST(MetricCard, ValueAndUnitShareABaseline) {
    MetricCard card;
    card.setTile({"电池电压", "11.43", "V", "实时电池组电压", "bolt.horizontal.fill", PaletteColor::accent});
    card.resize(124, 82);
    card.show();
    const TextLabel* value = child<TextLabel>(card, "metricValue");
    const TextLabel* unit = child<TextLabel>(card, "metricUnit");
    ASSERT_TRUE(value != nullptr && unit != nullptr);
    const qreal valueBaseline = value->geometry().bottom() - QFontMetricsF(value->font()).descent();
    const qreal unitBaseline = unit->geometry().bottom() - QFontMetricsF(unit->font()).descent();
    EXPECT_NEAR(valueBaseline, unitBaseline, 1.0);
    EXPECT_EQ(unit->geometry().left() - value->geometry().right() - 1, 5);
}

TEST(MetricCard, UnitFollowsAOneDigitFigureAtFivePoints) {
    MetricCard card;
    card.setTile({"充放电电流", "0", "mA", "由外接电源供电", "arrow.up.right", PaletteColor::accent});
    card.resize(124, 82);
    card.show();
    const TextLabel* value = child<TextLabel>(card, "metricValue");
    const TextLabel* unit = child<TextLabel>(card, "metricUnit");
    ASSERT_TRUE(value != nullptr && unit != nullptr);
    EXPECT_EQ(value->width(),
              static_cast<int>(std::ceil(QFontMetricsF(value->font()).horizontalAdvance(value->text()))));
    EXPECT_EQ(unit->geometry().left() - value->geometry().right() - 1, 5);
}

TEST(MetricCard, ANewFigureFadesInOverTheOldOne) {
    MetricCard card;
    card.setTile({"电池电压", "11.43", "V", "实时电池组电压", "bolt.horizontal.fill", PaletteColor::accent});
    card.resize(124, 82);
    card.show();
    EXPECT_DOUBLE_EQ(card.figureTransition(), 1.0); // the first figure simply appears

    card.setTile({"电池电压", "11.44", "V", "实时电池组电压", "bolt.horizontal.fill", PaletteColor::accent});
    EXPECT_DOUBLE_EQ(card.figureTransition(), 0.0);
    const TextLabel* previous = child<TextLabel>(card, "metricValuePrevious");
    ASSERT_NE(previous, nullptr);
    EXPECT_TRUE(previous->isVisible());
    EXPECT_EQ(previous->text(), QStringLiteral("11.43"));
    EXPECT_EQ(text(card, "metricValue"), QStringLiteral("11.44")); // the text itself is current at once
    QTRY_COMPARE_WITH_TIMEOUT(card.figureTransition(), 1.0, 1000);
    EXPECT_FALSE(previous->isVisible());
}

TEST(MetricCard, AChangeOfUnitAloneDoesNotAnimate) {
    MetricCard card;
    card.setTile({"电池电量", "80", "%", "已接入电源", "powerplug.fill", PaletteColor::accent});
    card.setTile({"电池电量", "80", "mA", "已接入电源", "powerplug.fill", PaletteColor::accent});
    EXPECT_DOUBLE_EQ(card.figureTransition(), 1.0);
    EXPECT_EQ(text(card, "metricUnit"), QStringLiteral("mA"));
}

TEST(StatusSummaryView, ShowsTheSentencesAndReadsAsOneElement) {
    StatusSummaryView view;
    PowerSnapshot snapshot;
    snapshot.state = PowerState::onBattery;
    snapshot.batteryWatts = -9.87;
    snapshot.batteryWattsIsEstimated = true;
    snapshot.temperatureCelsius = 30.44;
    snapshot.cycleCount = 212;
    view.setSnapshot(snapshot);
    EXPECT_EQ(text(view, "statusPrimary"), QStringLiteral("电池正在输出 \u2248 9.9 W"));
    EXPECT_EQ(text(view, "statusSecondary"), QStringLiteral("电池 30.4\u2103  \u00B7  循环 212 次"));
    const SymbolLabel* symbol = child<SymbolLabel>(view, "statusSymbol");
    ASSERT_NE(symbol, nullptr);
    EXPECT_EQ(symbol->symbol(), "battery.75percent");
    EXPECT_EQ(symbol->color(), toQColor(VoltranePalette::warning));
    EXPECT_TRUE(view.accessibleName().contains(QStringLiteral("电池正在输出")));
    EXPECT_TRUE(view.accessibleName().contains(QStringLiteral("循环 212 次")));
    ASSERT_TRUE(view.parameters().tint.has_value());
    EXPECT_NEAR(view.parameters().tint->alphaF(), 0.035, 1e-3);
}

TEST(StatusSummaryView, StartsUnavailable) {
    StatusSummaryView view;
    EXPECT_EQ(text(view, "statusPrimary"), QStringLiteral("暂时无法读取电源遥测"));
    EXPECT_EQ(text(view, "statusSecondary"), QStringLiteral("数据直接来自本机电源管理系统"));
}

class InfoPopoverTest : public ::testing::Test {
protected:
    std::shared_ptr<SettingsStore> store() const {
        return std::make_shared<SettingsStore>(
            QString::fromStdString((dir_.path() / "settings.json").string()));
    }
    voltrane::testing::TempDir dir_;
};

TEST_F(InfoPopoverTest, SwitchIsOnWithoutAStoredValue) {
    InfoPopover popover(store());
    QAbstractButton* toggle = child<QAbstractButton>(popover, "analyticsSwitch");
    ASSERT_NE(toggle, nullptr);
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_FALSE(
        store()->boolValue(SettingsStore::analyticsEnabledKey).has_value()); // reading writes nothing
}

TEST_F(InfoPopoverTest, TurningTheSwitchOffStoresFalseAtOnce) {
    InfoPopover popover(store());
    popover.show();
    QAbstractButton* toggle = child<QAbstractButton>(popover, "analyticsSwitch");
    ASSERT_NE(toggle, nullptr);
    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_EQ(store()->boolValue(SettingsStore::analyticsEnabledKey), false);

    InfoPopover reopened(store());
    EXPECT_FALSE(child<QAbstractButton>(reopened, "analyticsSwitch")->isChecked());

    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_EQ(store()->boolValue(SettingsStore::analyticsEnabledKey), true);
}

TEST_F(InfoPopoverTest, ReopeningShowsAChangeMadeElsewhere) {
    InfoPopover popover(store());
    popover.show();
    popover.hide();
    store()->setAnalyticsEnabled(false);
    popover.show();
    EXPECT_FALSE(child<QAbstractButton>(popover, "analyticsSwitch")->isChecked());
}

TEST_F(InfoPopoverTest, ShowsItsParagraphsAtAFixedWidth) {
    InfoPopover popover(store());
    const std::pair<const char*, const char*> paragraphs[] = {
        {"infoTitle", "关于实时数据"},
        {"infoSources", "Voltrane 从本机电源注册表与 Apple Silicon "
                        "能耗模型读取数据。功率、电池、设备名称和序列号始终只留在本机。"},
        {"infoEstimates", "CPU、GPU、ANE、内存和内屏是时间窗估算；接口功率是 Mac 向 USB-C "
                          "外设的输出，不包含外接屏从墙上取得的功耗。"},
        {"infoFillIn", "切换到电池供电时，如果电池电流字段短暂滞后，Voltrane "
                       "会用系统负载即时补齐，并在数值说明中标为估算。"},
        {"infoMissing",
         "不同 Mac 型号暴露的字段可能不同；缺失项目会显示为“—”。瞬时功率经过轻微平滑，以减少数字抖动。"},
        {"analyticsTitle", "发送匿名使用统计"},
        {"analyticsCaption", "仅包含随机安装 ID、启动/打开次数、版本、macOS 版本和芯片架构。"},
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

TEST(FooterButton, PressFadesTheFillAndShrinksThenReleaseRestores) {
    FooterButton button(QStringLiteral("立即刷新"), "arrow.clockwise");
    button.show();
    EXPECT_DOUBLE_EQ(button.fillOpacity(), 0.72);
    EXPECT_DOUBLE_EQ(button.scale(), 1.0);
    QTest::mousePress(&button, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(button.pressProgress(), 1.0, 1000);
    EXPECT_DOUBLE_EQ(button.fillOpacity(), 0.5);
    EXPECT_DOUBLE_EQ(button.scale(), 0.97);
    QTest::mouseRelease(&button, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(button.pressProgress(), 0.0, 1000);
    EXPECT_DOUBLE_EQ(button.fillOpacity(), 0.72);
}

TEST(FooterButton, ClickStillReachesTheAction) {
    FooterButton button(QStringLiteral("退出 Voltrane"), "power");
    button.show();
    int clicks = 0;
    QObject::connect(&button, &QAbstractButton::clicked, [&clicks] { ++clicks; });
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(button.symbol(), "power");
    EXPECT_GT(button.sizeHint().width(), QFontMetrics(button.font()).horizontalAdvance(button.text()) + 22);
}

} // namespace
} // namespace voltrane
